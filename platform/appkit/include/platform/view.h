#pragma once

#include <vector>

#include "platform/foundation.h"
#include "platform/geometry.h"

namespace tovik {

class Window;

// NSView.
class View : public Object {
 public:
  static Class* runtimeClass();
  // alloc/initWithFrame:.
  static Ref<View> withFrame(CGRect frame);
  [[nodiscard]] View* superview() const;
  [[nodiscard]] std::vector<Ref<View>> subviews() const;
  [[nodiscard]] Window* window() const;
  [[nodiscard]] bool isDescendantOf(const View* view) const;
  [[nodiscard]] bool mouseDownCanMoveWindow() const;
  // hitTest:, the point in the superview's coordinates.
  Ref<View> hitTest(CGPoint pointInSuperview);
};

// Calls a hitTest: implementation of the view's class.
View* callHitTest(IMP imp, View* view, CGPoint pointInSuperview);

}  // namespace tovik
