#pragma once

#include <string>
#include <vector>

#include "platform/foundation.h"
#include "platform/window.h"

namespace tovik {

// The application object (NSApp). It owns its windows, knows their front to
// back order and which window is key and which is main. Main thread only.
class Application : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();
  static Application* shared();

  // All of the application's windows, in creation order.
  [[nodiscard]] std::vector<Ref<Window>> windows() const { return windows_; }
  [[nodiscard]] Window* keyWindow() const { return key_.lock().get(); }
  [[nodiscard]] Window* mainWindow() const { return main_.lock().get(); }

  // The bundle identifier names the application's defaults domain and is the
  // identifier its notification settings are kept under.
  [[nodiscard]] const std::string& bundleIdentifier() const { return bundleIdentifier_; }
  void setBundleIdentifier(std::string identifier) { bundleIdentifier_ = std::move(identifier); }

  // Called by windows as they are made, ordered and closed.
  void windowCreated(Window* window);
  void windowOrderedFront(Window* window, bool makeKey);
  void windowOrderedOut(Window* window);
  void windowClosed(Window* window);

 private:
  void setKey(Window* window);
  void setMain(Window* window);
  // The frontmost visible window that can take a role, other than `except`.
  Window* frontmost(bool forKey, const Window* except) const;

  std::vector<Ref<Window>> windows_;
  std::vector<Window*> frontToBack_;  // visible windows
  Weak<Window> key_;
  Weak<Window> main_;
  std::string bundleIdentifier_ = "com.tarnwell.tovik.headless";
};

}  // namespace tovik
