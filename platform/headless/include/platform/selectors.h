#pragma once

#include "platform/runtime.h"

// The selectors of the window system's typed operations, each interned once
// for the process. A typed operation (a window's identifier, a view's
// superview...) is a message with one of these.
namespace tovik::selectors {

// NSApplication.
inline const SEL windows = sel_registerName("windows");
inline const SEL keyWindow = sel_registerName("keyWindow");
inline const SEL mainWindow = sel_registerName("mainWindow");
// NSWindow.
inline const SEL identifier = sel_registerName("identifier");
inline const SEL setIdentifier = sel_registerName("setIdentifier:");
inline const SEL isVisible = sel_registerName("isVisible");
inline const SEL styleMask = sel_registerName("styleMask");
inline const SEL setStyleMask = sel_registerName("setStyleMask:");
inline const SEL frame = sel_registerName("frame");
inline const SEL contentView = sel_registerName("contentView");
inline const SEL standardWindowButton = sel_registerName("standardWindowButton:");
inline const SEL setMovableByWindowBackground = sel_registerName("setMovableByWindowBackground:");
inline const SEL setTitlebarAppearsTransparent = sel_registerName("setTitlebarAppearsTransparent:");
inline const SEL setTitleVisibility = sel_registerName("setTitleVisibility:");
inline const SEL setToolbarStyle = sel_registerName("setToolbarStyle:");
inline const SEL setTitlebarSeparatorStyle = sel_registerName("setTitlebarSeparatorStyle:");
inline const SEL toolbar = sel_registerName("toolbar");
inline const SEL setToolbar = sel_registerName("setToolbar:");
inline const SEL setDelegate = sel_registerName("setDelegate:");
inline const SEL contentLayoutRect = sel_registerName("contentLayoutRect");
inline const SEL miniaturize = sel_registerName("miniaturize:");
inline const SEL zoom = sel_registerName("zoom:");
// NSView.
inline const SEL superview = sel_registerName("superview");
inline const SEL subviews = sel_registerName("subviews");
inline const SEL window = sel_registerName("window");
inline const SEL isDescendantOf = sel_registerName("isDescendantOf:");

// NSToolbar.
inline const SEL initWithIdentifier = sel_registerName("initWithIdentifier:");
inline const SEL setDisplayMode = sel_registerName("setDisplayMode:");
inline const SEL setSizeMode = sel_registerName("setSizeMode:");
inline const SEL setAllowsUserCustomization = sel_registerName("setAllowsUserCustomization:");
inline const SEL setAutosavesConfiguration = sel_registerName("setAutosavesConfiguration:");
inline const SEL setShowsBaselineSeparator = sel_registerName("setShowsBaselineSeparator:");
inline const SEL setVisible = sel_registerName("setVisible:");
// NSToolbarItem.
inline const SEL initWithItemIdentifier = sel_registerName("initWithItemIdentifier:");
inline const SEL setView = sel_registerName("setView:");
inline const SEL setMinSize = sel_registerName("setMinSize:");
inline const SEL setMaxSize = sel_registerName("setMaxSize:");

// NSWorkspace.
inline const SEL openURL = sel_registerName("openURL:");

// NSNotification and NSNotificationCenter.
inline const SEL object = sel_registerName("object");
inline const SEL addObserver = sel_registerName("addObserver:selector:name:object:");

// NSUserDefaults.
inline const SEL setObjectForKey = sel_registerName("setObject:forKey:");

// The update framework.
inline const SEL displayVersionString = sel_registerName("displayVersionString");
inline const SEL checkForUpdates = sel_registerName("checkForUpdates:");

}  // namespace tovik::selectors
