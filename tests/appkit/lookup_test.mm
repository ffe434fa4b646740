// Finding the window to configure among real windows: a visible one whose
// identifier (where its class answers one) is the one asked for, else the
// key window.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>

#include "mainwindow/lookup.h"
#include "tests/appkit/support.h"

namespace {

using appkit_test::eventsUntil;
using appkit_test::makeWindow;

NSWindow* found(NSString* identifier) {
  return reinterpret_cast<NSWindow*>(
      tovik::resolveWindowWithIdentifier(reinterpret_cast<tovik::String*>(identifier)));
}

TEST(WindowLookup, AVisibleWindowAnsweringTheIdentifierElseTheKeyWindow) {
  @autoreleasepool {
    NSWindow* document = makeWindow([NSWindow class]);
    [document makeKeyAndOrderFront:nil];
    ASSERT_TRUE(eventsUntil(^{
      return [document isKeyWindow];
    }));
    EXPECT_EQ(found(@"main"), document) << "no window carries the identifier: the key window";

    // A window whose class answers identifier, as NSWindow does on a Mac, is
    // found by it though another window is key.
    NSWindow* hostWindow = makeWindow(appkit_test::taggedWindowClass());
    [hostWindow orderFront:nil];
    ASSERT_TRUE(eventsUntil(^{
      return [hostWindow isVisible];
    }));
    EXPECT_EQ(found(@"main"), hostWindow);
    EXPECT_EQ(found(@"compose"), document);

    // A panel that takes the keyboard is the key window.
    NSPanel* panel = static_cast<NSPanel*>(makeWindow([NSPanel class]));
    [panel makeKeyAndOrderFront:nil];
    ASSERT_TRUE(eventsUntil(^{
      return [panel isKeyWindow];
    }));
    EXPECT_EQ(found(@"compose"), panel);

    // A hidden window is passed over, whatever it carries. (What is key
    // after a key window leaves the screen settles in GNUstep only with the
    // window server's events, so the later fallbacks are left to the
    // headless tests.)
    [hostWindow orderOut:nil];
    ASSERT_TRUE(eventsUntil(^{
      return (BOOL) ![hostWindow isVisible];
    }));
    EXPECT_EQ(found(@"main"), panel);
    [panel close];
    [hostWindow close];
    [document close];
  }
}

}  // namespace
