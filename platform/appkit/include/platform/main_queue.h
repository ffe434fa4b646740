#pragma once

#include <functional>

#include "platform/dispatch_time.h"

namespace tovik {

// The main queue: work items run one at a time, in submission order, on the
// main thread, never inline; delayed items at their deadlines; in the run
// loop's common modes. On a Mac it is libdispatch's main queue; GNUstep has
// no libdispatch, and there it is the main thread's run loop.
class MainQueue {
 public:
  using Work = std::function<void()>;
  static MainQueue& main();
  void async(Work work);
  void asyncAfter(DispatchTime deadline, Work work);
  [[nodiscard]] DispatchTime now() const;
};

}  // namespace tovik
