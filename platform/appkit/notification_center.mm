#include "platform/notification_center.h"

#import <Foundation/Foundation.h>

#include "bridge.h"

namespace tovik {

using bridge::objc;
using bridge::ours;

Class* Notification::runtimeClass() { return ours([NSNotification class]); }

String* Notification::name() const {
  return ours<String>([static_cast<NSNotification*>(objc(this)) name]);
}

Object* Notification::object() const {
  return ours([static_cast<NSNotification*>(objc(this)) object]);
}

Class* NotificationCenter::runtimeClass() { return ours([NSNotificationCenter class]); }

NotificationCenter* NotificationCenter::defaultCenter() {
  return ours<NotificationCenter>([NSNotificationCenter defaultCenter]);
}

void NotificationCenter::addObserver(Object* observer, SEL selector, String* name, Object* object) {
  [static_cast<NSNotificationCenter*>(objc(this)) addObserver:objc(observer)
                                                     selector:bridge::objcSelector(selector)
                                                         name:static_cast<NSString*>(objc(name))
                                                       object:objc(object)];
}

void NotificationCenter::postNotificationName(String* name, Object* object) {
  [static_cast<NSNotificationCenter*>(objc(this))
      postNotificationName:static_cast<NSString*>(objc(name))
                    object:objc(object)];
}

}  // namespace tovik
