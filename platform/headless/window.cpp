#include "platform/window.h"

#include <array>
#include <utility>

#include "platform/application.h"
#include "platform/event.h"
#include "platform/notification_center.h"
#include "platform/window_metrics.h"

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

// Stops `delegate` hearing of `window`'s notifications through its delegate
// methods.
void removeDelegateRegistrations(Object* delegate, Window* window) {
  NotificationCenter* center = NotificationCenter::defaultCenter();
  for (const auto& [name, method] : kDelegateMethods) {
    center->removeObserver(delegate, str(name).get(), window);
  }
}
}  // namespace

Class* Window::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSWindow", Object::runtimeClass(), [](Class* isa) -> Ref<Object> {
      // Apart from its reference counts, as make<> does, so that weak
      // references to a freed window do not keep its storage.
      return Ref<Object>(new Window(isa));
    });
    addMethod(c,
              "initWithContentRect:styleMask:", [](Window* self, CGRect frame, std::uint64_t mask) {
                self->initWithContentRect(frame, mask);
                return self->retain();
              });
    addMethod(c, "identifier", [](Window* self) { return self->identifier_.get(); });
    addMethod(c, "setIdentifier:", [](Window* self, String* identifier) {
      self->identifier_ = identifier != nullptr ? identifier->retainAs<String>() : nullptr;
    });
    addMethod(c, "frame", [](Window* self) { return self->frame_; });
    addMethod(c, "setFrame:display:", [](Window* self, CGRect frame, bool display) {
      self->setFrame(frame, display);
    });
    addMethod(c, "performClose:", [](Window* self, Object* sender) { self->performClose(sender); });
    addMethod(c, "close", [](Window* self) { self->close(); });
    addMethod(c, "delegate", [](Window* self) { return self->delegate_.lock(); });
    addMethod(
        c, "setDelegate:", [](Window* self, Object* delegate) { self->assignDelegate(delegate); });
    addMethod(c, "styleMask", [](Window* self) { return self->styleMask_; });
    addMethod(
        c, "setStyleMask:", [](Window* self, std::uint64_t mask) { self->applyStyleMask(mask); });
    addMethod(c, "isVisible", [](Window* self) { return self->onScreen(); });
    addMethod(c, "isMovableByWindowBackground",
              [](Window* self) { return self->movableByBackground_; });
    addMethod(c, "setMovableByWindowBackground:", [](Window* self, bool movable) {
      self->movableByBackground_ = movable;
    });
    addMethod(c, "contentView", [](Window* self) { return self->contentView_.get(); });
    addMethod(c, "setContentView:", [](Window* self, View* view) { self->setContentView(view); });
    addMethod(c, "standardWindowButton:", [](Window* self, std::int64_t kind) {
      return self->ownButton(kind);
    });
    addMethod(c, "titlebarAppearsTransparent",
              [](Window* self) { return self->titlebarAppearsTransparent(); });
    addMethod(c, "setTitlebarAppearsTransparent:", [](Window* self, bool transparent) {
      self->titlebarAppearsTransparent_ = transparent;
    });
    addMethod(c, "titleVisibility", [](Window* self) { return self->titleVisibility(); });
    addMethod(c, "setTitleVisibility:", [](Window* self, std::int64_t visibility) {
      self->titleVisibility_ = visibility;
    });
    addMethod(c, "toolbarStyle", [](Window* self) { return self->toolbarStyle(); });
    addMethod(c, "setToolbarStyle:", [](Window* self, std::int64_t style) {
      self->applyToolbarStyle(style);
    });
    addMethod(c, "titlebarSeparatorStyle",
              [](Window* self) { return self->titlebarSeparatorStyle(); });
    addMethod(c, "setTitlebarSeparatorStyle:", [](Window* self, std::int64_t style) {
      self->titlebarSeparatorStyle_ = style;
    });
    addMethod(c, "toolbar", [](Window* self) { return self->toolbar_.get(); });
    addMethod(c,
              "setToolbar:", [](Window* self, Toolbar* toolbar) { self->attachToolbar(toolbar); });
    addMethod(c, "toggleFullScreen:", [](Window* self, Object* sender) {
      self->toggleFullScreen(sender);
    });
    addMethod(c, "miniaturize:", [](Window* self, Object* /*sender*/) { self->miniaturizeNow(); });
    addMethod(c,
              "deminiaturize:", [](Window* self, Object* sender) { self->deminiaturize(sender); });
    addMethod(c, "isMiniaturized", [](Window* self) { return self->isMiniaturized(); });
    addMethod(c, "zoom:", [](Window* self, Object* /*sender*/) { self->toggleZoom(); });
    addMethod(c, "isZoomed", [](Window* self) { return self->isZoomed(); });
    addMethod(c, "contentLayoutRect", [](Window* self) { return self->contentArea(); });
    addMethod(c, "convertPointToScreen:", [](Window* self, CGPoint point) {
      return self->convertPointToScreen(point);
    });
    addMethod(c, "convertPointFromScreen:", [](Window* self, CGPoint point) {
      return self->convertPointFromScreen(point);
    });
    addMethod(c, "sendEvent:", [](Window* self, Event* event) { self->sendEvent(event); });
    addMethod(c, "canBecomeKeyWindow", [](Window* self) { return self->styleAllowsKey(); });
    addMethod(c, "canBecomeMainWindow",
              [](Window* self) { return self->onScreen() && self->styleAllowsKey(); });
    addMethod(c, "isKeyWindow", [](Window* self) { return self->isKeyWindow(); });
    addMethod(c, "isMainWindow", [](Window* self) { return self->isMainWindow(); });
    addMethod(c, "makeKeyAndOrderFront:", [](Window* self, Object* sender) {
      self->makeKeyAndOrderFront(sender);
    });
    addMethod(c, "orderFront:", [](Window* self, Object* sender) { self->orderFront(sender); });
    addMethod(c, "orderOut:", [](Window* self, Object* sender) { self->orderOut(sender); });
    addMethod(c, "level", [](Window* self) { return self->level(); });
    addMethod(c, "setLevel:", [](Window* self, std::int64_t level) { self->setLevel(level); });
    addMethod(c, "hidesOnDeactivate", [](Window* self) { return self->hidesOnDeactivate(); });
    addMethod(c, "setHidesOnDeactivate:", [](Window* self, bool hides) {
      self->setHidesOnDeactivate(hides);
    });
    return c;
  }();
  return cls;
}

