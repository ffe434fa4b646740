#include "tests/appkit/x_input.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <objc/runtime.h>
#include <sys/socket.h>

#include <cstdlib>
#include <string>

#include "mainwindow/titlebar.h"
#include "plugin/plugin_class.h"
#include "plugin/static_state.h"
#include "tests/appkit/support.h"

namespace appkit_test {

XInput::XInput() : display_(XOpenDisplay(nullptr)) {
  if (display_ == nullptr) {
    const char* name = std::getenv("DISPLAY");
    ADD_FAILURE() << "no X display at DISPLAY=" << (name != nullptr ? name : "(unset)");
    return;
  }
  int event = 0;
  int error = 0;
  int major = 0;
  int minor = 0;
  if (XTestQueryExtension(display_, &event, &error, &major, &minor) == False) {
    ADD_FAILURE() << "the X server has no XTest extension";
  }
}

XInput::~XInput() {
  if (display_ == nullptr) return;
  if (held_) release();
  XCloseDisplay(display_);
}

void XInput::flush() { XSync(display_, False); }

void XInput::moveTo(NSWindow* window, NSPoint point) {
  if (display_ == nullptr) return;
  const NSRect frame = [window frame];
  const int screenHeight = DisplayHeight(display_, DefaultScreen(display_));
  const auto x = static_cast<int>(NSMinX(frame) + point.x);
  const auto y = static_cast<int>(screenHeight - (NSMinY(frame) + point.y));
  XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
  flush();
}

void XInput::press() {
  if (display_ == nullptr) return;
  XTestFakeButtonEvent(display_, Button1, True, CurrentTime);
  held_ = true;
  flush();
}

void XInput::release() {
  if (display_ == nullptr) return;
  XTestFakeButtonEvent(display_, Button1, False, CurrentTime);
  held_ = false;
  flush();
}

void XInput::click(NSWindow* window, NSPoint point, int count) {
  moveTo(window, point);
  for (int i = 0; i < count; ++i) {
    press();
    release();
  }
}

void XInput::drag(NSWindow* window, NSPoint from, NSPoint to) {
  moveTo(window, from);
  press();
  // The window moves or grows under the pointer meanwhile: the steps are
  // taken from where it was when the press began.
  const NSRect frame = [window frame];
  constexpr int kSteps = 10;
  for (int i = 1; i <= kSteps; ++i) {
    const CGFloat t = static_cast<CGFloat>(i) / kSteps;
    const int screenHeight = DisplayHeight(display_, DefaultScreen(display_));
    XTestFakeMotionEvent(
        display_, -1, static_cast<int>(NSMinX(frame) + from.x + t * (to.x - from.x)),
        static_cast<int>(screenHeight - (NSMinY(frame) + from.y + t * (to.y - from.y))),
        CurrentTime);
  }
  release();
}

pid_t XInput::serverPid() const {
  if (display_ == nullptr) return 0;
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(ConnectionNumber(display_), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return 0;
  return peer.pid;
}

NSPoint centreInWindow(NSView* view) {
  const NSRect bounds = [view bounds];
  return [view convertPoint:NSMakePoint(NSMidX(bounds), NSMidY(bounds)) toView:nil];
}

::testing::AssertionResult showApart(XInput& x, std::initializer_list<NSWindow*> windows) {
  const NSRect screen = [[NSScreen mainScreen] frame];
  CGFloat left = 20;
  for (NSWindow* window : windows) {
    [window orderFront:nil];
    [window setFrameTopLeftPoint:NSMakePoint(left, NSMaxY(screen) - 20)];
    left += NSWidth([window frame]) + 40;
  }
  // The window server places the windows after GNUstep has taken their new
  // frames: each is clicked near its content's bottom-left corner until the
  // click reaches the content view.
  for (NSWindow* window : windows) {
    NSDate* deadline = [NSDate dateWithTimeIntervalSinceNow:5];
    for (;;) {
      forget();
      x.click(window, [[window contentView] convertPoint:NSMakePoint(5, 5) toView:nil]);
      if (eventsUntil(
              ^{
                return (BOOL)(lastMouseDown().view == [window contentView]);
              },
              0.5)) {
        break;
      }
      if ([deadline timeIntervalSinceNow] <= 0) {
        return ::testing::AssertionFailure() << "a window shown did not receive clicks in 5 s";
      }
    }
  }
  // The releases of those clicks may still be queued: they go before the
  // test's own input.
  eventsUntil(
      ^{
        return NO;
      },
      0.1);
  forget();
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult handled(const char* what, BOOL (^done)(void)) {
  if (eventsUntil(done)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << what << ": not handled within 5 s of the X server receiving the input";
}

MouseDown& lastMouseDown() {
  static MouseDown last;
  return last;
}

void forget() { lastMouseDown() = MouseDown{}; }

namespace {
void recordMouseDown(id self, SEL /*cmd*/, NSEvent* event) {
  MouseDown& last = lastMouseDown();
  last.view = self;
  last.clickCount = [event clickCount];
  ++last.seen;
}
BOOL acceptsFirstMouse(id /*self*/, SEL /*cmd*/, NSEvent* /*event*/) { return YES; }

// The content view's part below its first subview, the host's strip.
NSRect belowTheStrip(id self, SEL /*cmd*/) {
  NSView* content = [self contentView];
  NSRect below = [content frame];
  if (NSView* strip = [[content subviews] firstObject]) below.size.height = NSMinY([strip frame]);
  return below;
}
}  // namespace

Class recordingViewClass(const char* name, Class superclass) {
  if (Class existing = objc_getClass(name)) return existing;
  Class cls = objc_allocateClassPair(superclass, name, 0);
  class_addMethod(cls, @selector(mouseDown:), reinterpret_cast<IMP>(&recordMouseDown), "v@:@");
  class_addMethod(cls, @selector(acceptsFirstMouse:), reinterpret_cast<IMP>(&acceptsFirstMouse),
                  (std::string(@encode(BOOL)) + "@:@").c_str());
  objc_registerClassPair(cls);
  return cls;
}

NSView* addStrip(Class cls, NSWindow* window) {
  NSView* content = [window contentView];
  const NSRect bounds = [content bounds];
  NSView* strip = addView(
      cls, content, NSMakeRect(0, NSMaxY(bounds) - kStripHeight, NSWidth(bounds), kStripHeight));
  return strip;
}

NSWindow* windowOf(Class cls) {
  NSWindow* window = makeWindow(cls);
  [window setContentView:[[[recordingViewClass("HostContentView") alloc]
                             initWithFrame:NSMakeRect(0, 0, 400, 300)] autorelease]];
  return window;
}

id configureMainWindow(NSWindow* window) {
  [window orderFront:nil];
  id plugin = [[[reinterpret_cast<Class>(tovik::registerPluginClass()) alloc] init] autorelease];
  tovik::configureMainWindowTitlebar(reinterpret_cast<tovik::String*>(@"main"),
                                     reinterpret_cast<tovik::Object*>(plugin));
  return plugin;
}

void unconfigureMainWindow() { tovik::configuredMainWindowIdentifiers().erase("main"); }

Class hostMainWindowClass() {
  static Class cls = [] {
    Class made = objc_allocateClassPair(taggedWindowClass(), "HostMainWindow", 0);
    class_addMethod(made, sel_registerName("contentLayoutRect"),
                    reinterpret_cast<IMP>(&belowTheStrip),
                    (std::string(@encode(NSRect)) + "@:").c_str());
    objc_registerClassPair(made);
    return made;
  }();
  return cls;
}

}  // namespace appkit_test
