#pragma once

#include <string_view>

#include "platform/foundation.h"

namespace tovik {

// NSUserDefaults.
class UserDefaults : public Object {
 public:
  static Class* runtimeClass();
  static UserDefaults* standardUserDefaults();
  [[nodiscard]] Ref<Object> objectForKey(std::string_view key) const;
  void setObject(Object* value, String* key);
};

}  // namespace tovik
