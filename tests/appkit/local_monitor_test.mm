// Local event monitors over GNUstep, which has none of its own: the
// backend's, asked for through the seam as the plug-in asks, and fed by
// clicks the X server delivers.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/event.h"
#include "tests/appkit/x_input.h"

namespace {

using appkit_test::handled;
using appkit_test::lastMouseDown;
using appkit_test::XInput;

tovik::Ref<tovik::Object> addMonitor(std::uint64_t mask,
                                     std::function<tovik::Ref<tovik::Event>(tovik::Event*)> body) {
  return tovik::Event::addLocalMonitorForEventsMatchingMask(
      mask, tovik::makeBlock<tovik::Ref<tovik::Event>(tovik::Event*)>(std::move(body)).get());
}

TEST(LocalEventMonitors, HandlersSeeTheirEventsFirstInTurnAndNilSwallowsThem) {
  @autoreleasepool {
    XInput x;
    NSWindow* window = appkit_test::windowOf([NSWindow class]);
    ASSERT_TRUE(appkit_test::showApart(x, {window}));
    const NSPoint point = NSMakePoint(120, 80);

    // What the handlers heard, in order; blocks capture C++ objects by copy,
    // so the waits below look at it through a pointer.
    std::string heard;
    const std::string* heardSoFar = &heard;
    bool swallow = false;
    tovik::CGPoint location{};
    const auto first = addMonitor(tovik::NSEventMaskLeftMouseDown, [&](tovik::Event* event) {
      heard += "first-down ";
      location = event->locationInWindow();
      EXPECT_EQ(reinterpret_cast<NSWindow*>(event->window()), window);
      EXPECT_EQ(lastMouseDown().seen, 0U) << "before the window dispatches it";
      return event->retainAs<tovik::Event>();
    });
    const auto second = addMonitor(
        tovik::NSEventMaskLeftMouseDown | tovik::NSEventMaskLeftMouseUp, [&](tovik::Event* event) {
          heard += event->type() == tovik::NSEventTypeLeftMouseDown ? "second-down " : "second-up ";
          return swallow ? nullptr : event->retainAs<tovik::Event>();
        });
    const auto other = addMonitor(NSRightMouseDownMask, [&](tovik::Event* event) {
      heard += "right ";
      return event->retainAs<tovik::Event>();
    });
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE([NSEvent respondsToSelector:@selector(removeMonitor:)]) << "a host may use them";

    appkit_test::forget();
    x.click(window, point);
    EXPECT_TRUE(handled("a click", ^{
      return (BOOL)(lastMouseDown().seen != 0);
    }));
    EXPECT_TRUE(handled("the release", ^{
      return (BOOL)(heardSoFar->find("second-up") != std::string::npos);
    }));
    EXPECT_EQ(heard, "first-down second-down second-up ");
    EXPECT_EQ(location.x, point.x);
    EXPECT_EQ(location.y, point.y);

    // Swallowed: the window never sees the press.
    swallow = true;
    heard.clear();
    appkit_test::forget();
    x.click(window, NSMakePoint(point.x + 20, point.y));
    EXPECT_TRUE(handled("the release", ^{
      return (BOOL)(heardSoFar->find("second-up") != std::string::npos);
    }));
    EXPECT_EQ(lastMouseDown().seen, 0U);

    // Removed monitors are asked no more.
    for (const auto& monitor : {second, other}) {
      [NSEvent performSelector:@selector(removeMonitor:)
                    withObject:reinterpret_cast<id>(monitor.get())];
    }
    heard.clear();
    x.click(window, NSMakePoint(point.x + 40, point.y));
    EXPECT_TRUE(handled("a click", ^{
      return (BOOL)(lastMouseDown().seen != 0);
    }));
    EXPECT_EQ(heard, "first-down ");
    [NSEvent performSelector:@selector(removeMonitor:)
                  withObject:reinterpret_cast<id>(first.get())];
    [window close];
  }
}

}  // namespace
