#include "mainwindow/fullscreen.h"

#include "mainwindow/hittest.h"
#include "mainwindow/titlebar.h"
#include "platform/notification_center.h"
#include "plugin/identifier.h"
#include "plugin/static_state.h"

namespace tovik {

void observeFullscreenTransitions(Window* window, Object* plugin) {
  const Weak<Object> identity = window->retain();
  if (!fullscreenObservedWindows().insert(identity)) return;
  static const SEL handler = sel_registerName("mainWindowFullscreenStateDidChange:");
  NotificationCenter* center = NotificationCenter::defaultCenter();
  for (const std::string_view name :
       {NSWindowWillEnterFullScreenNotification, NSWindowDidEnterFullScreenNotification,
        NSWindowWillExitFullScreenNotification, NSWindowDidExitFullScreenNotification}) {
    center->addObserver(plugin, handler, str(name).get(), window);
  }
}

void mainWindowFullscreenStateDidChange(Object* notification) {
  const auto* posted = as<Notification>(notification);
  Window* window = posted != nullptr ? as<Window>(posted->object()) : nullptr;
  if (window == nullptr) return;
  const Ref<Object> keepAlive = window->retain();
  const String* identifier = window->identifier();
  if (identifier == nullptr ||
      !configuredMainWindowIdentifiers().contains(identifierKey(*identifier))) {
    return;
  }
  applyUnifiedTitlebarStyle(window);
  updateUnifiedToolbarVisibility(window);
  installTitlebarHitTesting(window);
  if (String* current = window->identifier()) scheduleTitlebarRefresh(window, current);
}

}  // namespace tovik
