// The plug-in finds the window to configure by its identifier, and when no
// visible window carries it falls back to the key window, else the main
// window, else the first visible window. A host meets each step through the
// application's real key, main and activation states.
#include "mainwindow/lookup.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"
#include "tests/support/plugin_host_test.h"

namespace tovik {
namespace {

constexpr CGRect kFrame{{0, 0}, {800, 600}};

// A host's viewer window class: it may be main but never takes the keyboard.
Class* viewerWindowClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Window::runtimeClass(), "LookupTestViewerWindow");
    addMethod(c, "canBecomeKeyWindow", [](Window*) { return false; });
    objc_registerClassPair(c);
    return c;
  }();
  return cls;
}

class LookupTest : public PluginHostTest {
 protected:
  // Asks the plug-in, as a host does, to configure the main window under an
  // identifier no window carries yet.
  void configure(std::string_view identifier) {
    send<void>(plugin.get(),
               "configureMainWindowTitlebarWithWindowIdentifier:", str(identifier).get());
    MainQueue::main().runUntilIdle();
  }
  // The window that took `identifier`; none when no window did.
  [[nodiscard]] Window* holder(std::string_view identifier) const {
    Window* found = nullptr;
    for (const auto& w : app->windows()) {
      if (w->identifier() == nullptr || w->identifier()->utf8() != identifier) continue;
      EXPECT_EQ(found, nullptr) << identifier << " was given to two windows";
      found = w.get();
    }
    return found;
  }
  static Ref<Window> viewerWindow() {
    auto window = as<Window>(class_createInstance(viewerWindowClass()));
    send<Ref<Object>>(window.get(), "initWithContentRect:styleMask:", kFrame, kStandardWindowStyle);
    return window;
  }

  Application* app = Application::shared();
};

TEST_F(LookupTest, TheKeyPanelIsChosenOverTheMainWindow) {
  auto document = Window::create(kFrame);
  auto panel = Panel::create(kFrame);
  document->makeKeyAndOrderFront(nullptr);
  panel->makeKeyAndOrderFront(nullptr);
  ASSERT_EQ(app->mainWindow(), document.get());

  configure("lookup.key");
  EXPECT_EQ(holder("lookup.key"), panel.get());

  // A visible window carrying the identifier is still found first.
  document->setIdentifier(str("lookup.carried").get());
  configure("lookup.carried");
  EXPECT_EQ(holder("lookup.carried"), document.get());
}

// With AppKit's own window classes, an active application whose main window
// is set always has a key window too: a window that can be main can be key,
// and when the key window goes key passes to the main window. Key is absent
// while main is not when the main window belongs to a class that refuses key
// (a viewer that must not take typing): AppKit asks the two separately.
TEST_F(LookupTest, WithoutAKeyWindowTheMainWindowIsChosen) {
  // A borderless overlay comes first in the application's windows, so that
  // falling through to the first visible window would be told apart.
  auto overlay = Window::create(kFrame, NSWindowStyleMaskBorderless);
  auto viewer = viewerWindow();
  auto panel = Panel::create(kFrame);
  overlay->orderFront(nullptr);
  viewer->makeKeyAndOrderFront(nullptr);
  panel->makeKeyAndOrderFront(nullptr);
  configure("lookup.panel");
  EXPECT_EQ(holder("lookup.panel"), panel.get());

  // The key panel closes: the main window cannot take key, nor can the
  // overlay, so none is key.
  panel->close();
  ASSERT_EQ(app->keyWindow(), nullptr);
  configure("lookup.main");
  EXPECT_EQ(holder("lookup.main"), viewer.get());
}

TEST_F(LookupTest, AnInactiveApplicationFallsBackToTheFirstVisibleWindow) {
  auto panel = Panel::create(kFrame);
  auto back = Window::create(kFrame);
  auto front = Window::create(kFrame);
  panel->orderFront(nullptr);
  back->orderFront(nullptr);
  front->makeKeyAndOrderFront(nullptr);
  panel->makeKeyAndOrderFront(nullptr);

  // Neither the key panel (now off screen) nor the main window: the first
  // visible window in the application's list.
  app->deactivate();
  configure("lookup.inactive");
  EXPECT_EQ(holder("lookup.inactive"), back.get());

  // Back in the foreground, the panel is key again.
  app->activateIgnoringOtherApps(true);
  configure("lookup.active");
  EXPECT_EQ(holder("lookup.active"), panel.get());

  // An inactive application showing only a panel has no window to offer.
  back->close();
  front->close();
  app->deactivate();
  configure("lookup.none");
  EXPECT_EQ(holder("lookup.none"), nullptr);
  EXPECT_EQ(resolveWindowWithIdentifier(str("lookup.none").get()), nullptr);
}

}  // namespace
}  // namespace tovik
