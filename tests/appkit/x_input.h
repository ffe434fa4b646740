#pragma once

// Input as a user gives it: the pointer moved and the buttons pressed through
// the X server's test extension (XTest), on an X connection of the test's
// own. The server sends the events to whichever window is under the
// pointer, GNUstep's backend turns them into NSEvents, and the application
// routes them as it routes a user's. Nothing here makes an NSEvent.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>
#include <sys/types.h>

#include <initializer_list>

#include "tests/appkit/support.h"

struct _XDisplay;

namespace appkit_test {

class XInput {
 public:
  XInput();
  ~XInput();  // releases a button still held
  XInput(const XInput&) = delete;
  XInput& operator=(const XInput&) = delete;

  // The pointer over a point given in the window's coordinates (AppKit's:
  // y grows upward from the window's bottom edge; X's screen y grows
  // downward from the top).
  void moveTo(NSWindow* window, NSPoint point);
  void press();
  void release();
  // `count` presses and releases in quick succession: the X server's
  // timestamps make them one multiple click.
  void click(NSWindow* window, NSPoint point, int count = 1);
  // A press at `from`, the pointer moved to `to` in steps, a release there.
  void drag(NSWindow* window, NSPoint from, NSPoint to);

  // The process of the X server at the other end of the connection.
  [[nodiscard]] pid_t serverPid() const;

 private:
  void flush();
  _XDisplay* display_;
  bool held_ = false;
};

// Shows the windows left to right along the screen's top, apart, and
// waits until each receives the clicks given there.
::testing::AssertionResult showApart(XInput& x, std::initializer_list<NSWindow*> windows);

// The centre of `view`, in its window's coordinates.
NSPoint centreInWindow(NSView* view);

// Runs the run loop, dispatching the window server's events, until `done`
// holds; fails naming `what` when it does not within 5 s.
::testing::AssertionResult handled(const char* what, BOOL (^done)(void));

// Where the last left mouse-down went: a view of a class made by
// recordingViewClass, with the event's click count. Reset by forget().
struct MouseDown {
  NSView* view = nil;
  NSInteger clickCount = 0;
  NSUInteger seen = 0;  // mouse-downs recorded since forget()
};
MouseDown& lastMouseDown();
void forget();

// An NSView subclass of that name whose mouseDown: is recorded, and which
// takes the first click in a window that is not key (as a host's titlebar
// views do).
Class recordingViewClass(const char* name, Class superclass = [NSView class]);

inline constexpr CGFloat kStripHeight = 40;

// A host's strip of that class along the top of the window's content view
// as it is now, kStripHeight tall. (GNUstep makes the content view taller
// when a toolbar is added; the strip stays where it was put.)
NSView* addStrip(Class cls, NSWindow* window);

// A window as makeWindow makes it, whose content view records the clicks
// it receives.
NSWindow* windowOf(Class cls);

// The plug-in, made as a host makes it, configures the main window "main"
// (`window`, shown first, whose class answers that identifier); answers the
// plug-in object. Unconfigured at unconfigureMainWindow().
id configureMainWindow(NSWindow* window);
void unconfigureMainWindow();

// The host's main window as a Mac shows it with full-size content: a window
// answering the identifier "main", whose content view holds a strip along
// its top as its first subview (the host's titlebar views go there), and
// whose contentLayoutRect is the content below the strip. GNUstep's window has
// no full-size content: its own titlebar sits above the content view.
Class hostMainWindowClass();

}  // namespace appkit_test
