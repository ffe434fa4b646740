#pragma once

#include <mutex>
#include <vector>

#include "platform/foundation.h"

namespace tovik {

// A posted notification (NSNotification): a name, the posting object and an
// optional dictionary.
class Notification : public Object {
 public:
  Notification(Class* isa, Ref<String> name = nullptr, Ref<Object> object = nullptr,
               Ref<Dictionary> userInfo = nullptr)
      : Object(isa),
        name_(std::move(name)),
        object_(std::move(object)),
        userInfo_(std::move(userInfo)) {}
  static Class* runtimeClass();

  [[nodiscard]] String* name() const { return name_.get(); }
  [[nodiscard]] Object* object() const { return object_.get(); }
  [[nodiscard]] Dictionary* userInfo() const { return userInfo_.get(); }

 private:
  Ref<String> name_;
  Ref<Object> object_;
  Ref<Dictionary> userInfo_;
};

// The notification centre (NSNotificationCenter). Observers are not retained
// and an observer that is gone is skipped, as since macOS 10.11. An observed
// object is not retained either; once it is gone its registrations match
// nothing, so a new object at the same address is never mistaken for it.
// Delivery is synchronous, on the posting thread, in registration order, by
// sending the registered selector with the notification.
class NotificationCenter : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();
  static NotificationCenter* defaultCenter();

  // `name` null observes every name; `object` null observes every object.
  void addObserver(Object* observer, SEL selector, String* name, Object* object);
  void removeObserver(Object* observer);
  void removeObserver(Object* observer, String* name, Object* object);
  void postNotificationName(String* name, Object* object, Dictionary* userInfo = nullptr);

 private:
  struct Registration {
    Weak<Object> observer;
    const Object* observerIdentity;
    SEL selector;
    Ref<String> name;
    bool anyObject;
    Weak<Object> object;
  };
  std::mutex mutex_;
  std::vector<Registration> registrations_;
};

}  // namespace tovik
