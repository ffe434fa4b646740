#pragma once

#include <concepts>
#include <cstdint>

#include "platform/contract/object.h"
#include "platform/event.h"
#include "platform/geometry.h"

namespace tovik::contract {

// NSEvent, as a local event monitor sees a mouse-down.
template <class E>
concept EventContract = ObjectContract<E> &&
    requires(const E& event, std::uint64_t mask, Block<Ref<E>(E*)>* handler) {
  { event.type() } -> std::same_as<std::uint64_t>;
  { event.locationInWindow() } -> std::same_as<CGPoint>;
  { event.clickCount() } -> std::same_as<std::int64_t>;
  { event.window() } -> std::same_as<Window*>;
  // None where the running system has no local monitors.
  { E::addLocalMonitorForEventsMatchingMask(mask, handler) } -> std::same_as<Ref<Object>>;
};

}  // namespace tovik::contract
