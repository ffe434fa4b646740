// The titlebar hit test on windows of any size, with host views of any
// class name, frame and visibility, clicked before and after the plug-in
// configures the window and after its identifier changes, against the
// plain model of the view tree and its rules (bench/view_tree_model.h) at
// the fuzzed points and on every view's edges. The install walk is checked
// by its rule: after configuring, a class in the window has its hitTest:
// replaced exactly when its name holds "titlebar" or "toolbar" in any case.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/view_tree_model.h"
#include "mainwindow/hittest.h"
#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"

namespace {

using namespace tovik;

// Host view classes: two named like the titlebar, three not.
constexpr std::array<const char*, 5> kHostClasses = {"HostToolbarPanel", "SideTitleBARBadge",
                                                     "PlainHostView", "TitleView", "Tool_bar"};

Class* hostClass(const char* name) {
  if (Class* existing = objc_getClass(name)) return existing;
  Class* cls = objc_allocateClassPair(View::runtimeClass(), name);
  objc_registerClassPair(cls);
  return cls;
}

bool namedLikeTheTitlebar(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name.find("titlebar") != std::string::npos || name.find("toolbar") != std::string::npos;
}

double coordinate(FuzzedDataProvider& input, double extent) {
  // Whole and half points, and a little outside the window.
  return input.ConsumeIntegralInRange<int>(-8, static_cast<int>(2 * extent) + 8) / 2.0;
}

void compare(Window* window, FuzzedDataProvider& input) {
  View* frameView = window->contentView()->superview();
  const bench::ViewTreeModel model(*window);
  std::vector<CGPoint> points = model.edgePoints();
  const CGRect frame = frameView->frame();
  for (int i = input.ConsumeIntegralInRange(0, 16); i > 0; --i) {
    points.push_back({coordinate(input, frame.size.width), coordinate(input, frame.size.height)});
  }
  for (const CGPoint point : points) {
    const Ref<View> real = frameView->hitTest(point);
    const bench::ModelView* expected = model.modelOf(real.get());
    if ((real != nullptr && expected == nullptr) || model.frameView()->hitTest(point) != expected) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ManualClock clock;
  static const Ref<Object> plugin = [] {
    MainQueue::main().useClock(&clock);
    return send<Ref<Object>>(class_createInstance(registerPluginClass()).get(), "init");
  }();
  static const SEL hitTest = sel_registerName("hitTest:");
  static const IMP plainHitTest = class_getMethodImplementation(View::runtimeClass(), hitTest);
  FuzzedDataProvider input(data, size);

  const double width = input.ConsumeIntegralInRange(120, 1600);
  const double height = input.ConsumeIntegralInRange(80, 1000);
  const Ref<Window> window = Window::create({{0, 0}, {width, height}});
  window->makeKeyAndOrderFront(nullptr);
  std::vector<View*> parents{window->contentView()};
  for (int i = input.ConsumeIntegralInRange(0, 4); i > 0; --i) {
    Class* cls = hostClass(kHostClasses.at(input.ConsumeIntegralInRange<std::size_t>(0, 4)));
    const Ref<View> view =
        View::withFrame(cls, {{coordinate(input, width), coordinate(input, height)},
                              {coordinate(input, width), coordinate(input, height)}});
    view->setHidden(input.ConsumeIntegralInRange(0, 3) == 0);
    parents.at(input.ConsumeIntegralInRange<std::size_t>(0, parents.size() - 1))
        ->addSubview(view.get());
    parents.push_back(view.get());
  }
  const bool configure = input.ConsumeBool();
  if (input.ConsumeBool()) window->setIdentifier(str(configure ? "main" : "other").get());

  compare(window.get(), input);
  if (configure) {
    send<void>(plugin.get(), "configureMainWindowTitlebarWithWindowIdentifier:", str("main").get());
    MainQueue::main().runFor(seconds(2));
    for (View* view : collectDescendantViews(window->contentView()->superview())) {
      const bool replaced = class_getMethodImplementation(view->isa(), hitTest) != plainHitTest;
      if (replaced != namedLikeTheTitlebar(view->isa()->name())) std::abort();
    }
    compare(window.get(), input);
    window->setIdentifier(str(input.ConsumeBool() ? "elsewhere" : "main").get());
    compare(window.get(), input);
  }
  window->close();
  MainQueue::main().runFor(seconds(2));
  return 0;
}
