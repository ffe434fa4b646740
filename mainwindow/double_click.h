#pragma once

#include "platform/event.h"

// The titlebar double-click of a configured main window. Its titlebar views
// give clicks on the strip to the content beneath, so they no longer perform
// the user's double-click action; a local event monitor does it for them.
// Main thread only.
namespace tovik {

// Puts the process's one monitor of left mouse-downs in place, the first
// time it is called.
void installTitlebarDoubleClickMonitor();

// What the monitor does with an event: the second press of a double-click
// on the titlebar strip of a configured main window, out of full screen,
// that reaches a view which lets the window move (not a standard button nor
// a control), performs the user's double-click action as it is set at that
// moment. The event is always passed on.
Ref<Event> handleTitlebarDoubleClick(Event* event);

// The user's setting "Double-click a window's title bar to", as AppKit
// reads it from the defaults (the global domain, unless the application
// sets its own).
enum class TitlebarDoubleClickAction { Zoom, Minimize, None };
TitlebarDoubleClickAction titlebarDoubleClickAction();

}  // namespace tovik
