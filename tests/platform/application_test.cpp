#include "platform/application.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/notification_center.h"
#include "platform/window.h"

namespace tovik {
namespace {

constexpr CGRect kFrame{{0, 0}, {400, 300}};

// What an observer of the key, main and activation notifications heard, as
// "<notification> <who>", with the names shortened (NSWindowDidBecomeKey-
// Notification reads "DidBecomeKey").
struct Heard {
  std::map<const Object*, std::string> names;
  std::vector<std::string> lines;
};
Heard* gHeard = nullptr;

Class* observerClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "ApplicationTestObserver");
    addMethod(c, "heard:", [](Object*, Notification* n) {
      if (gHeard == nullptr) return;
      std::string name = n->name()->utf8();
      for (const std::string_view prefix : {"NSWindow", "NSApplication"}) {
        if (name.starts_with(prefix)) name.erase(0, prefix.size());
      }
      name.erase(name.size() - std::string_view("Notification").size());
      const auto who = gHeard->names.find(n->object());
      gHeard->lines.push_back(name + " " + (who != gHeard->names.end() ? who->second : "?"));
    });
    return c;
  }();
  return cls;
}

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gHeard = &heard;
    heard.names[app] = "app";
    for (const std::string_view name :
         {NSWindowDidBecomeKeyNotification, NSWindowDidResignKeyNotification,
          NSWindowDidBecomeMainNotification, NSWindowDidResignMainNotification,
          NSApplicationWillBecomeActiveNotification, NSApplicationDidBecomeActiveNotification,
          NSApplicationWillResignActiveNotification, NSApplicationDidResignActiveNotification}) {
      NotificationCenter::defaultCenter()->addObserver(observer.get(), sel_registerName("heard:"),
                                                       str(name).get(), nullptr);
    }
  }
  void TearDown() override {
    gHeard = nullptr;
    NotificationCenter::defaultCenter()->removeObserver(observer.get());
    app->activateIgnoringOtherApps(true);
    for (const auto& w : app->windows()) w->close();
  }
  template <class W>
  Ref<W> named(Ref<W> window, std::string_view name) {
    heard.names[window.get()] = name;
    return window;
  }
  // What was heard since the last call.
  std::vector<std::string> take() { return std::exchange(heard.lines, {}); }

  Application* app = Application::shared();
  Ref<Object> observer = class_createInstance(observerClass());
  Heard heard;
};

using Lines = std::vector<std::string>;

TEST_F(ApplicationTest, APanelIsAWindowThatCanBeKeyButNeverMain) {
  Class* panelClass = objc_getClass("NSPanel");
  ASSERT_NE(panelClass, nullptr);
  EXPECT_EQ(panelClass->superclass(), objc_getClass("NSWindow"));
  auto panel = Panel::create(kFrame);
  EXPECT_TRUE(panel->isKindOfClass(Window::runtimeClass()));
  panel->orderFront(nullptr);
  EXPECT_TRUE(send<bool>(panel.get(), "canBecomeKeyWindow"));
  EXPECT_FALSE(send<bool>(panel.get(), "canBecomeMainWindow"));
  EXPECT_TRUE(send<bool>(panel.get(), "hidesOnDeactivate"));
  EXPECT_FALSE(send<bool>(panel.get(), "becomesKeyOnlyIfNeeded"));
  EXPECT_FALSE(send<bool>(panel.get(), "isFloatingPanel"));

  // A borderless panel has no titlebar to take key with.
  auto bare = Panel::create(kFrame, NSWindowStyleMaskBorderless);
  EXPECT_FALSE(send<bool>(bare.get(), "canBecomeKeyWindow"));

  // A floating panel stays in front of document windows ordered after it.
  auto document = Window::create(kFrame);
  send<void>(panel.get(), "setFloatingPanel:", true);
  EXPECT_EQ(panel->level(), NSFloatingWindowLevel);
  document->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(app->orderedWindows(), (std::vector<Ref<Window>>{panel, document}));
  panel->setFloatingPanel(false);
  EXPECT_EQ(app->orderedWindows(), (std::vector<Ref<Window>>{panel, document}));
  document->orderFront(nullptr);
  EXPECT_EQ(app->orderedWindows(), (std::vector<Ref<Window>>{document, panel}));
}

