#include "platform/application.h"

#include <algorithm>

namespace tovik {

Class* Application::runtimeClass() {
  static Class* const cls = objc_declareClass(
      "NSApplication", Object::runtimeClass(),
      [](Class* isa) -> Ref<Object> { return std::make_shared<Application>(isa); });
  return cls;
}

Application* Application::shared() {
  static auto* app = new Ref<Application>(make<Application>());
  return app->get();
}

void Application::windowCreated(Window* window) { windows_.push_back(window->retainAs<Window>()); }

void Application::windowOrderedFront(Window* window, bool makeKey) {
  std::erase(frontToBack_, window);
  frontToBack_.insert(frontToBack_.begin(), window);
  if (!makeKey) return;
  if (window->canBecomeKeyWindow()) setKey(window);
  if (window->canBecomeMainWindow()) setMain(window);
}

void Application::windowOrderedOut(Window* window) {
  std::erase(frontToBack_, window);
  if (keyWindow() == window) setKey(frontmost(true, window));
  if (mainWindow() == window) setMain(frontmost(false, window));
}

void Application::windowClosed(Window* window) {
  windowOrderedOut(window);
  // Hand the reference to the caller's frame: the window may be freed as
  // soon as the closing call returns.
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [&](const Ref<Window>& w) { return w.get() == window; });
  if (it != windows_.end()) windows_.erase(it);
}

Window* Application::frontmost(bool forKey, const Window* except) const {
  for (Window* w : frontToBack_) {
    if (w == except || !w->isVisible()) continue;
    if (forKey ? w->canBecomeKeyWindow() : w->canBecomeMainWindow()) return w;
  }
  return nullptr;
}

void Application::setKey(Window* window) {
  Window* previous = keyWindow();
  if (previous == window) return;
  key_ = window != nullptr ? window->retainAs<Window>() : Weak<Window>{};
  if (previous != nullptr) previous->postNotification(NSWindowDidResignKeyNotification);
  if (window != nullptr) window->postNotification(NSWindowDidBecomeKeyNotification);
}

void Application::setMain(Window* window) {
  Window* previous = mainWindow();
  if (previous == window) return;
  main_ = window != nullptr ? window->retainAs<Window>() : Weak<Window>{};
  if (previous != nullptr) previous->postNotification(NSWindowDidResignMainNotification);
  if (window != nullptr) window->postNotification(NSWindowDidBecomeMainNotification);
}

}  // namespace tovik
