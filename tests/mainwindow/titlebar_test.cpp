#include "mainwindow/titlebar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mainwindow/hittest.h"
#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/notification_center.h"
#include "platform/testing.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"
#include "plugin/static_state.h"
#include "tests/support/plugin_host_test.h"

namespace tovik {
namespace {

using testing::hostClass;

bool overridden(const char* name) {
  return hitTestOverriddenClassNames().contains(objc_getClass(name));
}

class TitlebarTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    window = Window::create({{0, 0}, {800, 600}});
    window->makeKeyAndOrderFront(nullptr);
  }
  [[nodiscard]] Toolbar* unifiedToolbar() const {
    Toolbar* toolbar = window->toolbar();
    return toolbar != nullptr && toolbar->identifier()->utf8() == kUnifiedToolbarIdentifier
               ? toolbar
               : nullptr;
  }
  Ref<Window> window;
};

TEST_F(TitlebarTest, ClicksOnTheStripReachTheContentExceptOnTheButtons) {
  View* content = window->contentView();
  configureMainWindow("main");
  Toolbar* toolbar = unifiedToolbar();
  ASSERT_NE(toolbar, nullptr);
  ASSERT_EQ(toolbar->items().size(), 1U);
  View* anchor = toolbar->items()[0]->view();

  // The titlebar background, the toolbar and the anchor item all give way.
  EXPECT_EQ(window->mouseDown({400, 590}).get(), content);
  EXPECT_EQ(window->mouseDown(anchor->convertPointToView({0.5, 0.5}, nullptr)).get(), content);

  // The buttons, and views inside them, still answer; a removed one does not.
  View* zoom = window->standardWindowButton(NSWindowZoomButton);
  auto badge = View::withFrame({{2, 2}, {4, 4}});
  zoom->addSubview(badge.get());
  EXPECT_EQ(window->mouseDown(zoom->convertPointToView({1, 1}, nullptr)).get(), zoom);
  EXPECT_EQ(window->mouseDown(badge->convertPointToView({1, 1}, nullptr)), badge);
  Ref<View> close = window->standardWindowButton(NSWindowCloseButton)->retainAs<View>();
  const CGPoint onClose = close->convertPointToView({7, 7}, nullptr);
  close->removeFromSuperview();
  EXPECT_EQ(window->mouseDown(onClose).get(), content);
}

TEST_F(TitlebarTest, HostViewsNamedLikeTheTitlebarGiveWayOnlyInConfiguredWindows) {
  // Host views side by side in this window and the same classes in another:
  // a click on one whose class's name holds "titlebar" or "toolbar" in any
  // case, or on a view inside one, reaches the content beneath in a
  // configured window ('c'); anywhere else, the view itself ('v').
  const std::vector<const char*> names = {"HostTitleBarView", "SideTOOLBAR", "TitlebarrierView",
                                          "TitleView",        "Title_Bar",   "ToolBox"};
  auto other = Window::create({{0, 0}, {800, 600}});
  other->orderFront(nullptr);
  std::vector<Ref<View>> views;
  for (Window* w : {window.get(), other.get()}) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      views.push_back(View::withFrame(hostClass(names[i]),
                                      {{10 + 60 * static_cast<double>(i), 100}, {50, 50}}));
      w->contentView()->addSubview(views.back().get());
    }
  }
  auto inner = View::withFrame({{0, 0}, {10, 10}});
  views[0]->addSubview(inner.get());
  views.push_back(inner);
  const auto landings = [&] {
    std::string landed;
    for (std::size_t i = 0; i < views.size(); ++i) {
      if (i > 0 && i % names.size() == 0) landed += ' ';  // the next window's
      const Ref<View> reached = testing::click(views[i].get());
      const View* content = views[i]->window()->contentView();
      landed += reached == views[i] ? 'v' : reached.get() == content ? 'c' : '?';
    }
    return landed;
  };
  EXPECT_EQ(landings(), "vvvvvv vvvvvv v");
  configureMainWindow("main");
  EXPECT_EQ(landings(), "cccvvv vvvvvv c");
  // Walked again, nothing is replaced twice; the configured set and the
  // window's identifier are read at every click, and a view answers again
  // through the implementation it had.
  installTitlebarHitTesting(window.get());
  other->setIdentifier(str("main").get());
  window->setIdentifier(str("elsewhere").get());
  EXPECT_EQ(landings(), "vvvvvv cccvvv v");

  // A window clicked on its strip before the host configures it (with the
  // very identifier it carries) gives way once it is configured.
  auto late = Window::create({{0, 0}, {800, 600}});
  const Ref<String> identifier = str("late");
  late->setIdentifier(identifier.get());
  late->makeKeyAndOrderFront(nullptr);
  EXPECT_NE(late->mouseDown({400, 590}).get(), late->contentView());
  send<void>(plugin.get(), "configureMainWindowTitlebarWithWindowIdentifier:", identifier.get());
  turn();
  EXPECT_EQ(late->mouseDown({400, 590}).get(), late->contentView());
}

