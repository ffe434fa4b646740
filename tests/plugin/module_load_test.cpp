// Loads the built module as a host does; this executable does not link the
// plug-in's library, so the process holds one copy of its classes.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/testing.h"
#include "platform/window.h"
#include "platform/workspace.h"

namespace tovik {
namespace {

TEST(ModuleLoad, RegistersThePluginClassByPlainNameWithItsTwoDelegateProtocols) {
  EXPECT_EQ(objc_getClass("TovikMacWindowPlugin"), nullptr);
  Class* cls = testing::loadPluginClass(TOVIK_MODULE_PATH);
  EXPECT_EQ(objc_getClass("TovikMacWindowPlugin"), cls);
  EXPECT_EQ(class_getSuperclass(cls), Object::runtimeClass());
  auto plugin = testing::makePlugin(cls);
  Workspace::sharedWorkspace()->reset();
  send<void>(plugin.get(), "openNotificationSettingsForBundleIdentifier:", str("x y").get());
  EXPECT_EQ(Workspace::sharedWorkspace()->openRequests(),
            (std::vector<Workspace::OpenRequest>{
                {"x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=x%20y",
                 true}}));

  auto window = Window::create({{0, 0}, {500, 400}});
  window->makeKeyAndOrderFront(nullptr);
  send<void>(plugin.get(), "configureMainWindowTitlebarWithWindowIdentifier:", str("dl").get());
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(window->identifier()->utf8(), "dl");
  window->close();

  // The class adopts the update framework's delegate protocol and the
  // toolbar's, and no other.
  Protocol* updater = objc_getProtocol("SPUUpdaterDelegate");
  Protocol* toolbar = objc_getProtocol("NSToolbarDelegate");
  ASSERT_TRUE(updater != nullptr && toolbar != nullptr);
  const std::vector<Protocol*> adopted = class_copyProtocolList(cls);
  EXPECT_EQ(std::multiset<Protocol*>(adopted.begin(), adopted.end()),
            (std::multiset<Protocol*>{updater, toolbar}));
}

// The host's reference gives each selector a heading of its own: those
// headings and the selectors the class answers are the same set.
TEST(ModuleLoad, TheHostReferenceListsEverySelectorThePluginClassAnswersAndNoOther) {
  std::ifstream reference(TOVIK_REFERENCE_PATH);
  ASSERT_TRUE(reference) << TOVIK_REFERENCE_PATH;
  std::set<std::string> listed;
  for (std::string line; std::getline(reference, line);) {
    const std::string_view heading = "### `";
    if (line.starts_with(heading)) {
      listed.insert(line.substr(heading.size(), line.find('`', heading.size()) - heading.size()));
    }
  }
  std::set<std::string> answered;
  for (const Method* method : class_copyMethodList(testing::loadPluginClass(TOVIK_MODULE_PATH))) {
    answered.insert(sel_getName(method->name()));
  }
  EXPECT_EQ(listed, answered);
}

}  // namespace
}  // namespace tovik
