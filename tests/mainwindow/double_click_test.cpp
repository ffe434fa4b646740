#include "mainwindow/double_click.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/window_metrics.h"
#include "tests/support/gestures.h"
#include "tests/support/plugin_host_test.h"

namespace tovik {
namespace {

using gestures::doubleClick;
using gestures::drag;
using gestures::UserSettings;

Class* hostClass(const char* name, Class* superclass) {
  if (Class* existing = objc_getClass(name)) return existing;
  Class* cls = objc_allocateClassPair(superclass, name);
  objc_registerClassPair(cls);
  return cls;
}

int gResizes = 0;

// A window delegate that keeps its window open, so a press on the close
// button does nothing, and counts the window's resizes.
Class* keepOpenClass() {
  static Class* const cls = [] {
    Class* c = hostClass("DoubleClickKeepOpen", Object::runtimeClass());
    addMethod(c, "windowShouldClose:", [](Object*, Window*) { return false; });
    addMethod(c, "windowDidResize:", [](Object*, Object*) { ++gResizes; });
    return c;
  }();
  return cls;
}

CGPoint centreOf(View* view) {
  return view->convertPointToView({view->frame().size.width / 2, view->frame().size.height / 2},
                                  nullptr);
}

class DoubleClickTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    window = configured("gesture-main", kStandardWindowStyle);
  }
  Ref<Window> configured(const char* identifier, std::uint64_t style) {
    auto made = Window::create({{100, 100}, {800, 600}}, style);
    made->setIdentifier(str(identifier).get());
    made->makeKeyAndOrderFront(nullptr);
    made->setDelegate(keepOpen.get());
    send<void>(plugin.get(),
               "configureMainWindowTitlebarWithWindowIdentifier:", str(identifier).get());
    MainQueue::main().runUntilIdle();
    return made;
  }
  // The strip, 10 points below the window's top edge.
  static CGPoint strip(const Window& w, double x = 400) { return {x, w.frame().size.height - 10}; }
  // What a double-click at `at` did to `w`, undone.
  static std::string outcome(Window* w, CGPoint at) {
    const CGRect before = w->frame();
    doubleClick(w, at);
    std::string what = w->isMiniaturized()    ? "minimised"
                       : w->isZoomed()        ? "zoomed"
                       : w->frame() == before ? "unchanged"
                                              : "moved";
    if (w->isMiniaturized()) w->deminiaturize(nullptr);
    if (w->isZoomed()) w->zoom(nullptr);
    return what;
  }

  UserSettings settings;
  Ref<Object> keepOpen = class_createInstance(keepOpenClass());
  Ref<Window> window;
};

TEST_F(DoubleClickTest, TheStripsBackgroundDoesWhatTheUserChoseAtTheClick) {
  // Configured again, and another window too: still one monitor, so one
  // zoom, even of a window whose strip stays under the pointer as it zooms.
  configured("gesture-main", kStandardWindowStyle);
  auto tall = configured("gesture-tall", kStandardWindowStyle);
  tall->setFrame({{100, 0}, {800, metrics::kVisibleScreenFrame.size.height}}, true);
  gResizes = 0;
  EXPECT_EQ(outcome(tall.get(), strip(*tall)), "zoomed");
  EXPECT_EQ(gResizes, 2);  // zoomed, and back
  window->makeKeyAndOrderFront(nullptr);
  const CGRect user = window->frame();

  // The host's content receives both presses; the window zooms, and back.
  EXPECT_EQ(doubleClick(window.get(), strip(*window)).get(), window->contentView());
  EXPECT_TRUE(window->isZoomed());
  EXPECT_EQ(window->frame(), metrics::kVisibleScreenFrame);
  doubleClick(window.get(), strip(*window));
  EXPECT_EQ(window->frame(), user);

  const auto yes = Number::withBool(true);
  UserSettings::set({{"AppleActionOnDoubleClick", str("Maximize")}});
  EXPECT_EQ(outcome(window.get(), strip(*window)), "zoomed");
  UserSettings::set({{"AppleActionOnDoubleClick", str("Fill")}});
  EXPECT_EQ(outcome(window.get(), strip(*window)), "zoomed");
  UserSettings::set({{"AppleActionOnDoubleClick", str("Minimize")}});
  EXPECT_EQ(outcome(window.get(), strip(*window)), "minimised");
  UserSettings::set({{"AppleActionOnDoubleClick", str("None")}});
  EXPECT_EQ(outcome(window.get(), strip(*window)), "unchanged");
  UserSettings::set({{"AppleMiniaturizeOnDoubleClick", yes}});
  EXPECT_EQ(outcome(window.get(), strip(*window)), "minimised");
  UserSettings::set({});
  EXPECT_EQ(outcome(window.get(), strip(*window)), "zoomed");

  // A window that is not a configured main window: its titlebar does it,
  // once.
  auto plain = Window::create({{100, 100}, {800, 600}});
  plain->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(doubleClick(plain.get(), strip(*plain))->isa()->name(), "NSVisualEffectView");
  EXPECT_TRUE(plain->isZoomed());
}

