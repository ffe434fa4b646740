#include "platform/application.h"

#import <AppKit/AppKit.h>

#include "bridge.h"

namespace tovik {

using bridge::objc;
using bridge::ours;

namespace {
NSWindow* ns(const Window* window) { return static_cast<NSWindow*>(objc(window)); }
}  // namespace

Class* Window::runtimeClass() { return ours([NSWindow class]); }

String* Window::identifier() const {
  static const SEL identifierSel = sel_registerName("identifier");
  if (!respondsToSelector(identifierSel)) return nullptr;
  return as<String>(ours([ns(this) performSelector:bridge::objcSelector(identifierSel)]));
}

bool Window::isVisible() const { return [ns(this) isVisible] != NO; }

View* Window::contentView() const { return ours<View>([ns(this) contentView]); }

View* Window::standardWindowButton(std::int64_t kind) const {
  return ours<View>([ns(this) standardWindowButton:static_cast<NSWindowButton>(kind)]);
}

Class* Application::runtimeClass() { return ours([NSApplication class]); }

Application* Application::shared() { return ours<Application>([NSApplication sharedApplication]); }

std::vector<Ref<Window>> Application::windows() const {
  std::vector<Ref<Window>> windows;
  for (id window in [static_cast<NSApplication*>(objc(this)) windows]) {
    if (Window* ours = as<Window>(bridge::ours(window)))
      windows.push_back(ours->retainAs<Window>());
  }
  return windows;
}

Window* Application::keyWindow() const {
  return ours<Window>([static_cast<NSApplication*>(objc(this)) keyWindow]);
}

Window* Application::mainWindow() const {
  return ours<Window>([static_cast<NSApplication*>(objc(this)) mainWindow]);
}

}  // namespace tovik
