#pragma once

#include "platform/window.h"

// Keeping a configured main window's titlebar across full screen. Main
// thread only.
namespace tovik {

// Registers the plug-in object for the window's four full-screen
// notifications, once per window for the window's life.
void observeFullscreenTransitions(Window* window, Object* plugin);

// mainWindowFullscreenStateDidChange:: at each transition of a configured
// main window, the titlebar style, the toolbar visibility and the hit
// testing again, and the delayed refreshes. Anything else is ignored.
void mainWindowFullscreenStateDidChange(Object* notification);

}  // namespace tovik
