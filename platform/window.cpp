#include "platform/window.h"

#include <array>
#include <utility>

#include "platform/application.h"
#include "platform/notification_center.h"

namespace tovik {

namespace {
// The delegate methods through which a window delegate hears of the
// window's own notifications.
constexpr std::array<std::pair<std::string_view, std::string_view>, 11> kDelegateMethods{{
    {NSWindowDidResizeNotification, "windowDidResize:"},
    {NSWindowDidMoveNotification, "windowDidMove:"},
    {NSWindowWillCloseNotification, "windowWillClose:"},
    {NSWindowDidBecomeKeyNotification, "windowDidBecomeKey:"},
    {NSWindowDidResignKeyNotification, "windowDidResignKey:"},
    {NSWindowDidBecomeMainNotification, "windowDidBecomeMain:"},
    {NSWindowDidResignMainNotification, "windowDidResignMain:"},
    {NSWindowWillEnterFullScreenNotification, "windowWillEnterFullScreen:"},
    {NSWindowDidEnterFullScreenNotification, "windowDidEnterFullScreen:"},
    {NSWindowWillExitFullScreenNotification, "windowWillExitFullScreen:"},
    {NSWindowDidExitFullScreenNotification, "windowDidExitFullScreen:"},
}};
}  // namespace

Class* Window::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSWindow", Object::runtimeClass(), [](Class* isa) -> Ref<Object> {
      return std::make_shared<Window>(isa);
    });
    addMethod(c,
              "initWithContentRect:styleMask:", [](Window* self, CGRect frame, std::uint64_t mask) {
                self->initWithContentRect(frame, mask);
                return self->retain();
              });
    return c;
  }();
  return cls;
}

Ref<Window> Window::create(CGRect frame, std::uint64_t styleMask) {
  auto window = make<Window>();
  window->initWithContentRect(frame, styleMask);
  return window;
}

void Window::initWithContentRect(CGRect frame, std::uint64_t styleMask) {
  frame_ = frame;
  styleMask_ = styleMask;
  Application::shared()->windowCreated(this);
}

void Window::setIdentifier(String* identifier) {
  identifier_ = identifier != nullptr ? identifier->retainAs<String>() : nullptr;
}

void Window::setStyleMask(std::uint64_t mask) { styleMask_ = mask; }

void Window::setFrame(CGRect frame, bool /*display*/) {
  const CGRect old = frame_;
  frame_ = frame;
  if (old.size != frame.size) postNotification(NSWindowDidResizeNotification);
  if (old.origin != frame.origin) postNotification(NSWindowDidMoveNotification);
}

bool Window::canBecomeKeyWindow() const {
  return (styleMask_ & (NSWindowStyleMaskTitled | NSWindowStyleMaskResizable)) != 0;
}

bool Window::canBecomeMainWindow() const { return visible_ && canBecomeKeyWindow(); }

bool Window::isKeyWindow() const { return Application::shared()->keyWindow() == this; }

bool Window::isMainWindow() const { return Application::shared()->mainWindow() == this; }

void Window::makeKeyAndOrderFront(Object* /*sender*/) {
  if (closed_) return;
  visible_ = true;
  Application::shared()->windowOrderedFront(this, true);
}

void Window::orderFront(Object* /*sender*/) {
  if (closed_) return;
  visible_ = true;
  Application::shared()->windowOrderedFront(this, false);
}

void Window::orderOut(Object* /*sender*/) {
  if (!visible_) return;
  visible_ = false;
  Application::shared()->windowOrderedOut(this);
}

void Window::performClose(Object* /*sender*/) {
  if (closed_ || (styleMask_ & NSWindowStyleMaskClosable) == 0) return;
  static const SEL shouldClose = sel_registerName("windowShouldClose:");
  // The delegate is kept alive for the length of its answer.
  if (Ref<Object> delegate = delegate_.lock(); delegate != nullptr &&
                                               delegate->respondsToSelector(shouldClose) &&
                                               !send<bool>(delegate.get(), shouldClose, this)) {
    return;
  }
  close();
}

void Window::close() {
  if (closed_) return;
  // The application's reference may be the last one.
  Ref<Object> keepAlive = retain();
  postNotification(NSWindowWillCloseNotification);
  closed_ = true;
  orderOut(nullptr);
  Application::shared()->windowClosed(this);
}

Object* Window::delegate() const { return delegate_.lock().get(); }

void Window::setDelegate(Object* delegate) {
  NotificationCenter* center = NotificationCenter::defaultCenter();
  if (Ref<Object> previous = delegate_.lock()) {
    for (const auto& [name, method] : kDelegateMethods) {
      center->removeObserver(previous.get(), str(name).get(), this);
    }
  }
  delegate_ = delegate != nullptr ? delegate->retain() : Weak<Object>{};
  if (delegate == nullptr) return;
  for (const auto& [name, method] : kDelegateMethods) {
    const SEL sel = sel_registerName(method);
    if (delegate->respondsToSelector(sel))
      center->addObserver(delegate, sel, str(name).get(), this);
  }
}

void Window::postNotification(std::string_view name) {
  NotificationCenter::defaultCenter()->postNotificationName(str(name).get(), this);
}

}  // namespace tovik
