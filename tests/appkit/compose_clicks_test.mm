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
using appkit_test::XInput;

TEST(ComposeWindowByHand, TheCloseButtonAsksTheHostAndDraggingTheEdgeRecordsTheSize) {
  @autoreleasepool {
    XInput x;
    id plugin = [[[reinterpret_cast<Class>(tovik::registerPluginClass()) alloc] init] autorelease];
    NSWindow* window = appkit_test::windowOf(appkit_test::taggedWindowClass());
    [window orderFront:nil];
    __block int asked = 0;
    __block BOOL allow = NO;
    NSDictionary* configuration = [NSDictionary
        dictionaryWithObjectsAndKeys:@"main", @"windowIdentifier", @"test.handComposeSize",
                                     @"sizeDefaultsKey", [NSNumber numberWithDouble:300],
                                     @"minimumWidth", [NSNumber numberWithDouble:250],
                                     @"minimumHeight", nil];
    [plugin performSelector:@selector(configureComposeWindowWithConfiguration:shouldClose:)
                 withObject:configuration
                 withObject:^BOOL {
                   ++asked;
                   return allow;
                 }];
    ASSERT_TRUE(handled("configuring", ^{
      return (BOOL)([window delegate] != nil);
    }));
    ASSERT_TRUE(appkit_test::showApart(x, {window}));
    NSButton* close = [window standardWindowButton:NSWindowCloseButton];
    ASSERT_NE(close, nil) << "GNUstep draws the window's decorations";

    x.click(window, centreInWindow(close));
    EXPECT_TRUE(handled("the close button", ^{
      return (BOOL)(asked == 1);
    }));
    EXPECT_TRUE([window isVisible]) << "the host said no";

    // GNUstep's resize bar runs along the window's bottom edge, under the
    // content view: dragging it down makes the window taller.
    const NSRect before = [window frame];
    const NSPoint bar = NSMakePoint(NSWidth(before) / 2, NSMinY([[window contentView] frame]) / 2);
    x.drag(window, bar, NSMakePoint(bar.x, bar.y - 60));
    ASSERT_TRUE(handled("the drag", ^{
      return (BOOL)(NSHeight([window frame]) > NSHeight(before));
    }));
    NSDictionary* record =
        [[NSUserDefaults standardUserDefaults] dictionaryForKey:@"test.handComposeSize"];
    EXPECT_DOUBLE_EQ([[record objectForKey:@"width"] doubleValue], NSWidth([window frame]));
    EXPECT_DOUBLE_EQ([[record objectForKey:@"height"] doubleValue], NSHeight([window frame]));
    ASSERT_TRUE(appkit_test::showApart(x, {window})) << "the window server has the new frame";

    allow = YES;
    x.click(window, centreInWindow(close));
    EXPECT_TRUE(handled("the close button", ^{
      return (BOOL) ![window isVisible];
    }));
    EXPECT_EQ(asked, 2);

    // After the host allows it, the next click closes without asking.
    allow = NO;
    [window orderFront:nil];
    [plugin performSelector:@selector(configureComposeWindowWithConfiguration:shouldClose:)
                 withObject:configuration
                 withObject:^BOOL {
                   ++asked;
                   return allow;
                 }];
    [plugin performSelector:@selector(allowComposeWindowCloseWithWindowIdentifier:)
                 withObject:@"main"];
    ASSERT_TRUE(appkit_test::showApart(x, {window}));
    x.click(window, centreInWindow(close));
    EXPECT_TRUE(handled("the close button", ^{
      return (BOOL) ![window isVisible];
    }));
    EXPECT_EQ(asked, 2);
  }
}

}  // namespace
