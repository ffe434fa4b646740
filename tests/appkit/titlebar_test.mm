// The main window's chrome over a real window: the unified toolbar that a
// real NSToolbar fills by asking its delegate, the delayed refreshes on the
// real run loop, and the full-screen handler driven by notifications posted
// through the real NSNotificationCenter, with the plug-in's own object as
// the toolbar's delegate and the notifications' observer.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>

#include "mainwindow/fullscreen.h"
#include "mainwindow/titlebar.h"
#include "plugin/plugin_class.h"
#include "plugin/static_state.h"
#include "tests/appkit/support.h"

namespace {

using appkit_test::eventsUntil;
using appkit_test::makeWindow;

tovik::Window* ours(NSWindow* window) { return reinterpret_cast<tovik::Window*>(window); }

bool hasUnifiedToolbar(NSWindow* window) {
  return [[[window toolbar] identifier] isEqualToString:@"com.tarnwell.tovik.unified-titlebar"];
}

TEST(MainWindowChrome, TheUnifiedToolbarIsFilledByItsDelegateAndKeptAcrossFullScreen) {
  @autoreleasepool {
    id plugin = [[reinterpret_cast<Class>(tovik::registerPluginClass()) alloc] init];
    [plugin autorelease];
    // The window is found by the identifier its class answers, though
    // another is key and a hidden one answers it too.
    NSWindow* hidden = makeWindow(appkit_test::taggedWindowClass());
    NSWindow* window = makeWindow(appkit_test::taggedWindowClass());
    NSWindow* other = makeWindow([NSWindow class]);
    [window orderFront:nil];
    [other makeKeyAndOrderFront:nil];
    ASSERT_TRUE(eventsUntil(^{
      return (BOOL)([window isVisible] && [other isKeyWindow]);
    }));

    tovik::configureMainWindowTitlebar(reinterpret_cast<tovik::String*>(@"main"),
                                       reinterpret_cast<tovik::Object*>(plugin));
    ASSERT_TRUE(hasUnifiedToolbar(window));
    EXPECT_FALSE(hasUnifiedToolbar(other));
    NSToolbar* toolbar = [window toolbar];
    EXPECT_EQ([toolbar delegate], plugin);
    EXPECT_TRUE([toolbar isVisible]);
    EXPECT_TRUE([window isMovableByWindowBackground]);
    ASSERT_EQ([[toolbar items] count], 1U) << "the real toolbar asked the delegate for its item";
    EXPECT_TRUE([[[[toolbar items] objectAtIndex:0] itemIdentifier]
        isEqualToString:@"com.tarnwell.tovik.unified-titlebar.anchor"]);

    // The delayed refreshes run on the run loop: a toolbar hidden meanwhile
    // shows again out of full screen.
    [toolbar setVisible:NO];
    EXPECT_TRUE(eventsUntil(^{
      return [toolbar isVisible];
    }));

    // Each full-screen notification of the configured window brings the
    // chrome back at once; another window's are ignored.
    NSNotificationCenter* center = [NSNotificationCenter defaultCenter];
    for (NSString* name in @[
           @"NSWindowWillEnterFullScreenNotification", @"NSWindowDidEnterFullScreenNotification",
           @"NSWindowWillExitFullScreenNotification", @"NSWindowDidExitFullScreenNotification"
         ]) {
      [toolbar setVisible:NO];
      [center postNotificationName:name object:window];
      EXPECT_TRUE([toolbar isVisible]) << [name UTF8String];
    }
    tovik::observeFullscreenTransitions(ours(other), reinterpret_cast<tovik::Object*>(plugin));
    [center postNotificationName:@"NSWindowDidExitFullScreenNotification" object:other];
    EXPECT_FALSE(hasUnifiedToolbar(other));

    tovik::configuredMainWindowIdentifiers().erase("main");
    [window close];
    [other close];
    [hidden close];
  }
}

}  // namespace
