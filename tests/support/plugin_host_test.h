#pragma once

#include <string_view>

#include "platform/plugin_test.h"
#include "plugin/plugin_class.h"

namespace tovik {

// A host's test as the kit's fixture gives it, with the plug-in's class
// registered from the plug-in's library this test program links, where a
// host loads it from the module.
class PluginHostTest : public testing::PluginTest {
 protected:
  PluginHostTest() : PluginTest(&registerPluginClass) {}

  // The host asks the plug-in to configure its main window under
  // `identifier`, and the main queue turns.
  void configureMainWindow(std::string_view identifier) {
    send<void>(plugin.get(),
               "configureMainWindowTitlebarWithWindowIdentifier:", str(identifier).get());
    turn();
  }
};

}  // namespace tovik
