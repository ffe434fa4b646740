#include "platform/user_defaults.h"

#import <Foundation/Foundation.h>

#include "bridge.h"

namespace tovik {

using bridge::objc;
using bridge::ours;

namespace {
NSUserDefaults* ns(const UserDefaults* defaults) {
  return static_cast<NSUserDefaults*>(objc(defaults));
}
}  // namespace

Class* UserDefaults::runtimeClass() { return ours([NSUserDefaults class]); }

UserDefaults* UserDefaults::standardUserDefaults() {
  return ours<UserDefaults>([NSUserDefaults standardUserDefaults]);
}

Ref<Object> UserDefaults::objectForKey(std::string_view key) const {
  const Ref<String> name = str(key);
  return Ref<Object>::retain(
      ours([ns(this) objectForKey:static_cast<NSString*>(objc(name.get()))]));
}

void UserDefaults::setObject(Object* value, String* key) {
  [ns(this) setObject:objc(value) forKey:static_cast<NSString*>(objc(key))];
}

}  // namespace tovik
