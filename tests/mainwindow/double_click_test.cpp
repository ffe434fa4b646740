#include "mainwindow/double_click.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/testing.h"
#include "platform/window_metrics.h"
#include "tests/support/plugin_host_test.h"

namespace tovik {
namespace {

using namespace testing;

int gResizes = 0;

class DoubleClickTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    // Keeps its window open, so a press on the close button does nothing,
    // and counts the window's resizes.
    Class* keepOpen = hostClass("DoubleClickKeepOpen", Object::runtimeClass());
    addMethod(keepOpen, "windowShouldClose:", [](Object*, Window*) { return false; });
    addMethod(keepOpen, "windowDidResize:", [](Object*, Object*) { ++gResizes; });
    delegate = class_createInstance(keepOpen);
    window = configured("gesture-main");
  }
  Ref<Window> configured(const char* identifier, std::uint64_t style = kStandardWindowStyle) {
    auto made = Window::create({{100, 100}, {800, 600}}, style);
    made->setIdentifier(str(identifier).get());
    made->makeKeyAndOrderFront(nullptr);
    made->setDelegate(delegate.get());
    configureMainWindow(identifier);
    return made;
  }
  static CGPoint strip(const Window& w) { return {400, w.frame().size.height - 10}; }
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

  Ref<Object> delegate;
  Ref<Window> window;
};

TEST_F(DoubleClickTest, TheStripsBackgroundDoesWhatTheUserChoseAtTheClick) {
  // Configured again, and another window: still one monitor, so one zoom
  // even of a window whose strip stays under the pointer as it zooms.
  configured("gesture-main");
  auto tall = configured("gesture-tall");
  tall->setFrame({{100, 0}, {800, metrics::kVisibleScreenFrame.size.height}}, true);
  gResizes = 0;
  EXPECT_EQ(outcome(tall.get(), strip(*tall)), "zoomed");
  EXPECT_EQ(gResizes, 2);  // zoomed, and back

  // The host's content receives the presses; the window zooms, and back.
  window->makeKeyAndOrderFront(nullptr);
  const CGRect user = window->frame();
  EXPECT_EQ(doubleClick(window.get(), strip(*window)).get(), window->contentView());
  EXPECT_EQ(window->frame(), metrics::kVisibleScreenFrame);
  doubleClick(window.get(), strip(*window));
  EXPECT_EQ(window->frame(), user);

  for (const auto& [setting, expected] :
       std::initializer_list<std::pair<Ref<Object>, const char*>>{{str("Maximize"), "zoomed"},
                                                                  {str("Fill"), "zoomed"},
                                                                  {str("Minimize"), "minimised"},
                                                                  {str("None"), "unchanged"}}) {
    setGlobalDefaults({{"AppleActionOnDoubleClick", setting}});
    EXPECT_EQ(outcome(window.get(), strip(*window)), expected);
  }
  setGlobalDefaults({{"AppleMiniaturizeOnDoubleClick", Number::withBool(true)}});
  EXPECT_EQ(outcome(window.get(), strip(*window)), "minimised");

  // A window that is not configured: its titlebar does it, once.
  setGlobalDefaults({});
  auto plain = Window::create({{100, 100}, {800, 600}});
  plain->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(doubleClick(plain.get(), strip(*plain))->isa()->name(), "NSVisualEffectView");
  EXPECT_TRUE(plain->isZoomed());
}

TEST_F(DoubleClickTest, ButtonsControlsTheContentAndFullScreenKeepTheirOwn) {
  // Each button made inert, and the setting one the window can follow.
  setGlobalDefaults({{"AppleActionOnDoubleClick", str("Minimize")}});
  auto fixed = configured("gesture-fixed", NSWindowStyleMaskTitled | NSWindowStyleMaskClosable |
                                               NSWindowStyleMaskMiniaturizable);
  auto badge = View::withFrame({{2, 2}, {6, 6}});  // a view in a button
  fixed->standardWindowButton(NSWindowCloseButton)->addSubview(badge.get());
  for (View* view : {fixed->standardWindowButton(NSWindowCloseButton),
                     fixed->standardWindowButton(NSWindowZoomButton), badge.get()}) {
    EXPECT_EQ(outcome(fixed.get(), centreOf(view)), "unchanged") << view->isa()->name();
  }
  setGlobalDefaults({{"AppleActionOnDoubleClick", str("Maximize")}});
  auto fixedSize =
      configured("gesture-no-dock", NSWindowStyleMaskTitled | NSWindowStyleMaskResizable);
  EXPECT_EQ(outcome(fixedSize.get(),
                    centreOf(fixedSize->standardWindowButton(NSWindowMiniaturizeButton))),
            "unchanged");

  // A host control in the strip, the content below, and the line between
  // the strip and the content, which belongs to the content.
  window->makeKeyAndOrderFront(nullptr);
  auto control = View::withFrame(hostClass("DoubleClickHostButton", objc_getClass("NSControl")),
                                 {{600, 560}, {80, 30}});
  window->contentView()->addSubview(control.get());
  EXPECT_EQ(outcome(window.get(), centreOf(control.get())), "unchanged");
  EXPECT_EQ(outcome(window.get(), {400, 300}), "unchanged");
  const double line = window->contentLayoutRect().maxY();
  EXPECT_EQ(outcome(window.get(), {400, line}), "unchanged");
  EXPECT_EQ(outcome(window.get(), {400, line + 1}), "zoomed");

  setGlobalDefaults({{"AppleActionOnDoubleClick", str("Minimize")}});
  window->toggleFullScreen(nullptr);
  EXPECT_EQ(outcome(window.get(), strip(*window)), "unchanged");
}

}  // namespace
}  // namespace tovik
