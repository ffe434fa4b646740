#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/application.h"
#include "platform/event.h"
#include "platform/user_defaults.h"

// The user's mouse and system-wide settings, for tests that play the user.
namespace tovik::gestures {

inline Ref<View> press(Window* window, std::uint64_t type, CGPoint at, std::int64_t clicks = 1) {
  return Application::shared()->sendEvent(Event::mouseEvent(type, at, window, clicks).get());
}

// Two clicks at one point; answers the view the second press reached.
inline Ref<View> doubleClick(Window* window, CGPoint at) {
  for (const std::int64_t clicks : {1, 2}) {
    Ref<View> reached = press(window, NSEventTypeLeftMouseDown, at, clicks);
    press(window, NSEventTypeLeftMouseUp, at, clicks);
    if (clicks == 2) return reached;
  }
  return nullptr;
}

// Presses at `from` (window coordinates), moves the pointer by `by` on the
// screen in two steps, each reported relative to where the window is then,
// and lets go.
inline void drag(Window* window, CGPoint from, CGPoint by) {
  const CGPoint start = window->convertPointToScreen(from);
  const auto at = [&](double part) {
    return window->convertPointFromScreen({start.x + by.x * part, start.y + by.y * part});
  };
  press(window, NSEventTypeLeftMouseDown, from);
  press(window, NSEventTypeLeftMouseDragged, at(0.5));
  press(window, NSEventTypeLeftMouseDragged, at(1));
  press(window, NSEventTypeLeftMouseUp, at(1));
}

inline CGPoint centreOf(View* view) {
  return view->convertPointToView({view->frame().size.width / 2, view->frame().size.height / 2},
                                  nullptr);
}

// A host's class, made once per process.
inline Class* hostClass(const char* name, Class* superclass = View::runtimeClass()) {
  if (Class* existing = objc_getClass(name)) return existing;
  Class* cls = objc_allocateClassPair(superclass, name);
  objc_registerClassPair(cls);
  return cls;
}

// A preferences folder of the test's own, for the standard defaults and
// the global domain.
class UserSettings {
 public:
  UserSettings() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tovik-user-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
    UserDefaults::setPreferencesFolder(folder_);
  }
  ~UserSettings() {
    UserDefaults::setPreferencesFolder(previous_);
    std::filesystem::remove_all(folder_);
  }
  UserSettings(const UserSettings&) = delete;
  UserSettings& operator=(const UserSettings&) = delete;

  // The global domain holding just these.
  static void set(Dictionary::Entries entries) {
    UserDefaults::standardUserDefaults()->setPersistentDomain(
        Dictionary::make(std::move(entries)).get(), NSGlobalDomain);
  }

 private:
  std::filesystem::path previous_ = UserDefaults::preferencesFolder();
  std::filesystem::path folder_;
};

}  // namespace tovik::gestures
