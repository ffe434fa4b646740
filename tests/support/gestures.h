#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/application.h"
#include "platform/event.h"
#include "platform/user_defaults.h"
#include "platform/window.h"

// The user's mouse, and the user's system-wide settings, for tests that
// play the user.
namespace tovik::gestures {

inline Ref<View> press(Window* window, std::uint64_t type, CGPoint at, std::int64_t clicks) {
  return Application::shared()->sendEvent(Event::mouseEvent(type, at, window, clicks).get());
}

// Two clicks at one point, as the window server counts them; answers the
// view the second press reached.
inline Ref<View> doubleClick(Window* window, CGPoint at) {
  press(window, NSEventTypeLeftMouseDown, at, 1);
  press(window, NSEventTypeLeftMouseUp, at, 1);
  Ref<View> reached = press(window, NSEventTypeLeftMouseDown, at, 2);
  press(window, NSEventTypeLeftMouseUp, at, 2);
  return reached;
}

// Presses at `from` (window coordinates), moves the pointer by `by` on the
// screen in two steps and lets go. Each event's location is relative to
// where the window is when it is sent, as the window server reports it.
inline void drag(Window* window, CGPoint from, CGPoint by) {
  const CGPoint start = window->convertPointToScreen(from);
  press(window, NSEventTypeLeftMouseDown, from, 1);
  for (const double part : {0.5, 1.0}) {
    const CGPoint pointer{start.x + by.x * part, start.y + by.y * part};
    press(window, NSEventTypeLeftMouseDragged, window->convertPointFromScreen(pointer), 1);
  }
  press(window, NSEventTypeLeftMouseUp,
        window->convertPointFromScreen({start.x + by.x, start.y + by.y}), 1);
}

// A preferences folder of the test's own for the standard defaults and the
// global domain, and the previous one back afterwards.
class UserSettings {
 public:
  UserSettings() : previous_(UserDefaults::preferencesFolder()) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tovik-settings-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
    UserDefaults::setPreferencesFolder(folder_);
  }
  ~UserSettings() {
    UserDefaults::setPreferencesFolder(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  UserSettings(const UserSettings&) = delete;
  UserSettings& operator=(const UserSettings&) = delete;

  // The global domain holding just these.
  static void set(Dictionary::Entries entries) {
    UserDefaults::standardUserDefaults()->setPersistentDomain(
        Dictionary::make(std::move(entries)).get(), NSGlobalDomain);
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path folder_;
};

}  // namespace tovik::gestures
