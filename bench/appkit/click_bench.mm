// What a click on a main window's strip costs over the real frameworks: the
// frame view's hitTest:, as the window asks it for a mouse-down, at the
// centre of the innermost of N nested host titlebar views covering the strip
// (N = 1, 4, 16), and at a point below the strip; and the same clicks in a
// window that keeps its standard buttons, as a Mac's NSWindow does, where
// GNUstep's searches its views for them. Each figure has three sides,
// measured in one run:
// - "system": nothing replaced, the frameworks' own hit test;
// - "real": the window configured by the plug-in, its titlebar classes'
//   hitTest: replaced by the titlebar hit test;
// - "model": a plain hand-written Objective-C hitTest: on the same classes,
//   following the same rule and asking the window for its buttons once per
//   search as well.
//
// Driver mode, for exact instruction counts under callgrind
// (scripts/callgrind-ratios.sh, run under scripts/run-under-xvfb.sh):
//   click_bench --list-figures | --list-sides
//   click_bench --figure=<name> --side=real|model|system --operations=<n>
// sets up one figure and runs its clicks inside a function whose name starts
// with tovikMeasured, so callgrind can collect just those.
#import <AppKit/AppKit.h>
#include <benchmark/benchmark.h>
#include <objc/runtime.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "bench/command_line.h"
#include "mainwindow/hittest.h"
#include "plugin/static_state.h"

namespace {

constexpr int kDepths[] = {1, 4, 16};
constexpr NSRect kContent = {{100, 100}, {400, 300}};
// The host's strip along the top of its content.
constexpr NSRect kStrip = {{0, 260}, {400, 40}};

enum class Side { Real, Model, System };
constexpr std::array kSides{Side::Real, Side::Model, Side::System};

const char* sideName(Side side) {
  switch (side) {
    case Side::System:
      return "system";
    case Side::Real:
      return "real";
    case Side::Model:
      return "model";
  }
  return "";
}

// A window of the host's whose identifier is "main" (GNUstep's NSWindow has
// no identifier of its own).
id mainIdentifier(id /*self*/, SEL /*cmd*/) { return @"main"; }
Class taggedWindowClass() {
  static Class cls = [] {
    Class made = objc_allocateClassPair([NSWindow class], "BenchTaggedWindow", 0);
    class_addMethod(made, @selector(identifier), reinterpret_cast<IMP>(&mainIdentifier), "@@:");
    objc_registerClassPair(made);
    return made;
  }();
  return cls;
}

// Such a window whose standardWindowButton: answers references it keeps, as
// a Mac's NSWindow does, where GNUstep's searches the window's views. Its
// buttons are GNUstep's: none.
std::array<NSButton*, 3> keptButtonViews{};
NSButton* keptButton(id /*self*/, SEL /*cmd*/, NSWindowButton kind) {
  return keptButtonViews.at(static_cast<std::size_t>(kind));
}
Class keptButtonsWindowClass() {
  static Class cls = [] {
    Class made = objc_allocateClassPair(taggedWindowClass(), "BenchKeptButtonsWindow", 0);
    const SEL sel = @selector(standardWindowButton:);
    class_addMethod(made, sel, reinterpret_cast<IMP>(&keptButton),
                    method_getTypeEncoding(class_getInstanceMethod([NSWindow class], sel)));
    objc_registerClassPair(made);
    return made;
  }();
  return cls;
}

// The host's titlebar view class: its name holds titlebar, so the plug-in
// replaces its hitTest:.
Class titlebarClass() {
  static Class cls = [] {
    Class made = objc_allocateClassPair([NSView class], "BenchHostTitlebarView", 0);
    objc_registerClassPair(made);
    return made;
  }();
  return cls;
}

// The class's hitTest: set to `imp`, whether the class has a method of its
// own yet or not.
void setHitTest(Class cls, IMP imp) {
  static const char* const types =
      method_getTypeEncoding(class_getInstanceMethod([NSView class], @selector(hitTest:)));
  if (!class_addMethod(cls, @selector(hitTest:), imp, types)) {
    method_setImplementation(class_getInstanceMethod(cls, @selector(hitTest:)), imp);
  }
}

// The model: NSView's hit test, and in a main window only a standard button
// or a view inside one is kept. The outermost call of a search asks the
// window for its buttons, once, when a level first needs them; the calls
// beneath it use the answers.
struct ModelSearch {
  NSWindow* window = nil;
  std::array<NSView*, 3> buttons{};
};
ModelSearch* modelSearch = nullptr;
IMP nsViewHitTest = nullptr;

bool isMainWindow(NSWindow* window) {
  return window != nil && [window respondsToSelector:@selector(identifier)] &&
         [[window performSelector:@selector(identifier)] isEqual:@"main"];
}

NSView* modelHitTest(NSView* self, SEL cmd, NSPoint point) {
  ModelSearch own;
  ModelSearch* const outer = modelSearch;
  if (outer == nullptr) modelSearch = &own;
  using HitTest = NSView* (*)(NSView*, SEL, NSPoint);
  NSView* hit = reinterpret_cast<HitTest>(nsViewHitTest)(self, cmd, point);
  if (hit != nil) {
    NSWindow* window = [self window];
    if (isMainWindow(window)) {
      ModelSearch& search = *modelSearch;
      if (search.window != window) {
        search.window = window;
        for (NSUInteger kind = 0; kind < 3; ++kind) {
          search.buttons[kind] = [window standardWindowButton:static_cast<NSWindowButton>(kind)];
        }
      }
      NSView* v = hit;
      while (v != nil && v != search.buttons[0] && v != search.buttons[1] &&
             v != search.buttons[2]) {
        v = [v superview];
      }
      if (v == nil) hit = nil;
    }
  }
  if (outer == nullptr) modelSearch = nullptr;
  return hit;
}

// The plug-in's replacement, once the plug-in has installed it.
IMP pluginHitTest = nullptr;

// A figure: a window whose strip holds `depth` nested titlebar views, the
// point clicked, and whether the window keeps its buttons as a Mac's does.
struct FigureEntry {
  std::string name;
  int depth;
  bool belowStrip;
  bool keptButtons;
};

class ClickFigure {
 public:
  explicit ClickFigure(const FigureEntry& entry) : entry_(entry) {}
  ClickFigure(const ClickFigure&) = delete;
  ClickFigure& operator=(const ClickFigure&) = delete;
  ~ClickFigure() { [window_ close]; }

