#pragma once

#include "platform/foundation.h"

namespace tovik {

// NSWindow.
class Window : public Object {
 public:
  static Class* runtimeClass();
  // The window's identifier, where the running system has one (NSWindow
  // answers identifier since macOS 10.7; GNUstep's does not, and a window
  // there has none unless its class defines it).
  [[nodiscard]] String* identifier() const;
  [[nodiscard]] bool isVisible() const;
};

}  // namespace tovik
