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
