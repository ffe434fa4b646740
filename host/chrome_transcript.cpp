#include "host/chrome_transcript.h"

#include <cstdio>
#include <string>

#include "platform/application.h"
#include "platform/event.h"
#include "platform/main_queue.h"
#include "platform/notification_center.h"
#include "platform/user_defaults.h"
#include "platform/window.h"

namespace tovik {

namespace {

struct Probe {
  const char* what;
  CGPoint point;
};

void showWhereClicksLand(Window* window, const char* when) {
  // Points in window coordinates across the top of a 900 × 600 window.
  const Probe probes[] = {{"close button", {14, 580}},          {"zoom button", {54, 580}},
                          {"strip left of centre", {200, 590}}, {"strip, lower part", {450, 560}},
                          {"strip right edge", {890, 595}},     {"content", {450, 300}}};
  std::printf("clicks across the strip, %s:\n", when);
  View* frameView = window->contentView()->superview();
  for (const Probe& probe : probes) {
    const Ref<View> hit = frameView->hitTest(probe.point);
    const std::string name = hit == nullptr                       ? "no view"
                             : hit.get() == window->contentView() ? "the host's content view"
                                                                  : hit->isa()->name();
    std::printf("  %-22s (%3.0f, %3.0f) -> %s\n", probe.what, probe.point.x, probe.point.y,
                name.c_str());
  }
}

std::string describeFrame(const Window& window) {
  const CGRect f = window.frame();
  char text[96];
  std::snprintf(text, sizeof text, "(%.0f, %.0f) %.0f x %.0f%s%s", f.origin.x, f.origin.y,
                f.size.width, f.size.height, window.isZoomed() ? ", zoomed" : "",
                window.isMiniaturized() ? ", minimised" : "");
  return text;
}

Ref<View> sendMouse(Window* window, std::uint64_t type, CGPoint at, std::int64_t clicks) {
  return Application::shared()->sendEvent(Event::mouseEvent(type, at, window, clicks).get());
}

// The user drags the window by the strip's background, then double-clicks
// there twice, as the user's own setting says.
void showGestures(Window* window) {
  const Ref<Object> setting =
      UserDefaults::standardUserDefaults()->objectForKey("AppleActionOnDoubleClick");
  const auto* action = as<String>(setting.get());
  std::printf("gestures on the strip's background; \"Double-click a window's title bar to\": %s\n",
              action != nullptr ? action->utf8().c_str() : "not set (zoom)");
  const CGPoint pressed{450, 590};
  const CGPoint by{120, 60};
  std::printf("  drag from (%.0f, %.0f) by (%+.0f, %+.0f): %s", pressed.x, pressed.y, by.x, by.y,
              describeFrame(*window).c_str());
  const CGPoint start = window->convertPointToScreen(pressed);
  sendMouse(window, NSEventTypeLeftMouseDown, pressed, 1);
  const CGPoint end{start.x + by.x, start.y + by.y};
  sendMouse(window, NSEventTypeLeftMouseDragged, window->convertPointFromScreen(end), 1);
  sendMouse(window, NSEventTypeLeftMouseUp, window->convertPointFromScreen(end), 1);
  std::printf(" -> %s\n", describeFrame(*window).c_str());
  for (int round = 0; round < 2; ++round) {
    const CGPoint at{450, window->frame().size.height - 10};
    const std::string before = describeFrame(*window);
    const Ref<View> first = sendMouse(window, NSEventTypeLeftMouseDown, at, 1);
    sendMouse(window, NSEventTypeLeftMouseUp, at, 1);
    const Ref<View> second = sendMouse(window, NSEventTypeLeftMouseDown, at, 2);
    sendMouse(window, NSEventTypeLeftMouseUp, at, 2);
    const auto name = [window](const Ref<View>& view) -> std::string {
      if (view == nullptr) return "no view";
      return view.get() == window->contentView() ? "the content view" : view->isa()->name();
    };
    // The monitor acts before the window is sent the second press, which
    // misses a window that shrank from under the pointer.
    std::printf("  double-click at (%.0f, %.0f), presses reaching %s, then %s:\n    %s -> %s\n",
                at.x, at.y, name(first).c_str(),
                second == nullptr && first != nullptr ? "no view (the window shrank away)"
                                                      : name(second).c_str(),
                before.c_str(), describeFrame(*window).c_str());
    if (window->isMiniaturized()) {
      window->deminiaturize(nullptr);
      std::printf("  brought back from the Dock: %s\n", describeFrame(*window).c_str());
    }
  }
}

void printToolbar(const char* moment, Window* window) {
  const Toolbar* toolbar = window->toolbar();
  std::printf("  %-40s full-screen bit %-5s toolbar %s\n", moment,
              (window->styleMask() & NSWindowStyleMaskFullScreen) != 0 ? "set," : "clear,",
              toolbar == nullptr     ? "none"
              : toolbar->isVisible() ? "shown"
                                     : "hidden");
}

Class* transitionPrinterClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "HostTransitionPrinter");
    addMethod(c, "windowDidTransition:", [](Object*, Notification* n) {
      printToolbar(n->name()->utf8().c_str(), as<Window>(n->object()));
    });
    objc_registerClassPair(c);
    return c;
  }();
  return cls;
}

}  // namespace

void showMainWindowChrome(Object* plugin) {
  auto window = Window::create({{0, 0}, {900, 600}});
  window->setIdentifier(str("editor").get());
  window->makeKeyAndOrderFront(nullptr);
  showWhereClicksLand(window.get(), "before configuring \"editor\"");
  send<void>(plugin, "configureMainWindowTitlebarWithWindowIdentifier:", str("editor").get());
  MainQueue::main().runUntilIdle();
  showWhereClicksLand(window.get(), "after configuring \"editor\"");
  showGestures(window.get());

  // The host hears the transitions after the plug-in, which registered first.
  const Ref<Object> printer = class_createInstance(transitionPrinterClass());
  for (const auto name :
       {NSWindowWillEnterFullScreenNotification, NSWindowDidEnterFullScreenNotification,
        NSWindowWillExitFullScreenNotification, NSWindowDidExitFullScreenNotification}) {
    NotificationCenter::defaultCenter()->addObserver(
        printer.get(), sel_registerName("windowDidTransition:"), str(name).get(), window.get());
  }
  std::printf("a full-screen cycle, started by a click on the zoom button:\n");
  window->mouseDown({54, 579});
  window->toggleFullScreen(nullptr);
  MainQueue::main().runFor(seconds(1.1));
  printToolbar("after the delayed refreshes", window.get());
  NotificationCenter::defaultCenter()->removeObserver(printer.get());
  window->close();
}

}  // namespace tovik
