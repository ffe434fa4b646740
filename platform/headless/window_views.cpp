// The window's view tree: building it with AppKit's run-time class names,
// laying it out, and delivering mouse events through it.
#include <algorithm>

#include "platform/application.h"
#include "platform/event.h"
#include "platform/user_defaults.h"
#include "platform/window.h"
#include "platform/window_metrics.h"

namespace tovik {

namespace {

using namespace metrics;

// The window system's private view classes, under the names AppKit gives
// them at run time. None adds state to a view.
Class* viewClass(std::string_view name, Class* superclass = View::runtimeClass()) {
  return objc_declareClass(name, superclass, &View::makeInstance);
}

// NSControl: a control takes the clicks it receives, so a press on one
// never moves the window.
Class* controlClass() {
  Class* cls = viewClass("NSControl");
  addMethod(cls, "mouseDownCanMoveWindow", [](View* /*self*/) { return false; });
  return cls;
}

struct ChromeClasses {
  Class* themeFrame = viewClass("NSThemeFrame");
  Class* titlebarContainer = viewClass("NSTitlebarContainerView");
  Class* titlebarDecoration = viewClass("_NSTitlebarDecorationView");
  Class* titlebar = viewClass("NSTitlebarView");
  Class* visualEffect = viewClass("NSVisualEffectView");
  Class* control = controlClass();
  Class* button = viewClass("NSButton", control);
  Class* themeWidget = viewClass("_NSThemeWidget", button);
  Class* closeWidget = viewClass("_NSThemeCloseWidget", themeWidget);
  Class* zoomWidget = viewClass("_NSThemeZoomWidget", themeWidget);
  Class* toolbarView = viewClass("NSToolbarView");
  Class* toolbarItemViewer = viewClass("NSToolbarItemViewer");
};

const ChromeClasses& chrome() {
  static const ChromeClasses classes;
  return classes;
}

// Registers the classes when the window system loads, as the frameworks do.
const bool kChromeRegistered = (chrome(), true);

Ref<View> chromeView(Class* cls) { return View::withFrame(cls, {}); }

CGSize itemSize(const ToolbarItem& item) {
  const CGSize natural = item.view() != nullptr ? item.view()->frame().size : CGSize{};
  const CGSize min = item.minSize();
  CGSize max = item.maxSize();
  max.width = std::max(max.width, min.width);
  max.height = std::max(max.height, min.height);
  return {std::clamp(natural.width, min.width, max.width > 0 ? max.width : natural.width),
          std::clamp(natural.height, min.height, max.height > 0 ? max.height : natural.height)};
}

}  // namespace

void Window::buildViewTree() {
  const ChromeClasses& cls = chrome();
  if (frameView_ != nullptr) frameView_->setWindow(nullptr);
  frameView_ = chromeView(cls.themeFrame);
  frameView_->setWindow(this);
  if (contentView_ == nullptr) contentView_ = chromeView(View::runtimeClass());
  frameView_->addSubview(contentView_.get());
  titlebarContainer_ = titlebarView_ = toolbarView_ = nullptr;
  buttons_ = {};
  if ((styleMask_ & NSWindowStyleMaskTitled) != 0) {
    titlebarContainer_ = chromeView(cls.titlebarContainer);
    titlebarContainer_->addSubview(chromeView(cls.titlebarDecoration).get());
    titlebarView_ = chromeView(cls.titlebar);
    titlebarContainer_->addSubview(titlebarView_.get());
    titlebarView_->addSubview(chromeView(cls.visualEffect).get());
    buttons_[NSWindowCloseButton] = chromeView(cls.closeWidget);
    buttons_[NSWindowMiniaturizeButton] = chromeView(cls.themeWidget);
    buttons_[NSWindowZoomButton] = chromeView(cls.zoomWidget);
    for (const std::int64_t kind :
         {NSWindowCloseButton, NSWindowZoomButton, NSWindowMiniaturizeButton}) {
      titlebarView_->addSubview(buttons_.at(kind).get());
    }
    frameView_->addSubview(titlebarContainer_.get());
  }
  rebuildToolbarView();
}

bool Window::toolbarShown() const {
  return titlebarView_ != nullptr && toolbar_ != nullptr && toolbar_->isVisible();
}

double Window::titlebarStripHeight() const {
  if (!toolbarShown()) return kTitlebarHeight;
  switch (toolbarStyle_) {
    case NSWindowToolbarStyleUnified:
      return kUnifiedToolbarStripHeight;
    case NSWindowToolbarStyleUnifiedCompact:
      return kCompactToolbarStripHeight;
    default:
      return kTitlebarHeight + kExpandedToolbarRowHeight;
  }
}

void Window::rebuildToolbarView() {
  if (toolbarView_ != nullptr) toolbarView_->removeFromSuperview();
  toolbarView_ = nullptr;
  if (toolbarShown()) {
    toolbarView_ = chromeView(chrome().toolbarView);
    for (const Ref<ToolbarItem>& item : toolbar_->items()) {
      Ref<View> viewer = chromeView(chrome().toolbarItemViewer);
      if (item->view() != nullptr) viewer->addSubview(item->view());
      toolbarView_->addSubview(viewer.get());
    }
    titlebarView_->addSubview(toolbarView_.get());
  }
  layoutViews();
}

void Window::layoutViews() {
  if (frameView_ == nullptr) return;
  const CGSize size = frame_.size;
  frameView_->setFrame({{0, 0}, size});
  if (titlebarContainer_ == nullptr) {
    if (contentView_ != nullptr) contentView_->setFrame({{0, 0}, size});
    return;
  }
  const double strip = std::min(titlebarStripHeight(), size.height);
  const CGRect stripRect{{0, size.height - strip}, {size.width, strip}};
  if (contentView_ != nullptr) {
    const bool fullSize = (styleMask_ & NSWindowStyleMaskFullSizeContentView) != 0;
    contentView_->setFrame({{0, 0}, {size.width, fullSize ? size.height : size.height - strip}});
  }
  titlebarContainer_->setFrame(stripRect);
  const CGRect local{{0, 0}, stripRect.size};
  for (const Ref<View>& sub : titlebarContainer_->subviews()) sub->setFrame(local);
  for (const Ref<View>& sub : titlebarView_->subviews()) {
    if (sub->isa() == chrome().visualEffect) sub->setFrame(local);
  }

  // The buttons sit in the title row: the whole strip with a unified
  // toolbar, the top row above an expanded one.
  const bool expanded = toolbarShown() && toolbarStyle_ != NSWindowToolbarStyleUnified &&
                        toolbarStyle_ != NSWindowToolbarStyleUnifiedCompact;
  const double rowHeight = expanded ? kTitlebarHeight : strip;
  const double rowBottom = strip - rowHeight;
  for (std::size_t kind = 0; kind < buttons_.size(); ++kind) {
    buttons_.at(kind)->setFrame({{kButtonLeftInset + kButtonSpacing * static_cast<double>(kind),
                                  rowBottom + (rowHeight - kButtonSize) / 2},
                                 {kButtonSize, kButtonSize}});
  }
  if (toolbarView_ == nullptr) return;
  const double toolbarLeft = expanded ? 0 : kToolbarLeftInset;
  const double toolbarHeight = expanded ? kExpandedToolbarRowHeight : strip;
  toolbarView_->setFrame(
      {{toolbarLeft, 0}, {std::max(0.0, size.width - toolbarLeft), toolbarHeight}});
  double x = 0;
  const auto& items = toolbar_->items();
  const auto& viewers = toolbarView_->subviews();
  for (std::size_t i = 0; i < viewers.size() && i < items.size(); ++i) {
    const CGSize itemFrame = itemSize(*items[i]);
    viewers[i]->setFrame({{x, (toolbarHeight - itemFrame.height) / 2}, itemFrame});
    if (View* itemView = items[i]->view()) itemView->setFrame({{0, 0}, itemFrame});
    x += itemFrame.width + kToolbarItemSpacing;
  }
}

void Window::setContentView(View* view) {
  if (view == contentView_.get()) return;
  if (contentView_ != nullptr) contentView_->removeFromSuperview();
  contentView_ = view != nullptr ? view->retainAs<View>() : nullptr;
  if (contentView_ != nullptr && frameView_ != nullptr) {
    frameView_->addSubview(contentView_.get(), NSWindowBelow, nullptr);
  }
  layoutViews();
}

void Window::applyToolbarStyle(std::int64_t style) {
  toolbarStyle_ = style;
  layoutViews();
}

void Window::attachToolbar(Toolbar* toolbar) {
  if (toolbar == toolbar_.get()) return;
  if (toolbar_ != nullptr) toolbar_->attach(nullptr);
  if (toolbar != nullptr && toolbar->window() != nullptr) toolbar->window()->setToolbar(nullptr);
  toolbar_ = toolbar != nullptr ? toolbar->retainAs<Toolbar>() : nullptr;
  rebuildToolbarView();
  if (toolbar_ != nullptr) toolbar_->attach(this);
}

void Window::toolbarDidChange() { rebuildToolbarView(); }

CGRect Window::contentArea() const {
  const CGSize size = frame_.size;
  if (titlebarContainer_ == nullptr) return {{0, 0}, size};
  return {{0, 0}, {size.width, std::max(0.0, size.height - titlebarStripHeight())}};
}

Ref<View> Window::mouseDown(CGPoint pointInWindow) {
  return Application::shared()->sendEvent(
      Event::mouseEvent(NSEventTypeLeftMouseDown, pointInWindow, this, 1).get());
}

Ref<View> Window::sendEvent(Event* event) {
  if (event == nullptr) return nullptr;
  Ref<Object> keepAlive = retain();  // an action may close the window
  switch (event->type()) {
    case NSEventTypeLeftMouseDown:
      return leftMouseDown(*event);
    case NSEventTypeLeftMouseDragged:
      leftMouseDragged(*event);
      break;
    default:
      move_.reset();
      break;
  }
  return nullptr;
}

Ref<View> Window::leftMouseDown(const Event& event) {
  move_.reset();
  if (frameView_ == nullptr || !isVisible() || miniaturized_) return nullptr;
  const CGPoint point = event.locationInWindow();
  Ref<View> hit = frameView_->hitTest(point);
  if (hit == nullptr || performButtonAction(hit.get()) || !hit->mouseDownCanMoveWindow()) {
    return hit;
  }
  const bool onTitlebar = titlebarView_ != nullptr && hit->isDescendantOf(titlebarView_.get());
  if (!onTitlebar && !movableByBackground_) return hit;
  if ((styleMask_ & NSWindowStyleMaskFullScreen) != 0) return hit;
  const CGPoint onScreen = convertPointToScreen(point);
  if (onTitlebar && event.clickCount() == 2) performTitlebarDoubleClickAction();
  // The drag moves the window from where it is after the action.
  if (isVisible()) move_ = Move{onScreen, frame_.origin};
  return hit;
}

void Window::leftMouseDragged(const Event& event) {
  if (!move_ || !isVisible() || (styleMask_ & NSWindowStyleMaskFullScreen) != 0) return;
  // The event's location is relative to where the window is now.
  const CGPoint onScreen = convertPointToScreen(event.locationInWindow());
  const CGPoint origin{move_->origin.x + onScreen.x - move_->pressedOnScreen.x,
                       move_->origin.y + onScreen.y - move_->pressedOnScreen.y};
  setFrame({origin, frame_.size}, true);
}

void Window::performTitlebarDoubleClickAction() {
  UserDefaults* defaults = UserDefaults::standardUserDefaults();
  const Ref<Object> action = defaults->objectForKey("AppleActionOnDoubleClick");
  bool minimize = false;
  if (const auto* name = as<String>(action.get())) {
    if (name->utf8() == "None") return;
    minimize = name->utf8() == "Minimize";
  } else {
    const Ref<Object> old = defaults->objectForKey("AppleMiniaturizeOnDoubleClick");
    const auto* flag = as<Number>(old.get());
    minimize = flag != nullptr && flag->boolValue();
  }
  if (minimize) {
    miniaturize(nullptr);
  } else {
    zoom(nullptr);
  }
}

bool Window::performButtonAction(const View* hit) {
  // A view that does not take the click itself passes it up to its
  // superview, as NSView's mouseDown: hands it to the next responder.
  for (std::size_t kind = 0; kind < buttons_.size(); ++kind) {
    View* button = standardWindowButton(static_cast<std::int64_t>(kind));
    if (button == nullptr || !hit->isDescendantOf(button)) continue;
    switch (static_cast<std::int64_t>(kind)) {
      case NSWindowCloseButton:
        performClose(button);
        break;
      case NSWindowMiniaturizeButton:
        miniaturize(nullptr);
        break;
      default:
        toggleFullScreen(nullptr);
        break;
    }
    return true;
  }
  return false;
}

}  // namespace tovik
