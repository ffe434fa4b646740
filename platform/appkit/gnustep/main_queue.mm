#include "platform/main_queue.h"

#import <AppKit/AppKit.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "../boundary.h"

// GNUstep has no libdispatch: the main queue is the main thread's run loop.
// Its items run in the modes a Mac's main queue runs in (the common modes:
// default, modal panels, event tracking), so that live resizing, menu
// tracking and modal sessions do not hold them back. GNUstep does not
// expand NSRunLoopCommonModes for performed selectors, so the modes are
// named.

// One work item. The work is held by pointer: GCC's runtime runs no C++
// constructors for instance variables.
@interface TovikMainQueueItem : NSObject {
  std::function<void()>* work_;
}
- (instancetype)initWithWork:(std::function<void()>)work;
- (void)run;
- (void)runAfter:(NSNumber*)delay;
@end

namespace {
NSArray* mainQueueModes() {
  static NSArray* const modes =
      [[NSArray alloc] initWithObjects:NSDefaultRunLoopMode, NSModalPanelRunLoopMode,
                                       NSEventTrackingRunLoopMode, nil];
  return modes;
}
}  // namespace

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
    if (work) tovik::detail::runAtBoundary(work, "a main-queue item");
  }
}
- (void)runAfter:(NSNumber*)delay {
  [self performSelector:@selector(run)
             withObject:nil
             afterDelay:[delay doubleValue]
                inModes:mainQueueModes()];
}
@end

namespace tovik {

namespace {
TovikMainQueueItem* itemFor(MainQueue::Work work) {
  [NSRunLoop mainRunLoop];  // GNUstep performs on the main thread once it exists
  return [[[TovikMainQueueItem alloc] initWithWork:std::move(work)] autorelease];
}
}  // namespace

void MainQueue::async(Work work) {
  @autoreleasepool {
    [itemFor(std::move(work)) performSelectorOnMainThread:@selector(run)
                                               withObject:nil
                                            waitUntilDone:NO
                                                    modes:mainQueueModes()];
  }
}

void MainQueue::asyncAfter(DispatchTime deadline, Work work) {
  const double delay =
      std::max(0.0, std::chrono::duration<double>(deadline.sinceStart - now().sinceStart).count());
  @autoreleasepool {
    // Timed from the main thread's run loop, whichever thread asks.
    [itemFor(std::move(work)) performSelectorOnMainThread:@selector(runAfter:)
                                               withObject:[NSNumber numberWithDouble:delay]
                                            waitUntilDone:NO
                                                    modes:mainQueueModes()];
  }
}

}  // namespace tovik
