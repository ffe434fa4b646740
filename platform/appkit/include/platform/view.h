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
  [[nodiscard]] View* superview() const;
  [[nodiscard]] std::vector<Ref<View>> subviews() const;
  [[nodiscard]] Window* window() const;
  [[nodiscard]] bool isDescendantOf(const View* view) const;
};

// Calls a hitTest: implementation of the view's class.
View* callHitTest(IMP imp, View* view, CGPoint pointInSuperview);

}  // namespace tovik