Class* Panel::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSPanel", Window::runtimeClass(), [](Class* isa) -> Ref<Object> {
      return Ref<Object>(new Panel(isa));
    });
    // NSPanel keeps NSWindow's rule for key and is never main.
    addMethod(c, "canBecomeMainWindow", [](Panel*) { return false; });
    addMethod(c, "becomesKeyOnlyIfNeeded",
              [](Panel* self) { return self->becomesKeyOnlyIfNeeded(); });
    addMethod(c, "setBecomesKeyOnlyIfNeeded:", [](Panel* self, bool flag) {
      self->setBecomesKeyOnlyIfNeeded(flag);
    });
    addMethod(c, "isFloatingPanel", [](Panel* self) { return self->isFloatingPanel(); });
    addMethod(c, "setFloatingPanel:", [](Panel* self, bool floating) {
      self->setFloatingPanel(floating);
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

Ref<Panel> Panel::create(CGRect frame, std::uint64_t styleMask) {
  auto panel = make<Panel>();
  panel->initWithContentRect(frame, styleMask);
  return panel;
}

Window::Window(Class* isa) : Object(isa) {}

Panel::Panel(Class* isa) : Window(isa) { setHidesOnDeactivate(true); }

Window::~Window() {
  // Views and a toolbar may outlive the window; they no longer refer to it.
  if (frameView_ != nullptr) frameView_->setWindow(nullptr);
  if (contentView_ != nullptr) contentView_->setWindow(nullptr);
  if (toolbar_ != nullptr) toolbar_->window_ = nullptr;
}

void Window::initWithContentRect(CGRect frame, std::uint64_t styleMask) {
  frame_ = frame;
  styleMask_ = styleMask;
  buildViewTree();
  Application::shared()->windowCreated(this);
}

void Window::applyStyleMask(std::uint64_t mask) {
  const bool titledBefore = (styleMask_ & NSWindowStyleMaskTitled) != 0;
  styleMask_ = mask;
  if (titledBefore != ((mask & NSWindowStyleMaskTitled) != 0)) {
    buildViewTree();
  } else {
    layoutViews();
  }
}

void Window::setFrame(CGRect frame, bool /*display*/) {
  const CGRect old = frame_;
  frame_ = frame;
  layoutViews();
  if (old.size != frame.size) postNotification(NSWindowDidResizeNotification);
  if (old.origin != frame.origin) postNotification(NSWindowDidMoveNotification);
}

bool Window::onScreen() const {
  return orderedIn_ && (!hidesOnDeactivate_ || Application::shared()->isActive());
}

bool Window::canBecomeKeyWindow() {
  static const SEL sel = sel_registerName("canBecomeKeyWindow");
  return send<bool>(this, sel);
}

bool Window::canBecomeMainWindow() {
  static const SEL sel = sel_registerName("canBecomeMainWindow");
  return send<bool>(this, sel);
}

bool Window::isKeyWindow() const { return Application::shared()->keyWindow() == this; }

bool Window::isMainWindow() const { return Application::shared()->mainWindow() == this; }

void Window::makeKeyAndOrderFront(Object* /*sender*/) {
  if (closed_) return;
  orderedIn_ = true;
  Application::shared()->windowOrderedFront(this, true);
}

void Window::orderFront(Object* /*sender*/) {
  if (closed_) return;
  orderedIn_ = true;
  Application::shared()->windowOrderedFront(this, false);
}

void Window::orderOut(Object* /*sender*/) {
  if (!orderedIn_) return;
  orderedIn_ = false;
  Application::shared()->windowOrderedOut(this);
}

void Window::setLevel(std::int64_t level) {
  if (level == level_) return;
  level_ = level;
  if (orderedIn_) Application::shared()->windowOrderedFront(this, false);
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
  // The delegate may let go of itself in windowWillClose: (a compose
  // window's delegate leaves the plug-in's registry there); it is held to
  // the end so that its registrations can still be found and removed.
  const Ref<Object> delegate = delegate_.lock();
  postNotification(NSWindowWillCloseNotification);
  closed_ = true;
  orderOut(nullptr);
  Application::shared()->windowClosed(this);
  // Once closed, the window sends its delegate nothing more and leaves
  // nothing of it in the notification centre. Should the delegate have been
  // replaced during the close, setDelegate: removed the earlier one's
  // registrations and the current one's go now.
  if (Ref<Object> current = delegate_.lock()) removeDelegateRegistrations(current.get(), this);
}

void Window::miniaturizeNow() {
  if (miniaturized_ || !isVisible() || (styleMask_ & NSWindowStyleMaskMiniaturizable) == 0) return;
  miniaturized_ = true;
  orderOut(nullptr);
}

void Window::deminiaturize(Object* /*sender*/) {
  if (!miniaturized_) return;
  miniaturized_ = false;
  makeKeyAndOrderFront(nullptr);
}

bool Window::isZoomed() const {
  return (styleMask_ & NSWindowStyleMaskResizable) != 0 && frame_ == metrics::kVisibleScreenFrame;
}

void Window::toggleZoom() {
  if (closed_ || !isVisible() || (styleMask_ & NSWindowStyleMaskResizable) == 0 ||
      (styleMask_ & NSWindowStyleMaskFullScreen) != 0) {
    return;
  }
  if (!isZoomed()) {
    userFrame_ = frame_;
    setFrame(metrics::kVisibleScreenFrame, true);
  } else if (userFrame_) {
    setFrame(*userFrame_, true);
  }
}

void Window::toggleFullScreen(Object* /*sender*/) {
  if (inFullScreenTransition_ || closed_ || (styleMask_ & NSWindowStyleMaskResizable) == 0) return;
  inFullScreenTransition_ = true;
  Ref<Object> keepAlive = retain();  // an observer may close the window
  if ((styleMask_ & NSWindowStyleMaskFullScreen) == 0) {
    frameBeforeFullScreen_ = frame_;
    // The full-screen bit is set before will-enter is posted, so observers
    // of both entering notifications read it set. The view tree stays in the
    // window throughout: the titlebar is not moved to a window of its own.
    styleMask_ |= NSWindowStyleMaskFullScreen;
    postNotification(NSWindowWillEnterFullScreenNotification);
    setFrame(metrics::kScreenFrame, true);
    postNotification(NSWindowDidEnterFullScreenNotification);
  } else {
    postNotification(NSWindowWillExitFullScreenNotification);
    setFrame(frameBeforeFullScreen_, true);
    // The bit is cleared after will-exit and before did-exit: will-exit
    // observers still read it set, did-exit observers read it clear.
    styleMask_ &= ~NSWindowStyleMaskFullScreen;
    layoutViews();
    postNotification(NSWindowDidExitFullScreenNotification);
  }
  inFullScreenTransition_ = false;
}

Object* Window::delegate() const { return delegate_.lock().get(); }

void Window::assignDelegate(Object* delegate) {
  if (Ref<Object> previous = delegate_.lock()) removeDelegateRegistrations(previous.get(), this);
  delegate_ = delegate != nullptr ? delegate->retain() : Weak<Object>{};
  if (delegate == nullptr || closed_) return;
  NotificationCenter* center = NotificationCenter::defaultCenter();
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
