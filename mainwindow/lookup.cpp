#include "mainwindow/lookup.h"

#include "platform/application.h"
#include "plugin/identifier.h"

namespace tovik {

Window* visibleWindowWithIdentifier(const String* identifier) {
  if (identifier == nullptr) return nullptr;
  for (const Ref<Window>& window : Application::shared()->windows()) {
    if (!window->isVisible() || window->identifier() == nullptr) continue;
    if (identifiersEqual(window->identifier(), identifier)) return window.get();
  }
  return nullptr;
}

Window* fallbackWindow() {
  Application* app = Application::shared();
  if (Window* key = app->keyWindow()) return key;
  if (Window* main = app->mainWindow()) return main;
  for (const Ref<Window>& window : app->windows()) {
    if (window->isVisible()) return window.get();
  }
  return nullptr;
}

Window* resolveWindowWithIdentifier(const String* identifier) {
  if (Window* window = visibleWindowWithIdentifier(identifier)) return window;
  return fallbackWindow();
}

}  // namespace tovik
