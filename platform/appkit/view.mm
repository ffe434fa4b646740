#include "platform/view.h"

#import <AppKit/AppKit.h>

#include "bridge.h"
#include "platform/window.h"

namespace tovik {

using bridge::objc;
using bridge::ours;

namespace {
NSView* ns(const View* view) { return static_cast<NSView*>(objc(view)); }
}  // namespace

Class* View::runtimeClass() { return ours([NSView class]); }

Ref<View> View::withFrame(CGRect frame) {
  return Ref<View>::adopt(ours<View>([[NSView alloc] initWithFrame:bridge::ns(frame)]));
}

View* View::superview() const { return ours<View>([ns(this) superview]); }

std::vector<Ref<View>> View::subviews() const {
  std::vector<Ref<View>> views;
  for (NSView* view in [ns(this) subviews]) views.push_back(Ref<View>::retain(ours<View>(view)));
  return views;
}

Window* View::window() const { return ours<Window>([ns(this) window]); }

bool View::isDescendantOf(const View* view) const {
  return view != nullptr && [ns(this) isDescendantOf:ns(view)] != NO;
}

bool View::mouseDownCanMoveWindow() const { return [ns(this) mouseDownCanMoveWindow] != NO; }

Ref<View> View::hitTest(CGPoint pointInSuperview) {
  return Ref<View>::retain(
      ours<View>([ns(this) hitTest:NSMakePoint(pointInSuperview.x, pointInSuperview.y)]));
}

View* callHitTest(IMP imp, View* view, CGPoint pointInSuperview) {
  static const SEL hitTest = sel_registerName("hitTest:");
  using HitTest = View* (*)(View*, SEL, CGPoint);
  return reinterpret_cast<HitTest>(imp)(view, hitTest, pointInSuperview);
}

Ref<String> NSStringFromClass(const Class* cls) {
  return Ref<String>::retain(ours<String>(::NSStringFromClass(bridge::objcClass(cls))));
}

}  // namespace tovik
