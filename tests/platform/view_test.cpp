#include "platform/view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/notification_center.h"
#include "platform/window.h"
#include "platform/window_metrics.h"

namespace tovik {
namespace {

std::string className(const Ref<View>& view) {
  return view != nullptr ? view->isa()->name() : "none";
}

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
  EXPECT_EQ(root->hitTest({200, 80}), root);     // inside root, in no subview
  EXPECT_EQ(root->hitTest({5, 5}), nullptr);     // outside the frame
  EXPECT_EQ(root->hitTest({210, 20}), nullptr);  // the right edge is outside
  front->setHidden(true);
  EXPECT_EQ(root->hitTest({100, 40}), back);  // a hidden view and its subtree answer nothing

  // A class made at run time that answers no view for itself lets the
  // search go on to the view beneath.
  Class* passThrough = objc_allocateClassPair(View::runtimeClass(), "PassThroughView");
  addMethod(passThrough, "hitTest:", [](View*, CGPoint) { return Ref<View>{}; });
  objc_registerClassPair(passThrough);
  auto glass = View::withFrame(passThrough, {{0, 0}, {200, 100}});
  root->addSubview(glass.get());
  EXPECT_EQ(root->hitTest({20, 80}), back);
  EXPECT_EQ(send<Ref<View>>(root.get(), "hitTest:", CGPoint{20, 80}), back);
  EXPECT_THROW(View::withFrame(Object::runtimeClass(), {}), PlatformError);
}

// A parent at the origin of its superview's coordinates, so points given to
// it read the same in its own, and a 10 × 10 child at (10, 10).
struct ParentAndChild {
  Ref<View> parent;
  Ref<View> child;
};
ParentAndChild parentAndChild(Class* parentClass, Class* childClass) {
  ParentAndChild views{View::withFrame(parentClass, {{0, 0}, {100, 100}}),
                       View::withFrame(childClass, {{10, 10}, {10, 10}})};
  views.parent->addSubview(views.child.get());
  return views;
}

// A host's view class made at run time whose isFlipped answers YES.
Class* hostFlippedViewClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(View::runtimeClass(), "HostFlippedView");
    addMethod(c, "isFlipped", [](View*) { return true; });
    objc_registerClassPair(c);
    return c;
  }();
  return cls;
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
  const auto [parent, child] = parentAndChild(View::runtimeClass(), View::runtimeClass());
  EXPECT_FALSE(send<bool>(parent.get(), "isFlipped"));
  // GNUstep's answers: the child's bottom edge is the parent's, its top edge
  // the child's; its left edge is the child's, its right edge the parent's.
  EXPECT_EQ(parent->hitTest({15, 10}), parent);
  EXPECT_EQ(parent->hitTest({15, 20}), child);
  EXPECT_EQ(parent->hitTest({10, 15}), child);
  EXPECT_EQ(parent->hitTest({20, 15}), parent);
  // A view without a superview is judged by the unflipped rule.
  EXPECT_EQ(parent->hitTest({50, 0}), nullptr);
  EXPECT_EQ(parent->hitTest({50, 100}), parent);
  EXPECT_EQ(parent->hitTest({100, 50}), nullptr);
  // Asked on its own, through the runtime, the child asks its superview.
  EXPECT_EQ(send<Ref<View>>(child.get(), "hitTest:", CGPoint{15, 10}), nullptr);
  EXPECT_EQ(send<Ref<View>>(child.get(), "hitTest:", CGPoint{15, 20}), child);
}

TEST_F(ViewTest, AFlippedSuperviewReversesTheVerticalEdgesOfItsSubviewsOnly) {
  const auto [parent, child] = parentAndChild(hostFlippedViewClass(), View::runtimeClass());
  auto grandchild = View::withFrame({{5, 0}, {5, 5}});  // x 15..20, y 10..15 in the parent
  child->addSubview(grandchild.get());
  EXPECT_TRUE(parent->isFlipped());
  EXPECT_EQ(parent->hitTest({12, 10}), child);  // minY, the top the user sees: inside
  EXPECT_EQ(parent->hitTest({12, 20}), parent);
  EXPECT_EQ(parent->hitTest({10, 12}), child);  // left and right as before
  EXPECT_EQ(parent->hitTest({20, 12}), parent);
  // The child is not flipped: the grandchild's bottom edge is outside.
  EXPECT_EQ(parent->hitTest({17, 10}), child);
  EXPECT_EQ(parent->hitTest({17, 15}), grandchild);
  EXPECT_EQ(parent->hitTest({50, 0}), nullptr);  // its own frame: no superview

  // A subview class with its own hitTest: that calls NSView's meets the
  // same rule.
  const auto forwarding = parentAndChild(hostFlippedViewClass(), forwardingHitTestClass());
  EXPECT_EQ(forwarding.parent->hitTest({15, 10}), forwarding.child);
  EXPECT_EQ(forwarding.parent->hitTest({15, 20}), forwarding.parent);
}

