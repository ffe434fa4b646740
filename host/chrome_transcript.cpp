#include "host/chrome_transcript.h"

#include <cstdio>
#include <string>

#include "platform/main_queue.h"
#include "platform/notification_center.h"
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
