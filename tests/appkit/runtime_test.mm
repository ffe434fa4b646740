// The runtime as the plug-in's C++ meets it inside a host's process: weak
// references, messages to receivers that forward them, and the main queue
// while the run loop is in another mode than the default.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>

#include "platform/main_queue.h"
#include "platform/runtime.h"

namespace {

tovik::Object* ours(id object) { return reinterpret_cast<tovik::Object*>(object); }

// A host's class whose dealloc asks a weak reference for the object being
// deallocated, as code called from a dealloc may.
tovik::Weak<tovik::Object>* gProbed = nullptr;
int gLockedInDealloc = -1;
void probingDealloc(id self, SEL cmd) {
  gLockedInDealloc = gProbed->lock() != nullptr ? 1 : 0;
  reinterpret_cast<void (*)(id, SEL)>(class_getMethodImplementation([NSObject class], cmd))(self,
                                                                                            cmd);
}

TEST(WeakReference, NeverHandsOutAnObjectWhoseDeallocationHasBegun) {
  Class probe = objc_allocateClassPair([NSObject class], "HostDeallocProbe", 0);
  class_addMethod(probe, @selector(dealloc), reinterpret_cast<IMP>(&probingDealloc), "v@:");
  objc_registerClassPair(probe);
  Class subclass = objc_allocateClassPair(probe, "HostDeallocProbeSubclass", 0);
  objc_registerClassPair(subclass);

  for (Class cls : {probe, subclass}) {
    auto object = tovik::Ref<tovik::Object>::adopt(ours([[cls alloc] init]));
    tovik::Weak<tovik::Object> weak(object);
    gProbed = &weak;
    EXPECT_EQ(weak.lock(), object);
    gLockedInDealloc = -1;
    object = nullptr;
    EXPECT_EQ(gLockedInDealloc, 0) << class_getName(cls) << ": the dealloc got its own object";
    EXPECT_TRUE(weak.expired());
  }
  gProbed = nullptr;
}

id displayVersion(id /*self*/, SEL /*cmd*/) { return @"2.0"; }
id forwardingTarget(id /*self*/, SEL /*cmd*/, SEL /*sel*/) {
  static id target = [[objc_getClass("HostAppcastItem") alloc] init];
  return target;
}

TEST(Messages, AReceiverThatForwardsAMessageIsAnsweredByItsTarget) {
  Class item = objc_allocateClassPair([NSObject class], "HostAppcastItem", 0);
  class_addMethod(item, @selector(displayVersionString), reinterpret_cast<IMP>(&displayVersion),
                  "@@:");
  objc_registerClassPair(item);
  Class proxy = objc_allocateClassPair([NSObject class], "HostForwardingItem", 0);
  class_addMethod(proxy, @selector(forwardingTargetForSelector:),
                  reinterpret_cast<IMP>(&forwardingTarget), "@@::");
  objc_registerClassPair(proxy);

  id forwarder = [[[proxy alloc] init] autorelease];
  const auto answer =
      tovik::send<tovik::Ref<tovik::Object>>(ours(forwarder), "displayVersionString");
  EXPECT_TRUE([reinterpret_cast<id>(answer.get()) isEqual:@"2.0"]);
}

TEST(MainQueue, ItemsRunWhileTheRunLoopTracksEventsOrRunsAModalPanel) {
  for (NSString* mode : {NSEventTrackingRunLoopMode, NSModalPanelRunLoopMode}) {
    int ran = 0;
    tovik::MainQueue& queue = tovik::MainQueue::main();
    queue.async([&ran] { ++ran; });
    queue.asyncAfter(queue.now() + tovik::seconds(0.05), [&ran] { ++ran; });
    NSDate* deadline = [NSDate dateWithTimeIntervalSinceNow:2];
    while (ran<2 && [deadline timeIntervalSinceNow]> 0) {
      [[NSRunLoop currentRunLoop] runMode:mode
                               beforeDate:[NSDate dateWithTimeIntervalSinceNow:0.05]];
    }
    EXPECT_EQ(ran, 2) << [mode UTF8String];
  }
}

}  // namespace
