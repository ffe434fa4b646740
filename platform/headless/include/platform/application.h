#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation.h"
#include "platform/selectors.h"
#include "platform/window.h"

namespace tovik {

// Application notification names; the object is the application.
inline constexpr std::string_view NSApplicationWillBecomeActiveNotification =
    "NSApplicationWillBecomeActiveNotification";
inline constexpr std::string_view NSApplicationDidBecomeActiveNotification =
    "NSApplicationDidBecomeActiveNotification";
inline constexpr std::string_view NSApplicationWillResignActiveNotification =
    "NSApplicationWillResignActiveNotification";
inline constexpr std::string_view NSApplicationDidResignActiveNotification =
    "NSApplicationDidResignActiveNotification";

// The application object (NSApp). It owns its windows, knows their front to
// back order and which window is key (takes the keyboard) and which is main
// (the document the user works in). The two differ while a panel is key: a
// panel is never main. Main thread only.
//
// The application starts active, as a host in the foreground. While it is
// inactive it reports neither a key nor a main window, but remembers which
// windows are to be key and main when it is active again.
class Application : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();
  static Application* shared();

  // All of the application's windows, in creation order. This and the key
  // and main window are messages through the runtime (see message()), so a
  // replacement of one is what every caller meets.
  [[nodiscard]] std::vector<Ref<Window>> windows() const {
    if (answeredByPlatform(selectors::windows)) return windows_;
    return windowsAsAnswered();
  }
  // The visible windows, front to back.
  [[nodiscard]] std::vector<Ref<Window>> orderedWindows() const;
  [[nodiscard]] Window* keyWindow() const {
    return message<Window*>(this, selectors::keyWindow, [this] { return ownKeyWindow(); });
  }
  [[nodiscard]] Window* mainWindow() const {
    return message<Window*>(this, selectors::mainWindow, [this] { return ownMainWindow(); });
  }

  [[nodiscard]] bool isActive() const { return active_; }
  // Makes the application active: the windows it remembered become key and
  // main again (else the frontmost windows that can), and panels hidden on
  // deactivation come back. Posts will-become-active, the windows'
  // become-key and become-main, then did-become-active. There are no other
  // applications here, so `ignoringOtherApps` changes nothing.
  void activateIgnoringOtherApps(bool ignoringOtherApps);
  // Makes the application inactive, as when the user switches to another
  // one: posts will-resign-active, the key window's resign-key and the main
  // window's resign-main, then did-resign-active.
  void deactivate();

  // The bundle identifier names the application's defaults domain and is the
  // identifier its notification settings are kept under.
  [[nodiscard]] const std::string& bundleIdentifier() const { return bundleIdentifier_; }
  void setBundleIdentifier(std::string identifier) { bundleIdentifier_ = std::move(identifier); }

  // An event as it comes from the window server: the local event monitors
  // see it first, as on a Mac when it is taken off the event queue (see
  // Event::runLocalMonitors), then, unless one swallowed it, the window of
  // what they passed on is sent it. Answers what the window answers: the
  // view a mouse-down reached.
  Ref<View> sendEvent(Event* event);

  // Called by windows as they are made, ordered and closed. A window
  // ordered front goes to the front of its level.
  void windowCreated(Window* window);
  void windowOrderedFront(Window* window, bool makeKey);
  void windowOrderedOut(Window* window);
  void windowClosed(Window* window);

 private:
  // NSApplication's own answers.
  [[nodiscard]] Window* ownKeyWindow() const { return active_ ? key_.lock().get() : nullptr; }
  [[nodiscard]] Window* ownMainWindow() const { return active_ ? main_.lock().get() : nullptr; }
  // The windows a replaced windows method answers; what is not a window is
  // left out.
  [[nodiscard]] std::vector<Ref<Window>> windowsAsAnswered() const;

  enum class Role { Key, Main };
  // Records the window taking a role; the windows post the change at once
  // while the application is active, and on activation otherwise.
  void setKey(Window* window);
  void setMain(Window* window);
  // The window to take key when the key window goes, given the window that
  // will be main: that window when it can be key, else the frontmost window
  // that can and is not a panel that becomes key only when needed.
  Window* keySuccessor(Window* main, const Window* except);
  // The frontmost ordered-in window that can take a role, other than
  // `except`.
  Window* frontmost(Role role, const Window* except) const;
  void postNotification(std::string_view name);

  std::vector<Ref<Window>> windows_;
  std::vector<Window*> frontToBack_;  // ordered-in windows
  Weak<Window> key_;
  Weak<Window> main_;
  bool active_ = true;
  std::string bundleIdentifier_ = "com.tarnwell.tovik.headless";
};

}  // namespace tovik
