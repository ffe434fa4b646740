#include "update/update_handshake.h"

#include <mutex>

#include "platform/runtime.h"

namespace tovik {

namespace {

// The controller is created once whatever the threads: startUpdater and
// checkForUpdates run on the caller's thread, so the reference is guarded.
struct ControllerSlot {
  std::mutex mutex;
  Ref<Object> controller;
};
ControllerSlot& updaterController() {
  static auto* slot = new ControllerSlot;
  return *slot;
}

// Handshake state, main thread only. The version and the install action are
// written together and never cleared.
struct Handshake {
  Ref<UpdateReadyHandler> updateReadyHandler;
  Ref<String> pendingUpdateVersion;
  Ref<InstallAction> pendingInstallBlock;
};
Handshake& handshake() {
  static auto* state = new Handshake;
  return *state;
}

Ref<String> displayVersionOf(Object* item) {
  static const SEL displayVersionString = sel_registerName("displayVersionString");
  Ref<String> version = item != nullptr && item->respondsToSelector(displayVersionString)
                            ? as<String>(send<Ref<Object>>(item, displayVersionString))
                            : nullptr;
  return version != nullptr ? version : str("");
}

}  // namespace

void startUpdater(Object* plugin) {
  ControllerSlot& slot = updaterController();
  std::lock_guard lock(slot.mutex);
  if (slot.controller != nullptr) return;
  // The update framework is found by its controller's class name, as a
  // plug-in that links it weakly finds it: without it nothing happens.
  Class* controllerClass = objc_getClass("SPUStandardUpdaterController");
  if (controllerClass == nullptr) return;
  static const SEL init =
      sel_registerName("initWithStartingUpdater:updaterDelegate:userDriverDelegate:");
  slot.controller = send<Ref<Object>>(class_createInstance(controllerClass).get(), init, true,
                                      plugin, static_cast<Object*>(nullptr));
}

void checkForUpdates() {
  Ref<Object> controller;
  {
    ControllerSlot& slot = updaterController();
    std::lock_guard lock(slot.mutex);
    controller = slot.controller;
  }
  static const SEL checkForUpdates = sel_registerName("checkForUpdates:");
  send<void>(controller.get(), checkForUpdates, static_cast<Object*>(nullptr));
}

void setUpdateReadyHandler(Ref<UpdateReadyHandler> handler) {
  Handshake& state = handshake();
  // A null handler clears the registration: the host stops listening.
  state.updateReadyHandler = std::move(handler);
  if (state.updateReadyHandler != nullptr && state.pendingInstallBlock != nullptr &&
      state.pendingUpdateVersion != nullptr) {
    (*state.updateReadyHandler)(state.pendingUpdateVersion.get());
  }
}

void installPendingUpdate() {
  // Kept for the call: the framework's block may re-enter the plug-in.
  Ref<InstallAction> install = handshake().pendingInstallBlock;
  if (install != nullptr) (*install)();
}

void recordReadyUpdate(Object* item, Ref<InstallAction> install) {
  Handshake& state = handshake();
  state.pendingUpdateVersion = displayVersionOf(item);
  state.pendingInstallBlock = std::move(install);
  // Kept for the call: the handler may replace itself.
  if (Ref<UpdateReadyHandler> handler = state.updateReadyHandler) {
    (*handler)(displayVersionOf(item).get());
  }
}

}  // namespace tovik
