#pragma once

#include <concepts>
#include <functional>

#include "platform/dispatch_time.h"
#include "platform/main_queue.h"

namespace tovik::contract {

// The main queue: work items run one at a time, in submission order, on the
// main thread, never inline; delayed items at their deadlines.
template <class Q>
concept MainQueueContract = requires(Q& queue, const Q& constQueue, std::function<void()> work,
                                     DispatchTime deadline) {
  { Q::main() } -> std::same_as<Q&>;
  queue.async(work);
  queue.asyncAfter(deadline, work);
  { constQueue.now() } -> std::same_as<DispatchTime>;
};

}  // namespace tovik::contract
