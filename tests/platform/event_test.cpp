#include "platform/event.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/notification_center.h"
#include "platform/window.h"
#include "platform/window_metrics.h"
#include "tests/support/gestures.h"

namespace tovik {
namespace {

using gestures::doubleClick;
using gestures::drag;
using gestures::press;

std::vector<std::string>* gHeard = nullptr;

// A window delegate that hears the window move and resize.
Class* frameListenerClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "GestureFrameListener");
    addMethod(c, "windowDidMove:", [](Object*, Notification*) { gHeard->emplace_back("move"); });
    addMethod(c,
              "windowDidResize:", [](Object*, Notification*) { gHeard->emplace_back("resize"); });
    objc_registerClassPair(c);
    return c;
  }();
  return cls;
}

Class* hostClass(const char* name, Class* superclass) {
  if (Class* existing = objc_getClass(name)) return existing;
  Class* cls = objc_allocateClassPair(superclass, name);
  objc_registerClassPair(cls);
  return cls;
}

std::string reached(const Window& window, const Ref<View>& hit) {
  if (hit == nullptr) return "no view";
  return hit.get() == window.contentView() ? "content" : hit->isa()->name();
}

CGPoint centreOf(View* view) {
  return view->convertPointToView({view->frame().size.width / 2, view->frame().size.height / 2},
                                  nullptr);
}

class GestureTest : public ::testing::Test {
 protected:
  void SetUp() override { gHeard = &heard; }
  void TearDown() override {
    for (const Ref<Object>& monitor : monitors) Event::removeMonitor(monitor.get());
    for (const auto& w : Application::shared()->windows()) w->close();
    gHeard = nullptr;
  }
  Ref<Window> shownWindow(std::uint64_t style = kStandardWindowStyle) {
    auto window = Window::create({{100, 100}, {800, 600}}, style);
    window->makeKeyAndOrderFront(nullptr);
    window->setDelegate(listener.get());
    return window;
  }
  template <class F>
  Ref<Object> monitor(std::uint64_t mask, F handler) {
    monitors.push_back(Event::addLocalMonitorForEventsMatchingMask(
        mask, makeBlock<Ref<Event>(Event*)>(std::move(handler)).get()));
    return monitors.back();
  }

  gestures::UserSettings settings;
  Ref<Object> listener = class_createInstance(frameListenerClass());
  std::vector<std::string> heard;
  std::vector<Ref<Object>> monitors;
};

TEST_F(GestureTest, ATitlebarDoubleClickDoesWhatTheUserChose) {
  auto window = shownWindow();
  const CGRect user = window->frame();
  const auto strip = [&] { return CGPoint{400, window->frame().size.height - 10}; };

  // No setting: zoom to the screen's visible frame, and back.
  EXPECT_EQ(reached(*window, doubleClick(window.get(), strip())), "NSVisualEffectView");
  EXPECT_TRUE(window->isZoomed());
  EXPECT_EQ(window->frame(), metrics::kVisibleScreenFrame);
  EXPECT_EQ(heard, (std::vector<std::string>{"resize", "move"}));
  doubleClick(window.get(), strip());
  EXPECT_EQ(window->frame(), user);
  EXPECT_FALSE(window->isZoomed());
  window->mouseDown(strip());  // one click is no double-click
  EXPECT_EQ(window->frame(), user);

  // Each setting, read at the click.
  const auto outcome = [&] {
    doubleClick(window.get(), strip());
    std::string what = window->isMiniaturized()  ? "minimised"
                       : window->isZoomed()      ? "zoomed"
                       : window->frame() == user ? "unchanged"
                                                 : "moved";
    if (window->isMiniaturized()) window->deminiaturize(nullptr);
    if (window->isZoomed()) window->zoom(nullptr);
    return what;
  };
  using gestures::UserSettings;
  const auto yes = Number::withBool(true);
  UserSettings::set({{"AppleActionOnDoubleClick", str("Maximize")}});
  EXPECT_EQ(outcome(), "zoomed");
  UserSettings::set({{"AppleActionOnDoubleClick", str("Fill")}});
  EXPECT_EQ(outcome(), "zoomed");
  UserSettings::set({{"AppleActionOnDoubleClick", str("Minimize")}});
  EXPECT_EQ(outcome(), "minimised");
  UserSettings::set({{"AppleActionOnDoubleClick", str("None")}});
  EXPECT_EQ(outcome(), "unchanged");
  UserSettings::set({{"AppleMiniaturizeOnDoubleClick", yes}});
  EXPECT_EQ(outcome(), "minimised");
  UserSettings::set(
      {{"AppleMiniaturizeOnDoubleClick", yes}, {"AppleActionOnDoubleClick", str("None")}});
  EXPECT_EQ(outcome(), "unchanged");

  // Not on the buttons, nor in full screen.
  UserSettings::set({{"AppleActionOnDoubleClick", str("Minimize")}});
  auto refusing = shownWindow(NSWindowStyleMaskTitled | NSWindowStyleMaskMiniaturizable);
  doubleClick(refusing.get(), centreOf(refusing->standardWindowButton(NSWindowCloseButton)));
  doubleClick(refusing.get(), centreOf(refusing->standardWindowButton(NSWindowZoomButton)));
  EXPECT_FALSE(refusing->isMiniaturized());
  window->toggleFullScreen(nullptr);
  doubleClick(window.get(), strip());
  EXPECT_FALSE(window->isMiniaturized());
}

