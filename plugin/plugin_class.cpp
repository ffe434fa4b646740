#include "plugin/plugin_class.h"

#include "compose/compose_window.h"
#include "mainwindow/fullscreen.h"
#include "mainwindow/titlebar.h"
#include "platform/foundation.h"
#include "plugin/hop.h"
#include "settings/notification_settings.h"
#include "update/update_handshake.h"

namespace tovik {

namespace {

Class* declarePluginClass() {
  Class* cls = objc_declareClass("TovikMacWindowPlugin", Object::runtimeClass());
  // The protocols of the delegate roles the class plays, and no others. A
  // protocol whose framework is not loaded is not found, and not adopted.
  for (const std::string_view name : {"SPUUpdaterDelegate", "NSToolbarDelegate"}) {
    if (Protocol* protocol = objc_getProtocol(name)) class_addProtocol(cls, protocol);
  }
  addMethod(cls, "startUpdater", [](Object* self) { startUpdater(self); });
  addMethod(cls, "checkForUpdates", [](Object*) { checkForUpdates(); });
  addMethod(cls, "setUpdateReadyHandler:", [](Object*, BlockBase* handler) {
    // A null or ill-typed block clears the handler.
    Ref<UpdateReadyHandler> copied = retainBlock<void(String*)>(handler);
    hopToMainQueue([copied] { setUpdateReadyHandler(copied); });
  });
  addMethod(cls, "installPendingUpdate",
            [](Object*) { hopToMainQueue([] { installPendingUpdate(); }); });
  addMethod(cls, "updater:willInstallUpdateOnQuit:immediateInstallationBlock:",
            [](Object*, Object* /*updater*/, Object* item, BlockBase* block) {
              // The framework's block, kept until the host installs.
              Ref<InstallAction> install = retainBlock<void()>(block);
              if (item != nullptr && install != nullptr) {
                hopToMainQueue(
                    [item = item->retain(), install] { recordReadyUpdate(item.get(), install); });
              }
              return true;
            });
  addMethod(
      cls,
      "configureMainWindowTitlebarWithWindowIdentifier:", [](Object* self, String* identifier) {
        if (identifier == nullptr) return;
        // The work item keeps the identifier and the plug-in object.
        hopToMainQueue([identifier = identifier->retainAs<String>(), plugin = self->retain()] {
          configureMainWindowTitlebar(identifier.get(), plugin.get());
        });
      });
  addMethod(cls, "configureComposeWindowWithConfiguration:shouldClose:",
            [](Object*, Object* configuration, BlockBase* shouldClose) {
              configureComposeWindow(configuration, shouldClose);
            });
  addMethod(cls, "allowComposeWindowCloseWithWindowIdentifier:", [](Object*, String* identifier) {
    if (identifier == nullptr) return;
    hopToMainQueue([identifier = identifier->retainAs<String>()] {
      allowComposeWindowClose(identifier.get());
    });
  });
  // At once on the caller's thread: opening a URL needs no main-thread state.
  addMethod(cls, "openNotificationSettingsForBundleIdentifier:", [](Object*, String* identifier) {
    openNotificationSettingsForBundleIdentifier(identifier);  // at once, no hop
  });
  addMethod(cls, "mainWindowFullscreenStateDidChange:", [](Object*, Object* notification) {
    mainWindowFullscreenStateDidChange(notification);
  });
  addMethod(cls, "toolbarAllowedItemIdentifiers:", [](Object*, Object* /*toolbar*/) {
    return unifiedToolbarItemIdentifiers();
  });
  addMethod(cls, "toolbarDefaultItemIdentifiers:", [](Object*, Object* /*toolbar*/) {
    return unifiedToolbarItemIdentifiers();
  });
  addMethod(cls, "toolbar:itemForItemIdentifier:willBeInsertedIntoToolbar:",
            [](Object*, Object* /*toolbar*/, Object* identifier, bool /*willBeInserted*/) {
              return unifiedToolbarItem(identifier);
            });
  return cls;
}

}  // namespace

Class* registerPluginClass() {
  static Class* const cls = declarePluginClass();
  return cls;
}

}  // namespace tovik