TEST_F(ApplicationTest, APanelTakesKeyWhileTheDocumentStaysMainAndHandsKeyBack) {
  auto document = named(Window::create(kFrame), "document");
  auto panel = named(Panel::create(kFrame), "panel");
  document->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(take(), (Lines{"DidBecomeKey document", "DidBecomeMain document"}));

  send<void>(panel.get(), "makeKeyAndOrderFront:", static_cast<Object*>(nullptr));
  EXPECT_EQ(app->keyWindow(), panel.get());
  EXPECT_EQ(app->mainWindow(), document.get());
  EXPECT_TRUE(send<bool>(panel.get(), "isKeyWindow"));
  EXPECT_TRUE(send<bool>(document.get(), "isMainWindow"));
  EXPECT_FALSE(document->isKeyWindow());
  EXPECT_EQ(take(), (Lines{"DidResignKey document", "DidBecomeKey panel"}));

  // Ordered out, the key panel hands key to the main window.
  panel->orderOut(nullptr);
  EXPECT_EQ(app->keyWindow(), document.get());
  EXPECT_EQ(app->mainWindow(), document.get());
  EXPECT_EQ(take(), (Lines{"DidResignKey panel", "DidBecomeKey document"}));

  // So does a closed one.
  panel->makeKeyAndOrderFront(nullptr);
  take();
  panel->close();
  EXPECT_EQ(app->keyWindow(), document.get());
  EXPECT_EQ(take(), (Lines{"DidResignKey panel", "DidBecomeKey document"}));
}

TEST_F(ApplicationTest, KeyGoesToTheMainWindowBeforeAnyPanelInFrontOfIt) {
  auto first = named(Window::create(kFrame), "first");
  auto second = named(Window::create(kFrame), "second");
  auto palette = named(Panel::create(kFrame), "palette");
  auto inspector = named(Panel::create(kFrame), "inspector");
  first->makeKeyAndOrderFront(nullptr);
  palette->setFloatingPanel(true);
  palette->setBecomesKeyOnlyIfNeeded(true);
  palette->orderFront(nullptr);
  inspector->setFloatingPanel(true);
  inspector->orderFront(nullptr);
  second->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(app->orderedWindows(), (std::vector<Ref<Window>>{inspector, palette, second, first}));
  take();

  // The next document takes main, and key with it, though two panels that
  // can be key are in front.
  second->close();
  EXPECT_EQ(app->mainWindow(), first.get());
  EXPECT_EQ(app->keyWindow(), first.get());
  EXPECT_EQ(take(), (Lines{"DidResignKey second", "DidBecomeKey first", "DidResignMain second",
                           "DidBecomeMain first"}));

  // With no document left, key goes to the frontmost panel that takes it
  // unasked: the inspector, not the palette in front of it.
  palette->orderFront(nullptr);
  first->close();
  EXPECT_EQ(app->mainWindow(), nullptr);
  EXPECT_EQ(app->keyWindow(), inspector.get());
  inspector->close();
  EXPECT_EQ(app->keyWindow(), nullptr);
  EXPECT_TRUE(palette->isVisible());

  // Asked outright, the palette does become key.
  palette->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(app->keyWindow(), palette.get());
}

TEST_F(ApplicationTest, AnInactiveApplicationHasNeitherKeyNorMainAndGetsBothBack) {
  EXPECT_TRUE(send<bool>(app, "isActive"));
  auto document = named(Window::create(kFrame), "document");
  auto panel = named(Panel::create(kFrame), "panel");
  document->makeKeyAndOrderFront(nullptr);
  panel->makeKeyAndOrderFront(nullptr);
  take();

  send<void>(app, "deactivate");
  EXPECT_FALSE(app->isActive());
  EXPECT_EQ(send<Ref<Window>>(app, "keyWindow"), nullptr);
  EXPECT_EQ(send<Ref<Window>>(app, "mainWindow"), nullptr);
  EXPECT_FALSE(panel->isKeyWindow());
  EXPECT_FALSE(document->isMainWindow());
  EXPECT_EQ(take(), (Lines{"WillResignActive app", "DidResignKey panel", "DidResignMain document",
                           "DidResignActive app"}));
  // The panel leaves the screen with the application; the document stays.
  EXPECT_FALSE(panel->isVisible());
  EXPECT_TRUE(document->isVisible());
  EXPECT_EQ(app->orderedWindows(), (std::vector<Ref<Window>>{document}));
  app->deactivate();
  EXPECT_TRUE(take().empty());

  send<void>(app, "activateIgnoringOtherApps:", true);
  EXPECT_TRUE(app->isActive());
  EXPECT_EQ(send<Ref<Window>>(app, "keyWindow"), panel);
  EXPECT_EQ(send<Ref<Window>>(app, "mainWindow"), document);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(take(), (Lines{"WillBecomeActive app", "DidBecomeKey panel", "DidBecomeMain document",
                           "DidBecomeActive app"}));
  app->activateIgnoringOtherApps(false);
  EXPECT_TRUE(take().empty());

  // A window that stays through deactivation is visible to the end.
  panel->setHidesOnDeactivate(false);
  app->deactivate();
  EXPECT_TRUE(panel->isVisible());
}

