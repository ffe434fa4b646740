#include "platform/event.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/window.h"

namespace tovik {

namespace {

// A local monitor in place: what +addLocalMonitorForEventsMatchingMask:
// answers. Its handler is kept until it is removed.
class LocalMonitor : public Object {
 public:
  LocalMonitor(Class* isa, std::uint64_t mask, Ref<Event::MonitorHandler> handler)
      : Object(isa), mask(mask), handler(std::move(handler)) {}
  static Class* runtimeClass() {
    static Class* const cls = objc_declareClass(
        "_NSLocalEventMonitor", Object::runtimeClass(),
        [](Class* isa) -> Ref<Object> { return std::make_shared<LocalMonitor>(isa, 0, nullptr); });
    return cls;
  }

  const std::uint64_t mask;
  const Ref<Event::MonitorHandler> handler;
};

// The monitors in place, in the order they were added.
std::vector<Ref<LocalMonitor>>& localMonitors() {
  static auto* monitors = new std::vector<Ref<LocalMonitor>>;
  return *monitors;
}

bool isLeftMouseType(std::uint64_t type) {
  return type == NSEventTypeLeftMouseDown || type == NSEventTypeLeftMouseUp ||
         type == NSEventTypeLeftMouseDragged;
}

}  // namespace

Class* Event::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSEvent", Object::runtimeClass(), [](Class* isa) -> Ref<Object> {
      return std::make_shared<Event>(isa);
    });
    addMethod(c, "type", [](Event* self) { return self->type(); });
    addMethod(c, "locationInWindow", [](Event* self) { return self->locationInWindow(); });
    addMethod(c, "clickCount", [](Event* self) { return self->clickCount(); });
    addMethod(c, "window", [](Event* self) -> Ref<Object> { return self->window_.lock(); });
    return c;
  }();
  return cls;
}

Ref<Event> Event::mouseEvent(std::uint64_t type, CGPoint locationInWindow, Window* window,
                             std::int64_t clickCount) {
  if (!isLeftMouseType(type)) {
    throw PlatformError("+[NSEvent mouseEventWithType:...]: " + std::to_string(type) +
                        " is not a left mouse event type");
  }
  if (clickCount < 0) {
    throw PlatformError("+[NSEvent mouseEventWithType:...]: negative click count " +
                        std::to_string(clickCount));
  }
  auto event = make<Event>();
  event->type_ = type;
  event->location_ = locationInWindow;
  event->clickCount_ = clickCount;
  if (window != nullptr) event->window_ = window->retainAs<Window>();
  return event;
}

Window* Event::window() const { return window_.lock().get(); }

Ref<Object> Event::addLocalMonitorForEventsMatchingMask(std::uint64_t mask,
                                                        MonitorHandler* handler) {
  if (handler == nullptr) {
    throw PlatformError("+[NSEvent addLocalMonitorForEventsMatchingMask:handler:]: nil handler");
  }
  auto monitor =
      make<LocalMonitor>(mask, std::static_pointer_cast<MonitorHandler>(handler->retain()));
  localMonitors().push_back(monitor);
  return monitor;
}

void Event::removeMonitor(Object* monitor) {
  std::erase_if(localMonitors(),
                [monitor](const Ref<LocalMonitor>& each) { return each.get() == monitor; });
}

Ref<Event> Event::runLocalMonitors(Event* event) {
  if (event == nullptr) return nullptr;
  Ref<Event> passed = event->retainAs<Event>();
  // A handler may add or remove monitors: those in place when the event
  // arrived see it, but for any removed before its turn.
  const std::vector<Ref<LocalMonitor>> inPlace = localMonitors();
  for (const Ref<LocalMonitor>& monitor : inPlace) {
    if ((monitor->mask & (std::uint64_t{1} << passed->type())) == 0) continue;
    const auto& current = localMonitors();
    if (std::find(current.begin(), current.end(), monitor) == current.end()) continue;
    passed = (*monitor->handler)(passed.get());
    if (passed == nullptr) return nullptr;
  }
  return passed;
}

}  // namespace tovik
