#pragma once

#include <vector>

#include "platform/window.h"

// Click-through titlebars: the titlebar and toolbar views of a configured
// main window give way to the content beneath, except on the standard
// buttons. Main thread only.
namespace tovik {

// Walks the window's view tree below its frame view and replaces hitTest:,
// once per class for the life of the process, on every class whose name
// holds "titlebar" or "toolbar" in any case.
void installTitlebarHitTesting(Window* window);

// The views beneath `view`: its subviews first, in order, then the
// collection of each subview in turn.
std::vector<View*> collectDescendantViews(View* view);

// Records the class's current hitTest: and gives the class the titlebar
// hit test in its place. A class already handled is left alone; a class
// whose hitTest: has another type encoding than NSView's is left alone and
// not recorded, so a later call looks at it again.
void overrideHitTest(Class* cls);

// The replacement hitTest: of every overridden class. It answers what the
// prior implementation of the receiver's nearest overridden class answers,
// except that in a configured main window only a standard button, or a view
// inside one, is kept; any other hit there answers no view.
// The answer is borrowed, as NSView's is.
View* titlebarHitTest(View* receiver, CGPoint point);

// Whether the window's identifier is one a main window was configured with,
// as the set holds it now.
bool isConfiguredMainWindow(const Window* window);

// Whether `view` is one of the window's standard buttons or lies inside one.
// The buttons are asked of the window (through the runtime, so a host's
// replacement answers) once per hit search: inside a replaced hitTest:, as
// the search first asked them.
bool isStandardWindowButtonView(View* view, Window* window);

}  // namespace tovik
