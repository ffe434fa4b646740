// The window the plug-in configures: a visible one carrying the identifier,
// else the key window, else the main window, else the first visible window.
#include "mainwindow/lookup.h"

#include <gtest/gtest.h>

#include <string_view>

#include "platform/application.h"
#include "platform/testing.h"
#include "platform/window.h"
#include "tests/support/plugin_host_test.h"

namespace tovik {
namespace {

constexpr CGRect kFrame{{0, 0}, {800, 600}};

class LookupTest : public PluginHostTest {
 protected:
  // Asks the plug-in to configure the main window under `identifier` and
  // returns the visible window that took it, if any.
  Window* configure(std::string_view identifier) {
    configureMainWindow(identifier);
    Window* found = nullptr;
    for (const auto& w : app->windows()) {
      if (!w->isVisible() || w->identifier() == nullptr || w->identifier()->utf8() != identifier) {
        continue;
      }
      EXPECT_EQ(found, nullptr) << identifier << " was given to two windows";
      found = w.get();
    }
    return found;
  }

  Application* app = Application::shared();
};

TEST_F(LookupTest, AVisibleWindowCarryingTheIdentifierInAnyEquivalentSpellingElseTheKeyWindow) {
  auto hidden = Window::create(kFrame);
  hidden->setIdentifier(str("look-a").get());
  auto key = Window::create(kFrame);
  key->makeKeyAndOrderFront(nullptr);
  auto tagged = Window::create(kFrame);
  tagged->setIdentifier(str("caf\xC3\xA9").get());
  tagged->orderFront(nullptr);

  // The work waits for the main queue, which keeps a plug-in the host has
  // let go meanwhile; a null identifier asks for nothing.
  Ref<Object> own = testing::makePlugin(registerPluginClass());
  const Weak<Object> weak = own;
  send<void>(own.get(), "configureMainWindowTitlebarWithWindowIdentifier:", nullptr);
  send<void>(own.get(), "configureMainWindowTitlebarWithWindowIdentifier:",
             str("cafe\xCC\x81").get());  // canonically equivalent
  own.reset();
  EXPECT_FALSE(tagged->isMovableByWindowBackground());
  EXPECT_NE(weak.lock(), nullptr);
  EXPECT_EQ(turn(), 1U);
  EXPECT_EQ(weak.lock(), nullptr);
  EXPECT_TRUE(tagged->isMovableByWindowBackground());
  EXPECT_FALSE(key->isMovableByWindowBackground());

  EXPECT_EQ(configure("CAF\xC3\x89"), key.get());  // case counts: the key window
  EXPECT_EQ(configure("look-a"), key.get());       // a hidden window is never chosen
  key->close();                                    // no key or main window: the first visible one
  EXPECT_EQ(configure("look-\xFF"), tagged.get());
}

TEST_F(LookupTest, TheKeyPanelIsChosenOverTheMainWindowElseTheMainWindow) {
  // A viewer window may be main but never takes the keyboard, so with it main
  // and the key panel closed there is no key window.
  static Class* const viewerClass = [] {
    Class* c = objc_allocateClassPair(Window::runtimeClass(), "LookupTestViewerWindow");
    addMethod(c, "canBecomeKeyWindow", [](Window*) { return false; });
    objc_registerClassPair(c);
    return c;
  }();
  // A borderless overlay comes first, so that falling through to the first
  // visible window would be told apart.
  auto overlay = Window::create(kFrame, NSWindowStyleMaskBorderless);
  auto viewer = as<Window>(class_createInstance(viewerClass));
  send<Ref<Object>>(viewer.get(), "initWithContentRect:styleMask:", kFrame, kStandardWindowStyle);
  auto panel = Panel::create(kFrame);
  overlay->orderFront(nullptr);
  viewer->makeKeyAndOrderFront(nullptr);
  ASSERT_EQ(app->keyWindow(), nullptr);
  panel->makeKeyAndOrderFront(nullptr);
  ASSERT_EQ(app->mainWindow(), viewer.get());
  EXPECT_EQ(configure("lookup.key"), panel.get());

  panel->close();
  ASSERT_EQ(app->keyWindow(), nullptr);
  EXPECT_EQ(configure("lookup.main"), viewer.get());
}

TEST_F(LookupTest, AnInactiveApplicationFallsBackToTheFirstVisibleWindowElseNone) {
  auto panel = Panel::create(kFrame);
  auto back = Window::create(kFrame);
  auto front = Window::create(kFrame);
  panel->orderFront(nullptr);
  back->orderFront(nullptr);
  front->makeKeyAndOrderFront(nullptr);
  panel->makeKeyAndOrderFront(nullptr);

  app->deactivate();  // the key panel goes off screen
  EXPECT_EQ(configure("lookup.inactive"), back.get());

  // An inactive application showing only a panel has no window to offer.
  back->close();
  front->close();
  EXPECT_EQ(configure("lookup.none"), nullptr);
  EXPECT_EQ(resolveWindowWithIdentifier(str("lookup.none").get()), nullptr);
}

}  // namespace
}  // namespace tovik
