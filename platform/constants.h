#pragma once

#include <cstdint>
#include <string_view>

// AppKit's constants, the same values behind either backend.
namespace tovik {

// NSWindowStyleMask bits.
inline constexpr std::uint64_t NSWindowStyleMaskBorderless = 0;
inline constexpr std::uint64_t NSWindowStyleMaskTitled = 1U << 0U;
inline constexpr std::uint64_t NSWindowStyleMaskClosable = 1U << 1U;
inline constexpr std::uint64_t NSWindowStyleMaskMiniaturizable = 1U << 2U;
inline constexpr std::uint64_t NSWindowStyleMaskResizable = 1U << 3U;
// Panel-only bits: a utility window's small titlebar, and a panel whose
// clicks do not activate the application.
inline constexpr std::uint64_t NSWindowStyleMaskUtilityWindow = 1U << 4U;
inline constexpr std::uint64_t NSWindowStyleMaskNonactivatingPanel = 1U << 7U;
inline constexpr std::uint64_t NSWindowStyleMaskFullScreen = 1U << 14U;
inline constexpr std::uint64_t NSWindowStyleMaskFullSizeContentView = 1U << 15U;
// What a standard document window has.
inline constexpr std::uint64_t kStandardWindowStyle =
    NSWindowStyleMaskTitled | NSWindowStyleMaskClosable | NSWindowStyleMaskMiniaturizable |
    NSWindowStyleMaskResizable;
// What a utility panel has: a small titlebar with a close button.
inline constexpr std::uint64_t kStandardPanelStyle =
    NSWindowStyleMaskTitled | NSWindowStyleMaskClosable | NSWindowStyleMaskUtilityWindow;

// NSWindowLevel: windows of a higher level stay in front of those of a lower.
inline constexpr std::int64_t NSNormalWindowLevel = 0;
inline constexpr std::int64_t NSFloatingWindowLevel = 3;

// NSWindowButton: the standard buttons.
inline constexpr std::int64_t NSWindowCloseButton = 0;
inline constexpr std::int64_t NSWindowMiniaturizeButton = 1;
inline constexpr std::int64_t NSWindowZoomButton = 2;
// NSWindowTitleVisibility.
inline constexpr std::int64_t NSWindowTitleVisible = 0;
inline constexpr std::int64_t NSWindowTitleHidden = 1;
// NSWindowToolbarStyle.
inline constexpr std::int64_t NSWindowToolbarStyleAutomatic = 0;
inline constexpr std::int64_t NSWindowToolbarStyleExpanded = 1;
inline constexpr std::int64_t NSWindowToolbarStylePreference = 2;
inline constexpr std::int64_t NSWindowToolbarStyleUnified = 3;
inline constexpr std::int64_t NSWindowToolbarStyleUnifiedCompact = 4;
// NSTitlebarSeparatorStyle.
inline constexpr std::int64_t NSTitlebarSeparatorStyleAutomatic = 0;
inline constexpr std::int64_t NSTitlebarSeparatorStyleNone = 1;
inline constexpr std::int64_t NSTitlebarSeparatorStyleLine = 2;
inline constexpr std::int64_t NSTitlebarSeparatorStyleShadow = 3;

// Window notification names.
inline constexpr std::string_view NSWindowDidResizeNotification = "NSWindowDidResizeNotification";
inline constexpr std::string_view NSWindowDidMoveNotification = "NSWindowDidMoveNotification";
inline constexpr std::string_view NSWindowWillCloseNotification = "NSWindowWillCloseNotification";
inline constexpr std::string_view NSWindowDidBecomeKeyNotification =
    "NSWindowDidBecomeKeyNotification";
inline constexpr std::string_view NSWindowDidResignKeyNotification =
    "NSWindowDidResignKeyNotification";
inline constexpr std::string_view NSWindowDidBecomeMainNotification =
    "NSWindowDidBecomeMainNotification";
inline constexpr std::string_view NSWindowDidResignMainNotification =
    "NSWindowDidResignMainNotification";
inline constexpr std::string_view NSWindowWillEnterFullScreenNotification =
    "NSWindowWillEnterFullScreenNotification";
inline constexpr std::string_view NSWindowDidEnterFullScreenNotification =
    "NSWindowDidEnterFullScreenNotification";
inline constexpr std::string_view NSWindowWillExitFullScreenNotification =
    "NSWindowWillExitFullScreenNotification";
inline constexpr std::string_view NSWindowDidExitFullScreenNotification =
    "NSWindowDidExitFullScreenNotification";

// NSToolbarDisplayMode and NSToolbarSizeMode.
inline constexpr std::int64_t NSToolbarDisplayModeDefault = 0;
inline constexpr std::int64_t NSToolbarDisplayModeIconAndLabel = 1;
inline constexpr std::int64_t NSToolbarDisplayModeIconOnly = 2;
inline constexpr std::int64_t NSToolbarDisplayModeLabelOnly = 3;
inline constexpr std::int64_t NSToolbarSizeModeDefault = 0;
inline constexpr std::int64_t NSToolbarSizeModeRegular = 1;
inline constexpr std::int64_t NSToolbarSizeModeSmall = 2;

// NSEventType: the left mouse button's events (the only ones the headless
// window system delivers).
inline constexpr std::uint64_t NSEventTypeLeftMouseDown = 1;
inline constexpr std::uint64_t NSEventTypeLeftMouseUp = 2;
inline constexpr std::uint64_t NSEventTypeLeftMouseDragged = 6;
// NSEventMask: one bit per event type.
inline constexpr std::uint64_t NSEventMaskLeftMouseDown = std::uint64_t{1}
                                                          << NSEventTypeLeftMouseDown;
inline constexpr std::uint64_t NSEventMaskLeftMouseUp = std::uint64_t{1} << NSEventTypeLeftMouseUp;
inline constexpr std::uint64_t NSEventMaskLeftMouseDragged = std::uint64_t{1}
                                                             << NSEventTypeLeftMouseDragged;

}  // namespace tovik
