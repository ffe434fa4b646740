#pragma once

#include <cstdint>

#include "platform/constants.h"
#include "platform/foundation.h"
#include "platform/view.h"

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
  [[nodiscard]] View* contentView() const;
  // The button of a kind (NSWindowCloseButton...); none where the running
  // system draws no such button.
  [[nodiscard]] View* standardWindowButton(std::int64_t kind) const;
};

}  // namespace tovik
