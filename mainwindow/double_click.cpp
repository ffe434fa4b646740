#include "mainwindow/double_click.h"

#include "mainwindow/hittest.h"
#include "platform/user_defaults.h"
#include "platform/window.h"
#include "plugin/static_state.h"

namespace tovik {

void installTitlebarDoubleClickMonitor() {
  Ref<Object>& monitor = titlebarDoubleClickMonitor();
  if (monitor != nullptr) return;
  monitor = Event::addLocalMonitorForEventsMatchingMask(
      NSEventMaskLeftMouseDown, makeBlock<Ref<Event>(Event*)>([](Event* event) {
                                  return handleTitlebarDoubleClick(event);
                                }).get());
}

Ref<Event> handleTitlebarDoubleClick(Event* event) {
  if (event == nullptr) return nullptr;
  Ref<Event> passed = event->retainAs<Event>();
  if (event->type() != NSEventTypeLeftMouseDown || event->clickCount() != 2) return passed;
  Window* window = event->window();
  if (window == nullptr || !window->isVisible() || !isConfiguredMainWindow(window) ||
      (window->styleMask() & NSWindowStyleMaskFullScreen) != 0) {
    return passed;
  }
  // Only the strip: above the part of the window the titlebar leaves to
  // the content. Its bottom edge belongs to the content, as a click there
  // reaches the content.
  const CGPoint point = event->locationInWindow();
  if (point.y <= window->contentLayoutRect().maxY()) return passed;
  View* content = window->contentView();
  View* frameView = content != nullptr ? content->superview() : nullptr;
  if (frameView == nullptr) return passed;
  const Ref<Object> keepAlive = window->retain();
  const Ref<View> hit = frameView->hitTest(point);
  if (hit == nullptr || isStandardWindowButtonView(hit.get(), window) ||
      !hit->mouseDownCanMoveWindow()) {
    return passed;
  }
  switch (titlebarDoubleClickAction()) {
    case TitlebarDoubleClickAction::Zoom:
      window->zoom(nullptr);
      break;
    case TitlebarDoubleClickAction::Minimize:
      window->miniaturize(nullptr);
      break;
    case TitlebarDoubleClickAction::None:
      break;
  }
  return passed;
}

TitlebarDoubleClickAction titlebarDoubleClickAction() {
  UserDefaults* defaults = UserDefaults::standardUserDefaults();
  const Ref<Object> action = defaults->objectForKey("AppleActionOnDoubleClick");
  if (const auto* name = as<String>(action.get())) {
    // "Maximize" and "Fill" zoom, and so does a value of a later system.
    if (name->utf8() == "Minimize") return TitlebarDoubleClickAction::Minimize;
    if (name->utf8() == "None") return TitlebarDoubleClickAction::None;
    return TitlebarDoubleClickAction::Zoom;
  }
  const Ref<Object> older = defaults->objectForKey("AppleMiniaturizeOnDoubleClick");
  const auto* minimize = as<Number>(older.get());
  return minimize != nullptr && minimize->boolValue() ? TitlebarDoubleClickAction::Minimize
                                                      : TitlebarDoubleClickAction::Zoom;
}

}  // namespace tovik
