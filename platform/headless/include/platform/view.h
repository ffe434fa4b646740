#pragma once

#include <cstdint>
#include <vector>

#include "platform/foundation.h"
#include "platform/geometry.h"
#include "platform/selectors.h"

namespace tovik {

class Window;

// NSWindowOrderingMode, for addSubview:positioned:relativeTo:.
inline constexpr std::int64_t NSWindowBelow = -1;
inline constexpr std::int64_t NSWindowAbove = 1;

// A view (NSView). Its frame is in its superview's coordinates, with AppKit's
// bottom-left origin; its bounds start at (0, 0). A view owns its subviews,
// kept back to front; it refers to its superview without owning it (a
// superview clears that reference in its subviews when it goes). Hosts subclass it in C++ (with a
// runtime class of their own under NSView) or at run time
// (objc_allocateClassPair); either way every instance behaves like a view.
// Main thread only, as in AppKit.
class View : public Object {
 public:
  using Object::Object;
  ~View() override;
  View(const View&) = delete;
  View& operator=(const View&) = delete;
  static Class* runtimeClass();
  // alloc/initWithFrame: of NSView, or of any subclass of it.
  static Ref<View> withFrame(CGRect frame);
  static Ref<View> withFrame(Class* cls, CGRect frame);
  // The factory of classes that add no C++ state to a view.
  static Ref<Object> makeInstance(Class* isa);

  void initWithFrame(CGRect frame) { frame_ = frame; }
  [[nodiscard]] CGRect frame() const { return frame_; }
  void setFrame(CGRect frame) { frame_ = frame; }
  [[nodiscard]] CGRect bounds() const { return {{0, 0}, frame_.size}; }
  // The tree's operations are messages through the runtime (see message()),
  // so a host's subclass or replacement of one is what every caller meets.
  [[nodiscard]] View* superview() const {
    return message<View*>(this, selectors::superview, [this] { return superview_; });
  }
  [[nodiscard]] const std::vector<Ref<View>>& subviews() const {
    if (answeredByPlatform(selectors::subviews)) return subviews_;
    return subviewsAsAnswered();
  }
  // The window whose view tree holds the view; none outside a window.
  [[nodiscard]] Window* window() const {
    return message<Window*>(this, selectors::window, [this] { return window_; });
  }
  [[nodiscard]] bool isHidden() const { return hidden_; }
  void setHidden(bool hidden) { hidden_ = hidden; }
  // Sends isFlipped through the runtime, so a class that overrides it is
  // what answers; NSView's own answer is no. Here a flipped view changes
  // which edges of its subviews' frames a click belongs to (see
  // defaultHitTest); the window system does not flip coordinates, so
  // frames, conversions and the points handed down a hit search keep the
  // bottom-left origin whatever a view answers.
  [[nodiscard]] bool isFlipped();
  // Both sent through the runtime, so a class that overrides either is what
  // answers. NSView is not opaque, and answers mouseDownCanMoveWindow with
  // whether the view is not opaque; NSControl answers NO. A press on a view
  // that answers YES can move a window movable by its background.
  [[nodiscard]] bool isOpaque();
  [[nodiscard]] bool mouseDownCanMoveWindow();

  // Adds `view` on top of the subviews, taking it from its old superview.
  // Adding a view to itself or to one of its own descendants is an error.
  void addSubview(View* view);
  // addSubview:positioned:relativeTo: — just above or below `other` (a
  // subview), or at the top (NSWindowAbove) or bottom (NSWindowBelow) when
  // `other` is none.
  void addSubview(View* view, std::int64_t place, View* other);
  void removeFromSuperview();
  // True for the view itself and for every view beneath it.
  [[nodiscard]] bool isDescendantOf(const View* view) const {
    return message<bool>(
        this, selectors::isDescendantOf, [this, view] { return liesWithin(view); },
        const_cast<View*>(view));  // NOLINT(cppcoreguidelines-pro-type-const-cast)
  }

  // convertPoint:fromView: / convertPoint:toView:, between the receiver's
  // bounds and another view's; none stands for window coordinates. The two
  // views must be in one tree.
  [[nodiscard]] CGPoint convertPointFromView(CGPoint point, const View* view) const;
  [[nodiscard]] CGPoint convertPointToView(CGPoint point, const View* view) const;

  // Sends hitTest: through the runtime, so a class's replacement of it is
  // what answers. The point is in the superview's coordinates.
  Ref<View> hitTest(CGPoint pointInSuperview);

 private:
  friend class Window;
  // NSView's own isDescendantOf:.
  [[nodiscard]] bool liesWithin(const View* view) const;
  // The subviews a replaced subviews method answers, kept as an autoreleased
  // list; what is not a view is left out.
  [[nodiscard]] const std::vector<Ref<View>>& subviewsAsAnswered() const;
  // Moves the view and its subtree into `window` (none: out of any window).
  void setWindow(Window* window);
  [[nodiscard]] CGPoint originInWindow() const;
  void checkCanAdopt(const View* view) const;
  // view.cpp's: how a hit search asks isFlipped, through the two fields at
  // the end.
  friend struct FlippedAnswer;

  CGRect frame_{};
  View* superview_ = nullptr;
  std::vector<Ref<View>> subviews_;
  Window* window_ = nullptr;
  bool hidden_ = false;
  // The isFlipped method the view's class resolved to, and the runtime's
  // method-table generation it was resolved in.
  const Method* isFlippedMethod_ = nullptr;
  std::uint64_t isFlippedGeneration_ = 0;
};

// NSView's own hitTest:, AppKit's search: a hidden view or a point outside the
// frame gives no view; otherwise the subviews are asked from the topmost down,
// through the runtime, and the first answer wins; otherwise the view itself.
// The point is tested against the frame as NSMouseInRect tests it, with the
// superview's isFlipped (no superview: unflipped): under an unflipped
// superview the frame's bottom edge is outside and its top edge inside,
// under a flipped one the reverse; the left edge is inside, the right one
// outside. A search asks isFlipped once of each view with subviews it
// enters and hands the answer down to them; only a replaced hitTest: that
// calls NSView's makes it ask that view's superview again. A class that
// keeps NSView's isFlipped is not sent the message.
// The answer is borrowed: it stays alive at least until the next hit search
// on the thread starts, even when a hitTest: took it out of the tree.
View* defaultHitTest(View* view, CGPoint pointInSuperview);
// The implementation NSView's hitTest: was declared with, which runs
// defaultHitTest.
IMP defaultHitTestImplementation();
// Calls a hitTest: implementation of the view's class, whether it answers a
// borrowed view (as NSView's does) or an owned one (which is then kept as
// long as a borrowed answer would be). Any other encoding is an error.
View* callHitTest(IMP imp, View* view, CGPoint pointInSuperview);

}  // namespace tovik
