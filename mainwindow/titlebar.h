#pragma once

#include "platform/foundation.h"

namespace tovik {

// The body of configureMainWindowTitlebarWithWindowIdentifier:, on the main
// thread: finds the window, tags it, makes it movable by its background and
// records its identifier as a configured main window.
void configureMainWindowTitlebar(String* identifier, Object* plugin);

}  // namespace tovik
