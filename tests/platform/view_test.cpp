#include "platform/view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/notification_center.h"
#include "platform/window.h"

namespace tovik {
namespace {

class ViewTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& w : Application::shared()->windows()) w->close();
  }
};

TEST_F(ViewTest, HitTestIsAppKitsSearchThroughTheRuntime) {
  auto root = View::withFrame({{10, 10}, {200, 100}});
  auto back = View::withFrame({{0, 0}, {100, 100}});
  auto front = View::withFrame({{50, 0}, {100, 50}});
  auto inner = View::withFrame({{5, 5}, {10, 10}});
  root->addSubview(back.get());
  root->addSubview(front.get());
  front->addSubview(inner.get());

  EXPECT_EQ(root->hitTest({100, 40}), front);  // overlap: the topmost sibling wins
  EXPECT_EQ(root->hitTest({66, 16}), inner);   // 10+50+5 = 65 in root's superview
  EXPECT_EQ(root->hitTest({20, 80}), back);
  EXPECT_EQ(root->hitTest({200, 80}), root);  // inside root, in no subview
  EXPECT_EQ(root->hitTest({5, 5}), nullptr);  // outside the frame
  front->setHidden(true);
  EXPECT_EQ(root->hitTest({100, 40}), back);  // a hidden view and its subtree answer nothing

  // A run-time class answering no view lets the search go on beneath it.
  Class* passThrough = objc_allocateClassPair(View::runtimeClass(), "PassThroughView");
  addMethod(passThrough, "hitTest:", [](View*, CGPoint) { return Ref<View>{}; });
  objc_registerClassPair(passThrough);
  auto glass = View::withFrame(passThrough, {{0, 0}, {200, 100}});
  root->addSubview(glass.get());
  EXPECT_EQ(send<Ref<View>>(root.get(), "hitTest:", CGPoint{20, 80}), back);
  EXPECT_THROW(View::withFrame(Object::runtimeClass(), {}), PlatformError);
}

// A host's view class whose hitTest: is its own and answers what NSView's
// implementation answers, as a replacement calling the original does.
Class* forwardingHitTestClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(View::runtimeClass(), "ForwardingHitTestView");
    addMethod(c, "hitTest:", [](View* self, CGPoint point) -> View* {
      return callHitTest(defaultHitTestImplementation(), self, point);
    });
    objc_registerClassPair(c);
    return c;
  }();
  return cls;
}

TEST_F(ViewTest, FrameEdgesAreJudgedAsTheUserSeesThemUnderAnUnflippedSuperview) {
  static int runs = 0;  // a fresh class per run, since the test flips it
  Class* cls =
      objc_allocateClassPair(View::runtimeClass(), "LaterFlippedView" + std::to_string(runs++));
  objc_registerClassPair(cls);
  // A parent at its superview's origin, with 10 x 10 children at (10, 10)
  // and (30, 10), and a grandchild at x 15..20, y 10..15 in the parent.
  auto parent = View::withFrame(cls, {{0, 0}, {100, 100}});
  auto child = View::withFrame({{10, 10}, {10, 10}});
  auto forwarding = View::withFrame(forwardingHitTestClass(), {{30, 10}, {10, 10}});
  auto grandchild = View::withFrame({{5, 0}, {5, 5}});
  parent->addSubview(child.get());
  parent->addSubview(forwarding.get());
  child->addSubview(grandchild.get());
  // GNUstep's answers: the child's bottom edge is the parent's, its top edge
  // the child's; its left edge is the child's, its right edge the parent's.
  EXPECT_EQ(parent->hitTest({12, 10}), parent);
  EXPECT_EQ(parent->hitTest({12, 20}), child);
  EXPECT_EQ(parent->hitTest({10, 12}), child);
  EXPECT_EQ(parent->hitTest({20, 12}), parent);
  EXPECT_EQ(parent->hitTest({50, 0}), nullptr);  // no superview: the unflipped rule
  // Asked on its own, through the runtime, the child asks its superview.
  EXPECT_EQ(send<Ref<View>>(child.get(), "hitTest:", CGPoint{12, 10}), nullptr);
  EXPECT_EQ(send<Ref<View>>(child.get(), "hitTest:", CGPoint{12, 20}), child);

  // The class gains its own isFlipped after the parent was searched: from the
  // next click, the vertical edges of its subviews only are reversed, a
  // subview whose hitTest: calls NSView's included.
  const SEL isFlipped = sel_registerName("isFlipped");
  const IMP yes = makeImp([](View*) { return true; });
  ASSERT_TRUE(class_addMethod(cls, isFlipped, yes, yes->types));
  EXPECT_EQ(parent->hitTest({12, 10}), child);
  EXPECT_EQ(parent->hitTest({12, 20}), parent);
  EXPECT_EQ(parent->hitTest({35, 10}), forwarding);
  EXPECT_EQ(parent->hitTest({35, 20}), parent);
  EXPECT_EQ(parent->hitTest({17, 10}), child);  // the child is not flipped
  EXPECT_EQ(parent->hitTest({17, 15}), grandchild);
  // ...and then has it replaced.
  method_setImplementation(class_getInstanceMethod(cls, isFlipped),
                           makeImp([](View*) { return false; }));
  EXPECT_EQ(parent->hitTest({12, 10}), parent);
}

