#include "platform/application.h"
#include "platform/event.h"
#include "platform/foundation.h"
#include "platform/notification_center.h"
#include "platform/toolbar.h"
#include "platform/updater.h"
#include "platform/url.h"
#include "platform/user_defaults.h"
#include "platform/view.h"
#include "platform/window.h"
#include "platform/workspace.h"

namespace tovik {
namespace {
// Loading the window system registers its classes, so that they are found by
// name before any of them is first used, as the system frameworks' are.
const bool kRegistered = [] {
  Object::runtimeClass();
  String::runtimeClass();
  Number::runtimeClass();
  Array::runtimeClass();
  Dictionary::runtimeClass();
  Data::runtimeClass();
  Date::runtimeClass();
  BlockBase::runtimeClass();
  Notification::runtimeClass();
  NotificationCenter::runtimeClass();
  View::runtimeClass();
  Event::runtimeClass();
  ToolbarItem::runtimeClass();
  Toolbar::runtimeClass();
  Window::runtimeClass();
  Panel::runtimeClass();
  Application::runtimeClass();
  AppcastItem::runtimeClass();
  Updater::runtimeClass();
  UpdaterController::runtimeClass();
  CharacterSet::runtimeClass();
  URL::runtimeClass();
  Workspace::runtimeClass();
  UserDefaults::runtimeClass();
  Protocol::runtimeClass();
  // The platform's own protocols, each adopting the NSObject protocol (which
  // the NSObject class adopts); the update framework declares its own.
  Protocol* const nsObject = Protocol::nsObject();
  objc_declareProtocol("NSApplicationDelegate", {nsObject});
  objc_declareProtocol("NSWindowDelegate", {nsObject});
  objc_declareProtocol("NSToolbarDelegate", {nsObject});
  objc_sealPlatformClasses();
  return true;
}();
}  // namespace
}  // namespace tovik
