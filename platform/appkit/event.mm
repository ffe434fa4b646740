#include "platform/event.h"

#import <AppKit/AppKit.h>

#include "bridge.h"
#include "local_monitor.h"
#include "platform/window.h"

namespace tovik {

using bridge::objc;
using bridge::ours;

namespace {
NSEvent* ns(const Event* event) { return static_cast<NSEvent*>(objc(event)); }
}  // namespace

Class* Event::runtimeClass() { return ours([NSEvent class]); }

std::uint64_t Event::type() const { return [ns(this) type]; }

CGPoint Event::locationInWindow() const {
  const NSPoint location = [ns(this) locationInWindow];
  return {location.x, location.y};
}

std::int64_t Event::clickCount() const { return [ns(this) clickCount]; }

Window* Event::window() const { return ours<Window>([ns(this) window]); }

Ref<Object> Event::addLocalMonitorForEventsMatchingMask(std::uint64_t mask, BlockBase* handler) {
  static const SEL add = sel_registerName("addLocalMonitorForEventsMatchingMask:handler:");
  bridge::provideLocalEventMonitors();
  Object* eventClass = std::bit_cast<Object*>(runtimeClass());
  if (handler == nullptr || !eventClass->respondsToSelector(add)) return nullptr;
  return send<Ref<Object>>(eventClass, add, mask, handler);
}

}  // namespace tovik
