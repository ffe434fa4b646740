// The titlebar hit test runs on every mouse event; its installation walks a
// main window's whole view tree.
#include <benchmark/benchmark.h>

#include "mainwindow/hittest.h"
#include "mainwindow/titlebar.h"
#include "platform/main_queue.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"
#include "plugin/static_state.h"

namespace tovik {
namespace {

// A point on the titlebar strip, over the unified toolbar, and one on the
// close button.
constexpr CGPoint kOnStrip{450, 590};
constexpr CGPoint kOnCloseButton{14, 574};

Ref<Window> stripWindow(Object* plugin) {
  auto window = Window::create({{0, 0}, {900, 600}});
  window->setIdentifier(str("bench-main").get());
  window->makeKeyAndOrderFront(nullptr);
  applyUnifiedTitlebarStyle(window.get());
  installUnifiedToolbar(window.get(), plugin);
  return window;
}

Ref<Object> makePlugin() {
  return send<Ref<Object>>(class_createInstance(registerPluginClass()).get(), "init");
}

// The same window as the next benchmark's, before any class is replaced: a
// click on the strip meets the toolbar. (The frame view's hit test is what a
// click costs; a real click on the close button would close the window.)
void clickBeforeReplacement(benchmark::State& state) {
  if (!hitTestOverriddenClassNames().empty()) {
    state.SkipWithError("hitTest: is already replaced in this process; run this benchmark first");
    return;
  }
  const Ref<Object> plugin = makePlugin();
  const Ref<Window> window = stripWindow(plugin.get());
  const CGPoint point = state.range(0) == 0 ? kOnStrip : kOnCloseButton;
  View* frameView = window->contentView()->superview();
  for (auto _ : state) benchmark::DoNotOptimize(frameView->hitTest(point));
  window->close();
}
BENCHMARK(clickBeforeReplacement)->ArgName("closeButton")->Arg(0)->Arg(1);

// A configured main window: the click passes through to the content view.
void clickConfiguredMainWindow(benchmark::State& state) {
  const Ref<Object> plugin = makePlugin();
  const Ref<Window> window = stripWindow(plugin.get());
  send<void>(plugin.get(),
             "configureMainWindowTitlebarWithWindowIdentifier:", str("bench-main").get());
  MainQueue::main().runUntilIdle();
  const CGPoint point = state.range(0) == 0 ? kOnStrip : kOnCloseButton;
  View* frameView = window->contentView()->superview();
  const Ref<View> reached = frameView->hitTest(point);
  if (reached == nullptr || (point == kOnStrip) != (reached.get() == window->contentView())) {
    state.SkipWithError("the click did not reach the content view or the close button");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(frameView->hitTest(point));
  window->close();
}
BENCHMARK(clickConfiguredMainWindow)->ArgName("closeButton")->Arg(0)->Arg(1);

// A content view holding `count` views, ten to a level, one in sixteen of a
// class whose name says toolbar.
void fillContent(View* content, std::int64_t count) {
  Class* plain = View::runtimeClass();
  Class* named = objc_getClass("HostSidebarToolbarCell");
  if (named == nullptr) {
    named = objc_allocateClassPair(plain, "HostSidebarToolbarCell");
    objc_registerClassPair(named);
  }
  std::vector<View*> parents{content};
  for (std::int64_t i = 0; i < count; ++i) {
    auto view = View::withFrame(i % 16 == 0 ? named : plain, {{0, 0}, {10, 10}});
    parents[static_cast<std::size_t>(i / 10)]->addSubview(view.get());
    parents.push_back(view.get());
  }
}

void installOverViews(benchmark::State& state) {
  const Ref<Window> window = Window::create({{0, 0}, {900, 600}});
  fillContent(window->contentView(), state.range(0));
  const auto views =
      static_cast<std::int64_t>(collectDescendantViews(window->contentView()->superview()).size());
  for (auto _ : state) installTitlebarHitTesting(window.get());
  state.SetItemsProcessed(state.iterations() * views);
  state.SetComplexityN(views);
  window->close();
}
BENCHMARK(installOverViews)->RangeMultiplier(10)->Range(10, 10000)->Complexity(benchmark::oN);

}  // namespace
}  // namespace tovik

BENCHMARK_MAIN();
