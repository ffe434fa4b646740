#pragma once

#include "platform/foundation.h"

namespace tovik {

// NSNotification.
class Notification : public Object {
 public:
  static Class* runtimeClass();
  [[nodiscard]] String* name() const;
  [[nodiscard]] Object* object() const;
};

// NSNotificationCenter.
class NotificationCenter : public Object {
 public:
  static Class* runtimeClass();
  static NotificationCenter* defaultCenter();
  void addObserver(Object* observer, SEL selector, String* name, Object* object);
  void postNotificationName(String* name, Object* object);
};

}  // namespace tovik
