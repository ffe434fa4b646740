#include "platform/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/notification_center.h"
#include "platform/window_metrics.h"

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

TEST_F(WindowTest, TheApplicationStopsKeepingAClosedWindowAlive) {
  Weak<Window> weak;
  {
    auto window = Window::create({{0, 0}, {100, 100}});
    window->makeKeyAndOrderFront(nullptr);
    weak = window;
  }
  ASSERT_NE(weak.lock(), nullptr);
  weak.lock()->close();
  EXPECT_EQ(weak.lock(), nullptr);
}

TEST_F(WindowTest, PerformCloseAsksTheDelegateAndCloseDoesNot) {
  auto window = Window::create({{0, 0}, {400, 300}});
  window->makeKeyAndOrderFront(nullptr);
  auto delegate = class_createInstance(recordingDelegateClass());
  window->setDelegate(delegate.get());

  recorder.allow = false;
  window->performClose(nullptr);
  EXPECT_TRUE(window->isVisible());
  recorder.allow = true;
  window->performClose(nullptr);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(recorder.heard, (std::vector<std::string>{"shouldClose", "shouldClose",
                                                      "NSWindowWillCloseNotification"}));

  auto other = Window::create({{0, 0}, {400, 300}});
  other->setDelegate(delegate.get());
  recorder.heard.clear();
  other->close();
  EXPECT_EQ(recorder.heard, (std::vector<std::string>{"NSWindowWillCloseNotification"}));
}

TEST_F(WindowTest, TheDelegateHearsOnlyItsWindowAndOnlyWhileItLives) {
  auto window = Window::create({{0, 0}, {400, 300}});
  auto other = Window::create({{0, 0}, {400, 300}});
  auto delegate = class_createInstance(recordingDelegateClass());
  window->setDelegate(delegate.get());

  window->setFrame({{10, 10}, {400, 300}}, true);  // moved, not resized
  other->setFrame({{0, 0}, {500, 300}}, true);     // another window
  window->setFrame({{10, 10}, {500, 300}}, true);
  EXPECT_EQ(recorder.heard, (std::vector<std::string>{"NSWindowDidResizeNotification"}));

  Weak<Object> weak = delegate;
  delegate.reset();
  EXPECT_EQ(weak.lock(), nullptr);  // not retained by the window
  EXPECT_EQ(window->delegate(), nullptr);
  window->setFrame({{10, 10}, {600, 300}}, true);
  window->performClose(nullptr);  // a gone delegate allows the close
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(recorder.heard.size(), 1U);
}

TEST_F(WindowTest, ReplacingTheDelegateSilencesThePreviousOne) {
  auto window = Window::create({{0, 0}, {400, 300}});
  auto first = class_createInstance(recordingDelegateClass());
  auto second = class_createInstance(Object::runtimeClass());  // answers nothing
  window->setDelegate(first.get());
  window->setDelegate(second.get());
  window->setFrame({{0, 0}, {500, 300}}, true);
  window->performClose(nullptr);
  EXPECT_TRUE(recorder.heard.empty());
  EXPECT_FALSE(window->isVisible());
}

std::string reached(const Window& window, const Ref<View>& hit) {
  if (hit == nullptr) return "no view";
  return hit.get() == window.contentView() ? "content" : hit->isa()->name();
}

TEST_F(WindowTest, ClicksOnTheLineUnderTheTitlebarStripReachTheContent) {
  auto window = Window::create({{0, 0}, {800, 600}});
  window->makeKeyAndOrderFront(nullptr);
  const double line = 600 - metrics::kTitlebarHeight;
  ASSERT_EQ(window->contentView()->frame().maxY(), line);
  // The line is the strip's bottom edge, outside it, and the content's top
  // edge, inside it. The window's top edge is the strip's.
  EXPECT_EQ(reached(*window, window->mouseDown({400, line})), "content");
  EXPECT_EQ(reached(*window, window->mouseDown({400, line + 1})), "NSVisualEffectView");
  EXPECT_EQ(reached(*window, window->mouseDown({400, 600})), "NSVisualEffectView");
  EXPECT_EQ(reached(*window, window->mouseDown({400, 0})), "no view");

  // A standard button's bottom edge belongs to the strip; a click on its
  // top edge performs its action.
  const CGPoint close =
      window->standardWindowButton(NSWindowCloseButton)->convertPointToView({0, 0}, nullptr);
  EXPECT_EQ(reached(*window, window->mouseDown({close.x + 7, close.y})), "NSVisualEffectView");
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(reached(*window, window->mouseDown({close.x + 7, close.y + metrics::kButtonSize})),
            "_NSThemeCloseWidget");
  EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace tovik
