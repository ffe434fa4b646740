#include "platform/main_queue.h"

#include <chrono>

namespace tovik {

namespace {
const auto kProcessStart = std::chrono::steady_clock::now();
}  // namespace

DispatchTime DispatchTime::now() { return MainQueue::main().now(); }

MainQueue& MainQueue::main() {
  static auto* queue = new MainQueue;
  return *queue;
}

DispatchTime MainQueue::now() const {
  return {std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - kProcessStart)};
}

}  // namespace tovik
