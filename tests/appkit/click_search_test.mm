// One click's search through a configured window asks the window for its
// standard buttons once, however many replaced levels it passes, and asks
// it anew for the next click. The window's class is a host's that answers
// standardWindowButton: itself (GNUstep draws no standard buttons): it
// counts the messages, and the views it names are the buttons a click keeps.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>

#include "mainwindow/hittest.h"
#include "plugin/static_state.h"
#include "tests/appkit/support.h"

namespace {

int buttonSends = 0;
NSView* hostCloseButton = nil;

NSButton* hostStandardWindowButton(id /*self*/, SEL /*cmd*/, NSWindowButton kind) {
  ++buttonSends;
  return kind == NSWindowCloseButton ? static_cast<NSButton*>(hostCloseButton) : nil;
}

Class hostButtonsWindowClass() {
  Class cls = objc_allocateClassPair(appkit_test::taggedWindowClass(), "HostButtonsWindow", 0);
  const SEL sel = @selector(standardWindowButton:);
  class_addMethod(cls, sel, reinterpret_cast<IMP>(&hostStandardWindowButton),
                  method_getTypeEncoding(class_getInstanceMethod([NSWindow class], sel)));
  objc_registerClassPair(cls);
  return cls;
}

TEST(ClickSearch, AsksTheWindowsButtonsOncePerClickAndKeepsWhatTheHostNames) {
  @autoreleasepool {
    NSWindow* window = appkit_test::makeWindow(hostButtonsWindowClass());
    Class titlebar = objc_allocateClassPair([NSView class], "ClickSearchTitlebarView", 0);
    objc_registerClassPair(titlebar);
    Class plain = [NSView class];

    // The host's strip: 16 nested titlebar views on its left; on its right a
    // button of the host's holding a titlebar view, under a titlebar view
    // that covers them both (so a click there first meets a level that gives
    // it up, then the button's).
    NSView* content = [window contentView];
    NSView* strip = appkit_test::addView(titlebar, content, NSMakeRect(0, 200, 400, 100));
    NSView* innermost = strip;
    for (int level = 0; level < 16; ++level) {
      innermost = appkit_test::addView(
          titlebar, innermost, level == 0 ? NSMakeRect(0, 0, 200, 100) : [innermost bounds]);
    }
    NSView* button = appkit_test::addView(plain, strip, NSMakeRect(250, 10, 100, 80));
    NSView* inButton = appkit_test::addView(titlebar, button, NSMakeRect(10, 10, 40, 40));
    appkit_test::addView(titlebar, strip, NSMakeRect(240, 0, 160, 100));
    tovik::installTitlebarHitTesting(reinterpret_cast<tovik::Window*>(window));
    tovik::configuredMainWindowIdentifiers().insert("main");

    NSView* frameView = [content superview];
    const auto click = [&](NSView* view, NSPoint at) {
      return [frameView hitTest:[view convertPoint:at toView:nil]];
    };
    hostCloseButton = button;
    buttonSends = 0;
    EXPECT_EQ(click(innermost, NSMakePoint(100, 50)), content);
    EXPECT_EQ(buttonSends, 3) << "16 replaced levels, one search";
    EXPECT_EQ(click(inButton, NSMakePoint(20, 20)), inButton);
    EXPECT_EQ(click(button, NSMakePoint(80, 60)), button);
    EXPECT_EQ(buttonSends, 9);

    // The host names no button now: the next click asks again and gives way.
    hostCloseButton = nil;
    EXPECT_EQ(click(inButton, NSMakePoint(20, 20)), content);
    EXPECT_EQ(buttonSends, 12);

    // A window no longer configured keeps its clicks and is not asked.
    tovik::configuredMainWindowIdentifiers().erase("main");
    EXPECT_EQ(click(innermost, NSMakePoint(100, 50)), innermost);
    EXPECT_EQ(buttonSends, 12);
    [window close];
  }
}

}  // namespace
