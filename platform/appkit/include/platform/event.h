#pragma once

#include <cstdint>

#include "platform/constants.h"
#include "platform/foundation.h"
#include "platform/geometry.h"

namespace tovik {

class Window;

// NSEvent.
class Event : public Object {
 public:
  static Class* runtimeClass();
  [[nodiscard]] std::uint64_t type() const;
  [[nodiscard]] CGPoint locationInWindow() const;
  [[nodiscard]] std::int64_t clickCount() const;
  [[nodiscard]] Window* window() const;

  // +addLocalMonitorForEventsMatchingMask:handler:, the backend's own where
  // the running system has none (GNUstep).
  static Ref<Object> addLocalMonitorForEventsMatchingMask(std::uint64_t mask, BlockBase* handler);
};

}  // namespace tovik
