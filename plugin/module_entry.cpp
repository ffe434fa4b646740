#include "plugin/plugin_class.h"

namespace {
// Loading the module registers its class with the runtime, as loading a
// bundle registers its classes; nothing else happens at load time.
[[gnu::constructor]] void registerOnLoad() { tovik::registerPluginClass(); }
}  // namespace