TEST_F(ViewTest, TreeEditsMoveViewsAndTheirWindow) {
  auto window = Window::create({{0, 0}, {400, 300}});
  View* content = window->contentView();
  auto a = View::withFrame({{10, 20}, {100, 100}});
  auto a1 = View::withFrame({{5, 5}, {10, 10}});
  a->addSubview(a1.get());
  content->addSubview(a.get());
  EXPECT_EQ(a1->window(), window.get());
  EXPECT_THROW(a1->addSubview(a.get()), PlatformError);  // beneath itself

  const CGPoint inWindow = a1->convertPointToView({1, 1}, nullptr);
  EXPECT_EQ(inWindow, (CGPoint{16, 26}));
  EXPECT_EQ(a1->convertPointFromView(inWindow, nullptr), (CGPoint{1, 1}));

  auto other = View::withFrame({{0, 0}, {50, 50}});
  other->addSubview(a.get());  // taken from its old superview
  EXPECT_TRUE(content->subviews().empty());
  EXPECT_EQ(a1->window(), nullptr);
}

TEST_F(ViewTest, ATitledWindowsContentLiesBelowTheStripOrUnderItAtFullSize) {
  auto window = Window::create({{100, 100}, {800, 600}});
  window->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(window->contentView()->superview()->isa()->name(), "NSThemeFrame");
  EXPECT_EQ(window->contentView()->frame(), (CGRect{{0, 0}, {800, 572}}));
  window->setStyleMask(window->styleMask() | NSWindowStyleMaskFullSizeContentView);
  EXPECT_EQ(window->contentView()->frame(), (CGRect{{0, 0}, {800, 600}}));
  EXPECT_EQ(window->mouseDown({400, 590})->isa()->name(), "NSVisualEffectView");
}

// Records the full-screen bit and the window's height at each notification.
std::vector<std::string>* gTransitions = nullptr;
Class* transitionObserver() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "TransitionObserver");
    addMethod(c, "observe:", [](Object*, Notification* n) {
      const auto* w = as<Window>(n->object());
      const bool bit = (w->styleMask() & NSWindowStyleMaskFullScreen) != 0;
      gTransitions->push_back(n->name()->utf8() + (bit ? " fs " : " -- ") +
                              std::to_string(static_cast<int>(w->frame().size.height)));
    });
    objc_registerClassPair(c);
    return c;
  }();
  return cls;
}

TEST_F(ViewTest, TheZoomButtonRunsAppKitsFullScreenSequence) {
  std::vector<std::string> seen;
  gTransitions = &seen;
  auto window = Window::create({{0, 0}, {800, 600}});
  window->makeKeyAndOrderFront(nullptr);
  auto observer = class_createInstance(transitionObserver());
  for (const auto name :
       {NSWindowWillEnterFullScreenNotification, NSWindowDidEnterFullScreenNotification,
        NSWindowWillExitFullScreenNotification, NSWindowDidExitFullScreenNotification,
        NSWindowDidResizeNotification}) {
    NotificationCenter::defaultCenter()->addObserver(observer.get(), sel_registerName("observe:"),
                                                     str(name).get(), window.get());
  }
  window->mouseDown({54, 586});  // the zoom button
  window->toggleFullScreen(nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "NSWindowWillEnterFullScreenNotification fs 600",
                      "NSWindowDidResizeNotification fs 982",
                      "NSWindowDidEnterFullScreenNotification fs 982",
                      "NSWindowWillExitFullScreenNotification fs 982",
                      "NSWindowDidResizeNotification fs 600",
                      "NSWindowDidExitFullScreenNotification -- 600",
                  }));
  EXPECT_EQ(window->frame(), (CGRect{{0, 0}, {800, 600}}));
  gTransitions = nullptr;
}

}  // namespace
}  // namespace tovik
