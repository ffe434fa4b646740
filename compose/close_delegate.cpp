#include "compose/close_delegate.h"

#include <cmath>
#include <optional>

#include "platform/notification_center.h"
#include "platform/user_defaults.h"
#include "plugin/identifier.h"
#include "plugin/static_state.h"

namespace tovik {

namespace {

// The class of the delegates' runtime objects. A message to an object whose
// delegate has left the registry finds none and answers as no delegate
// would: the window may close, nothing is recorded.
Class* delegateObjectClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("ComposeWindowCloseDelegate", Object::runtimeClass(),
                                 /*registered=*/false);
    if (Protocol* protocol = objc_getProtocol("NSWindowDelegate")) class_addProtocol(c, protocol);
    addMethod(c, "windowShouldClose:", [](Object* self, Object* window) {
      ComposeWindowCloseDelegate* delegate = composeCloseDelegateOf(self);
      return delegate == nullptr || delegate->windowShouldClose(window);
    });
    addMethod(c, "windowDidResize:", [](Object* self, Object* notification) {
      if (ComposeWindowCloseDelegate* delegate = composeCloseDelegateOf(self)) {
        delegate->windowDidResize(notification);
      }
    });
    addMethod(c, "windowWillClose:", [](Object* self, Object* notification) {
      if (ComposeWindowCloseDelegate* delegate = composeCloseDelegateOf(self)) {
        delegate->windowWillClose(notification);
      }
    });
    return c;
  }();
  return cls;
}

}  // namespace

ComposeWindowCloseDelegate::ComposeWindowCloseDelegate(Ref<String> windowIdentifier,
                                                       Ref<String> defaultsKey,
                                                       CGSize minimumFrameSize,
                                                       Ref<ShouldCloseBlock> shouldClose)
    : object_(send<Ref<Object>>(class_createInstance(delegateObjectClass()).get(), "init")),
      windowIdentifier_(std::move(windowIdentifier)),
      defaultsKey_(std::move(defaultsKey)),
      minimumFrameSize_(minimumFrameSize),
      shouldClose_(std::move(shouldClose)) {}

ComposeWindowCloseDelegate* composeCloseDelegateOf(const Object* object) {
  if (object == nullptr) return nullptr;
  for (const auto& [key, delegate] : composeCloseDelegates()) {
    if (delegate->object() == object) return delegate.get();
  }
  return nullptr;
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
  const auto keepAlive = shared_from_this();
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
  const auto keepAlive = shared_from_this();
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
