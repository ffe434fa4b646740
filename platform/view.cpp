#include "platform/view.h"

#include <algorithm>
#include <memory>

#include "platform/window.h"

namespace tovik {

namespace {
const SEL kHitTest = sel_registerName("hitTest:");

// While a hit search runs on this thread, a view taken out of a tree is
// kept here rather than freed, so the search, which holds no reference to
// the views it passes through, never meets a freed view even when a
// hitTest: changes the tree it is searched in. The kept views go when the
// outermost search ends. Plain pointers keep the common path to one counter,
// in the thread's static block (this library is loaded with the process).
[[gnu::tls_model("initial-exec")]] thread_local std::size_t hitSearchDepth = 0;
[[gnu::tls_model("initial-exec")]] thread_local std::vector<Ref<View>>* viewsDetachedDuringSearch =
    nullptr;

// One level of a hit search; the outermost also holds the view it started
// from, the root of everything the search can reach.
class HitSearchScope {
 public:
  explicit HitSearchScope(View* view) {
    if (hitSearchDepth++ == 0) root_ = view->retainAs<View>();
  }
  ~HitSearchScope() {
    if (--hitSearchDepth != 0) return;
    // Released after the search: a freed view may start a search of its own.
    std::unique_ptr<std::vector<Ref<View>>> detached(viewsDetachedDuringSearch);
    viewsDetachedDuringSearch = nullptr;
  }
  HitSearchScope(const HitSearchScope&) = delete;
  HitSearchScope& operator=(const HitSearchScope&) = delete;

 private:
  Ref<View> root_;
};

// NSView's own hitTest:, as a method body.
constexpr auto kDefaultHitTestBody = [](View* self, CGPoint point) {
  return defaultHitTest(self, point);
};

// Sends hitTest: to `view`. When the view's class resolves the selector to
// NSView's own implementation, that implementation runs without the
// conversions of a general send; a replaced implementation is sent to as
// usual, so it takes effect from the next search.
Ref<View> sendHitTest(View* view, CGPoint point) {
  static const IMP own = defaultHitTestImplementation();
  const Method* method = view->isa()->lookup(kHitTest);
  if (method == nullptr) throwUnrecognizedSelector(view, kHitTest);
  const IMP imp = method->imp();
  if (imp == own) return defaultHitTest(view, point);
  return callImplementation<Ref<View>>(imp, view, kHitTest, point);
}

void keepUntilSearchEnds(Ref<View> view) {
  if (hitSearchDepth == 0) return;
  if (viewsDetachedDuringSearch == nullptr) {
    viewsDetachedDuringSearch =
        new std::vector<Ref<View>>;  // NOLINT(cppcoreguidelines-owning-memory)
  }
  viewsDetachedDuringSearch->push_back(std::move(view));
}
}  // namespace

Class* View::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSView", Object::runtimeClass(), &View::makeInstance);
    addMethod(c, "initWithFrame:", [](View* self, CGRect frame) {
      self->initWithFrame(frame);
      return self->retain();
    });
    addMethod(c, "frame", [](View* self) { return self->frame(); });
    addMethod(c, "setFrame:", [](View* self, CGRect frame) { self->setFrame(frame); });
    addMethod(c, "bounds", [](View* self) { return self->bounds(); });
    addMethod(c, "superview", [](View* self) -> Ref<Object> {
      return self->superview_ != nullptr ? self->superview_->retain() : nullptr;
    });
    addMethod(c, "subviews", [](View* self) {
      return Array::make({self->subviews_.begin(), self->subviews_.end()});
    });
    addMethod(c, "window", [](View* self) -> Ref<Object> {
      return self->window_ != nullptr ? self->window_->retain() : nullptr;
    });
    addMethod(c, "isHidden", [](View* self) { return self->isHidden(); });
    addMethod(c, "setHidden:", [](View* self, bool hidden) { self->setHidden(hidden); });
    addMethod(c, "addSubview:", [](View* self, View* view) { self->addSubview(view); });
    addMethod(c, "addSubview:positioned:relativeTo:",
              [](View* self, View* view, std::int64_t place, View* other) {
                self->addSubview(view, place, other);
              });
    addMethod(c, "removeFromSuperview", [](View* self) { self->removeFromSuperview(); });
    addMethod(c,
              "isDescendantOf:", [](View* self, View* view) { return self->isDescendantOf(view); });
    addMethod(c, "convertPoint:fromView:", [](View* self, CGPoint point, View* view) {
      return self->convertPointFromView(point, view);
    });
    addMethod(c, "convertPoint:toView:", [](View* self, CGPoint point, View* view) {
      return self->convertPointToView(point, view);
    });
    addMethod(c, "hitTest:", kDefaultHitTestBody);
    return c;
  }();
  return cls;
}