TEST_F(DoubleClickTest, ButtonsControlsTheContentAndFullScreenKeepTheirOwn) {
  UserSettings::set({{"AppleActionOnDoubleClick", str("Minimize")}});
  // Neither zoom nor full screen: the zoom button does nothing.
  auto fixed = configured("gesture-fixed", NSWindowStyleMaskTitled | NSWindowStyleMaskClosable |
                                               NSWindowStyleMaskMiniaturizable);
  for (const std::int64_t kind : {NSWindowCloseButton, NSWindowZoomButton}) {
    EXPECT_EQ(outcome(fixed.get(), centreOf(fixed->standardWindowButton(kind))), "unchanged")
        << kind;
  }
  // A view in a button leaves the click to the button.
  auto badge = View::withFrame({{2, 2}, {6, 6}});
  fixed->standardWindowButton(NSWindowCloseButton)->addSubview(badge.get());
  EXPECT_EQ(outcome(fixed.get(), centreOf(badge.get())), "unchanged");
  UserSettings::set({{"AppleActionOnDoubleClick", str("Maximize")}});
  auto unminiaturizable =
      configured("gesture-unminiaturizable", NSWindowStyleMaskTitled | NSWindowStyleMaskResizable);
  EXPECT_EQ(outcome(unminiaturizable.get(),
                    centreOf(unminiaturizable->standardWindowButton(NSWindowMiniaturizeButton))),
            "unchanged");

  // A host control in the strip, the content below it, and the line
  // between the two, which belongs to the content.
  window->makeKeyAndOrderFront(nullptr);
  auto control = View::withFrame(hostClass("DoubleClickHostButton", objc_getClass("NSControl")),
                                 {{600, 560}, {80, 30}});
  window->contentView()->addSubview(control.get());
  EXPECT_EQ(outcome(window.get(), centreOf(control.get())), "unchanged");
  EXPECT_EQ(outcome(window.get(), {400, 300}), "unchanged");
  const double line = window->contentLayoutRect().maxY();
  EXPECT_EQ(outcome(window.get(), {400, line}), "unchanged");
  EXPECT_EQ(outcome(window.get(), {400, line + 1}), "zoomed");

  UserSettings::set({{"AppleActionOnDoubleClick", str("Minimize")}});
  window->toggleFullScreen(nullptr);
  EXPECT_EQ(outcome(window.get(), strip(*window)), "unchanged");
}

TEST_F(DoubleClickTest, TheStripDragsTheWindowButNotFromAButtonOrAnOpaqueView) {
  drag(window.get(), strip(*window), {30, -20});
  EXPECT_EQ(window->frame().origin, (CGPoint{130, 80}));
  drag(window.get(), centreOf(window->standardWindowButton(NSWindowCloseButton)), {30, -20});
  EXPECT_EQ(window->frame().origin, (CGPoint{130, 80}));
  Class* opaque = hostClass("DoubleClickOpaqueBanner", View::runtimeClass());
  addMethod(opaque, "isOpaque", [](View*) { return true; });
  auto banner = View::withFrame(opaque, {{500, 560}, {200, 40}});
  window->contentView()->addSubview(banner.get());
  drag(window.get(), centreOf(banner.get()), {30, -20});
  EXPECT_EQ(window->frame().origin, (CGPoint{130, 80}));

  // A window that is not configured is dragged by its titlebar alone.
  auto plain = Window::create({{100, 100}, {800, 600}});
  plain->makeKeyAndOrderFront(nullptr);
  drag(plain.get(), {400, 300}, {30, -20});
  EXPECT_EQ(plain->frame().origin, (CGPoint{100, 100}));
  drag(plain.get(), strip(*plain), {30, -20});
  EXPECT_EQ(plain->frame().origin, (CGPoint{130, 80}));
}

}  // namespace
}  // namespace tovik
