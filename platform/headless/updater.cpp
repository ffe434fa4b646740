#include "platform/updater.h"

namespace tovik {

namespace {
struct Controllers {
  std::mutex mutex;
  std::vector<Weak<UpdaterController>> made;
};
Controllers& controllers() {
  static auto* all = new Controllers;
  return *all;
}

// The framework's delegate protocol, declared when the framework is loaded,
// as its classes are (platform/classes.cpp).
const bool kDelegateProtocolDeclared = [] {
  objc_declareProtocol("SPUUpdaterDelegate", {Protocol::nsObject()});
  return true;
}();
}  // namespace

Class* AppcastItem::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass(
        "SUAppcastItem", Object::runtimeClass(),
        [](Class* isa) -> Ref<Object> { return std::make_shared<AppcastItem>(isa); });
    addMethod(c, "displayVersionString",
              [](AppcastItem* self) { return self->displayVersion_.get(); });
    return c;
  }();
  return cls;
}

Ref<AppcastItem> AppcastItem::withDisplayVersion(std::string_view version) {
  return make<AppcastItem>(str(version));
}

Ref<AppcastItem> AppcastItem::withoutDisplayVersion() { return make<AppcastItem>(); }

Class* Updater::runtimeClass() {
  static Class* const cls =
      objc_declareClass("SPUUpdater", Object::runtimeClass(),
                        [](Class* isa) -> Ref<Object> { return std::make_shared<Updater>(isa); });
  return cls;
}

bool Updater::isStarted() const {
  std::lock_guard lock(mutex_);
  return started_;
}

Object* Updater::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock().get();
}

std::size_t Updater::userInitiatedChecks() const {
  std::lock_guard lock(mutex_);
  return checks_;
}

std::vector<std::string> Updater::immediateInstalls() const {
  std::lock_guard lock(mutex_);
  return installs_;
}

bool Updater::presentUpdateInstalledOnQuit(AppcastItem* item) {
  static const SEL notice =
      sel_registerName("updater:willInstallUpdateOnQuit:immediateInstallationBlock:");
  Ref<Object> delegate = [this] {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
  }();
  if (delegate == nullptr || item == nullptr || !delegate->respondsToSelector(notice)) return false;
  const std::string version =
      item->displayVersionString() != nullptr ? item->displayVersionString()->utf8() : "";
  Weak<Updater> weakSelf = retainAs<Updater>();
  auto install = makeBlock<void()>([weakSelf, version] {
    if (Ref<Updater> self = weakSelf.lock()) {
      std::lock_guard lock(self->mutex_);
      self->installs_.push_back(version);
    }
  });
  return send<bool>(delegate.get(), notice, this, item, install.get());
}

Class* UpdaterController::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass(
        "SPUStandardUpdaterController", Object::runtimeClass(),
        [](Class* isa) -> Ref<Object> { return std::make_shared<UpdaterController>(isa); });
    addMethod(c, "initWithStartingUpdater:updaterDelegate:userDriverDelegate:",
              [](UpdaterController* self, bool startingUpdater, Object* updaterDelegate,
                 Object* /*userDriverDelegate*/) {
                self->initWithStartingUpdater(startingUpdater, updaterDelegate);
                return self->retain();
              });
    addMethod(c, "checkForUpdates:", [](UpdaterController* self, Object* /*sender*/) {
      if (self->updater_ == nullptr) return;  // never initialised
      std::lock_guard lock(self->updater_->mutex_);
      if (self->updater_->started_) ++self->updater_->checks_;
    });
    return c;
  }();
  return cls;
}

Ref<UpdaterController> UpdaterController::create(bool startingUpdater, Object* updaterDelegate,
                                                 Object* userDriverDelegate) {
  static const SEL init =
      sel_registerName("initWithStartingUpdater:updaterDelegate:userDriverDelegate:");
  return as<UpdaterController>(send<Ref<Object>>(class_createInstance(runtimeClass()).get(), init,
                                                 startingUpdater, updaterDelegate,
                                                 userDriverDelegate));
}

void UpdaterController::initWithStartingUpdater(bool startingUpdater, Object* updaterDelegate) {
  updater_ = make<Updater>();
  {
    std::lock_guard lock(updater_->mutex_);
    updater_->delegate_ = updaterDelegate != nullptr ? updaterDelegate->retain() : Weak<Object>{};
    updater_->started_ = startingUpdater;
  }
  Controllers& all = controllers();
  std::lock_guard lock(all.mutex);
  all.made.push_back(retainAs<UpdaterController>());
}

std::size_t UpdaterController::instancesCreated() {
  Controllers& all = controllers();
  std::lock_guard lock(all.mutex);
  return all.made.size();
}

std::vector<Ref<UpdaterController>> UpdaterController::liveInstances() {
  Controllers& all = controllers();
  std::lock_guard lock(all.mutex);
  std::vector<Ref<UpdaterController>> live;
  for (const auto& weak : all.made) {
    if (auto controller = weak.lock()) live.push_back(std::move(controller));
  }
  return live;
}

}  // namespace tovik
