#include "platform/event.h"
#include "platform/testing.h"

namespace tovik::testing {

namespace {
// How far below the window's top edge a click on the strip lands.
constexpr double kStripClickDepth = 14;
}  // namespace

CGPoint centreOf(const View* view) {
  const CGSize size = view->frame().size;
  return view->convertPointToView({size.width / 2, size.height / 2}, nullptr);
}

Ref<View> press(Window* window, std::uint64_t eventType, CGPoint at, std::int64_t clicks) {
  return Application::shared()->sendEvent(Event::mouseEvent(eventType, at, window, clicks).get());
}

Ref<View> click(Window* window, CGPoint at) {
  Ref<View> reached = press(window, NSEventTypeLeftMouseDown, at);
  press(window, NSEventTypeLeftMouseUp, at);
  return reached;
}

Ref<View> click(View* view) { return click(view->window(), centreOf(view)); }

Ref<View> clickStrip(Window* window, double x) {
  return click(window, {x, window->frame().size.height - kStripClickDepth});
}

Ref<View> doubleClick(Window* window, CGPoint at) {
  press(window, NSEventTypeLeftMouseDown, at, 1);
  press(window, NSEventTypeLeftMouseUp, at, 1);
  Ref<View> reached = press(window, NSEventTypeLeftMouseDown, at, 2);
  press(window, NSEventTypeLeftMouseUp, at, 2);
  return reached;
}

void drag(Window* window, CGPoint from, CGPoint by) {
  // Each step is reported relative to where the window is by then, as the
  // window follows the pointer.
  const CGPoint start = window->convertPointToScreen(from);
  const auto at = [&](double part) {
    return window->convertPointFromScreen({start.x + by.x * part, start.y + by.y * part});
  };
  press(window, NSEventTypeLeftMouseDown, from);
  press(window, NSEventTypeLeftMouseDragged, at(0.5));
  press(window, NSEventTypeLeftMouseDragged, at(1));
  press(window, NSEventTypeLeftMouseUp, at(1));
}

namespace {
std::string quotedIdentifier(const Window* window) {
  const String* identifier = window != nullptr ? window->identifier() : nullptr;
  return identifier != nullptr ? "\"" + identifier->utf8() + "\"" : "(no identifier)";
}
std::string describeFrame(CGRect frame) {
  const auto number = [](double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    return text;
  };
  return "{{" + number(frame.origin.x) + ", " + number(frame.origin.y) + "}, {" +
         number(frame.size.width) + ", " + number(frame.size.height) + "}}";
}
}  // namespace

std::string describe(const View* view) {
  if (view == nullptr) return "nil";
  const Window* window = view->window();
  return view->isa()->name() + " " + describeFrame(view->frame()) + " in " +
         (window != nullptr ? "window " + quotedIdentifier(window) : std::string("no window"));
}

std::string describe(const Window* window) {
  if (window == nullptr) return "nil";
  return window->isa()->name() + " " + quotedIdentifier(window) + " " +
         describeFrame(window->frame());
}

}  // namespace tovik::testing