TEST_F(GestureTest, DragsMoveTheWindowFromItsTitlebarOrAMovableBackgroundOnly) {
  // Not closable, so a press on the close button does nothing.
  auto window = shownWindow(NSWindowStyleMaskTitled | NSWindowStyleMaskResizable);
  const auto origin = [&] { return window->frame().origin; };
  drag(window.get(), {400, 590}, {30, -20});
  EXPECT_EQ(origin(), (CGPoint{130, 80}));
  EXPECT_EQ(heard, (std::vector<std::string>{"move", "move"}));
  press(window.get(), NSEventTypeLeftMouseDragged, {500, 590}, 1);  // after the mouse-up
  EXPECT_EQ(origin(), (CGPoint{130, 80}));

  // Nor from a view in it, which leaves the press to the button.
  View* close = window->standardWindowButton(NSWindowCloseButton);
  auto badge = View::withFrame({{2, 2}, {6, 6}});
  close->addSubview(badge.get());
  for (View* view : {close, badge.get()}) {
    drag(window.get(), centreOf(view), {30, 30});
    EXPECT_EQ(origin(), (CGPoint{130, 80}));
  }
  drag(window.get(), {400, 300}, {10, 10});  // the content, not movable by it yet
  EXPECT_EQ(origin(), (CGPoint{130, 80}));
  window->setMovableByWindowBackground(true);
  drag(window.get(), {400, 300}, {10, 10});
  EXPECT_EQ(origin(), (CGPoint{140, 90}));

  // An opaque view and a control take their presses, whoever asks.
  Class* opaque = hostClass("GestureOpaqueView", View::runtimeClass());
  addMethod(opaque, "isOpaque", [](View*) { return true; });
  Class* control = hostClass("GestureHostSlider", objc_getClass("NSControl"));
  for (Class* cls : {opaque, control}) {
    auto view = View::withFrame(cls, {{100, 100}, {100, 100}});
    window->contentView()->addSubview(view.get());
    EXPECT_FALSE(view->mouseDownCanMoveWindow()) << cls->name();
    drag(window.get(), {150, 150}, {25, 25});
    EXPECT_EQ(origin(), (CGPoint{140, 90})) << cls->name();
    view->removeFromSuperview();
  }

  window->toggleFullScreen(nullptr);
  drag(window.get(), {400, metrics::kScreenFrame.size.height - 10}, {30, -20});
  EXPECT_EQ(window->frame(), metrics::kScreenFrame);
}

TEST_F(GestureTest, LocalMonitorsSeePressesFirstAndMaySwallowThem) {
  auto window = shownWindow();
  std::vector<std::string> seen;
  monitor(NSEventMaskLeftMouseDown, [&seen](Event* event) {
    const CGPoint at = event->locationInWindow();
    seen.push_back(std::to_string(event->clickCount()) + " at " +
                   std::to_string(static_cast<int>(at.x)) + "," +
                   std::to_string(static_cast<int>(at.y)));
    return event->retainAs<Event>();
  });
  EXPECT_EQ(reached(*window, doubleClick(window.get(), {400, 300})), "content");
  EXPECT_EQ(seen, (std::vector<std::string>{"1 at 400,300", "2 at 400,300"}));

  // A monitor removed by one before it is not called; one that swallows
  // presses keeps them from the window, but not from the monitors before.
  View* miniaturize = window->standardWindowButton(NSWindowMiniaturizeButton);
  Ref<Object> later;
  monitor(NSEventMaskLeftMouseDown, [&later](Event* event) {
    Event::removeMonitor(later.get());
    return event->retainAs<Event>();
  });
  int laterCalls = 0;
  later = monitor(NSEventMaskLeftMouseDown, [&laterCalls](Event* event) {
    ++laterCalls;
    return event->retainAs<Event>();
  });
  const Ref<Object> swallower = monitor(NSEventMaskLeftMouseDown | NSEventMaskLeftMouseUp,
                                        [](Event*) { return Ref<Event>(); });
  EXPECT_EQ(window->mouseDown(centreOf(miniaturize)), nullptr);
  EXPECT_FALSE(window->isMiniaturized());
  EXPECT_EQ(seen.size(), 3U);
  EXPECT_EQ(laterCalls, 0);
  Event::removeMonitor(swallower.get());
  EXPECT_EQ(window->mouseDown(centreOf(miniaturize)).get(), miniaturize);
  EXPECT_TRUE(window->isMiniaturized());

  // Misuse is reported; what is not a monitor in place is ignored.
  EXPECT_THROW(Event::mouseEvent(5, {}, window.get(), 1), PlatformError);
  EXPECT_THROW(Event::mouseEvent(NSEventTypeLeftMouseDown, {}, window.get(), -1), PlatformError);
  EXPECT_THROW(Event::addLocalMonitorForEventsMatchingMask(NSEventMaskLeftMouseDown, nullptr),
               PlatformError);
  Event::removeMonitor(nullptr);
  Event::removeMonitor(window.get());
  Event::removeMonitor(swallower.get());
}

}  // namespace
}  // namespace tovik
