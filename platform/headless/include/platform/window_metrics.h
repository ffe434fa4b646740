#pragma once

#include "platform/geometry.h"

// The window chrome's measures, in points, as a titled window on macOS 13
// and later lays them out.
namespace tovik::metrics {

// The titlebar strip without a toolbar.
inline constexpr double kTitlebarHeight = 28;
// The strip with a visible toolbar: the unified style merges the two into
// one taller strip; the compact one is shorter; the expanded style puts the
// toolbar row beneath the title row.
inline constexpr double kUnifiedToolbarStripHeight = 52;
inline constexpr double kCompactToolbarStripHeight = 38;
inline constexpr double kExpandedToolbarRowHeight = 38;

// The three standard buttons: close, miniaturise, zoom from the left edge.
inline constexpr double kButtonSize = 14;
inline constexpr double kButtonLeftInset = 7;
inline constexpr double kButtonSpacing = 20;  // from one button's left edge to the next

// The toolbar starts to the right of the buttons; its items are laid out
// left to right with a gap between them.
inline constexpr double kToolbarLeftInset = kButtonLeftInset + 3 * kButtonSpacing;
inline constexpr double kToolbarItemSpacing = 8;

// The screen a window fills in full screen.
inline constexpr CGRect kScreenFrame{{0, 0}, {1512, 982}};
// Its visible frame, which a zoomed window fills: below the menu bar, with
// the Dock hidden.
inline constexpr double kMenuBarHeight = 24;
inline constexpr CGRect kVisibleScreenFrame{
    {0, 0}, {kScreenFrame.size.width, kScreenFrame.size.height - kMenuBarHeight}};

}  // namespace tovik::metrics
