#pragma once

#include "platform/runtime.h"

namespace tovik {

// Registers TovikMacWindowPlugin under its plain name, once; later calls
// return the same class.
Class* registerPluginClass();

}  // namespace tovik
