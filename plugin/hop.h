#pragma once

#include <utility>

#include "platform/main_queue.h"

namespace tovik {

// The main-queue hop: the work item keeps the values it captured and runs
// later on the main thread, in submission order, never inline.
template <class Work>
void hopToMainQueue(Work&& work) {
  MainQueue::main().async(std::forward<Work>(work));
}

}  // namespace tovik
