#pragma once

#include "platform/foundation.h"

namespace tovik {

// Shows a main window's titlebar strip before and after the plug-in
// configures it: where clicks across the strip land, and the unified
// toolbar's visibility through a full-screen cycle.
void showMainWindowChrome(Object* plugin);

}  // namespace tovik
