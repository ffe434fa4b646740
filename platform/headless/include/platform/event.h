#pragma once

#include <cstdint>

#include "platform/constants.h"
#include "platform/foundation.h"
#include "platform/geometry.h"

namespace tovik {

class Window;

// An input event (NSEvent), as the window server hands one to the
// application: its type, the pointer's location in its window's coordinates
// (relative to where the window is when the event is made), the click count
// the window server counted (2 for the second press of a double-click), and
// the window. The window is not retained; one that is gone reads as none.
// Main thread only.
class Event : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();
  // +[NSEvent mouseEventWithType:location:...windowNumber:...clickCount:...]
  // with the arguments the window system models. A type other than the left
  // button's three, or a negative click count, is an error (PlatformError).
  static Ref<Event> mouseEvent(std::uint64_t type, CGPoint locationInWindow, Window* window,
                               std::int64_t clickCount);

  [[nodiscard]] std::uint64_t type() const { return type_; }
  [[nodiscard]] CGPoint locationInWindow() const { return location_; }
  [[nodiscard]] std::int64_t clickCount() const { return clickCount_; }
  [[nodiscard]] Window* window() const;

  // A local monitor's handler answers the event to pass on (the one it was
  // given, or another), or none to swallow it.
  using MonitorHandler = Block<Ref<Event>(Event*)>;
  // +[NSEvent addLocalMonitorForEventsMatchingMask:handler:]: the handler
  // (copied) sees every event of the mask's types the application is sent,
  // before the event's window does (see Application::sendEvent). Answers the
  // monitor, to be handed to removeMonitor. No handler is an error
  // (PlatformError).
  static Ref<Object> addLocalMonitorForEventsMatchingMask(std::uint64_t mask,
                                                          MonitorHandler* handler);
  // +[NSEvent removeMonitor:]: the monitor's handler is not called again,
  // from the next handler the application calls on. Anything that is not a
  // monitor in place is ignored.
  static void removeMonitor(Object* monitor);
  // Hands `event` to the local monitors whose mask holds its type, in the
  // order they were added, each receiving what the one before passed on.
  // Answers what the last passed on: none when one swallowed the event.
  static Ref<Event> runLocalMonitors(Event* event);

 private:
  std::uint64_t type_ = 0;
  CGPoint location_;
  std::int64_t clickCount_ = 0;
  Weak<Window> window_;
};

}  // namespace tovik
