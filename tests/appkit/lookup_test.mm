// Finding the window to configure among real windows: a visible one whose
// identifier (where its class answers one) is the one asked for, else the
// key window.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>

#include "mainwindow/lookup.h"

namespace {

// Dispatches the window server's events until `done` holds, as -[NSApp run]
// would; key and main change with them.
bool eventsUntil(BOOL (^done)(void)) {
  NSDate* deadline = [NSDate dateWithTimeIntervalSinceNow:5];
  while (!done()) {
    if ([deadline timeIntervalSinceNow] <= 0) return false;
    @autoreleasepool {
      NSEvent* event = [NSApp nextEventMatchingMask:NSAnyEventMask
                                          untilDate:[NSDate dateWithTimeIntervalSinceNow:0.01]
                                             inMode:NSDefaultRunLoopMode
                                            dequeue:YES];
      if (event != nil) [NSApp sendEvent:event];
    }
  }
  return true;
}

NSWindow* makeWindow(Class cls) {
  NSWindow* window = [[cls alloc]
      initWithContentRect:NSMakeRect(100, 100, 400, 300)
                styleMask:NSTitledWindowMask | NSClosableWindowMask | NSResizableWindowMask
                  backing:NSBackingStoreBuffered
                    defer:NO];
  [window setReleasedWhenClosed:NO];
  return [window autorelease];
}

id hostIdentifier(id /*self*/, SEL /*cmd*/) { return @"main"; }

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
    Class tagged = objc_allocateClassPair([NSWindow class], "HostTaggedWindow", 0);
    class_addMethod(tagged, @selector(identifier), reinterpret_cast<IMP>(&hostIdentifier), "@@:");
    objc_registerClassPair(tagged);
    NSWindow* hostWindow = makeWindow(tagged);
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
