// Clicks through a host's titlebar views as a user gives them: the X server
// sends the press to the window under the pointer, GNUstep's backend makes
// the event, the application and the window route it, the window's frame
// view hit-tests it (the plug-in's replaced hitTest: among the way), and the
// view found receives mouseDown:.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>

#include <csignal>
#include <cstdlib>

#include "mainwindow/hittest.h"
#include "plugin/static_state.h"
#include "tests/appkit/x_input.h"

namespace {

using appkit_test::addView;
using appkit_test::centreInWindow;
using appkit_test::handled;
using appkit_test::lastMouseDown;
using appkit_test::recordingViewClass;
using appkit_test::windowOf;
using appkit_test::XInput;

int gPressed = 0;
void pressed(id /*self*/, SEL /*cmd*/, id /*sender*/) { ++gPressed; }

// A host's push button, whose action counts.
NSButton* addControl(NSView* parent, NSRect frame) {
  static id target = [] {
    Class cls = objc_allocateClassPair([NSObject class], "HostControlTarget", 0);
    class_addMethod(cls, @selector(pressed:), reinterpret_cast<IMP>(&pressed), "v@:@");
    objc_registerClassPair(cls);
    return [[cls alloc] init];
  }();
  NSButton* button = static_cast<NSButton*>(addView([NSButton class], parent, frame));
  [button setTarget:target];
  [button setAction:@selector(pressed:)];
  return button;
}

// Where a click at `point` (the window's coordinates) lands.
NSView* clickAt(XInput& x, NSWindow* window, NSPoint point) {
  appkit_test::forget();
  x.click(window, point);
  const int pressedBefore = gPressed;
  EXPECT_TRUE(handled("a click", ^{
    return (BOOL)(lastMouseDown().seen != 0 || gPressed != pressedBefore);
  }));
  return lastMouseDown().view;
}

NSView* clickOn(XInput& x, NSView* view) { return clickAt(x, [view window], centreInWindow(view)); }

// hitTest: answering a truth value: another encoding than NSView's.
BOOL oddHitTest(id /*self*/, SEL /*cmd*/) { return NO; }

// A configured main window with a host's strip, shown beside another.
struct ConfiguredBesideAnother {
  XInput x;
  NSWindow* main = windowOf(appkit_test::hostMainWindowClass());
  NSWindow* other = windowOf([NSWindow class]);
  NSView* strip = appkit_test::addStrip(recordingViewClass("HostTitlebarStrip"), main);

