#pragma once

#include "platform/foundation.h"

// The plug-in's side of the update framework: one standard updater
// controller for the process, user-initiated checks, and the install-on-quit
// handshake with the host.
namespace tovik {

using UpdateReadyHandler = Block<void(String*)>;
using InstallAction = Block<void()>;

// At once, on the caller's thread; safe from several threads at once.
void startUpdater(Object* plugin);
void checkForUpdates();

// Main-queue steps.
void setUpdateReadyHandler(Ref<UpdateReadyHandler> handler);
void installPendingUpdate();
void recordReadyUpdate(Object* item, Ref<InstallAction> install);

}  // namespace tovik
