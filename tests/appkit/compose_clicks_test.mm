// A compose window handled by hand: its real close button (GNUstep's own,
// in the titlebar GNUstep draws) asks the host through the plug-in's
// delegate, and dragging its resize bar writes its record.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>

#include "plugin/plugin_class.h"
#include "tests/appkit/support.h"
#include "tests/appkit/x_input.h"

namespace {

using appkit_test::centreInWindow;
using appkit_test::handled;

class ComposeWindowByHand : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin_ = [[reinterpret_cast<Class>(tovik::registerPluginClass()) alloc] init];
    window_ = [appkit_test::windowOf(appkit_test::taggedWindowClass()) retain];
    [window_ orderFront:nil];
    configure();
    ASSERT_TRUE(handled("configuring", ^{
      return (BOOL)([window_ delegate] != nil);
    }));
    ASSERT_TRUE(appkit_test::showApart(x_, {window_}));
    close_ = [window_ standardWindowButton:NSWindowCloseButton];
    ASSERT_NE(close_, nil) << "GNUstep draws the window's decorations";
  }
  void TearDown() override {
    [window_ close];
    [window_ release];
    [plugin_ release];
  }

  // The host hands the window to the plug-in; its block counts the
  // questions and answers `allow_`.
  void configure() {
    NSDictionary* configuration = [NSDictionary
        dictionaryWithObjectsAndKeys:@"main", @"windowIdentifier", @"test.handComposeSize",
                                     @"sizeDefaultsKey", [NSNumber numberWithDouble:300],
                                     @"minimumWidth", [NSNumber numberWithDouble:250],
                                     @"minimumHeight", nil];
    [plugin_ performSelector:@selector(configureComposeWindowWithConfiguration:shouldClose:)
                  withObject:configuration
                  withObject:^BOOL {
                    ++asked_;
                    return allow_;
                  }];
  }
  ::testing::AssertionResult clickClose(BOOL (^done)(void)) {
    x_.click(window_, centreInWindow(close_));
    return handled("the close button", done);
  }

  appkit_test::XInput x_;
  id plugin_ = nil;
  NSWindow* window_ = nil;
  NSButton* close_ = nil;
  int asked_ = 0;
  BOOL allow_ = NO;
};

TEST_F(ComposeWindowByHand, TheCloseButtonAsksTheHostUnlessTheHostAllowedTheNextClose) {
  EXPECT_TRUE(clickClose(^{
    return (BOOL)(asked_ == 1);
  }));
  EXPECT_TRUE([window_ isVisible]) << "the host said no";

  allow_ = YES;
  EXPECT_TRUE(clickClose(^{
    return (BOOL) ![window_ isVisible];
  }));
  EXPECT_EQ(asked_, 2);

  // After the host allows it, the next click closes without asking.
  allow_ = NO;
  [window_ orderFront:nil];
  configure();
  [plugin_ performSelector:@selector(allowComposeWindowCloseWithWindowIdentifier:)
                withObject:@"main"];
  ASSERT_TRUE(appkit_test::showApart(x_, {window_}));
  EXPECT_TRUE(clickClose(^{
    return (BOOL) ![window_ isVisible];
  }));
  EXPECT_EQ(asked_, 2);
}

// GNUstep's resize bar runs along the window's bottom edge, under the
// content view: dragging it down makes the window taller.
TEST_F(ComposeWindowByHand, DraggingTheResizeBarRecordsTheNewSize) {
  const NSRect before = [window_ frame];
  const NSPoint bar = NSMakePoint(NSWidth(before) / 2, NSMinY([[window_ contentView] frame]) / 2);
  x_.drag(window_, bar, NSMakePoint(bar.x, bar.y - 60));
  ASSERT_TRUE(handled("the drag", ^{
    return (BOOL)(NSHeight([window_ frame]) > NSHeight(before));
  }));
  // In the application's own domain, which is kept on disk.
  NSDictionary* record = [[[NSUserDefaults standardUserDefaults]
      persistentDomainForName:[[NSProcessInfo processInfo] processName]]
      objectForKey:@"test.handComposeSize"];
  EXPECT_DOUBLE_EQ([[record objectForKey:@"width"] doubleValue], NSWidth([window_ frame]));
  EXPECT_DOUBLE_EQ([[record objectForKey:@"height"] doubleValue], NSHeight([window_ frame]));
}

}  // namespace
