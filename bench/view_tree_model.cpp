#include "bench/view_tree_model.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "plugin/identifier.h"
#include "plugin/static_state.h"

namespace tovik::bench {

namespace {

bool containsIgnoringASCIICase(std::string_view text, std::string_view lowerNeedle) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::search(text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(),
                     [&](char a, char b) { return lower(a) == b; }) != text.end();
}

// Whether the runtime now answers the class's hitTest: with the titlebar hit
// test: the class or one of its superclasses was given it.
bool hitTestReplacedFor(const Class* cls) {
  for (const Class* c = cls; c != nullptr; c = c->superclass()) {
    if (hitTestOverriddenClassNames().contains(c)) return true;
  }
  return false;
}

void installBelow(const ModelView& view) {
  for (const std::unique_ptr<ModelView>& sub : view.subviews()) {
    ModelClass& cls = *sub->modelClass();
    if (!cls.nameTested) {
      cls.nameMatches = containsIgnoringASCIICase(cls.name, "titlebar") ||
                        containsIgnoringASCIICase(cls.name, "toolbar");
      cls.nameTested = true;
    }
    if (cls.nameMatches && !cls.hitTestReplaced) cls.hitTestReplaced = true;
    installBelow(*sub);
  }
}

}  // namespace

bool ModelWindow::isStandardButtonView(const ModelView* view) const {
  for (const ModelView* v = view; v != nullptr; v = v->superview()) {
    if (std::find(buttons.begin(), buttons.end(), v) != buttons.end()) return true;
  }
  return false;
}

ModelView* ModelView::hitTest(CGPoint pointInSuperview) { return defaultHitTest(pointInSuperview); }

ModelView* ModelView::defaultHitTest(CGPoint pointInSuperview) {
  const bool superviewFlipped = superview_ != nullptr && superview_->flipped_;
  if (hidden_ || !NSMouseInRect(pointInSuperview, frame_, superviewFlipped)) return nullptr;
  const CGPoint local{pointInSuperview.x - frame_.origin.x, pointInSuperview.y - frame_.origin.y};
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    if (ModelView* hit = (*it)->hitTest(local)) return hit;
  }
  return this;
}

ModelView* ModelView::addSubview(std::unique_ptr<ModelView> view) {
  view->superview_ = this;
  subviews_.push_back(std::move(view));
  return subviews_.back().get();
}

ModelView* TitlebarModelView::hitTest(CGPoint pointInSuperview) {
  ModelView* hit = defaultHitTest(pointInSuperview);
  if (hit == nullptr) return nullptr;
  const ModelWindow* w = window();
  if (w == nullptr || !w->hasIdentifier) return hit;
  if (!w->configured->contains(w->identifier)) return hit;
  return w->isStandardButtonView(hit) ? hit : nullptr;
}

ViewTreeModel::ViewTreeModel(const Window& window)
    : configured_(configuredMainWindowIdentifiers().keys()) {
  if (const String* identifier = window.identifier()) {
    window_.hasIdentifier = true;
    window_.identifier = identifierKey(*identifier);
  }
  window_.configured = &configured_;
  const View* content = window.contentView();
  View* frameView = content != nullptr ? content->superview() : nullptr;
  if (frameView != nullptr) root_ = copy(*frameView);
  for (const std::int64_t kind :
       {NSWindowCloseButton, NSWindowMiniaturizeButton, NSWindowZoomButton}) {
    window_.buttons.at(static_cast<std::size_t>(kind)) = modelOf(window.standardWindowButton(kind));
  }
}

ViewTreeModel::~ViewTreeModel() = default;

std::unique_ptr<ModelView> ViewTreeModel::copy(View& view) {
  std::unique_ptr<ModelClass>& cls = classes_[view.isa()];
  if (cls == nullptr) {
    cls = std::make_unique<ModelClass>();
    cls->name = view.isa()->name();
    cls->hitTestReplaced = hitTestOverriddenClassNames().contains(view.isa());
  }
  // Only a superview's flippedness decides an answer, and the window asks
  // it only of views with subviews; asking a leaf here would put isFlipped
  // into method caches that the click path never fills.
  const bool flipped = !view.subviews().empty() && view.isFlipped();
  std::unique_ptr<ModelView> node;
  if (hitTestReplacedFor(view.isa())) {
    node = std::make_unique<TitlebarModelView>(cls.get(), view.frame(), view.isHidden(), flipped,
                                               &window_);
  } else {
    node = std::make_unique<ModelView>(cls.get(), view.frame(), view.isHidden(), flipped, &window_);
  }
  nodes_.emplace(&view, node.get());
  for (const Ref<View>& sub : view.subviews()) node->addSubview(copy(*sub));
  return node;
}

const ModelView* ViewTreeModel::modelOf(const View* view) const {
  auto it = nodes_.find(view);
  return it != nodes_.end() ? it->second : nullptr;
}

std::vector<CGPoint> ViewTreeModel::edgePoints() const {
  std::vector<CGPoint> points;
  const auto walk = [&points](auto& self, const ModelView& view, CGPoint origin) -> void {
    const CGRect frame{{origin.x + view.frame().origin.x, origin.y + view.frame().origin.y},
                       view.frame().size};
    const std::array xs{frame.minX(), (frame.minX() + frame.maxX()) / 2, frame.maxX()};
    const std::array ys{frame.minY(), (frame.minY() + frame.maxY()) / 2, frame.maxY()};
    for (const double x : xs) {
      for (const double y : ys) points.push_back({x, y});
    }
    for (const std::unique_ptr<ModelView>& sub : view.subviews()) self(self, *sub, frame.origin);
  };
  if (root_ != nullptr) walk(walk, *root_, {});
  return points;
}

void ViewTreeModel::installTitlebarHitTesting() {
  if (root_ != nullptr) installBelow(*root_);
}

}  // namespace tovik::bench
