#include "local_monitor.h"

#import <AppKit/AppKit.h>
#include <Block.h>
#include <objc/runtime.h>

#include <algorithm>
#include <vector>

// Local event monitors as AppKit gives them: handlers that
// -[NSApplication sendEvent:] runs before it dispatches an event of a type
// in their mask, in the order they were added. A handler answers the event
// to dispatch (the one it was given, or another), or nil to swallow it, and
// then no later handler sees it. Only events that go through the
// application's sendEvent: reach them, not those a tracking loop takes off
// the queue itself. Monitors live until +removeMonitor:.
namespace tovik::bridge {

namespace {

using Handler = NSEvent* (^)(NSEvent*);

struct Monitor {
  id token;  // what +addLocal... answers; the caller passes it to +removeMonitor:
  unsigned long long mask;
  Handler handler;
};

std::vector<Monitor>& monitors() {
  static auto* const all = new std::vector<Monitor>;
  return *all;
}

bool registered(id token) {
  return std::any_of(monitors().begin(), monitors().end(),
                     [token](const Monitor& m) { return m.token == token; });
}

IMP dispatchEvent = nullptr;  // NSApplication's own sendEvent:

id addMonitor(id /*self*/, SEL /*cmd*/, unsigned long long mask, Handler handler) {
  if (handler == nil) return nil;
  id token = [[NSObject alloc] init];
  monitors().push_back({token, mask, static_cast<Handler>(Block_copy(handler))});
  return [[token retain] autorelease];
}

void removeMonitor(id /*self*/, SEL /*cmd*/, id token) {
  auto& all = monitors();
  const auto it =
      std::find_if(all.begin(), all.end(), [token](const Monitor& m) { return m.token == token; });
  if (it == all.end()) return;
  const Monitor removed = *it;
  all.erase(it);
  Block_release(removed.handler);
  [removed.token release];
}

void sendEventThroughMonitors(id self, SEL cmd, NSEvent* event) {
  const NSEventType type = [event type];
  const unsigned long long bit = type < 64 ? 1ULL << type : 0;
  // A handler may add or remove monitors: the ones present now are asked,
  // each only while it is still in place.
  std::vector<Monitor> asked;
  for (const Monitor& m : monitors()) {
    if ((m.mask & bit) != 0)
      asked.push_back({[m.token retain], m.mask, static_cast<Handler>(Block_copy(m.handler))});
  }
  for (const Monitor& m : asked) {
    if (event != nil && registered(m.token)) event = m.handler(event);
    Block_release(m.handler);
    [m.token release];
  }
  if (event != nil) reinterpret_cast<void (*)(id, SEL, NSEvent*)>(dispatchEvent)(self, cmd, event);
}

}  // namespace

void provideLocalEventMonitors() {
  static const bool provided = [] {
    const SEL add = sel_registerName("addLocalMonitorForEventsMatchingMask:handler:");
    if ([NSEvent respondsToSelector:add]) return true;
    ::Class meta = object_getClass([NSEvent class]);
    class_addMethod(meta, add, reinterpret_cast<IMP>(&addMonitor), "@@:Q@");
    class_addMethod(meta, sel_registerName("removeMonitor:"), reinterpret_cast<IMP>(&removeMonitor),
                    "v@:@");
    Method send = class_getInstanceMethod([NSApplication class], @selector(sendEvent:));
    dispatchEvent =
        method_setImplementation(send, reinterpret_cast<IMP>(&sendEventThroughMonitors));
    return true;
  }();
  (void)provided;
}

}  // namespace tovik::bridge
