// The update handshake as a host meets it. The plug-in's update state is
// process-wide and never reset, so these tests run in this order, in a
// process of their own.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/main_queue.h"
#include "platform/updater.h"
#include "plugin/plugin_class.h"

namespace tovik {
namespace {

Ref<Object> newPlugin() {
  return send<Ref<Object>>(class_createInstance(registerPluginClass()).get(), "init");
}

struct HandlerLog {
  std::vector<std::string> calls;
  Ref<Block<void(String*)>> block(const std::string& name) {
    return makeBlock<void(String*)>(
        [this, name](String* version) { calls.push_back(name + ":" + version->utf8()); });
  }
};

void setHandler(Object* plugin, BlockBase* handler) {
  send<void>(plugin, "setUpdateReadyHandler:", handler);
}

TEST(UpdateHandshake, NothingBeforeTheUpdaterStartsAndConcurrentStartsMakeOneController) {
  auto first = newPlugin();
  auto second = newPlugin();
  HandlerLog log;
  auto handler = log.block("early");
  send<void>(first.get(), "checkForUpdates");  // no controller yet: nothing
  setHandler(first.get(), handler.get());
  send<void>(first.get(), "installPendingUpdate");  // no update ready: nothing
  MainQueue::main().runUntilIdle();
  EXPECT_TRUE(log.calls.empty());
  EXPECT_EQ(UpdaterController::instancesCreated(), 0U);
  setHandler(first.get(), static_cast<BlockBase*>(nullptr));  // stop listening
  MainQueue::main().runUntilIdle();

  std::vector<std::thread> threads;
  threads.reserve(8);
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      send<void>((i % 2 == 0 ? first : second).get(), "startUpdater");
      send<void>(first.get(), "checkForUpdates");
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(UpdaterController::instancesCreated(), 1U);
  send<void>(second.get(), "startUpdater");
  EXPECT_EQ(UpdaterController::instancesCreated(), 1U);
  auto live = UpdaterController::liveInstances();
  ASSERT_EQ(live.size(), 1U);
  EXPECT_TRUE(live[0]->updater()->isStarted());
  EXPECT_EQ(live[0]->updater()->userInitiatedChecks(), 8U);
  // The updater keeps the object that started it first as its delegate.
  Object* delegate = live[0]->updater()->delegate();
  EXPECT_TRUE(delegate == first.get() || delegate == second.get());
}

TEST(UpdateHandshake, AnsweredAtOnceRecordedAfterTheHopAnnouncedToEachHandler) {
  auto plugin = newPlugin();
  // The framework asks the plug-in object, its updater's delegate, and
  // records each install its blocks make.
  auto controller = UpdaterController::create(true, plugin.get(), nullptr);
  Updater* updater = controller->updater();
  const auto notice = [&](const Ref<AppcastItem>& item) {
    return updater->presentUpdateInstalledOnQuit(item.get());
  };
  const auto installs = [&] { return updater->immediateInstalls(); };
  HandlerLog log;
  auto before = log.block("before");
  setHandler(plugin.get(), before.get());
  EXPECT_TRUE(notice(AppcastItem::withDisplayVersion("2.0")));
  EXPECT_TRUE(log.calls.empty());  // recorded on the next main-queue turn
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"before:2.0"}));

  // Replaced while pending: the new handler hears at once, the old never
  // again, and the old block is released.
  Weak<Object> oldHandler = before;
  before.reset();
  auto after = log.block("after");
  setHandler(plugin.get(), after.get());
  EXPECT_EQ(log.calls.size(), 1U);  // set on the main queue, not inline
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(oldHandler.lock(), nullptr);
  EXPECT_EQ(log.calls.back(), "after:2.0");

  // Install twice invokes the framework's block twice; the state stays.
  send<void>(plugin.get(), "installPendingUpdate");
  send<void>(plugin.get(), "installPendingUpdate");
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(installs(), (std::vector<std::string>{"2.0", "2.0"}));

  // A second notice replaces version and block; an item without a version
  // reads as the empty string.
  EXPECT_TRUE(notice(AppcastItem::withoutDisplayVersion()));
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(log.calls.back(), "after:");
  send<void>(plugin.get(), "installPendingUpdate");
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(installs(), (std::vector<std::string>{"2.0", "2.0", ""}));

  // A null handler clears the registration; a later notice is still
  // recorded and announced to the next handler.
  setHandler(plugin.get(), static_cast<BlockBase*>(nullptr));
  EXPECT_TRUE(notice(AppcastItem::withDisplayVersion("3.1")));
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(log.calls.back(), "after:");
  auto next = log.block("next");
  setHandler(plugin.get(), next.get());
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(log.calls.back(), "next:3.1");
  setHandler(plugin.get(), static_cast<BlockBase*>(nullptr));
  MainQueue::main().runUntilIdle();
  plugin.reset();  // the delegate is weak: no one answers now
  EXPECT_FALSE(notice(AppcastItem::withDisplayVersion("4.1")));
}

}  // namespace
}  // namespace tovik