TEST_F(ViewTest, ChangesToIsFlippedTakeEffectFromTheNextClick) {
  static int runs = 0;  // a fresh class per run, since the test changes it
  Class* cls =
      objc_allocateClassPair(View::runtimeClass(), "LaterFlippedView" + std::to_string(runs++));
  objc_registerClassPair(cls);
  const auto [parent, child] = parentAndChild(cls, View::runtimeClass());
  EXPECT_EQ(parent->hitTest({15, 10}), parent);

  // The class gains its own isFlipped after the parent was searched...
  const SEL isFlipped = sel_registerName("isFlipped");
  const IMP yes = makeImp([](View*) { return true; });
  ASSERT_TRUE(class_addMethod(cls, isFlipped, yes, yes->types));
  EXPECT_EQ(parent->hitTest({15, 10}), child);
  // ...and then has it replaced.
  method_setImplementation(class_getInstanceMethod(cls, isFlipped),
                           makeImp([](View*) { return false; }));
  EXPECT_EQ(parent->hitTest({15, 10}), parent);
  EXPECT_FALSE(parent->isFlipped());
}

TEST_F(ViewTest, TreeEditsMoveViewsAndTheirWindow) {
  auto window = Window::create({{0, 0}, {400, 300}});
  View* content = window->contentView();
  auto a = View::withFrame({{10, 20}, {100, 100}});
  auto a1 = View::withFrame({{5, 5}, {10, 10}});
  a->addSubview(a1.get());
  content->addSubview(a.get());
  EXPECT_EQ(a1->window(), window.get());
  EXPECT_TRUE(a1->isDescendantOf(content));
  EXPECT_FALSE(content->isDescendantOf(a1.get()));
  EXPECT_THROW(a1->addSubview(a.get()), PlatformError);  // beneath itself
  EXPECT_THROW(a->addSubview(a.get()), PlatformError);

  const CGPoint inWindow = a1->convertPointToView({1, 1}, nullptr);
  EXPECT_EQ(inWindow, (CGPoint{16, 26}));
  EXPECT_EQ(a1->convertPointFromView(inWindow, nullptr), (CGPoint{1, 1}));
  EXPECT_EQ(content->convertPointFromView({1, 1}, a1.get()), (CGPoint{16, 26}));

  auto other = View::withFrame({{0, 0}, {50, 50}});
  other->addSubview(a.get());  // taken from its old superview
  EXPECT_TRUE(content->subviews().empty());
  EXPECT_EQ(a->superview(), other.get());
  EXPECT_EQ(a1->window(), nullptr);

  auto b = View::withFrame({});
  other->addSubview(b.get(), NSWindowBelow, a.get());
  EXPECT_EQ(other->subviews().front(), b);
  b->removeFromSuperview();
  EXPECT_EQ(b->superview(), nullptr);
  EXPECT_EQ(other->subviews().size(), 1U);
}