TEST_F(TitlebarTest, OverriddenSubclassesAndSuperclassesDoNotRecurseAtAnyDepth) {
  Class* base = hostClass("HostTitlebarBase");
  Class* passing = hostClass("HostTitlebarPassing", base);
  addMethod(passing, "hitTest:", [](View* self, CGPoint point) -> Ref<View> {
    const SEL sel = sel_registerName("hitTest:");
    IMP super = class_getMethodImplementation(objc_getClass("HostTitlebarBase"), sel);
    return callImplementation<Ref<View>>(super, self, sel, point);
  });
  Class* inheriting = hostClass("HostTitlebarInheriting", base);
  Class* unwalked = hostClass("LateSubclass", base);

  auto probe = Window::create({{0, 0}, {800, 600}});
  probe->contentView()->addSubview(View::withFrame(base, {}).get());
  installTitlebarHitTesting(probe.get());
  probe->contentView()->addSubview(View::withFrame(passing, {}).get());
  probe->contentView()->addSubview(View::withFrame(inheriting, {}).get());
  installTitlebarHitTesting(probe.get());
  ASSERT_TRUE(overridden("HostTitlebarPassing") && overridden("HostTitlebarInheriting"));
  ASSERT_FALSE(overridden("LateSubclass"));

  configureMainWindow("main");
  auto other = Window::create({{0, 0}, {800, 600}});
  other->orderFront(nullptr);
  for (Class* cls : {passing, inheriting, unwalked}) {
    auto inMain = View::withFrame(cls, {{100, 100}, {50, 50}});
    window->contentView()->addSubview(inMain.get());
    auto inOther = View::withFrame(cls, {{100, 100}, {50, 50}});
    other->contentView()->addSubview(inOther.get());
    EXPECT_EQ(other->mouseDown({120, 120}), inOther) << cls->name();
    EXPECT_EQ(window->mouseDown({120, 120}).get(), window->contentView()) << cls->name();
    inMain->removeFromSuperview();
    inOther->removeFromSuperview();
  }

  // A subclass and its superclass, both overridden, nested to any depth.
  View* parent = probe->contentView();
  Ref<View> innermost;
  for (int level = 0; level < 1000; ++level) {
    innermost = View::withFrame(level % 2 == 0 ? inheriting : base, {{0, 0}, {100, 100}});
    parent->addSubview(innermost.get());
    parent = innermost.get();
  }
  probe->orderFront(nullptr);
  EXPECT_EQ(probe->mouseDown({50, 50}), innermost);
}

TEST_F(TitlebarTest, AHostHitTestOfAnotherEncodingIsLeftAloneAndConfigurationGoesOn) {
  Class* odd = hostClass("HostTitlebarOddHitTest");
  addMethod(odd, "hitTest:", [](View*, CGPoint, std::int64_t) { return false; });
  auto oddView = View::withFrame(odd, {});
  window->contentView()->addSubview(oddView.get());
  configureMainWindow("main");
  EXPECT_FALSE(overridden("HostTitlebarOddHitTest"));
  EXPECT_NE(unifiedToolbar(), nullptr);  // the rest of the configuration still ran
}

TEST_F(TitlebarTest, RepeatConfigurationRegistersOnceAndFullScreenHidesTheToolbar) {
  configureMainWindow("main");
  Toolbar* ours = unifiedToolbar();
  ASSERT_NE(ours, nullptr);
  ours->setVisible(false);
  const std::size_t pending = MainQueue::main().pendingCount();
  configureMainWindow("main");
  EXPECT_EQ(unifiedToolbar(), ours);  // the same toolbar, shown again
  EXPECT_TRUE(ours->isVisible());
  EXPECT_EQ(MainQueue::main().pendingCount(), pending + 3);

  // Each notification of a full cycle is handled once, queueing three refreshes.
  window->toggleFullScreen(nullptr);
  EXPECT_FALSE(ours->isVisible());
  window->toggleFullScreen(nullptr);
  EXPECT_TRUE(ours->isVisible());
  EXPECT_EQ(MainQueue::main().pendingCount(), pending + 3 + std::size_t{4} * 3);
}

TEST_F(TitlebarTest, EachDelayedRefreshRunsAtItsOwnDeadline) {
  configureMainWindow("main");
  Toolbar* toolbar = unifiedToolbar();
  double elapsed = 0;
  for (const double deadline : {0.1, 0.5, 1.0}) {
    toolbar->setVisible(false);
    const Duration justBefore = seconds(deadline - elapsed) - Duration(1);
    MainQueue::main().runFor(justBefore);
    EXPECT_FALSE(toolbar->isVisible()) << "before " << deadline << " s";
    MainQueue::main().runFor(Duration(1));
    EXPECT_TRUE(toolbar->isVisible()) << "at " << deadline << " s";
    elapsed = deadline;
  }
}

}  // namespace
}  // namespace tovik
