#include "compose/close_delegate.h"

#include <cmath>
#include <optional>

#include "platform/notification_center.h"
#include "platform/user_defaults.h"
#include "plugin/identifier.h"
#include "plugin/static_state.h"

namespace tovik {

ComposeWindowCloseDelegate::ComposeWindowCloseDelegate(Class* isa, Ref<String> windowIdentifier,
                                                       Ref<String> defaultsKey,
                                                       CGSize minimumFrameSize,
                                                       Ref<ShouldCloseBlock> shouldClose)
    : Object(isa),
      windowIdentifier_(std::move(windowIdentifier)),
      defaultsKey_(std::move(defaultsKey)),
      minimumFrameSize_(minimumFrameSize),
      shouldClose_(std::move(shouldClose)) {}

Class* ComposeWindowCloseDelegate::runtimeClass() {
  static Class* const cls = [] {
    // Made only with its five values, so the runtime cannot make one.
    Class* c = objc_declareClass(
        "ComposeWindowCloseDelegate", Object::runtimeClass(),
        [](Class*) -> Ref<Object> { return nullptr; }, /*registered=*/false);
    if (Protocol* protocol = objc_getProtocol("NSWindowDelegate")) class_addProtocol(c, protocol);
    addMethod(c, "windowShouldClose:", [](ComposeWindowCloseDelegate* self, Object* window) {
      return self->windowShouldClose(window);
    });
    addMethod(c, "windowDidResize:", [](ComposeWindowCloseDelegate* self, Object* notification) {
      self->windowDidResize(notification);
    });
    addMethod(c, "windowWillClose:", [](ComposeWindowCloseDelegate* self, Object* notification) {
      self->windowWillClose(notification);
    });
    return c;
  }();
  return cls;
}

Ref<ComposeWindowCloseDelegate> ComposeWindowCloseDelegate::make(
    Ref<String> windowIdentifier, Ref<String> defaultsKey, CGSize minimumFrameSize,
    Ref<ShouldCloseBlock> shouldClose) {
  return std::make_shared<ComposeWindowCloseDelegate>(runtimeClass(), std::move(windowIdentifier),
                                                      std::move(defaultsKey), minimumFrameSize,
                                                      std::move(shouldClose));
}

Window* ComposeWindowCloseDelegate::servedWindow(Object* candidate) const {
  Window* window = as<Window>(candidate);
  if (window == nullptr) return nullptr;
  return identifiersEqual(window->identifier(), windowIdentifier_.get()) ? window : nullptr;
}

bool ComposeWindowCloseDelegate::windowShouldClose(Object* window) {
  if (servedWindow(window) == nullptr) return true;
  if (allowsNextClose_) {
    allowsNextClose_ = false;
    return true;
  }
  // The host's block may release this delegate (by configuring the window
  // again); the answer is taken while the delegate is held.
  const Ref<Object> keepAlive = retain();
  const Ref<ShouldCloseBlock> ask = shouldClose_;
  return ask == nullptr || (*ask)();
}

void ComposeWindowCloseDelegate::windowDidResize(Object* notification) {
  const auto* posted = as<Notification>(notification);
  Window* window = posted != nullptr ? servedWindow(posted->object()) : nullptr;
  if (window == nullptr) return;
  const CGRect frame = window->frame();
  saveFrameSize(defaultsKey_.get(), frame.size.width, frame.size.height, minimumFrameSize_.width,
                minimumFrameSize_.height);
}

void ComposeWindowCloseDelegate::windowWillClose(Object* notification) {
  // Leaving the registry may drop the last reference to this delegate; it
  // stays alive until this callback returns.
  const Ref<Object> keepAlive = retain();
  windowDidResize(notification);
  const auto* posted = as<Notification>(notification);
  if (posted == nullptr || servedWindow(posted->object()) == nullptr) return;
  composeCloseDelegates().erase(identifierKey(*windowIdentifier_));
}

namespace {
std::optional<double> storedDimension(double frame, double minimum) {
  const bool hasMinimum = std::isfinite(minimum);
  if (!std::isfinite(frame)) return hasMinimum ? std::optional(minimum) : std::nullopt;
  return hasMinimum ? std::max(frame, minimum) : frame;
}
}  // namespace

void saveFrameSize(String* defaultsKey, double width, double height, double minimumWidth,
                   double minimumHeight) {
  const std::optional<double> storedWidth = storedDimension(width, minimumWidth);
  const std::optional<double> storedHeight = storedDimension(height, minimumHeight);
  if (defaultsKey == nullptr || !storedWidth || !storedHeight) return;
  // Entries made in place, in key order: an initializer list would copy
  // each key and number once more.
  Dictionary::Entries record;
  record.emplace_hint(record.end(), "height", Number::withDouble(*storedHeight));
  record.emplace_hint(record.end(), "width", Number::withDouble(*storedWidth));
  UserDefaults::standardUserDefaults()->setObject(Dictionary::make(std::move(record)).get(),
                                                  defaultsKey);
}

}  // namespace tovik
