#include "platform/main_queue.h"

#import <Foundation/Foundation.h>

#include <algorithm>
#include <chrono>
#include <utility>

// One work item, run by the main thread's run loop. The work is held by
// pointer: GCC's runtime runs no C++ constructors for instance variables.
@interface TovikMainQueueItem : NSObject {
  std::function<void()>* work_;
}
- (instancetype)initWithWork:(std::function<void()>)work;
- (void)run;
- (void)runAfter:(NSNumber*)delay;
@end

@implementation TovikMainQueueItem
- (instancetype)initWithWork:(std::function<void()>)work {
  if ((self = [super init]) != nil) work_ = new std::function<void()>(std::move(work));
  return self;
}
- (void)dealloc {
  delete work_;
  [super dealloc];
}
- (void)run {
  @autoreleasepool {
    const std::function<void()> work = std::exchange(*work_, nullptr);
    if (work) work();
  }
}
- (void)runAfter:(NSNumber*)delay {
  [self performSelector:@selector(run) withObject:nil afterDelay:[delay doubleValue]];
}
@end

namespace tovik {

namespace {
const auto kProcessStart = std::chrono::steady_clock::now();

TovikMainQueueItem* itemFor(MainQueue::Work work) {
  [NSRunLoop mainRunLoop];  // GNUstep performs on the main thread once it exists
  return [[[TovikMainQueueItem alloc] initWithWork:std::move(work)] autorelease];
}
}  // namespace

DispatchTime DispatchTime::now() { return MainQueue::main().now(); }

MainQueue& MainQueue::main() {
  static auto* queue = new MainQueue;
  return *queue;
}

void MainQueue::async(Work work) {
  @autoreleasepool {
    [itemFor(std::move(work)) performSelectorOnMainThread:@selector(run)
                                               withObject:nil
                                            waitUntilDone:NO];
  }
}

void MainQueue::asyncAfter(DispatchTime deadline, Work work) {
  const double delay =
      std::max(0.0, std::chrono::duration<double>(deadline.sinceStart - now().sinceStart).count());
  @autoreleasepool {
    // Timed from the main thread's run loop, whichever thread asks.
    [itemFor(std::move(work)) performSelectorOnMainThread:@selector(runAfter:)
                                               withObject:[NSNumber numberWithDouble:delay]
                                            waitUntilDone:NO];
  }
}

DispatchTime MainQueue::now() const {
  return {std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - kProcessStart)};
}

}  // namespace tovik
