#pragma once

#include "platform/plugin_test.h"
#include "plugin/plugin_class.h"

namespace tovik {

// A host's test as the kit's fixture gives it, with the plug-in's class
// registered from the plug-in's library this test program links, where a
// host loads it from the module.
class PluginHostTest : public testing::PluginTest {
 protected:
  PluginHostTest() : PluginTest(&registerPluginClass) {}
};

}  // namespace tovik
