// Clicks through a host's titlebar views in a real window: view classes made
// at run time whose names hold titlebar or toolbar, their hitTest: replaced
// through the real runtime, and clicks asked of the window's frame view as
// the window asks it. GNUstep draws its own decorations (no standard buttons
// here), so the strip is the host's.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>

#include <string>

#include "mainwindow/hittest.h"
#include "plugin/identifier.h"
#include "plugin/static_state.h"
#include "tests/appkit/support.h"

namespace {

using appkit_test::eventsUntil;
using appkit_test::makeWindow;

Class viewClass(const char* name, Class superclass = [NSView class]) {
  Class cls = objc_allocateClassPair(superclass, name, 0);
  objc_registerClassPair(cls);
  return cls;
}

NSView* addView(Class cls, NSView* parent, NSRect frame) {
  NSView* view = [[[cls alloc] initWithFrame:frame] autorelease];
  [parent addSubview:view];
  return view;
}

tovik::Window* ours(NSWindow* window) { return reinterpret_cast<tovik::Window*>(window); }

// A click at the centre of `view`, as the window delivers it.
NSView* click(NSWindow* window, NSView* view) {
  NSView* frameView = [[window contentView] superview];
  const NSRect bounds = [view bounds];
  const NSPoint centre = [view convertPoint:NSMakePoint(NSMidX(bounds), NSMidY(bounds)) toView:nil];
  return [frameView hitTest:centre];
}

// hitTest: answering a truth value: another encoding than NSView's.
BOOL oddHitTest(id /*self*/, SEL /*cmd*/) { return NO; }

TEST(TitlebarHitTest, AConfiguredWindowsStripLetsClicksThroughToTheContent) {
  @autoreleasepool {
    NSWindow* window = makeWindow(appkit_test::taggedWindowClass());
    NSWindow* other = makeWindow([NSWindow class]);
    for (NSWindow* w : {window, other}) [w orderFront:nil];
    ASSERT_TRUE(eventsUntil(^{
      return (BOOL)([window isVisible] && [other isVisible]);
    }));
    ASSERT_NE([[window contentView] superview], nil);

    // The host's strip along the top of its content: a titlebar view holding
    // a toolbar item, and a subclass of the strip whose hitTest: passes to
    // its superclass's (both classes are replaced).
    Class strip = viewClass("HostTitlebarStrip");
    Class item = viewClass("HostToolbarItemView");
    Class subStrip = viewClass("HostTitlebarStripPart", strip);
    Class odd = viewClass("HostToolbarOddView");
    class_addMethod(odd, @selector(hitTest:), reinterpret_cast<IMP>(&oddHitTest), "C@:");
    NSView* content = [window contentView];
    NSView* stripView = addView(strip, content, NSMakeRect(0, 260, 400, 40));
    NSView* itemView = addView(item, stripView, NSMakeRect(10, 5, 30, 30));
    NSView* partView = addView(subStrip, stripView, NSMakeRect(100, 5, 60, 30));
    NSView* otherStrip = addView(strip, [other contentView], NSMakeRect(0, 260, 400, 40));
    addView(odd, [other contentView], NSMakeRect(0, 0, 10, 10));

    tovik::installTitlebarHitTesting(ours(window));
    tovik::installTitlebarHitTesting(ours(other));
    EXPECT_TRUE(
        tovik::hitTestOverriddenClassNames().contains(reinterpret_cast<tovik::Class*>(strip)));
    EXPECT_FALSE(
        tovik::hitTestOverriddenClassNames().contains(reinterpret_cast<tovik::Class*>(odd)))
        << "a hitTest: of another encoding is left alone";

    // The line between the strip and the content below is the content's, as
    // NSMouseInRect has it under an unflipped superview: the same rule as
    // the headless window system's.
    NSView* frameView = [content superview];
    const NSPoint onLine = [content convertPoint:NSMakePoint(300, 260) toView:nil];
    EXPECT_EQ([frameView hitTest:onLine], content);
    EXPECT_EQ([frameView hitTest:NSMakePoint(onLine.x, onLine.y + 1)], stripView);

    // Not configured: the replaced classes answer as before.
    EXPECT_EQ(click(window, itemView), itemView);
    EXPECT_EQ(click(window, partView), partView);
    EXPECT_EQ(click(window, stripView), stripView);

    tovik::configuredMainWindowIdentifiers().insert("main");
    EXPECT_EQ(click(window, itemView), content);
    EXPECT_EQ(click(window, partView), content);
    EXPECT_EQ(click(window, stripView), content);
    EXPECT_EQ(click(other, otherStrip), otherStrip) << "only the configured window gives way";

    // Hundreds of nested titlebar views answer without running out of stack.
    NSView* parent = stripView;
    for (int level = 0; level < 300; ++level) {
      parent = addView(level % 2 == 0 ? strip : subStrip, parent, [parent bounds]);
    }
    EXPECT_EQ(click(window, parent), content);
    tovik::configuredMainWindowIdentifiers().erase("main");
    EXPECT_EQ(click(window, parent), parent);
    [window close];
    [other close];
  }
}

}  // namespace