View::~View() {
  for (const Ref<View>& sub : subviews_) sub->superview_ = nullptr;
}

Ref<Object> View::makeInstance(Class* isa) { return std::make_shared<View>(isa); }

Ref<View> View::withFrame(CGRect frame) { return withFrame(runtimeClass(), frame); }

Ref<View> View::withFrame(Class* cls, CGRect frame) {
  if (cls == nullptr || !cls->isSubclassOf(runtimeClass())) {
    throw PlatformError("+[NSView alloc]: " + (cls != nullptr ? cls->name() : "nil") +
                        " is not a subclass of NSView");
  }
  Ref<View> view = as<View>(class_createInstance(cls));
  view->initWithFrame(frame);
  return view;
}

void View::checkCanAdopt(const View* view) const {
  if (view == nullptr) throw PlatformError("-[NSView addSubview:]: the view is nil");
  if (isDescendantOf(view)) {
    throw PlatformError(
        "-[NSView addSubview:]: a view cannot be added to itself or beneath itself");
  }
}

void View::addSubview(View* view) { addSubview(view, NSWindowAbove, nullptr); }

void View::addSubview(View* view, std::int64_t place, View* other) {
  checkCanAdopt(view);
  Ref<View> kept = view->retainAs<View>();  // its old superview may hold the last reference
  view->removeFromSuperview();
  auto at = place == NSWindowBelow ? subviews_.begin() : subviews_.end();
  if (other != nullptr) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(),
                           [other](const Ref<View>& sub) { return sub.get() == other; });
    if (it == subviews_.end()) {
      throw PlatformError(
          "-[NSView addSubview:positioned:relativeTo:]: the relative view is not a "
          "subview of the receiver");
    }
    at = place == NSWindowBelow ? it : it + 1;
  }
  subviews_.insert(at, kept);
  kept->superview_ = this;
  kept->setWindow(window_);
}

void View::removeFromSuperview() {
  View* parent = superview_;
  if (parent == nullptr) return;
  Ref<View> kept = retainAs<View>();  // the superview held it
  std::erase_if(parent->subviews_, [this](const Ref<View>& sub) { return sub.get() == this; });
  superview_ = nullptr;
  setWindow(nullptr);
  keepUntilSearchEnds(std::move(kept));
}

bool View::isDescendantOf(const View* view) const {
  if (view == nullptr) return false;
  for (const View* v = this; v != nullptr; v = v->superview()) {
    if (v == view) return true;
  }
  return false;
}

void View::setWindow(Window* window) {
  if (window_ == window) return;
  window_ = window;
  for (const Ref<View>& sub : subviews_) sub->setWindow(window);
}

CGPoint View::originInWindow() const {
  CGPoint origin{};
  for (const View* v = this; v != nullptr; v = v->superview()) {
    origin.x += v->frame_.origin.x;
    origin.y += v->frame_.origin.y;
  }
  return origin;
}

CGPoint View::convertPointFromView(CGPoint point, const View* view) const {
  const CGPoint from = view != nullptr ? view->originInWindow() : CGPoint{};
  const CGPoint to = originInWindow();
  return {point.x + from.x - to.x, point.y + from.y - to.y};
}

CGPoint View::convertPointToView(CGPoint point, const View* view) const {
  if (view != nullptr) return view->convertPointFromView(point, this);
  const CGPoint origin = originInWindow();
  return {point.x + origin.x, point.y + origin.y};
}

Ref<View> View::hitTest(CGPoint pointInSuperview) { return sendHitTest(this, pointInSuperview); }

IMP defaultHitTestImplementation() { return makeImp(kDefaultHitTestBody); }

Ref<View> defaultHitTest(View* view, CGPoint pointInSuperview) {
  if (view->isHidden() || !view->frame().contains(pointInSuperview)) return nullptr;
  const HitSearchScope search(view);
  const CGPoint local{pointInSuperview.x - view->frame().origin.x,
                      pointInSuperview.y - view->frame().origin.y};
  // By index, re-checked at each step: a view's hitTest: may change the list
  // it is found in.
  const std::vector<Ref<View>>& subviews = view->subviews();
  for (std::size_t i = subviews.size(); i-- > 0;) {
    if (i >= subviews.size()) continue;
    if (Ref<View> hit = sendHitTest(subviews[i].get(), local)) return hit;
  }
  return view->retainAs<View>();
}

}  // namespace tovik
