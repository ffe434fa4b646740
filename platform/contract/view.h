#pragma once

#include <concepts>
#include <vector>

#include "platform/contract/object.h"
#include "platform/geometry.h"
#include "platform/view.h"
#include "platform/window.h"

namespace tovik::contract {

// NSView: the tree a click searches, and hitTest:, sent through the runtime
// so a class's replacement is what answers.
template <class V>
concept ViewContract = ObjectContract<V> &&
    requires(V& view, const V& constView, CGRect frame, CGPoint point, IMP imp) {
  { V::withFrame(frame) } -> std::same_as<Ref<V>>;
  { constView.superview() } -> std::same_as<V*>;
  // Back to front.
  { constView.subviews() } -> std::convertible_to<const std::vector<Ref<V>>&>;
  // The window whose tree holds the view; none outside a window.
  { constView.window() } -> std::same_as<Window*>;
  { constView.isDescendantOf(&constView) } -> std::same_as<bool>;
  { view.mouseDownCanMoveWindow() } -> std::same_as<bool>;
  // The point in the superview's coordinates.
  { view.hitTest(point) } -> std::same_as<Ref<V>>;
  // A hitTest: implementation of the view's class, called directly; its
  // answer is borrowed.
  { callHitTest(imp, &view, point) } -> std::same_as<V*>;
};

}  // namespace tovik::contract
