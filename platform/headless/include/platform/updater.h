#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation.h"
#include "platform/selectors.h"

// A headless stand-in for the update framework: a standard updater
// controller, its updater and appcast items. Everything it was asked to do
// is recorded, so a host developer can see it; a driver plays the
// framework's part of presenting an update.
namespace tovik {

// An update from the feed (SUAppcastItem).
class AppcastItem : public Object {
 public:
  AppcastItem(Class* isa, Ref<String> displayVersion = nullptr)
      : Object(isa), displayVersion_(std::move(displayVersion)) {}
  static Class* runtimeClass();
  static Ref<AppcastItem> withDisplayVersion(std::string_view version);
  static Ref<AppcastItem> withoutDisplayVersion();

  [[nodiscard]] String* displayVersionString() const {
    return message<String*>(this, selectors::displayVersionString,
                            [this] { return displayVersion_.get(); });
  }

 private:
  Ref<String> displayVersion_;
};

// The updater (SPUUpdater). Its delegate is held weakly, as the framework
// holds it.
class Updater : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();

  [[nodiscard]] bool isStarted() const;
  [[nodiscard]] Object* delegate() const;
  [[nodiscard]] std::size_t userInitiatedChecks() const;
  // The display versions of the installs performed, in order (the empty
  // string for an item without one).
  [[nodiscard]] std::vector<std::string> immediateInstalls() const;

  // Driver: an update will be installed when the application quits. Asks
  // the delegate updater:willInstallUpdateOnQuit:immediateInstallationBlock:
  // when it answers that selector, with a block that installs at once each
  // time it is invoked. Returns the delegate's answer (NO without one).
  bool presentUpdateInstalledOnQuit(AppcastItem* item);

 private:
  friend class UpdaterController;
  mutable std::mutex mutex_;
  bool started_ = false;
  Weak<Object> delegate_;
  std::size_t checks_ = 0;
  std::vector<std::string> installs_;
};

// The standard updater controller (SPUStandardUpdaterController).
class UpdaterController : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();
  // alloc and initWithStartingUpdater:updaterDelegate:userDriverDelegate:,
  // which a plug-in sends to the class it finds by name.
  static Ref<UpdaterController> create(bool startingUpdater, Object* updaterDelegate,
                                       Object* userDriverDelegate);
  // How many controllers this process has made, and those still alive, in
  // the order they were made: what a driver presents updates through.
  static std::size_t instancesCreated();
  static std::vector<Ref<UpdaterController>> liveInstances();

  [[nodiscard]] Updater* updater() const { return updater_.get(); }
  // Starts a user-initiated update check: a message through the runtime.
  void checkForUpdates(Object* sender) { send<void>(this, selectors::checkForUpdates, sender); }

 private:
  void initWithStartingUpdater(bool startingUpdater, Object* updaterDelegate);

  Ref<Updater> updater_;
};

}  // namespace tovik