TEST_F(ViewTest, ATitledWindowHasAppKitsTreeAndLayout) {
  auto window = Window::create({{100, 100}, {800, 600}});
  window->makeKeyAndOrderFront(nullptr);
  View* frameView = window->contentView()->superview();
  ASSERT_NE(frameView, nullptr);
  EXPECT_EQ(frameView->isa()->name(), "NSThemeFrame");
  ASSERT_EQ(frameView->subviews().size(), 2U);
  View* container = frameView->subviews()[1].get();
  EXPECT_EQ(container->isa()->name(), "NSTitlebarContainerView");
  EXPECT_EQ(container->frame(), (CGRect{{0, 572}, {800, 28}}));
  EXPECT_EQ(window->contentView()->frame(), (CGRect{{0, 0}, {800, 572}}));
  View* titlebar = container->subviews()[1].get();
  std::vector<std::string> names;
  for (const auto& sub : titlebar->subviews()) names.push_back(sub->isa()->name());
  EXPECT_EQ(names, (std::vector<std::string>{"NSVisualEffectView", "_NSThemeCloseWidget",
                                             "_NSThemeZoomWidget", "_NSThemeWidget"}));
  EXPECT_EQ(window->standardWindowButton(NSWindowZoomButton)->frame(), (CGRect{{47, 7}, {14, 14}}));

  window->setStyleMask(window->styleMask() | NSWindowStyleMaskFullSizeContentView);
  EXPECT_EQ(window->contentView()->frame(), (CGRect{{0, 0}, {800, 600}}));
  // Without full-size content the click on the strip meets the titlebar.
  EXPECT_EQ(className(window->mouseDown({400, 590})), "NSVisualEffectView");
  EXPECT_EQ(window->mouseDown({400, 300}).get(), window->contentView());

  // A click on the miniaturise button takes the window off screen; the host
  // removing a button leaves the window without it.
  window->standardWindowButton(NSWindowMiniaturizeButton)->removeFromSuperview();
  EXPECT_EQ(window->standardWindowButton(NSWindowMiniaturizeButton), nullptr);
  EXPECT_EQ(className(window->mouseDown({34, 586})), "NSVisualEffectView");
  EXPECT_TRUE(window->isVisible());

  auto borderless = Window::create({{0, 0}, {300, 200}}, NSWindowStyleMaskBorderless);
  EXPECT_EQ(borderless->standardWindowButton(NSWindowCloseButton), nullptr);
  EXPECT_EQ(borderless->contentView()->frame(), (CGRect{{0, 0}, {300, 200}}));
}

// A toolbar delegate made at run time with two items of its own.
Class* twoItemDelegate() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "TwoItemToolbarDelegate");
    addMethod(c, "toolbarDefaultItemIdentifiers:", [](Object*, Toolbar*) {
      return Array::make({str("a"), str("b"), str("gone")});
    });
    addMethod(c, "toolbar:itemForItemIdentifier:willBeInsertedIntoToolbar:",
              [](Object*, Toolbar*, String* identifier, bool insert) -> Ref<ToolbarItem> {
                if (!insert || identifier->utf8() == "gone") return nullptr;
                auto item = make<ToolbarItem>();
                item->initWithItemIdentifier(identifier);
                item->setView(View::withFrame({{0, 0}, {30, 20}}).get());
                return item;
              });
    objc_registerClassPair(c);
    return c;
  }();
  return cls;
}

TEST_F(ViewTest, ToolbarsLoadFromTheirDelegateAndLeaveTheTreeWhenHidden) {
  auto window = Window::create({{0, 0}, {800, 600}});
  window->makeKeyAndOrderFront(nullptr);
  window->setToolbarStyle(NSWindowToolbarStyleUnified);
  auto toolbar = make<Toolbar>();
  toolbar->initWithIdentifier(str("host").get());
  window->setToolbar(toolbar.get());
  EXPECT_TRUE(toolbar->items().empty());  // no delegate yet
  auto delegate = class_createInstance(twoItemDelegate());
  toolbar->setDelegate(delegate.get());
  ASSERT_EQ(toolbar->items().size(), 2U);
  EXPECT_EQ(window->contentView()->frame().size.height, 600 - metrics::kUnifiedToolbarStripHeight);

  View* itemView = toolbar->items()[1]->view();
  EXPECT_EQ(itemView->superview()->isa()->name(), "NSToolbarItemViewer");
  EXPECT_EQ(itemView->superview()->superview()->isa()->name(), "NSToolbarView");
  const CGPoint onItem = itemView->convertPointToView({15, 10}, nullptr);
  EXPECT_EQ(window->mouseDown(onItem).get(), itemView);

  toolbar->setVisible(false);
  EXPECT_EQ(itemView->window(), nullptr);
  EXPECT_EQ(window->contentView()->frame().size.height, 600 - metrics::kTitlebarHeight);
  toolbar->setVisible(true);
  EXPECT_EQ(itemView->window(), window.get());

  // A delegate that answers nothing gives no items; the replaced toolbar's
  // views leave the window.
  auto plain = make<Toolbar>();
  plain->setDelegate(window.get());
  window->setToolbar(plain.get());
  EXPECT_TRUE(plain->items().empty());
  EXPECT_EQ(itemView->window(), nullptr);
  EXPECT_EQ(toolbar->window(), nullptr);
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

  // The close button performs performClose:.
  window->mouseDown({14, 586});
  EXPECT_FALSE(window->isVisible());
  gTransitions = nullptr;
}

}  // namespace
}  // namespace tovik
