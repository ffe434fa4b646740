#include "platform/notification_center.h"

#include <algorithm>

namespace tovik {

Class* Notification::runtimeClass() {
  static Class* const cls = objc_declareClass(
      "NSNotification", Object::runtimeClass(),
      [](Class* isa) -> Ref<Object> { return std::make_shared<Notification>(isa); });
  return cls;
}

Class* NotificationCenter::runtimeClass() {
  static Class* const cls = objc_declareClass(
      "NSNotificationCenter", Object::runtimeClass(),
      [](Class* isa) -> Ref<Object> { return std::make_shared<NotificationCenter>(isa); });
  return cls;
}

NotificationCenter* NotificationCenter::defaultCenter() {
  static auto* center = new Ref<NotificationCenter>(make<NotificationCenter>());
  return center->get();
}

namespace {
bool sameObject(const Weak<Object>& weak, const Object* object) {
  Ref<Object> alive = weak.lock();
  return alive != nullptr && alive.get() == object;
}
}  // namespace

void NotificationCenter::addObserver(Object* observer, SEL selector, String* name, Object* object) {
  if (observer == nullptr || selector == nullptr) return;
  std::lock_guard lock(mutex_);
  registrations_.push_back(Registration{
      observer->retain(), observer, selector, name != nullptr ? name->retainAs<String>() : nullptr,
      object == nullptr, object != nullptr ? object->retain() : Weak<Object>{}});
}

void NotificationCenter::removeObserver(Object* observer) {
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_,
                [&](const Registration& r) { return r.observerIdentity == observer; });
}

void NotificationCenter::removeObserver(Object* observer, String* name, Object* object) {
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [&](const Registration& r) {
    return r.observerIdentity == observer &&
           (name == nullptr || r.name == nullptr || r.name->isEqualToString(name)) &&
           (object == nullptr || sameObject(r.object, object));
  });
}

void NotificationCenter::postNotificationName(String* name, Object* object, Dictionary* userInfo) {
  if (name == nullptr) return;
  auto note = std::make_shared<Notification>(
      Notification::runtimeClass(), name->retainAs<String>(),
      object != nullptr ? object->retain() : nullptr,
      userInfo != nullptr ? userInfo->retainAs<Dictionary>() : nullptr);
  std::vector<std::pair<Weak<Object>, SEL>> targets;
  {
    std::lock_guard lock(mutex_);
    for (const auto& r : registrations_) {
      if (r.name != nullptr && !r.name->isEqualToString(name)) continue;
      if (!r.anyObject && !sameObject(r.object, object)) continue;
      targets.emplace_back(r.observer, r.selector);
    }
  }
  // An observer released by an earlier observer's callback is skipped.
  for (const auto& [weak, selector] : targets) {
    if (Ref<Object> observer = weak.lock()) send<void>(observer.get(), selector, note.get());
  }
}

}  // namespace tovik
