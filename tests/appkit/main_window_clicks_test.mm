// A configured main window clicked as a user clicks. Its titlebar
// double-click: the X server's timestamps make the click count, the backend's
// local event monitor hands the second press to the plug-in before the
// window dispatches it, and the action is the one the user set with
// `defaults write NSGlobalDomain AppleActionOnDoubleClick ...`.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>

#include <cstdlib>
#include <string>

#include "tests/appkit/x_input.h"

namespace {

using appkit_test::addView;
using appkit_test::handled;
using appkit_test::lastMouseDown;
using appkit_test::XInput;

// The user's setting, written as `defaults` writes it, read by the running
// application at its next synchronisation.
void setUserAction(const char* action) {
  const std::string command =
      std::string("defaults write NSGlobalDomain AppleActionOnDoubleClick ") + action;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  [[NSUserDefaults standardUserDefaults] synchronize];
}

BOOL refuseClose(id /*self*/, SEL /*cmd*/, id /*window*/) { return NO; }

// A host's window delegate that keeps the window open.
id keepOpenDelegate() {
  static id delegate = [] {
    Class cls = objc_allocateClassPair([NSObject class], "HostKeepOpenDelegate", 0);
    class_addMethod(cls, @selector(windowShouldClose:), reinterpret_cast<IMP>(&refuseClose),
                    (std::string(@encode(BOOL)) + "@:@").c_str());
    objc_registerClassPair(cls);
    return [[cls alloc] init];
  }();
  return delegate;
}

class ConfiguredMainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = [appkit_test::windowOf(appkit_test::hostMainWindowClass()) retain];
    strip_ = appkit_test::addStrip(appkit_test::recordingViewClass("HostTitlebarStrip"), window_);
    [window_ setDelegate:keepOpenDelegate()];
    appkit_test::configureMainWindow(window_);
    // The toolbar the plug-in adds makes GNUstep's window taller.
    ASSERT_TRUE(appkit_test::showApart(x_, {window_}));
    home_ = [window_ frame];
  }
  void TearDown() override {
    appkit_test::unconfigureMainWindow();
    [window_ close];
    [window_ release];
  }

  // `count` clicks at a point of the window; waits until the last press
  // reached a view or, on a standard button, the window.
  void click(NSPoint point, int count) {
    appkit_test::forget();
    x_.click(window_, point, count);
    EXPECT_TRUE(handled("the clicks",
                        ^{
                          return (BOOL)(lastMouseDown().clickCount == count);
                        }))
        << count << " presses at (" << point.x << ", " << point.y << "); the last press counted "
        << lastMouseDown().clickCount;
  }
  // A point of the strip 10 points to the right of the last one: presses
  // that far apart are never counted as one multiple click.
  NSPoint onStrip() {
    x_offset_ = (x_offset_ + 10) % 300;
    return
        [[window_ contentView] convertPoint:NSMakePoint(50 + x_offset_, NSMaxY([strip_ frame]) - 10)
                                     toView:nil];
  }
  // Zooming changes the window's size; the window manager may move it.
  [[nodiscard]] bool atHome() const { return NSEqualSizes([window_ frame].size, home_.size); }

  XInput x_;
  NSWindow* window_ = nil;
  NSView* strip_ = nil;
  NSRect home_{};
  int x_offset_ = 0;
};

TEST_F(ConfiguredMainWindow, ADoubleClickOnTheStripDoesTheUsersActionForEachValue) {
  setUserAction("Maximize");
  click(onStrip(), 2);
  EXPECT_EQ(lastMouseDown().view, [window_ contentView]) << "the strip gives the click way";
  EXPECT_TRUE(handled("zooming", ^{
    return (BOOL)(NSWidth([window_ frame]) > NSWidth(home_));
  }));
  [window_ setFrame:home_ display:YES];

  setUserAction("Fill");
  click(onStrip(), 2);
  EXPECT_GT(NSWidth([window_ frame]), NSWidth(home_)) << "Fill zooms";
  [window_ setFrame:home_ display:YES];

  setUserAction("None");
  click(onStrip(), 2);
  EXPECT_TRUE(atHome());
  EXPECT_FALSE([window_ isMiniaturized]);

  // The window leaves the screen before the press is dispatched.
  setUserAction("Minimize");
  x_.click(window_, onStrip(), 2);
  EXPECT_TRUE(handled("miniaturizing", ^{
    return [window_ isMiniaturized];
  }));
  [window_ deminiaturize:nil];
  EXPECT_TRUE(handled("showing the window again", ^{
    return (BOOL)(![window_ isMiniaturized] && [window_ isVisible]);
  }));
}

TEST_F(ConfiguredMainWindow, ADoubleClickDoesNothingOnTheButtonsBelowTheStripOrFromSeparateClicks) {
  setUserAction("Maximize");
  NSView* content = [window_ contentView];
  const CGFloat line = NSMinY([strip_ frame]);
  for (const NSPoint point : {NSMakePoint(100, line - 1), NSMakePoint(200, line)}) {
    click([content convertPoint:point toView:nil], 2);
    EXPECT_TRUE(atHome()) << "below the strip, at y = " << point.y;
  }

  // GNUstep's close button, over the window's own titlebar: the host keeps
  // the window open, and the double-click there is the button's.
  NSButton* close = [window_ standardWindowButton:NSWindowCloseButton];
  ASSERT_NE(close, nil);
  x_.click(window_, appkit_test::centreInWindow(close), 2);
  [[NSRunLoop currentRunLoop] runUntilDate:[NSDate dateWithTimeIntervalSinceNow:0.3]];
  click([content convertPoint:NSMakePoint(20, 20) toView:nil], 1);
  EXPECT_TRUE([window_ isVisible]);
  EXPECT_TRUE(atHome()) << "a double-click on a standard button is the button's";

  // The click count is the event stream's: two presses far apart in time
  // are two single clicks, and the third press of a triple-click does not
  // act again (zooming twice would put the window back).
  const NSPoint point = onStrip();
  click(point, 1);
  [NSThread sleepForTimeInterval:0.6];
  click(point, 1);
  EXPECT_TRUE(atHome());
  click(onStrip(), 3);
  EXPECT_GT(NSWidth([window_ frame]), NSWidth(home_));
}

// The plug-in keeps the standard buttons: GNUstep's miniaturise button
// still miniaturises the configured window (GNUstep has no zoom button).
TEST_F(ConfiguredMainWindow, TheMiniaturizeButtonStillMiniaturizes) {
  EXPECT_EQ([window_ standardWindowButton:NSWindowZoomButton], nil);
  NSButton* miniaturize = [window_ standardWindowButton:NSWindowMiniaturizeButton];
  ASSERT_NE(miniaturize, nil);
  x_.click(window_, appkit_test::centreInWindow(miniaturize));
  EXPECT_TRUE(handled("the miniaturise button", ^{
    return [window_ isMiniaturized];
  }));
}

}  // namespace
