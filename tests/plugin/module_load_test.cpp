// Loads the built module as a host does; this executable does not link the
// plug-in's library, so the process holds one copy of its classes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <set>
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

}  // namespace
}  // namespace tovik
