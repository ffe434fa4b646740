// Loads the built module as a host does; this executable does not link the
// plug-in's library, so the process holds one copy of its classes.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/testing.h"

namespace tovik {
namespace {

TEST(ModuleLoad, RegistersThePluginClassByPlainNameWithItsTwoDelegateProtocols) {
  EXPECT_EQ(objc_getClass("TovikMacWindowPlugin"), nullptr);
  Class* cls = testing::loadPluginClass(TOVIK_MODULE_PATH);
  EXPECT_EQ(objc_getClass("TovikMacWindowPlugin"), cls);
  EXPECT_EQ(class_getSuperclass(cls), Object::runtimeClass());
  // It answers as a delegate of the update framework and of a toolbar, and
  // as nothing else.
  auto plugin = testing::makePlugin(cls);
  for (const auto& [protocol, adopted] :
       std::vector<std::pair<const char*, bool>>{{"SPUUpdaterDelegate", true},
                                                 {"NSToolbarDelegate", true},
                                                 {"NSWindowDelegate", false}}) {
    EXPECT_EQ(send<bool>(plugin.get(), "conformsToProtocol:", objc_getProtocol(protocol)), adopted)
        << protocol;
  }
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
