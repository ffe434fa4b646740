// Loads the built module as a host does; this executable does not link the
// plug-in's library, so the process holds one copy of its classes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/window.h"
#include "platform/workspace.h"

namespace tovik {
namespace {

TEST(ModuleLoad, RegistersThePluginClassByPlainNameWithItsTwoDelegateProtocols) {
  EXPECT_EQ(objc_getClass("TovikMacWindowPlugin"), nullptr);
  void* module = dlopen(TOVIK_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  Class* cls = objc_getClass("TovikMacWindowPlugin");
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(class_getSuperclass(cls), Object::runtimeClass());
  auto plugin = send<Ref<Object>>(class_createInstance(cls).get(), "init");
  // Asked for an application's notification settings, the system
  // settings open a page of theirs, with the identifier as its query.
  Workspace::sharedWorkspace()->reset();
  send<void>(plugin.get(), "openNotificationSettingsForBundleIdentifier:", str("x y").get());
  const std::vector<Workspace::OpenRequest> requests = Workspace::sharedWorkspace()->openRequests();
  ASSERT_EQ(requests.size(), 1U);
  EXPECT_TRUE(requests[0].opened);
  EXPECT_TRUE(requests[0].url.ends_with("?id=x%20y")) << requests[0].url;

  auto window = Window::create({{0, 0}, {500, 400}});
  window->makeKeyAndOrderFront(nullptr);
  send<void>(plugin.get(), "configureMainWindowTitlebarWithWindowIdentifier:", str("dl").get());
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(window->identifier()->utf8(), "dl");
  window->close();

  // It answers as a delegate of the update framework and of a toolbar, and
  // as nothing else.
  for (const auto& [protocol, adopted] :
       std::vector<std::pair<const char*, bool>>{{"SPUUpdaterDelegate", true},
                                                 {"NSToolbarDelegate", true},
                                                 {"NSWindowDelegate", false}}) {
    EXPECT_EQ(send<bool>(plugin.get(), "conformsToProtocol:", objc_getProtocol(protocol)), adopted)
        << protocol;
  }
}

}  // namespace
}  // namespace tovik
