#include "platform/notification_center.h"

#include <algorithm>
#include <iterator>

namespace tovik {

Class* Notification::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass(
        "NSNotification", Object::runtimeClass(),
        [](Class* isa) -> Ref<Object> { return std::make_shared<Notification>(isa); });
    addMethod(c, "name", [](Notification* self) { return self->name_.get(); });
    addMethod(c, "object", [](Notification* self) { return self->object_.get(); });
    addMethod(c, "userInfo", [](Notification* self) { return self->userInfo_.get(); });
    return c;
  }();
  return cls;
}

Class* NotificationCenter::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass(
        "NSNotificationCenter", Object::runtimeClass(),
        [](Class* isa) -> Ref<Object> { return std::make_shared<NotificationCenter>(isa); });
    addMethod(c, "addObserver:selector:name:object:",
              [](NotificationCenter* self, Object* observer, SEL selector, String* name,
                 Object* object) { self->registerObserver(observer, selector, name, object); });
    return c;
  }();
  return cls;
}

NotificationCenter* NotificationCenter::defaultCenter() {
  static auto* center = new Ref<NotificationCenter>(make<NotificationCenter>());
  return center->get();
}

namespace {
bool nameMatches(const Ref<String>& registered, const String* name) {
  return registered == nullptr || registered->isEqualToString(name);
}
}  // namespace

template <class Visit>
void NotificationCenter::keepLive(Registrations& list, bool forOneObject, Visit visit) {
  auto kept = list.begin();
  for (auto it = list.begin(); it != list.end(); ++it) {
    // A registration for one object whose reference has expired is for an
    // object that is gone: a live object now at that address is another one.
    const bool dead = it->observer.expired() || (forOneObject && it->object.expired());
    if (dead || visit(*it)) continue;
    if (kept != it) *kept = std::move(*it);
    ++kept;
  }
  count_ -= static_cast<std::size_t>(std::distance(kept, list.end()));
  list.erase(kept, list.end());
}

void NotificationCenter::sweep() {
  const auto none = [](const Registration&) { return false; };
  for (auto it = byObject_.begin(); it != byObject_.end();) {
    keepLive(it->second, true, none);
    it = it->second.empty() ? byObject_.erase(it) : std::next(it);
  }
  keepLive(anyObject_, false, none);
}

void NotificationCenter::registerObserver(Object* observer, SEL selector, String* name,
                                          Object* object) {
  if (observer == nullptr || selector == nullptr) return;
  Registration registration{0,
                            observer->retain(),
                            observer,
                            selector,
                            name != nullptr ? name->retainAs<String>() : nullptr,
                            object != nullptr ? object->retain() : Weak<Object>{}};
  std::lock_guard lock(mutex_);
  if (count_ >= sweepAt_) {
    sweep();
    sweepAt_ = std::max(kFirstSweep, 2 * count_);
  }
  registration.order = nextOrder_++;
  (object != nullptr ? byObject_[object] : anyObject_).push_back(std::move(registration));
  ++count_;
}

void NotificationCenter::removeObserver(Object* observer) {
  removeObserver(observer, nullptr, nullptr);
}

void NotificationCenter::removeObserver(Object* observer, String* name, Object* object) {
  const auto matches = [&](const Registration& r) {
    return r.observerIdentity == observer && (name == nullptr || nameMatches(r.name, name));
  };
  std::lock_guard lock(mutex_);
  if (object != nullptr) {
    // The registrations for this object, live or dead, are all under its
    // address; the live ones are for this object.
    if (auto it = byObject_.find(object); it != byObject_.end()) {
      keepLive(it->second, true, matches);
      if (it->second.empty()) byObject_.erase(it);
    }
    return;
  }
  for (auto it = byObject_.begin(); it != byObject_.end();) {
    keepLive(it->second, true, matches);
    it = it->second.empty() ? byObject_.erase(it) : std::next(it);
  }
  keepLive(anyObject_, false, matches);
}

void NotificationCenter::postNotificationName(String* name, Object* object, Dictionary* userInfo) {
  if (name == nullptr) return;
  auto note = std::make_shared<Notification>(
      Notification::runtimeClass(), name->retainAs<String>(),
      object != nullptr ? object->retain() : nullptr,
      userInfo != nullptr ? userInfo->retainAs<Dictionary>() : nullptr);
  struct Target {
    std::uint64_t order;
    Weak<Object> observer;
    SEL selector;
  };
  std::vector<Target> targets;
  {
    std::lock_guard lock(mutex_);
    const auto collect = [&](const Registration& r) {
      if (nameMatches(r.name, name)) targets.push_back(Target{r.order, r.observer, r.selector});
      return false;
    };
    if (object != nullptr) {
      if (auto it = byObject_.find(object); it != byObject_.end()) {
        keepLive(it->second, true, collect);
        if (it->second.empty()) byObject_.erase(it);
      }
    }
    const auto forObject = static_cast<std::ptrdiff_t>(targets.size());
    keepLive(anyObject_, false, collect);
    // Both runs are in registration order; so is their merge.
    std::inplace_merge(targets.begin(), targets.begin() + forObject, targets.end(),
                       [](const Target& a, const Target& b) { return a.order < b.order; });
  }
  // An observer released by an earlier observer's callback is skipped.
  for (const Target& target : targets) {
    if (Ref<Object> observer = target.observer.lock()) {
      send<void>(observer.get(), target.selector, note.get());
    }
  }
}

std::size_t NotificationCenter::registrationCount() {
  std::lock_guard lock(mutex_);
  return count_;
}

}  // namespace tovik
