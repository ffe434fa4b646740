#include "platform/view.h"

#include <algorithm>
#include <memory>

#include "platform/window.h"

namespace tovik {

namespace {
const SEL kHitTest = sel_registerName("hitTest:");
const SEL kIsFlipped = sel_registerName("isFlipped");

// NSView's own isFlipped: views draw with the bottom-left origin.
constexpr auto kDefaultIsFlippedBody = [](View* /*self*/) { return false; };
const IMP kOwnIsFlipped = makeImp(kDefaultIsFlippedBody);

// Sends isFlipped to a view whose class overrides it; out of line, so the
// check that mostly spares the send stays small where it is inlined.
[[gnu::noinline]] bool callIsFlipped(IMP imp, View* view) {
  return callImplementation<bool>(imp, view, kIsFlipped);
}

}  // namespace

// isFlipped as a view's class answers it. A class that keeps NSView's
// isFlipped is not sent the message: the implementation it resolves to is
// compared with NSView's, which spares the call on nearly every view. The
// view keeps the method its class resolved, resolved again only once some
// class has gained a method; a replaced implementation is read from the
// method at each call.
struct FlippedAnswer {
  static bool of(View* view) {
    const std::uint64_t generation = gMethodTableGeneration.load(std::memory_order_acquire);
    if (view->isFlippedGeneration_ != generation) {
      const Method* method = view->isa()->lookup(kIsFlipped);
      if (method == nullptr) throwUnrecognizedSelector(view, kIsFlipped);
      view->isFlippedMethod_ = method;
      view->isFlippedGeneration_ = generation;
    }
    const IMP imp = view->isFlippedMethod_->imp();
    return imp != kOwnIsFlipped && callIsFlipped(imp, view);
  }
};

namespace {

bool superviewAnswersFlipped(const View* view) {
  View* parent = view->superview();
  return parent != nullptr && FlippedAnswer::of(parent);
}

// While a hit search runs on this thread nothing it can reach is freed: the
// outermost level holds the view it started from, and a view taken out of a
// tree during the search is kept too. So the search hands views around
// borrowed, without touching their counts. What a search kept is let go when
// the next search on the thread starts, so the view a search answers
// outlives it, as an autoreleased answer does. Plain pointers keep the
// common path to one counter, in the thread's static block (this library is
// loaded with the process).
[[gnu::tls_model("initial-exec")]] thread_local std::size_t hitSearchDepth = 0;
[[gnu::tls_model("initial-exec")]] thread_local std::vector<Ref<View>>* keptByHitSearch = nullptr;

std::vector<Ref<View>>& keptViews() {
  if (keptByHitSearch == nullptr) {
    keptByHitSearch = new std::vector<Ref<View>>;  // NOLINT(cppcoreguidelines-owning-memory)
  }
  return *keptByHitSearch;
}

// One level of a hit search.
class HitSearchScope {
 public:
  explicit HitSearchScope(View* view) {
    if (hitSearchDepth++ != 0) return;
    std::vector<Ref<View>>& kept = keptViews();
    kept.clear();  // the previous search's, whose answer has been taken by now
    kept.push_back(view->retainAs<View>());
  }
  ~HitSearchScope() { --hitSearchDepth; }
  HitSearchScope(const HitSearchScope&) = delete;
  HitSearchScope& operator=(const HitSearchScope&) = delete;
};

// NSView's own hitTest:, as a method body; it answers a borrowed view.
constexpr auto kDefaultHitTestBody = [](View* self, CGPoint point) -> View* {
  return defaultHitTest(self, point);
};

View* search(View* view, CGPoint pointInSuperview, bool superviewFlipped);

// Sends hitTest: to `view`, whose superview's flippedness is given: the
// implementation its class resolves the selector to, looked up at each
// send, so a replacement takes effect from the next search.
View* sendHitTest(View* view, CGPoint point, bool superviewFlipped) {
  static const IMP own = defaultHitTestImplementation();
  const Method* method = view->isa()->lookup(kHitTest);
  if (method == nullptr) throwUnrecognizedSelector(view, kHitTest);
  const IMP imp = method->imp();
  // A replacement receives only the point; NSView's hitTest:, if it calls
  // that, asks the superview again (see defaultHitTest).
  return imp == own ? search(view, point, superviewFlipped) : callHitTest(imp, view, point);
}

// NSView's hitTest: for a view whose superview's flippedness is known. The
// frame's edges are judged as -[NSView mouse:inRect:] of the superview
// judges them.
View* search(View* view, CGPoint pointInSuperview, bool superviewFlipped) {
  if (view->isHidden() || !NSMouseInRect(pointInSuperview, view->frame(), superviewFlipped)) {
    return nullptr;
  }
  const HitSearchScope scope(view);
  const std::vector<Ref<View>>& subviews = view->subviews();
  if (subviews.empty()) return view;
  const CGPoint local{pointInSuperview.x - view->frame().origin.x,
                      pointInSuperview.y - view->frame().origin.y};
  const bool flipped = FlippedAnswer::of(view);
  // By index, re-checked at each step: a view's hitTest: may change the list
  // it is found in.
  for (std::size_t i = subviews.size(); i-- > 0;) {
    if (i >= subviews.size()) continue;
    if (View* hit = sendHitTest(subviews[i].get(), local, flipped)) return hit;
  }
  return view;
}

void keepUntilSearchEnds(Ref<View> view) {
  if (hitSearchDepth != 0) keptViews().push_back(std::move(view));
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
    addMethod(c, "superview", [](View* self) { return self->superview_; });
    addMethod(c, "subviews", [](View* self) {
      return Array::make({self->subviews_.begin(), self->subviews_.end()});
    });
    addMethod(c, "window", [](View* self) -> Object* { return self->window_; });
    addMethod(c, "isHidden", [](View* self) { return self->isHidden(); });
    addMethod(c, "setHidden:", [](View* self, bool hidden) { self->setHidden(hidden); });
    addMethod(c, "isFlipped", kDefaultIsFlippedBody);
    addMethod(c, "isOpaque", [](View* /*self*/) { return false; });
    addMethod(c, "mouseDownCanMoveWindow", [](View* self) { return !self->isOpaque(); });
    addMethod(c, "addSubview:", [](View* self, View* view) { self->addSubview(view); });
    addMethod(c, "addSubview:positioned:relativeTo:",
              [](View* self, View* view, std::int64_t place, View* other) {
                self->addSubview(view, place, other);
              });
    addMethod(c, "removeFromSuperview", [](View* self) { self->removeFromSuperview(); });
    addMethod(c, "isDescendantOf:", [](View* self, View* view) { return self->liesWithin(view); });
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

bool View::liesWithin(const View* view) const {
  if (view == nullptr) return false;
  for (const View* v = this; v != nullptr; v = v->superview_) {
    if (v == view) return true;
  }
  return false;
}

const std::vector<Ref<View>>& View::subviewsAsAnswered() const {
  const Ref<Array> answer =
      send<Ref<Array>>(const_cast<View*>(this), selectors::subviews);  // NOLINT
  return *autorelease(std::make_shared<std::vector<Ref<View>>>(
      answer != nullptr ? answer->itemsOfKind<View>() : std::vector<Ref<View>>{}));
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

Ref<View> View::hitTest(CGPoint pointInSuperview) {
  View* hit = sendHitTest(this, pointInSuperview, superviewAnswersFlipped(this));
  Ref<View> answer = hit != nullptr ? hit->retainAs<View>() : nullptr;
  // The answer is owned now; outside any search nothing needs the kept views.
  if (hitSearchDepth == 0 && keptByHitSearch != nullptr) keptByHitSearch->clear();
  return answer;
}

IMP defaultHitTestImplementation() { return makeImp(kDefaultHitTestBody); }

View* callHitTest(IMP imp, View* view, CGPoint point) {
  static const IMP own = defaultHitTestImplementation();
  if (imp == own) return defaultHitTest(view, point);
  // An implementation that answers an owned view: the answer is kept with
  // the search's other views, and lent on.
  if (imp->digest == kEncodingDigest<Ref<View>, CGPoint>) {
    Ref<View> owned = callImplementation<Ref<View>>(imp, view, kHitTest, point);
    View* hit = owned.get();
    if (hit != nullptr) keptViews().push_back(std::move(owned));
    return hit;
  }
  return callImplementation<View*>(imp, view, kHitTest, point);
}

bool View::isFlipped() { return FlippedAnswer::of(this); }

bool View::isOpaque() {
  static const SEL sel = sel_registerName("isOpaque");
  return send<bool>(this, sel);
}

bool View::mouseDownCanMoveWindow() {
  static const SEL sel = sel_registerName("mouseDownCanMoveWindow");
  return send<bool>(this, sel);
}

View* defaultHitTest(View* view, CGPoint pointInSuperview) {
  return search(view, pointInSuperview, superviewAnswersFlipped(view));
}

}  // namespace tovik