  // Builds the window and gives the classes the side's hitTest:; empty, or
  // why the figure cannot be measured.
  std::string setUp(Side side) {
    Class windowClass = entry_.keptButtons ? keptButtonsWindowClass() : taggedWindowClass();
    window_ = [[windowClass alloc] initWithContentRect:kContent
                                             styleMask:NSWindowStyleMaskTitled
                                               backing:NSBackingStoreBuffered
                                                 defer:NO];
    [window_ setReleasedWhenClosed:YES];
    NSView* content = [window_ contentView];
    NSView* parent = content;
    NSRect frame = kStrip;
    for (int level = 0; level < entry_.depth; ++level) {
      NSView* view = [[titlebarClass() alloc] initWithFrame:frame];
      [parent addSubview:view];
      [view release];
      parent = view;
      frame = [view bounds];
    }
    const NSRect bounds = [parent bounds];
    point_ = entry_.belowStrip
                 ? [content convertPoint:NSMakePoint(200, 100) toView:nil]
                 : [parent convertPoint:NSMakePoint(NSMidX(bounds), NSMidY(bounds)) toView:nil];
    frameView_ = [content superview];
    if (std::string error = useSide(side); !error.empty()) return error;
    // Unconfigured, a strip click keeps the innermost titlebar view; a
    // configured window, and the model, pass it through to the content.
    NSView* expected = side == Side::System && !entry_.belowStrip ? parent : content;
    if ([frameView_ hitTest:point_] != expected)
      return "the click did not reach the view it should";
    return {};
  }

  NSView* click() const { return [frameView_ hitTest:point_]; }

 private:
  std::string useSide(Side side) {
    nsViewHitTest = class_getMethodImplementation([NSView class], @selector(hitTest:));
    switch (side) {
      case Side::System:
        if (!tovik::hitTestOverriddenClassNames().empty() || pluginHitTest != nullptr) {
          return "hitTest: is already replaced in this process; the system's figures run first";
        }
        return {};
      case Side::Real:
        tovik::configuredMainWindowIdentifiers().insert("main");
        if (pluginHitTest == nullptr) {
          tovik::installTitlebarHitTesting(reinterpret_cast<tovik::Window*>(window_));
          pluginHitTest = class_getMethodImplementation(titlebarClass(), @selector(hitTest:));
          if (pluginHitTest == nsViewHitTest) return "the plug-in did not replace hitTest:";
        }
        setHitTest(titlebarClass(), pluginHitTest);
        return {};
      case Side::Model:
        setHitTest(titlebarClass(), reinterpret_cast<IMP>(&modelHitTest));
        return {};
    }
    return {};
  }

