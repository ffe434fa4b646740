#pragma once

#include <cstddef>
#include <memory>

#include "platform/object.h"

// Autorelease pools (NSAutoreleasePool): an answer handed out borrowed that
// nothing else keeps (a host's method that made a new object, a list built
// for the caller) stays alive until the innermost pool of the thread drains.
// The main queue drains one around each work item and a window around each
// mouse event, as the run loop does around each event.
namespace tovik {

// Keeps `kept` alive until the thread's innermost pool drains, and hands it
// back borrowed. Outside any pool it lives until the thread's next pool
// drains.
template <class T>
T* autorelease(std::shared_ptr<T> kept);

class AutoreleasePool {
 public:
  AutoreleasePool();
  // Releases what was autoreleased since the pool was made.
  ~AutoreleasePool();
  AutoreleasePool(const AutoreleasePool&) = delete;
  AutoreleasePool& operator=(const AutoreleasePool&) = delete;

 private:
  std::size_t mark_;
};

namespace detail {
void keepUntilDrained(std::shared_ptr<const void> kept);
}  // namespace detail

template <class T>
T* autorelease(std::shared_ptr<T> kept) {
  T* borrowed = kept.get();
  if (borrowed != nullptr) detail::keepUntilDrained(std::move(kept));
  return borrowed;
}

}  // namespace tovik