  ::testing::AssertionResult show() {
    appkit_test::configureMainWindow(main);
    return appkit_test::showApart(x, {main, other});
  }
  ~ConfiguredBesideAnother() {
    appkit_test::unconfigureMainWindow();
    [main close];
    [other close];
  }
};

TEST(RealClicks, TheConfiguredStripGivesClicksToTheContentTheOtherWindowKeepsThem) {
  @autoreleasepool {
    ConfiguredBesideAnother windows;
    XInput& x = windows.x;
    NSWindow* other = windows.other;

    // The host's strip along the top of each content view: a titlebar view
    // holding a toolbar item, a part of the strip whose class inherits the
    // strip's (both replaced), and a control.
    Class strip = [windows.strip class];
    Class item = recordingViewClass("HostToolbarItemView");
    Class part = recordingViewClass("HostTitlebarStripPart", strip);
    Class odd = recordingViewClass("HostToolbarOddView");
    class_addMethod(odd, @selector(hitTest:), reinterpret_cast<IMP>(&oddHitTest), "C@:");
    struct Host {
      NSView* content;
      NSView* strip;
      NSView* item;
      NSView* part;
      NSButton* control;
    };
    Host hosts[2];
    NSView* strips[2] = {windows.strip, appkit_test::addStrip(strip, other)};
    for (int i = 0; i < 2; ++i) {
      NSView* stripView = strips[i];
      hosts[i] = {[[stripView window] contentView],
                  stripView,
                  addView(item, stripView, NSMakeRect(10, 5, 30, 30)),
                  addView(part, stripView, NSMakeRect(100, 5, 60, 30)),
                  addControl(stripView, NSMakeRect(330, 5, 60, 30))};
    }
    addView(odd, [other contentView], NSMakeRect(100, 0, 10, 10));

    ASSERT_TRUE(windows.show());
    tovik::installTitlebarHitTesting(reinterpret_cast<tovik::Window*>(other));
    EXPECT_FALSE(
        tovik::hitTestOverriddenClassNames().contains(reinterpret_cast<tovik::Class*>(odd)))
        << "a hitTest: of another encoding is left alone";

    const Host& configured = hosts[0];
    const Host& plain = hosts[1];
    for (NSView* view : {configured.strip, configured.item, configured.part}) {
      EXPECT_EQ(clickOn(x, view), configured.content)
          << [NSStringFromClass([view class]) UTF8String];
    }
    gPressed = 0;
    EXPECT_EQ(clickOn(x, configured.control), configured.content);
    EXPECT_EQ(gPressed, 0) << "the control in the configured strip gives way too";

    for (NSView* view : {plain.strip, plain.item, plain.part}) {
      EXPECT_EQ(clickOn(x, view), view) << "only the configured window gives way";
    }
    gPressed = 0;
    clickOn(x, plain.control);
    EXPECT_EQ(gPressed, 1) << "the control keeps its clicks";

    // The line between the strip and the content is the content's (the
    // strip's bottom edge is outside it, as NSMouseInRect has it under an
    // unflipped superview); a point above it is the strip's.
    for (const Host& host : hosts) {
      const CGFloat line = NSMinY([host.strip frame]);
      const NSPoint onLine = [host.content convertPoint:NSMakePoint(300, line) toView:nil];
      NSWindow* w = [host.content window];
      EXPECT_EQ(clickAt(x, w, NSMakePoint(onLine.x, onLine.y - 1)), host.content);
      EXPECT_EQ(clickAt(x, w, onLine), host.content);
      EXPECT_EQ(clickAt(x, w, NSMakePoint(onLine.x, onLine.y + 1)),
                host.content == configured.content ? host.content : host.strip);
    }
  }
}

TEST(RealClicks, InputForAWindowClosedMeanwhileIsDropped) {
  @autoreleasepool {
    ConfiguredBesideAnother windows;
    ASSERT_TRUE(windows.show());
    XInput& x = windows.x;
    NSWindow* closing = windows.main;
    NSWindow* other = windows.other;
    const NSSize size = [closing frame].size;

    // A double-click on the strip reaches the X server; the window closes
    // before the application takes the presses from the queue.
    x.click(closing, centreInWindow(windows.strip), 2);
    [closing close];
    appkit_test::unconfigureMainWindow();
    NSView* otherContent = [other contentView];
    EXPECT_EQ(clickOn(x, otherContent), otherContent);
    EXPECT_EQ(lastMouseDown().seen, 1U) << "the closed window's views received nothing";
    EXPECT_TRUE(NSEqualSizes([closing frame].size, size)) << "nor did its double-click act";
  }
}

// A press whose release never comes: the view has it, the run loop goes on,
// and once the button is up the next click is a click of its own.
TEST(RealClicks, APressNeverReleasedLeavesTheNextClickWhole) {
  @autoreleasepool {
    ConfiguredBesideAnother windows;
    ASSERT_TRUE(windows.show());
    NSWindow* other = windows.other;
    NSView* otherContent = [other contentView];
    {
      XInput held;
      appkit_test::forget();
      held.moveTo(other, NSMakePoint(100, 100));
      held.press();
      EXPECT_TRUE(handled("a press", ^{
        return (BOOL)(lastMouseDown().seen == 1);
      }));
    }
    EXPECT_EQ(clickAt(windows.x, other, NSMakePoint(300, 100)), otherContent);
    EXPECT_EQ(lastMouseDown().clickCount, 1);
  }
}

// The X server ended between two clicks. Run by x_server_loss.sh, which
// checks that the runner then fails, says why, and leaves nothing running.
TEST(XServerLoss, TheServerEndsBetweenTwoClicks) {
  if (std::getenv("TOVIK_END_X_SERVER") == nullptr) {
    GTEST_SKIP() << "run by tests/appkit/x_server_loss.sh";
  }
  XInput x;
  NSWindow* window = windowOf([NSWindow class]);
  ASSERT_TRUE(appkit_test::showApart(x, {window}));
  ASSERT_GT(x.serverPid(), 0);
  kill(x.serverPid(), SIGTERM);
  clickOn(x, [window contentView]);
  ADD_FAILURE() << "the process went on after its X server ended";
}

}  // namespace
