#pragma once

#include "platform/window.h"

namespace tovik {

// Finding a window by its identifier among the application's windows.
Window* visibleWindowWithIdentifier(const String* identifier);
// The key window, else the main window, else the first visible window.
Window* fallbackWindow();
Window* resolveWindowWithIdentifier(const String* identifier);

}  // namespace tovik
