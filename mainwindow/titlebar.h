#pragma once

#include <string_view>

#include "platform/window.h"

// The main window's unified titlebar: content under a transparent titlebar,
// the title hidden, and a unified toolbar holding one invisible anchor item
// that merges with the titlebar and hides in full screen. Main thread only.
namespace tovik {

// The identifier of every toolbar the plug-in makes, by which it knows its own.
inline constexpr std::string_view kUnifiedToolbarIdentifier = "com.tarnwell.tovik.unified-titlebar";

// The body of configureMainWindowTitlebarWithWindowIdentifier:: finds the
// window, tags it, makes it movable by its background, records it as a
// configured main window, styles it, installs the toolbar and the titlebar
// hit testing, observes its full-screen transitions, puts the titlebar
// double-click monitor in place and schedules the delayed refreshes.
void configureMainWindowTitlebar(String* identifier, Object* plugin);

// Full-size content, a transparent titlebar, the title hidden, the unified
// toolbar style and no separator line.
void applyUnifiedTitlebarStyle(Window* window);
// Keeps the plug-in's own toolbar when the window has it; replaces any other.
void installUnifiedToolbar(Window* window, Object* plugin);
// The plug-in's toolbar is hidden while the window is in full screen.
void updateUnifiedToolbarVisibility(Window* window);
// Three refreshes on the main queue, 0.1, 0.5 and 1 s from now. They hold
// the window weakly.
void scheduleTitlebarRefresh(Window* window, String* identifier);
// One refresh: the toolbar visibility and the hit testing again, when the
// window still exists, is visible and still carries `identifier`.
void refreshTitlebarIfCurrent(Window* window, String* identifier);

// The toolbar delegate's answers: the anchor item's identifier alone, and a
// new anchor item for that identifier (none for any other).
Ref<Array> unifiedToolbarItemIdentifiers();
Ref<ToolbarItem> unifiedToolbarItem(Object* itemIdentifier);

}  // namespace tovik
