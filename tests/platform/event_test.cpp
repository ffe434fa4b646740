#include "platform/event.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/testing.h"
#include "platform/window_metrics.h"

namespace tovik {
namespace {

using namespace testing;

int gMoves = 0;

class GestureTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const Ref<Object>& monitor : monitors) Event::removeMonitor(monitor.get());
    for (const auto& w : Application::shared()->windows()) w->close();
  }
  static Ref<Window> shown(std::uint64_t style = kStandardWindowStyle) {
    auto window = Window::create({{100, 100}, {800, 600}}, style);
    window->makeKeyAndOrderFront(nullptr);
    return window;
  }
  Ref<Object> monitor(std::uint64_t mask, std::function<Ref<Event>(Event*)> handler) {
    monitors.push_back(Event::addLocalMonitorForEventsMatchingMask(
        mask, makeBlock<Ref<Event>(Event*)>(std::move(handler)).get()));
    return monitors.back();
  }

  PreferencesFolder settings;  // the user's settings, of the test's own
  std::vector<Ref<Object>> monitors;
};

TEST_F(GestureTest, TheTitlebarDoubleClickDoesWhatTheUserChose) {
  auto window = shown();
  const CGRect user = window->frame();
  const auto top = [&] { return CGPoint{400, window->frame().size.height - 10}; };
  EXPECT_EQ(doubleClick(window.get(), top())->isa()->name(), "NSVisualEffectView");
  EXPECT_EQ(window->frame(), metrics::kVisibleScreenFrame);  // not set: zoom, and back
  doubleClick(window.get(), top());
  EXPECT_EQ(window->frame(), user);
  window->mouseDown(top());  // one click is no double-click
  EXPECT_EQ(window->frame(), user);

  setGlobalDefaults({{"AppleMiniaturizeOnDoubleClick", Number::withBool(true)}});
  doubleClick(window.get(), top());
  ASSERT_TRUE(window->isMiniaturized());
  window->deminiaturize(nullptr);
  setGlobalDefaults({{"AppleMiniaturizeOnDoubleClick", Number::withBool(true)},
                     {"AppleActionOnDoubleClick", str("None")}});
  doubleClick(window.get(), top());
  EXPECT_FALSE(window->isMiniaturized());
  EXPECT_EQ(window->frame(), user);

  // Not on the buttons (made inert), nor in full screen.
  setGlobalDefaults({{"AppleActionOnDoubleClick", str("Minimize")}});
  auto inert = shown(NSWindowStyleMaskTitled | NSWindowStyleMaskMiniaturizable);
  doubleClick(inert.get(), centreOf(inert->standardWindowButton(NSWindowCloseButton)));
  doubleClick(inert.get(), centreOf(inert->standardWindowButton(NSWindowZoomButton)));
  EXPECT_FALSE(inert->isMiniaturized());
  window->toggleFullScreen(nullptr);
  doubleClick(window.get(), top());
  EXPECT_FALSE(window->isMiniaturized());
}

TEST_F(GestureTest, DragsMoveTheWindowFromItsTitlebarOrAMovableBackgroundOnly) {
  // Not closable, so a press on the close button does nothing.
  auto window = shown(NSWindowStyleMaskTitled | NSWindowStyleMaskResizable);
  Class* listener = hostClass("GestureMoveListener", Object::runtimeClass());
  addMethod(listener, "windowDidMove:", [](Object*, Object*) { ++gMoves; });
  gMoves = 0;
  const Ref<Object> delegate = class_createInstance(listener);
  window->setDelegate(delegate.get());
  const auto origin = [&] { return window->frame().origin; };
  drag(window.get(), {400, 590}, {30, -20});
  EXPECT_EQ(origin(), (CGPoint{130, 80}));
  EXPECT_EQ(gMoves, 2);
  press(window.get(), NSEventTypeLeftMouseDragged, {500, 590});  // after the mouse-up
  EXPECT_EQ(origin(), (CGPoint{130, 80}));

  // Not from a button or a view in it, an opaque view or a control.
  auto badge = View::withFrame({{2, 2}, {6, 6}});
  window->standardWindowButton(NSWindowCloseButton)->addSubview(badge.get());
  Class* opaque = hostClass("GestureOpaqueView", View::runtimeClass());
  addMethod(opaque, "isOpaque", [](View*) { return true; });
  auto opaqueView = View::withFrame(opaque, {{100, 100}, {100, 100}});
  auto control = View::withFrame(hostClass("GestureHostSlider", objc_getClass("NSControl")),
                                 {{300, 100}, {9, 9}});
  window->contentView()->addSubview(opaqueView.get());
  window->contentView()->addSubview(control.get());
  window->setMovableByWindowBackground(true);
  for (View* view : {window->standardWindowButton(NSWindowCloseButton), badge.get(),
                     opaqueView.get(), control.get()}) {
    drag(window.get(), centreOf(view), {25, 25});
    EXPECT_EQ(origin(), (CGPoint{130, 80})) << view->isa()->name();
  }
  drag(window.get(), {400, 300}, {10, 10});  // the background
  EXPECT_EQ(origin(), (CGPoint{140, 90}));
  window->setMovableByWindowBackground(false);
  drag(window.get(), {400, 300}, {10, 10});
  EXPECT_EQ(origin(), (CGPoint{140, 90}));
}

TEST_F(GestureTest, LocalMonitorsSeePressesFirstAndMaySwallowThem) {
  auto window = shown();
  std::vector<std::int64_t> clicks;
  monitor(NSEventMaskLeftMouseDown, [&clicks](Event* event) {
    clicks.push_back(event->clickCount());
    return event->retainAs<Event>();
  });
  EXPECT_EQ(doubleClick(window.get(), {400, 300}).get(), window->contentView());
  EXPECT_EQ(clicks, (std::vector<std::int64_t>{1, 2}));

  // A monitor removed by one before it is not called; one that swallows
  // presses keeps them from the window, not from the monitors before it.
  Ref<Object> later;
  monitor(NSEventMaskLeftMouseDown, [&later](Event* event) {
    Event::removeMonitor(later.get());
    return event->retainAs<Event>();
  });
  later = monitor(NSEventMaskLeftMouseDown, [](Event* event) {
    ADD_FAILURE() << "a removed monitor was called";
    return event->retainAs<Event>();
  });
  const Ref<Object> swallower = monitor(NSEventMaskLeftMouseDown, [](Event*) { return nullptr; });
  View* miniaturize = window->standardWindowButton(NSWindowMiniaturizeButton);
  EXPECT_EQ(window->mouseDown(centreOf(miniaturize)), nullptr);
  EXPECT_FALSE(window->isMiniaturized());
  EXPECT_EQ(clicks.size(), 3U);
  Event::removeMonitor(swallower.get());
  EXPECT_EQ(window->mouseDown(centreOf(miniaturize)).get(), miniaturize);
  EXPECT_TRUE(window->isMiniaturized());

  EXPECT_THROW(Event::mouseEvent(5, {}, window.get(), 1), PlatformError);
  EXPECT_THROW(Event::mouseEvent(NSEventTypeLeftMouseDown, {}, window.get(), -1), PlatformError);
  EXPECT_THROW(Event::addLocalMonitorForEventsMatchingMask(1, nullptr), PlatformError);
  Event::removeMonitor(window.get());  // not a monitor: ignored
}

}  // namespace
}  // namespace tovik
