#pragma once

#include <concepts>

#include "platform/contract/object.h"
#include "platform/notification_center.h"

namespace tovik::contract {

// NSNotification, as an observer receives one.
template <class N>
concept NotificationContract = ObjectContract<N> && requires(const N& notification) {
  { notification.object() } -> std::same_as<Object*>;
};

// NSNotificationCenter: the plug-in observes a window's notifications.
template <class C>
concept NotificationCenterContract = ObjectContract<C> &&
    requires(C& center, Object* object, SEL selector, String* name) {
  { C::defaultCenter() } -> std::same_as<C*>;
  center.addObserver(object, selector, name, object);
};

}  // namespace tovik::contract
