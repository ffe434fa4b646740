#include "platform/application.h"

#include <algorithm>

#include "platform/event.h"
#include "platform/notification_center.h"

namespace tovik {

namespace {
// Whether handing key to `window` would go against its wish to become key
// only when a click needs it. Asked through the runtime, so that a host's
// panel class may answer it.
bool becomesKeyOnlyIfNeeded(Window* window) {
  static const SEL sel = sel_registerName("becomesKeyOnlyIfNeeded");
  return as<Panel>(window) != nullptr && send<bool>(window, sel);
}

Ref<Window> retained(Window* window) {
  return window != nullptr ? window->retainAs<Window>() : nullptr;
}
}  // namespace

Class* Application::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass(
        "NSApplication", Object::runtimeClass(),
        [](Class* isa) -> Ref<Object> { return std::make_shared<Application>(isa); });
    addMethod(c, "windows", [](Application* self) {
      return Array::make({self->windows_.begin(), self->windows_.end()});
    });
    addMethod(c, "keyWindow", [](Application* self) { return self->ownKeyWindow(); });
    addMethod(c, "mainWindow", [](Application* self) { return self->ownMainWindow(); });
    addMethod(c, "isActive", [](Application* self) { return self->isActive(); });
    addMethod(c, "activateIgnoringOtherApps:", [](Application* self, bool flag) {
      self->activateIgnoringOtherApps(flag);
    });
    addMethod(c, "deactivate", [](Application* self) { self->deactivate(); });
    return c;
  }();
  return cls;
}

std::vector<Ref<Window>> Application::windowsAsAnswered() const {
  const Ref<Array> answer =
      send<Ref<Array>>(const_cast<Application*>(this), selectors::windows);  // NOLINT
  return answer != nullptr ? answer->itemsOfKind<Window>() : std::vector<Ref<Window>>{};
}

Application* Application::shared() {
  static auto* app = new Ref<Application>(make<Application>());
  return app->get();
}

std::vector<Ref<Window>> Application::orderedWindows() const {
  std::vector<Ref<Window>> ordered;
  for (Window* w : frontToBack_) {
    if (w->isVisible()) ordered.push_back(w->retainAs<Window>());
  }
  return ordered;
}

Ref<View> Application::sendEvent(Event* event) {
  // Around each event, as the run loop does: what the event's handling
  // autoreleased goes when it is done.
  const AutoreleasePool pool;
  const Ref<Event> passed = Event::runLocalMonitors(event);
  Window* window = passed != nullptr ? passed->window() : nullptr;
  return window != nullptr ? window->sendEvent(passed.get()) : nullptr;
}

void Application::windowCreated(Window* window) { windows_.push_back(window->retainAs<Window>()); }

void Application::windowOrderedFront(Window* window, bool makeKey) {
  std::erase(frontToBack_, window);
  const auto inFront = std::find_if(frontToBack_.begin(), frontToBack_.end(),
                                    [&](const Window* w) { return w->level() <= window->level(); });
  frontToBack_.insert(inFront, window);
  if (!makeKey) return;
  // Key and main are asked separately: a panel takes key and leaves main
  // where it was.
  if (window->canBecomeKeyWindow()) setKey(window);
  if (window->canBecomeMainWindow()) setMain(window);
}

void Application::windowOrderedOut(Window* window) {
  std::erase(frontToBack_, window);
  Window* key = key_.lock().get();
  Window* main = main_.lock().get();
  if (key != window && main != window) return;
  Window* newMain = main == window ? frontmost(Role::Main, window) : main;
  Window* newKey = key == window ? keySuccessor(newMain, window) : key;
  setKey(newKey);
  setMain(newMain);
}

void Application::windowClosed(Window* window) {
  windowOrderedOut(window);
  // Hand the reference to the caller's frame: the window may be freed as
  // soon as the closing call returns.
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [&](const Ref<Window>& w) { return w.get() == window; });
  if (it != windows_.end()) windows_.erase(it);
}

void Application::activateIgnoringOtherApps(bool /*ignoringOtherApps*/) {
  if (active_) return;
  postNotification(NSApplicationWillBecomeActiveNotification);
  active_ = true;
  Ref<Window> main = main_.lock();
  if (main == nullptr) main = retained(frontmost(Role::Main, nullptr));
  Ref<Window> key = key_.lock();
  if (key == nullptr) key = retained(keySuccessor(main.get(), nullptr));
  // From no window to the remembered ones, so each posts only its becoming.
  key_.reset();
  main_.reset();
  setKey(key.get());
  setMain(main.get());
  postNotification(NSApplicationDidBecomeActiveNotification);
}

void Application::deactivate() {
  if (!active_) return;
  postNotification(NSApplicationWillResignActiveNotification);
  active_ = false;
  // Both stay remembered for the next activation.
  if (Ref<Window> key = key_.lock()) key->postNotification(NSWindowDidResignKeyNotification);
  if (Ref<Window> main = main_.lock()) main->postNotification(NSWindowDidResignMainNotification);
  postNotification(NSApplicationDidResignActiveNotification);
}

Window* Application::keySuccessor(Window* main, const Window* except) {
  if (main != nullptr && main != except && main->canBecomeKeyWindow()) return main;
  return frontmost(Role::Key, except);
}

Window* Application::frontmost(Role role, const Window* except) const {
  for (Window* w : frontToBack_) {
    if (w == except) continue;
    if (role == Role::Key ? w->canBecomeKeyWindow() && !becomesKeyOnlyIfNeeded(w)
                          : w->canBecomeMainWindow()) {
      return w;
    }
  }
  return nullptr;
}

void Application::setKey(Window* window) {
  Ref<Window> previous = key_.lock();
  if (previous.get() == window) return;
  Ref<Window> next = retained(window);
  key_ = next;
  if (!active_) return;
  if (previous != nullptr) previous->postNotification(NSWindowDidResignKeyNotification);
  if (next != nullptr) next->postNotification(NSWindowDidBecomeKeyNotification);
}

void Application::setMain(Window* window) {
  Ref<Window> previous = main_.lock();
  if (previous.get() == window) return;
  Ref<Window> next = retained(window);
  main_ = next;
  if (!active_) return;
  if (previous != nullptr) previous->postNotification(NSWindowDidResignMainNotification);
  if (next != nullptr) next->postNotification(NSWindowDidBecomeMainNotification);
}

void Application::postNotification(std::string_view name) {
  NotificationCenter::defaultCenter()->postNotificationName(str(name).get(), this);
}

}  // namespace tovik
