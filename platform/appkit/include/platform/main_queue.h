#pragma once

#include <functional>

#include "platform/dispatch_time.h"

namespace tovik {

// The main queue: work items run one at a time, in submission order, on the
// main thread, never inline; delayed items at their deadlines. Here it is
// the main thread's run loop, which the application runs (GNUstep has no
// libdispatch; on a Mac the run loop drains the main dispatch queue too).
class MainQueue {
 public:
  using Work = std::function<void()>;
  static MainQueue& main();
  void async(Work work);
  void asyncAfter(DispatchTime deadline, Work work);
  [[nodiscard]] DispatchTime now() const;
};

}  // namespace tovik
