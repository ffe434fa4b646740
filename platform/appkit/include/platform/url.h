#pragma once

#include <string_view>

#include "platform/foundation.h"

namespace tovik {

// NSURL.
class URL : public Object {
 public:
  static Class* runtimeClass();
  // +URLWithString:: none for text that is not a valid URL.
  static Ref<URL> URLWithString(std::string_view text);
  [[nodiscard]] String* absoluteString() const;
};

}  // namespace tovik
