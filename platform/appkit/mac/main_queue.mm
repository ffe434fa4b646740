#include "platform/main_queue.h"

#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <chrono>
#include <memory>

#include "../boundary.h"

// On a Mac the main queue is libdispatch's main queue, which the main run
// loop drains in its common modes (live resize, menu tracking and modal
// sessions included).
namespace tovik {

namespace {
void runItem(void* context) {
  const std::unique_ptr<MainQueue::Work> work(static_cast<MainQueue::Work*>(context));
  @autoreleasepool {
    detail::runAtBoundary(*work, "a main-queue item");
  }
}
}  // namespace

void MainQueue::async(Work work) {
  dispatch_async_f(dispatch_get_main_queue(), new Work(std::move(work)), &runItem);
}

void MainQueue::asyncAfter(DispatchTime deadline, Work work) {
  const auto delay =
      std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.sinceStart - now().sinceStart);
  dispatch_after_f(dispatch_time(DISPATCH_TIME_NOW, delay.count()), dispatch_get_main_queue(),
                   new Work(std::move(work)), &runItem);
}

}  // namespace tovik