TEST_F(ApplicationTest, WhileInactiveAWindowMadeKeyWaitsForActivation) {
  auto first = named(Window::create(kFrame), "first");
  auto second = named(Window::create(kFrame), "second");
  auto panel = named(Panel::create(kFrame), "panel");
  first->makeKeyAndOrderFront(nullptr);
  app->deactivate();
  take();

  // Ordered front at once, key and main only once active.
  second->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(app->orderedWindows().front(), second);
  EXPECT_EQ(app->keyWindow(), nullptr);
  EXPECT_FALSE(second->isMainWindow());
  EXPECT_TRUE(take().empty());
  // A panel ordered front now waits off screen.
  panel->orderFront(nullptr);
  EXPECT_FALSE(panel->isVisible());
  app->activateIgnoringOtherApps(true);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(app->keyWindow(), second.get());
  EXPECT_EQ(app->mainWindow(), second.get());
  EXPECT_EQ(take(), (Lines{"WillBecomeActive app", "DidBecomeKey second", "DidBecomeMain second",
                           "DidBecomeActive app"}));

  // The window remembered for key closes while the application is away:
  // nothing is posted until activation, which goes to the next document.
  app->deactivate();
  take();
  second->close();
  EXPECT_TRUE(take().empty());
  app->activateIgnoringOtherApps(true);
  EXPECT_EQ(app->keyWindow(), first.get());
  EXPECT_EQ(app->mainWindow(), first.get());
  EXPECT_EQ(take(), (Lines{"WillBecomeActive app", "DidBecomeKey first", "DidBecomeMain first",
                           "DidBecomeActive app"}));
}

TEST_F(ApplicationTest, ActivationMakesTheFrontWindowKeyWhenNoneWas) {
  // orderFront: shows a window without making it key.
  auto document = named(Window::create(kFrame), "document");
  document->orderFront(nullptr);
  EXPECT_EQ(app->keyWindow(), nullptr);
  EXPECT_EQ(app->mainWindow(), nullptr);
  app->deactivate();
  app->activateIgnoringOtherApps(true);
  EXPECT_EQ(app->keyWindow(), document.get());
  EXPECT_EQ(app->mainWindow(), document.get());
}

TEST_F(ApplicationTest, AHostWindowClassThatRefusesKeyCanStillBeMain) {
  // A viewer window of the host's that never takes the keyboard.
  static Class* const viewer = [] {
    Class* c = objc_allocateClassPair(Window::runtimeClass(), "ApplicationTestViewerWindow");
    addMethod(c, "canBecomeKeyWindow", [](Window*) { return false; });
    objc_registerClassPair(c);
    return c;
  }();
  auto window = as<Window>(class_createInstance(viewer));
  ASSERT_NE(window, nullptr);
  send<Ref<Object>>(window.get(), "initWithContentRect:styleMask:", kFrame, kStandardWindowStyle);
  named(window, "viewer");
  auto panel = named(Panel::create(kFrame), "panel");

  window->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(app->keyWindow(), nullptr);
  EXPECT_EQ(app->mainWindow(), window.get());
  EXPECT_EQ(take(), (Lines{"DidBecomeMain viewer"}));
  panel->makeKeyAndOrderFront(nullptr);
  panel->close();
  EXPECT_EQ(app->keyWindow(), nullptr);
  EXPECT_EQ(app->mainWindow(), window.get());
  EXPECT_EQ(take(), (Lines{"DidBecomeKey panel", "DidResignKey panel"}));
}

}  // namespace
}  // namespace tovik
