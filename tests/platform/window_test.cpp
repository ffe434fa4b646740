#include "platform/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/notification_center.h"

namespace tovik {
namespace {

// A delegate class made at run time, as a host framework makes one, which
// records what it heard and answers windowShouldClose: with `allow`.
struct Recorder {
  std::vector<std::string> heard;
  bool allow = true;
};
Recorder* gRecorder = nullptr;

Class* recordingDelegateClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "WindowTestDelegate");
    addMethod(c, "windowShouldClose:", [](Object*, Window*) {
      gRecorder->heard.emplace_back("shouldClose");
      return gRecorder->allow;
    });
    addMethod(c, "windowDidResize:", [](Object*, Notification* n) {
      gRecorder->heard.push_back(n->name()->utf8());
    });
    addMethod(c, "windowWillClose:", [](Object*, Notification* n) {
      gRecorder->heard.push_back(n->name()->utf8());
    });
    return c;
  }();
  return cls;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { gRecorder = &recorder; }
  void TearDown() override {
    for (const auto& w : Application::shared()->windows()) w->close();
    gRecorder = nullptr;
  }
  Recorder recorder;
};

TEST_F(WindowTest, KeyAndMainPassToTheFrontmostWindowThatCanTakeThem) {
  Application* app = Application::shared();
  auto back = Window::create({{0, 0}, {100, 100}});
  auto panel = Window::create({{0, 0}, {100, 100}}, NSWindowStyleMaskBorderless);
  auto front = Window::create({{0, 0}, {100, 100}});
  back->makeKeyAndOrderFront(nullptr);
  panel->orderFront(nullptr);
  front->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(app->keyWindow(), front.get());
  EXPECT_EQ(app->mainWindow(), front.get());
  EXPECT_EQ(app->windows().size(), 3U);

  // The borderless window is in front of `back` but cannot become key.
  front->orderOut(nullptr);
  EXPECT_FALSE(front->isVisible());
  EXPECT_EQ(app->keyWindow(), back.get());
  EXPECT_EQ(app->mainWindow(), back.get());

  back->close();
  EXPECT_EQ(app->keyWindow(), nullptr);
  EXPECT_EQ(app->mainWindow(), nullptr);
  EXPECT_EQ(app->windows().size(), 2U);  // closed windows leave the application
}

TEST_F(WindowTest, TheDelegateIsAskedAndToldOfItsOwnWindowOnlyWhileItLivesAndIsSet) {
  auto window = Window::create({{0, 0}, {400, 300}});
  auto other = Window::create({{0, 0}, {400, 300}});
  window->makeKeyAndOrderFront(nullptr);
  auto delegate = class_createInstance(recordingDelegateClass());
  window->setDelegate(delegate.get());
  window->setFrame({{10, 10}, {400, 300}}, true);  // moved, not resized
  other->setFrame({{0, 0}, {500, 300}}, true);     // another window
  window->setFrame({{10, 10}, {500, 300}}, true);
  recorder.allow = false;
  window->performClose(nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(recorder.heard,
            (std::vector<std::string>{"NSWindowDidResizeNotification", "shouldClose"}));

  // close does not ask.
  other->setDelegate(delegate.get());
  recorder.heard.clear();
  other->close();
  EXPECT_EQ(recorder.heard, (std::vector<std::string>{"NSWindowWillCloseNotification"}));

  // A replaced delegate hears nothing more; a gone one is not kept alive by
  // the window and allows the close.
  auto silent = class_createInstance(Object::runtimeClass());  // answers nothing
  window->setDelegate(silent.get());
  window->setFrame({{10, 10}, {600, 300}}, true);
  window->setDelegate(delegate.get());
  const Weak<Object> weak = delegate;
  delegate.reset();
  EXPECT_EQ(weak.lock(), nullptr);
  EXPECT_EQ(window->delegate(), nullptr);
  window->setFrame({{10, 10}, {700, 300}}, true);
  window->performClose(nullptr);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(recorder.heard.size(), 1U);
}

}  // namespace
}  // namespace tovik
