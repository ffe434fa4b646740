#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/application.h"
#include "platform/foundation.h"
#include "platform/main_queue.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"

namespace tovik {
namespace {

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = send<Ref<Object>>(class_createInstance(registerPluginClass()).get(), "init");
  }
  void TearDown() override {
    MainQueue::main().runUntilIdle();
    for (const auto& w : Application::shared()->windows()) w->close();
  }
  void configure(std::string_view identifier) {
    send<void>(plugin.get(),
               "configureMainWindowTitlebarWithWindowIdentifier:", str(identifier).get());
  }
  Ref<Object> plugin;
};

TEST_F(PluginTest, ConfigureHopsAndKeepsThePluginAlive) {
  auto window = Window::create({{0, 0}, {800, 600}});
  window->makeKeyAndOrderFront(nullptr);
  configure("hop-main");
  EXPECT_EQ(window->identifier(), nullptr);  // nothing until the run loop turns
  Weak<Object> weak = plugin;
  plugin.reset();
  EXPECT_NE(weak.lock(), nullptr);  // the pending work item keeps it
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(weak.lock(), nullptr);
  ASSERT_NE(window->identifier(), nullptr);
  EXPECT_EQ(window->identifier()->utf8(), "hop-main");
  EXPECT_TRUE(window->isMovableByWindowBackground());
}

TEST_F(PluginTest, LookupPrefersAVisibleTaggedWindowThenKeyThenFirstVisible) {
  auto hidden = Window::create({{0, 0}, {100, 100}});
  hidden->setIdentifier(str("look-a").get());
  auto key = Window::create({{0, 0}, {100, 100}});
  key->makeKeyAndOrderFront(nullptr);
  auto tagged = Window::create({{0, 0}, {100, 100}});
  tagged->setIdentifier(str("caf\xC3\xA9").get());
  tagged->orderFront(nullptr);

  configure("cafe\xCC\x81");  // canonically equivalent: the tagged window
  MainQueue::main().runUntilIdle();
  EXPECT_TRUE(tagged->isMovableByWindowBackground());
  EXPECT_FALSE(key->isMovableByWindowBackground());

  configure("CAF\xC3\x89");  // another case: no match, the key window takes it
  MainQueue::main().runUntilIdle();
  EXPECT_TRUE(key->isMovableByWindowBackground());
  EXPECT_EQ(key->identifier()->utf8(), "CAF\xC3\x89");

  configure("look-a");  // the hidden window is never chosen
  MainQueue::main().runUntilIdle();
  EXPECT_FALSE(hidden->isMovableByWindowBackground());
  EXPECT_EQ(key->identifier()->utf8(), "look-a");

  key->close();  // no key or main window: the first visible one
  configure("look-\xFF");
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(tagged->identifier()->utf8(), "look-\xFF");
}

TEST_F(PluginTest, CallsFromSeveralThreadsRunInEachThreadsOrder) {
  std::vector<Ref<Window>> windows;
  for (int i = 0; i < 4; ++i) {
    windows.push_back(Window::create({{0, 0}, {100, 100}}));
    windows.back()->setIdentifier(str("thread-" + std::to_string(i)).get());
    windows.back()->orderFront(nullptr);
  }
  std::vector<std::thread> threads;
  threads.reserve(4);
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] { configure("thread-" + std::to_string(i)); });
  }
  for (auto& t : threads) t.join();
  MainQueue::main().runUntilIdle();
  for (const auto& w : windows) EXPECT_TRUE(w->isMovableByWindowBackground());
}

TEST_F(PluginTest, NoWindowsAndNullArgumentsDoNothing) {
  send<void>(plugin.get(), "configureMainWindowTitlebarWithWindowIdentifier:", nullptr);
  configure("nothing-there");
  EXPECT_EQ(MainQueue::main().runUntilIdle(), 1U);
  EXPECT_TRUE(Application::shared()->windows().empty());
}

TEST_F(PluginTest, ABlockOfAnotherSignatureIsTakenAsNone) {
  auto window = Window::create({{0, 0}, {400, 300}});
  window->setIdentifier(str("typed").get());
  window->orderFront(nullptr);
  const auto configuration = Dictionary::make({{"windowIdentifier", str("typed")}});
  const auto compose = [&](BlockBase* shouldClose) {
    send<void>(plugin.get(),
               "configureComposeWindowWithConfiguration:shouldClose:", configuration.get(),
               shouldClose);
    MainQueue::main().runUntilIdle();
  };
  compose(makeBlock<void()>([] {}).get());
  compose(makeBlock<bool(String*)>([](String*) { return true; }).get());
  EXPECT_EQ(window->delegate(), nullptr);
  compose(makeBlock<bool()>([] { return true; }).get());
  EXPECT_NE(window->delegate(), nullptr);
}

}  // namespace
}  // namespace tovik
