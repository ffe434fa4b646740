#pragma once

#include "platform/foundation.h"

namespace tovik {

// Shows a compose window whose close the host vetoes and then allows, and
// its frame-size record as the defaults file holds it.
void showComposeWindow(Object* plugin);

// `tovik-host defaults read DOMAIN [KEY]`: prints a domain's stored values,
// or one of them, as XML from the domain's file in the preferences folder,
// without changing anything. Returns the process's exit status.
int readDefaults(const char* domain, const char* key);

}  // namespace tovik