  FigureEntry entry_;
  NSWindow* window_ = nil;
  NSView* frameView_ = nil;
  NSPoint point_{};
};

std::vector<FigureEntry> figures() {
  std::vector<FigureEntry> list;
  for (const int depth : kDepths) {
    list.push_back({"click_d" + std::to_string(depth), depth, false, false});
  }
  list.push_back({"click_below_strip", 16, true, false});
  for (const int depth : {1, 16}) {
    list.push_back({"click_d" + std::to_string(depth) + "_kept_buttons", depth, false, true});
  }
  return list;
}

// Clicks, a hundred to an autorelease pool: what a click autoreleases is
// released within the clicks measured, as a host's event loop empties its
// pool after each event.
constexpr std::int64_t kClicksPerPool = 100;
void clickRepeatedly(const ClickFigure& figure, std::int64_t count) {
  for (std::int64_t done = 0; done < count;) {
    @autoreleasepool {
      for (const std::int64_t end = std::min(count, done + kClicksPerPool); done < end; ++done) {
        benchmark::DoNotOptimize(figure.click());
      }
    }
  }
}

// The loop callgrind collects in: the clicks alone, nothing of the set-up.
[[gnu::noinline]] void tovikMeasuredClicks(const ClickFigure& figure, std::int64_t count) {
  clickRepeatedly(figure, count);
}

// Driver mode: one figure, one side.
int drive(std::string_view name, std::string_view sideText, std::int64_t clicks) {
  const Side* side = nullptr;
  for (const Side& s : kSides) {
    if (sideText == sideName(s)) side = &s;
  }
  if (side == nullptr) {
    std::fprintf(stderr, "--side is system, real or model\n");
    return 2;
  }
  for (const FigureEntry& entry : figures()) {
    if (entry.name != name) continue;
    @autoreleasepool {
      ClickFigure figure(entry);
      if (std::string error = figure.setUp(*side); !error.empty()) {
        std::fprintf(stderr, "%s: %s\n", entry.name.c_str(), error.c_str());
        return 1;
      }
      clickRepeatedly(figure, 8);  // first runs fill the caches
      tovikMeasuredClicks(figure, clicks);
    }
    std::printf("figure=%s side=%s operations=%lld\n", entry.name.c_str(), sideName(*side),
                static_cast<long long>(clicks));
    return 0;
  }
  std::fprintf(stderr, "no figure named %.*s\n", static_cast<int>(name.size()), name.data());
  return 2;
}

// The system's sides first, before anything replaces a class's hitTest:.
void registerFigures() {
  for (const Side side : {Side::System, Side::Real, Side::Model}) {
    for (const FigureEntry& entry : figures()) {
      benchmark::RegisterBenchmark((entry.name + "/" + sideName(side)).c_str(),
                                   [entry, side](benchmark::State& state) {
                                     @autoreleasepool {
                                       ClickFigure figure(entry);
                                       if (std::string error = figure.setUp(side); !error.empty()) {
                                         state.SkipWithError(error.c_str());
                                         return;
                                       }
                                       while (state.KeepRunningBatch(kClicksPerPool)) {
                                         clickRepeatedly(figure, kClicksPerPool);
                                       }
                                     }
                                   });
    }
  }
}

// The console's report, then each figure's sides and the ratios of the
// configured click to the model's and to the system's.
class RatioReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto named = tovik::bench::figureSideOf(run);
      if (!named) continue;
      if (!ns_.contains(named->figure)) order_.push_back(named->figure);
      ns_[named->figure][named->side] =
          run.cpu_accumulated_time * 1e9 / static_cast<double>(run.iterations);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::ostream& out = GetOutputStream();
    char line[160];
    std::snprintf(line, sizeof line, "\n%-20s %10s %10s %10s %12s %13s\n", "figure (ns)", "real",
                  "model", "system", "real/model", "real/system");
    out << line;
    for (const std::string& figure : order_) {
      std::map<std::string, double>& sides = ns_[figure];
      if (sides.size() != kSides.size()) continue;
      std::snprintf(line, sizeof line, "%-20s %10.1f %10.1f %10.1f %11.2fx %12.2fx\n",
                    figure.c_str(), sides["real"], sides["model"], sides["system"],
                    sides["real"] / sides["model"], sides["real"] / sides["system"]);
      out << line;
    }
    out.flush();
  }

 private:
  std::map<std::string, std::map<std::string, double>> ns_;
  std::vector<std::string> order_;
};

}  // namespace

int main(int argc, char** argv) {
  @autoreleasepool {
    [NSApplication sharedApplication];
    [NSApp finishLaunching];
    using tovik::bench::listNames;
    tovik::bench::CommandLine line(argc, argv, 2000);
    if (line.listFigures) {
      return listNames(figures(), [](const FigureEntry& entry) { return entry.name; });
    }
    if (line.listSides) return listNames(kSides, sideName);
    if (!line.figure.empty()) return drive(line.figure, line.side, line.operations);
    RatioReporter reporter;
    return line.runBenchmarks(registerFigures, reporter);
  }
}
