#include "platform/application.h"

#import <AppKit/AppKit.h>

#include "bridge.h"

namespace tovik {

using bridge::objc;
using bridge::ours;
using bridge::setIfAnswered;

namespace {
NSWindow* ns(const Window* window) { return static_cast<NSWindow*>(objc(window)); }
}  // namespace

Class* Window::runtimeClass() { return ours([NSWindow class]); }

void Window::setIdentifier(String* identifier) {
  setIfAnswered(this, "setIdentifier:", identifier);
}

std::uint64_t Window::styleMask() const { return [ns(this) styleMask]; }

void Window::setStyleMask(std::uint64_t mask) { setIfAnswered(this, "setStyleMask:", mask); }

CGRect Window::frame() const { return ours([ns(this) frame]); }

void Window::setMovableByWindowBackground(bool movable) {
  [ns(this) setMovableByWindowBackground:movable ? YES : NO];
}

void Window::setTitlebarAppearsTransparent(bool transparent) {
  setIfAnswered(this, "setTitlebarAppearsTransparent:", transparent);
}

void Window::setTitleVisibility(std::int64_t visibility) {
  setIfAnswered(this, "setTitleVisibility:", visibility);
}

void Window::setToolbarStyle(std::int64_t style) { setIfAnswered(this, "setToolbarStyle:", style); }

void Window::setTitlebarSeparatorStyle(std::int64_t style) {
  setIfAnswered(this, "setTitlebarSeparatorStyle:", style);
}

Object* Window::delegate() const { return ours([ns(this) delegate]); }

void Window::setDelegate(Object* delegate) { [ns(this) setDelegate:objc(delegate)]; }

void Window::performClose(Object* sender) { [ns(this) performClose:objc(sender)]; }

Toolbar* Window::toolbar() const { return ours<Toolbar>([ns(this) toolbar]); }

void Window::setToolbar(Toolbar* toolbar) {
  [ns(this) setToolbar:static_cast<NSToolbar*>(objc(toolbar))];
}

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

void Window::zoom(Object* sender) { [ns(this) zoom:objc(sender)]; }

void Window::miniaturize(Object* sender) { [ns(this) miniaturize:objc(sender)]; }

CGRect Window::contentLayoutRect() const {
  static const SEL layoutRect = sel_registerName("contentLayoutRect");
  if (respondsToSelector(layoutRect)) {
    return send<CGRect>(const_cast<Window*>(this), layoutRect);  // NOLINT
  }
  return ours([[ns(this) contentView] frame]);
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
