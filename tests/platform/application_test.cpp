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

// What was heard, as "<notification> <who>" with names shortened
// (NSWindowDidBecomeKeyNotification reads "DidBecomeKey").
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

TEST_F(ApplicationTest, APanelTakesKeyWhileTheDocumentStaysMainAndHandsKeyBack) {
  auto back = named(Window::create(kFrame), "back");
  auto document = named(Window::create(kFrame), "document");
  auto panel = named(Panel::create(kFrame), "panel");
  back->orderFront(nullptr);
  document->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(take(), (Lines{"DidBecomeKey document", "DidBecomeMain document"}));

  send<void>(panel.get(), "makeKeyAndOrderFront:", static_cast<Object*>(nullptr));
  EXPECT_EQ(app->keyWindow(), panel.get());
  EXPECT_EQ(app->mainWindow(), document.get());
  EXPECT_EQ(take(), (Lines{"DidResignKey document", "DidBecomeKey panel"}));

  // Ordered out or closed, the key panel hands key to the main window.
  panel->orderOut(nullptr);
  EXPECT_EQ(app->keyWindow(), document.get());
  EXPECT_EQ(take(), (Lines{"DidResignKey panel", "DidBecomeKey document"}));
  panel->makeKeyAndOrderFront(nullptr);
  take();
  panel->close();
  EXPECT_EQ(app->keyWindow(), document.get());
  EXPECT_EQ(take(), (Lines{"DidResignKey panel", "DidBecomeKey document"}));

  // Ordered out, the document hands both to the window behind it.
  document->orderOut(nullptr);
  EXPECT_EQ(take(), (Lines{"DidResignKey document", "DidBecomeKey back", "DidResignMain document",
                           "DidBecomeMain back"}));
}

TEST_F(ApplicationTest, AnInactiveApplicationHasNeitherKeyNorMainAndGetsBothBack) {
  auto document = named(Window::create(kFrame), "document");
  auto second = named(Window::create(kFrame), "second");
  auto panel = named(Panel::create(kFrame), "panel");
  document->makeKeyAndOrderFront(nullptr);
  panel->makeKeyAndOrderFront(nullptr);
  take();

  send<void>(app, "deactivate");
  EXPECT_FALSE(app->isActive());
  EXPECT_EQ(app->keyWindow(), nullptr);
  EXPECT_EQ(app->mainWindow(), nullptr);
  EXPECT_EQ(take(), (Lines{"WillResignActive app", "DidResignKey panel", "DidResignMain document",
                           "DidResignActive app"}));
  // The panel leaves the screen with the application; the document stays.
  EXPECT_EQ(app->orderedWindows(), (std::vector<Ref<Window>>{document}));
  app->deactivate();
  EXPECT_TRUE(take().empty());

  send<void>(app, "activateIgnoringOtherApps:", true);
  EXPECT_EQ(app->keyWindow(), panel.get());
  EXPECT_EQ(app->mainWindow(), document.get());
  EXPECT_EQ(take(), (Lines{"WillBecomeActive app", "DidBecomeKey panel", "DidBecomeMain document",
                           "DidBecomeActive app"}));

  // Made key while inactive, a window waits for activation to be key; if it
  // closes meanwhile, activation goes to the next document.
  panel->close();
  app->deactivate();
  second->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(app->keyWindow(), nullptr);
  second->close();
  app->activateIgnoringOtherApps(true);
  EXPECT_EQ(app->keyWindow(), document.get());
  EXPECT_EQ(app->mainWindow(), document.get());
}

}  // namespace
}  // namespace tovik
