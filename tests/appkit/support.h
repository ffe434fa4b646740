#pragma once

// What the AppKit tests share: real windows, the window server's events, and
// a host's window class that answers an identifier.
#import <AppKit/AppKit.h>
#include <objc/runtime.h>

namespace appkit_test {

// Dispatches the window server's events until `done` holds (at most
// `seconds`), as -[NSApp run] would; key and main change with them.
inline bool eventsUntil(BOOL (^done)(void), NSTimeInterval seconds = 5) {
  NSDate* deadline = [NSDate dateWithTimeIntervalSinceNow:seconds];
  while (!done()) {
    if ([deadline timeIntervalSinceNow] <= 0) return false;
    @autoreleasepool {
      // Every kind of event (NSEventMaskAny on a Mac; GNUstep has the same
      // value under an older name).
      NSEvent* event = [NSApp nextEventMatchingMask:NSUIntegerMax
                                          untilDate:[NSDate dateWithTimeIntervalSinceNow:0.01]
                                             inMode:NSDefaultRunLoopMode
                                            dequeue:YES];
      if (event != nil) [NSApp sendEvent:event];
    }
  }
  return true;
}

// A titled, closable, miniaturizable and resizable window of that class,
// 400 x 300 of content.
inline NSWindow* makeWindow(Class cls) {
  NSWindow* window =
      [[cls alloc] initWithContentRect:NSMakeRect(100, 100, 400, 300)
                             styleMask:NSWindowStyleMaskTitled | NSWindowStyleMaskClosable |
                                       NSWindowStyleMaskMiniaturizable | NSWindowStyleMaskResizable
                               backing:NSBackingStoreBuffered
                                 defer:NO];
  [window setReleasedWhenClosed:NO];
  return [window autorelease];
}

// A view of that class made and added to `parent`.
inline NSView* addView(Class cls, NSView* parent, NSRect frame) {
  NSView* view = [[[cls alloc] initWithFrame:frame] autorelease];
  [parent addSubview:view];
  return view;
}

inline id mainIdentifier(id /*self*/, SEL /*cmd*/) { return @"main"; }

// An NSWindow subclass whose identifier is "main", as a window the host
// tagged would answer on a Mac (GNUstep's NSWindow has no identifier).
inline Class taggedWindowClass() {
  static Class cls = [] {
    Class made = objc_allocateClassPair([NSWindow class], "HostTaggedWindow", 0);
    class_addMethod(made, @selector(identifier), reinterpret_cast<IMP>(&mainIdentifier), "@@:");
    objc_registerClassPair(made);
    return made;
  }();
  return cls;
}

}  // namespace appkit_test
