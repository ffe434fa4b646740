// The click path's speed figures, each measured beside a plain C++ model of
// the same work in the same run, so each reads as a ratio: a click on the
// titlebar strip before and after the plug-in configures the window, the
// cost each nested view of a replaced class adds to a click, heap
// allocations per operation, the main-queue hop, the compose window's
// frame-size record, and the install walk per view.
//
// Each figure is registered twice, as "<figure>/real" and "<figure>/model",
// and the run ends with a table of the two sides and their ratio. Before a
// figure is measured its two sides are checked to give the same answers; a
// figure whose model disagrees is skipped with the reason.
//
// Driver mode, for exact instruction counts under callgrind
// (scripts/callgrind-ratios.sh):
//   hittest_bench --list-figures | --list-sides
//   hittest_bench --figure=<name> --side=real|model --operations=<n>
// sets up one figure and runs its operations inside functions whose names
// start with tovikMeasured, so callgrind can collect just those.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/allocation_count.h"
#include "bench/command_line.h"
#include "bench/view_tree_model.h"
#include "bench/work_model.h"
#include "compose/close_delegate.h"
#include "mainwindow/hittest.h"
#include "mainwindow/titlebar.h"
#include "platform/main_queue.h"
#include "platform/notification_center.h"
#include "platform/user_defaults.h"
#include "platform/window.h"
#include "plugin/hop.h"
#include "plugin/identifier.h"
#include "plugin/plugin_class.h"
#include "plugin/static_state.h"

// The functions callgrind collects in stay functions of their own under
// their own names: not inlined, cloned, or folded together with a function
// of the same code (GCC's identical code folding would do that).
#if defined(__clang__)
#define TOVIK_MEASURED [[gnu::noinline]]
#else
#define TOVIK_MEASURED [[gnu::noipa]]
#endif

namespace tovik::bench {
namespace {

// A point on the titlebar strip, over the unified toolbar, and one on the
// close button.
constexpr CGPoint kOnStrip{450, 590};
constexpr CGPoint kOnCloseButton{14, 574};

// The host's second thread. A host application has threads besides the
// main one, and libstdc++ updates shared_ptr reference counts with plain
// arithmetic until a process starts its first thread
// (__libc_single_threaded; __gthread_active_p where the C library lacks it),
// with atomic instructions from then on. Every Ref in the window system is
// a shared_ptr, so without this thread the real side would count references
// more cheaply than it does in a host. It starts before any figure runs,
// lives until the process ends, and submits the queue figure's work items.
class HostThread {
 public:
  HostThread() : thread_([this] { serve(); }) {}
  ~HostThread() {
    {
      const std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  HostThread(const HostThread&) = delete;
  HostThread& operator=(const HostThread&) = delete;

  // Runs `task` on the thread and waits until it has finished.
  void run(const std::function<void()>& task) {
    std::unique_lock lock(mutex_);
    task_ = &task;
    wake_.notify_all();
    wake_.wait(lock, [this] { return task_ == nullptr; });
  }

 private:
  void serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return quit_ || task_ != nullptr; });
      if (task_ == nullptr) return;
      const std::function<void()>* task = task_;
      lock.unlock();
      (*task)();
      lock.lock();
      task_ = nullptr;
      wake_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  const std::function<void()>* task_ = nullptr;
  bool quit_ = false;
  std::thread thread_;  // last: it starts serving once the rest is built
};

HostThread& hostThread() {
  static HostThread thread;
  return thread;
}

enum class Side { Real, Model };

// A figure's real side and its model, set up together.
class Figure {
 public:
  Figure() = default;
  virtual ~Figure() = default;
  Figure(const Figure&) = delete;
  Figure& operator=(const Figure&) = delete;
  // Builds both sides and checks that they answer alike; empty, or why the
  // figure cannot be measured.
  virtual std::string setUp() = 0;
  // Checks what the measured operations did; empty, or what went wrong.
  virtual std::string check(Side /*side*/, std::int64_t /*iterations*/) { return {}; }
  virtual void tearDown() {}
  // How many of the figure's operations one iteration performs.
  [[nodiscard]] virtual std::int64_t opsPerIteration() const { return 1; }
  // Allocations the iterations made on other threads.
  [[nodiscard]] virtual std::uint64_t allocationsElsewhere() const { return 0; }
  // Called by the driver after the warm-up: work the figure hands to other
  // threads from now on runs inside tovikMeasured functions there too.
  virtual void beginMeasuring() {}
};

Ref<Object> makePlugin() {
  return send<Ref<Object>>(class_createInstance(registerPluginClass()).get(), "init");
}

// A main window as the host shows it, with the unified toolbar on its strip.
Ref<Window> stripWindow(Object* plugin, std::string_view identifier) {
  auto window = Window::create({{0, 0}, {900, 600}});
  window->setIdentifier(str(identifier).get());
  window->makeKeyAndOrderFront(nullptr);
  applyUnifiedTitlebarStyle(window.get());
  installUnifiedToolbar(window.get(), plugin);
  return window;
}

// Configures the window as the plug-in's main window and runs its delayed
// refreshes too, on a clock of its own, so nothing is left on the queue.
void configureMainWindow(Object* plugin, std::string_view identifier) {
  ManualClock clock;
  MainQueue::main().useClock(&clock);
  send<void>(plugin, "configureMainWindowTitlebarWithWindowIdentifier:", str(identifier).get());
  MainQueue::main().runFor(seconds(2));
  MainQueue::main().useClock(nullptr);
}

std::string describe(const ModelView* view) {
  return view != nullptr ? view->modelClass()->name : std::string("no view");
}

// For a grid of points over the titlebar strip and the top of the content,
// and for `extra`, the model must answer the model of the view the real
// window answers.
std::string compareAnswers(View* frameView, const ViewTreeModel& model,
                           std::vector<CGPoint> points) {
  const CGRect frame = frameView->frame();
  // Every view's corners, edge midpoints and centre: clicks land on edges.
  const std::vector<CGPoint> edges = model.edgePoints();
  points.insert(points.end(), edges.begin(), edges.end());
  for (double y = frame.maxY() - 120; y <= frame.maxY() + 2; y += 1.5) {
    for (double x = frame.minX() - 2; x <= frame.maxX() + 2; x += 2.5) points.push_back({x, y});
  }
  for (const CGPoint point : points) {
    const Ref<View> real = frameView->hitTest(point);
    const ModelView* expected = model.modelOf(real.get());
    const ModelView* answered = model.frameView()->hitTest(point);
    if ((real != nullptr && expected == nullptr) || answered != expected) {
      std::ostringstream out;
      out << "at (" << point.x << ", " << point.y << ") the window answers "
          << (real != nullptr ? real->isa()->name() : "no view") << " and the model "
          << describe(answered);
      return out.str();
    }
  }
  return {};
}

// A click at a point of a main window's strip: the frame view's hitTest:,
// as a mouse-down asks it. Unconfigured, the window is measured before any
// class's hitTest: is replaced: the replacement is process-wide and
// permanent, so these figures are registered, and run, first.
class ClickFigure final : public Figure {
 public:
  ClickFigure(bool configured, CGPoint point, std::string identifier)
      : configured_(configured), point_(point), identifier_(std::move(identifier)) {}

  std::string setUp() override {
    if (!configured_ && !hitTestOverriddenClassNames().empty()) {
      return "hitTest: is already replaced in this process; the unconfigured figures run first";
    }
    plugin_ = makePlugin();
    window_ = stripWindow(plugin_.get(), identifier_);
    if (configured_) configureMainWindow(plugin_.get(), identifier_);
    frameView_ = window_->contentView()->superview();
    model_ = std::make_unique<ViewTreeModel>(*window_);
    modelFrameView_ = model_->frameView();
    if (std::string error = compareAnswers(frameView_, *model_, {kOnStrip, kOnCloseButton});
        !error.empty()) {
      return error;
    }
    // A configured window passes a strip click through to the content; an
    // unconfigured one keeps it on the toolbar. Both keep the close button.
    const Ref<View> reached = frameView_->hitTest(point_);
    const bool reachedExpected =
        reached != nullptr &&
        (point_ == kOnCloseButton
             ? reached.get() == window_->standardWindowButton(NSWindowCloseButton)
         : configured_ ? reached.get() == window_->contentView()
                       : reached->isa()->name() == "NSToolbarView");
    if (!reachedExpected) return "the click did not reach the view it should";
    return {};
  }
  void real() { benchmark::DoNotOptimize(frameView_->hitTest(point_)); }
  void model() { benchmark::DoNotOptimize(modelFrameView_->hitTest(point_)); }
  void tearDown() override { window_->close(); }

 private:
  bool configured_;
  CGPoint point_;
  std::string identifier_;
  Ref<Object> plugin_;
  Ref<Window> window_;
  View* frameView_ = nullptr;
  std::unique_ptr<ViewTreeModel> model_;
  ModelView* modelFrameView_ = nullptr;
};

// A host's view class whose name says toolbar: the install walk replaces its
// hitTest: like the window's own titlebar classes.
Class* hostToolbarClass(const char* name) {
  Class* cls = objc_getClass(name);
  if (cls == nullptr) {
    cls = objc_allocateClassPair(View::runtimeClass(), name);
    objc_registerClassPair(cls);
  }
  return cls;
}

// A click in a main window's content through `depth` nested views of a
// replaced class: every level runs the titlebar hit test. The cost a level
// adds is the slope between two depths. In a window the plug-in has not
// configured each level keeps the innermost view, so the cost is the same
// at every level. In a configured one each level gives the click up and
// looks for a standard button from itself to the frame view, a walk as long
// as the level is deep, so the slope there is an average over the levels.
class LevelFigure final : public Figure {
 public:
  LevelFigure(int depth, bool configured) : depth_(depth), configured_(configured) {}

  std::string setUp() override {
    const std::string identifier =
        (configured_ ? "bench-levels-configured-" : "bench-levels-") + std::to_string(depth_);
    plugin_ = makePlugin();
    window_ = stripWindow(plugin_.get(), identifier);
    Class* nested = hostToolbarClass("HostNestedToolbarView");
    View* parent = window_->contentView();
    CGRect frame{{300, 150}, {300, 200}};
    for (int level = 0; level < depth_; ++level) {
      const Ref<View> view = View::withFrame(nested, frame);
      parent->addSubview(view.get());
      parent = view.get();
      frame = {{2, 2}, {frame.size.width - 4, frame.size.height - 4}};
    }
    if (configured_) {
      configureMainWindow(plugin_.get(), identifier);
    } else {
      installTitlebarHitTesting(window_.get());
    }
    if (!hitTestOverriddenClassNames().contains(nested)) {
      return "the install walk did not replace the nested class's hitTest:";
    }
    frameView_ = window_->contentView()->superview();
    model_ = std::make_unique<ViewTreeModel>(*window_);
    modelFrameView_ = model_->frameView();
    // The strip, and a grid across the nested views and their edges.
    std::vector<CGPoint> points{kPoint, kOnStrip};
    for (double y = 140; y <= 360; y += 1.5) {
      for (double x = 290; x <= 610; x += 2.5) points.push_back({x, y});
    }
    if (std::string error = compareAnswers(frameView_, *model_, std::move(points));
        !error.empty()) {
      return error;
    }
    const Ref<View> reached = frameView_->hitTest(kPoint);
    if (configured_ ? reached.get() != window_->contentView()
                    : reached == nullptr || reached->isa() != nested) {
      return "the click did not reach the view it should";
    }
    return {};
  }
  void real() { benchmark::DoNotOptimize(frameView_->hitTest(kPoint)); }
  void model() { benchmark::DoNotOptimize(modelFrameView_->hitTest(kPoint)); }
  void tearDown() override { window_->close(); }

 private:
  static constexpr CGPoint kPoint{450, 250};  // inside the innermost of 16 levels
  int depth_;
  bool configured_;
  Ref<Object> plugin_;
  Ref<Window> window_;
  View* frameView_ = nullptr;
  std::unique_ptr<ViewTreeModel> model_;
  ModelView* modelFrameView_ = nullptr;
};

// A content view holding `count` views, ten to a level, one in sixteen of a
// class whose name says toolbar.
void fillContent(View* content, std::int64_t count) {
  Class* plain = View::runtimeClass();
  Class* named = hostToolbarClass("HostSidebarToolbarCell");
  std::vector<View*> parents{content};
  for (std::int64_t i = 0; i < count; ++i) {
    auto view = View::withFrame(i % 16 == 0 ? named : plain, {{0, 0}, {10, 10}});
    parents[static_cast<std::size_t>(i / 10)]->addSubview(view.get());
    parents.push_back(view.get());
  }
}

// The install walk over a window of `count` host views whose classes are
// already replaced, as the delayed refreshes and full-screen transitions run
// it again; one operation is one view walked.
class InstallFigure final : public Figure {
 public:
  explicit InstallFigure(std::int64_t count) : count_(count) {}

  std::string setUp() override {
    window_ = Window::create({{0, 0}, {900, 600}});
    fillContent(window_->contentView(), count_);
    installTitlebarHitTesting(window_.get());
    model_ = std::make_unique<ViewTreeModel>(*window_);
    model_->installTitlebarHitTesting();
    views_ = static_cast<std::int64_t>(
        collectDescendantViews(window_->contentView()->superview()).size());
    if (static_cast<std::int64_t>(model_->viewCount()) != views_ + 1) {
      return "the model's tree is not the window's";
    }
    // Both walks replaced the same classes.
    for (const View* view : collectDescendantViews(window_->contentView()->superview())) {
      const bool real = hitTestOverriddenClassNames().contains(view->isa());
      if (model_->modelOf(view)->modelClass()->hitTestReplaced != real) {
        return "the model replaced other classes than the window's walk: " + view->isa()->name();
      }
    }
    return {};
  }
  void real() { installTitlebarHitTesting(window_.get()); }
  void model() { model_->installTitlebarHitTesting(); }
  void tearDown() override { window_->close(); }
  [[nodiscard]] std::int64_t opsPerIteration() const override { return views_; }

 private:
  std::int64_t count_;
  Ref<Window> window_;
  std::unique_ptr<ViewTreeModel> model_;
  std::int64_t views_ = 0;
};

// A work item as the plug-in's hops carry them: the values it captured (an
// identifier and the plug-in, as configuring a main window does) and what it
// does on the main thread.
struct HopWork {
  Ref<String> identifier;
  Ref<Object> plugin;
  std::int64_t* ran;
  void operator()() const { ++*ran; }
};

void submitHops(const HopWork& work, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) hopToMainQueue(HopWork(work));
}

void submitPlain(PlainQueue& queue, const HopWork& work, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) queue.async(HopWork(work));
}

// The same submissions, under the names callgrind collects in on the host's
// thread while the driver measures.
TOVIK_MEASURED void tovikMeasuredHops(const HopWork& work, std::int64_t count) {
  submitHops(work, count);
}

TOVIK_MEASURED void tovikMeasuredPlainSubmissions(PlainQueue& queue, const HopWork& work,
                                                  std::int64_t count) {
  submitPlain(queue, work, count);
}

// The main-queue hop: the host's thread submits work items and the main
// thread runs them, against a mutex-and-deque queue of std::function run
// the same way. One operation is one item submitted and run; an iteration
// is a batch, so the hand-over between the threads weighs little.
class QueueFigure final : public Figure {
 public:
  static constexpr std::int64_t kBatch = 10000;

  std::string setUp() override {
    plugin_ = makePlugin();
    work_ = HopWork{str("bench-hop"), plugin_, &ran_};
    submitReal_ = [this] {
      const std::uint64_t before = allocationsOnThisThread();
      if (measuring_) {
        tovikMeasuredHops(work_, kBatch);
      } else {
        submitHops(work_, kBatch);
      }
      elsewhere_ += allocationsOnThisThread() - before;
    };
    submitModel_ = [this] {
      const std::uint64_t before = allocationsOnThisThread();
      if (measuring_) {
        tovikMeasuredPlainSubmissions(plain_, work_, kBatch);
      } else {
        submitPlain(plain_, work_, kBatch);
      }
      elsewhere_ += allocationsOnThisThread() - before;
    };
    MainQueue::main().runUntilIdle();  // anything a figure before left due
    return {};
  }
  void real() {
    hostThread().run(submitReal_);
    MainQueue::main().runUntilIdle();
  }
  void model() {
    hostThread().run(submitModel_);
    plain_.runUntilIdle();
  }
  std::string check(Side /*side*/, std::int64_t iterations) override {
    return ran_ == iterations * kBatch ? std::string() : "not every work item ran";
  }
  [[nodiscard]] std::int64_t opsPerIteration() const override { return kBatch; }
  [[nodiscard]] std::uint64_t allocationsElsewhere() const override { return elsewhere_; }
  void beginMeasuring() override { measuring_ = true; }

 private:
  bool measuring_ = false;
  Ref<Object> plugin_;
  std::int64_t ran_ = 0;
  HopWork work_{};
  PlainQueue plain_;
  std::function<void()> submitReal_;
  std::function<void()> submitModel_;
  std::uint64_t elsewhere_ = 0;
};

// The frame-size record at a resize of a compose window: the window's
// delegate hears windowDidResize: (as the notification centre delivers it)
// and writes {"width", "height"} to the user defaults; the model builds the
// same record into a std::map and stores it under the same key. The defaults
// run on a clock of their own that does not move, so the file write they
// schedule stays pending, as it is between the frames of a live resize.
class RecordFigure final : public Figure {
 public:
  std::string setUp() override {
    folder_ = std::filesystem::temp_directory_path() / "tovik-hittest-bench-record";
    std::filesystem::remove_all(folder_);
    UserDefaults::setPreferencesFolder(folder_);
    MainQueue::main().useClock(&clock_);
    plugin_ = makePlugin();
    window_ = Window::create({{0, 0}, {500, 600}});
    window_->setIdentifier(str("bench-compose").get());
    window_->makeKeyAndOrderFront(nullptr);
    shouldClose_ = makeBlock<bool()>([] { return true; });
    send<void>(plugin_.get(), "configureComposeWindowWithConfiguration:shouldClose:",
               Dictionary::make({{"windowIdentifier", str("bench-compose")}}).get(),
               shouldClose_.get());
    MainQueue::main().runUntilIdle();
    auto* delegate = composeCloseDelegateOf(window_->delegate());
    if (delegate == nullptr) return "the compose window has no close delegate";
    delegate_ = delegate->shared_from_this();
    notification_ =
        make<Notification>(str(NSWindowDidResizeNotification), window_->retainAs<Object>());

    // The model's delegate is the real one's values.
    plainWindow_ = {identifierKey(*window_->identifier()), window_->frame()};
    plainNotification_ = {&plainWindow_};
    plainDelegate_ = std::make_unique<PlainCloseDelegate>(
        identifierKey(*delegate->windowIdentifier()), delegate->defaultsKey()->utf8(),
        delegate->minimumFrameSize(), &plainDefaults_);

    real();
    model();
    const std::string& key = delegate->defaultsKey()->utf8();
    const Ref<Dictionary> written =
        as<Dictionary>(UserDefaults::standardUserDefaults()->objectForKey(key));
    const PlainRecord* modelled = plainDefaults_.recordForKey(key);
    if (written == nullptr || modelled == nullptr || written->count() != modelled->size()) {
      return "the record was not written alike";
    }
    for (const auto& [name, value] : *modelled) {
      const auto* number = as<Number>(written->objectForKey(name));
      if (number == nullptr || number->doubleValue() != value) {
        return "the record's " + name + " differs from the model's";
      }
    }
    if (modelled->at("width") != delegate->minimumFrameSize().width) {
      return "the record's width was not raised to the minimum";
    }
    return {};
  }
  void real() { send<void>(delegate_->object(), kWindowDidResize, notification_.get()); }
  void model() { plainDelegate_->windowDidResize(plainNotification_); }
  void tearDown() override {
    window_->close();
    MainQueue::main().useClock(nullptr);
    UserDefaults::setPreferencesFolder(folder_);  // writes what is pending, then lets go
    std::filesystem::remove_all(folder_);
  }

 private:
  inline static const SEL kWindowDidResize = sel_registerName("windowDidResize:");
  std::filesystem::path folder_;
  ManualClock clock_;
  Ref<Object> plugin_;
  Ref<Window> window_;
  Ref<ShouldCloseBlock> shouldClose_;
  std::shared_ptr<ComposeWindowCloseDelegate> delegate_;
  Ref<Notification> notification_;
  PlainWindow plainWindow_;
  PlainNotification plainNotification_;
  PlainDefaults plainDefaults_;
  std::unique_ptr<PlainCloseDelegate> plainDelegate_;
};

// ---------------------------------------------------------------------------
// Running the figures.

template <class F>
void benchmarkFigure(benchmark::State& state, Figure& base, Side side) {
  auto& figure = static_cast<F&>(base);
  const std::uint64_t before = allocationsOnThisThread();
  if (side == Side::Real) {
    for (auto _ : state) figure.real();
  } else {
    for (auto _ : state) figure.model();
  }
  const std::uint64_t allocations =
      allocationsOnThisThread() - before + figure.allocationsElsewhere();
  const auto ops = static_cast<double>(figure.opsPerIteration());
  if (std::string error = figure.check(side, state.iterations()); !error.empty()) {
    state.SkipWithError(error.c_str());
  }
  state.counters["ops_per_iteration"] = benchmark::Counter(ops);
  state.counters["allocs_per_op"] = benchmark::Counter(static_cast<double>(allocations) / ops,
                                                       benchmark::Counter::kAvgIterations);
}

// The loop callgrind collects in: the operations alone, nothing of the
// set-up.
template <class F>
TOVIK_MEASURED void tovikMeasuredIterations(F& figure, Side side, std::int64_t iterations) {
  if (side == Side::Real) {
    for (std::int64_t i = 0; i < iterations; ++i) figure.real();
  } else {
    for (std::int64_t i = 0; i < iterations; ++i) figure.model();
  }
}

// Returns the operations run.
template <class F>
std::int64_t driveFigure(Figure& base, Side side, std::int64_t iterations) {
  auto& figure = static_cast<F&>(base);
  // First runs of a path resolve symbols and fill caches the figure is not
  // about.
  for (std::int64_t i = std::min<std::int64_t>(iterations, 8); i > 0; --i) {
    if (side == Side::Real) {
      figure.real();
    } else {
      figure.model();
    }
  }
  figure.beginMeasuring();
  tovikMeasuredIterations(figure, side, iterations);
  return iterations * figure.opsPerIteration();
}

struct FigureEntry {
  std::string name;
  // Timed by the clock on the wall rather than by the main thread's CPU
  // time: for work that another thread does part of.
  bool wallClock;
  std::function<std::unique_ptr<Figure>()> make;
  void (*measure)(benchmark::State&, Figure&, Side);
  std::int64_t (*drive)(Figure&, Side, std::int64_t);
};

template <class F, class... A>
FigureEntry entry(std::string name, A... args) {
  return {std::move(name), false,
          [=] { return std::unique_ptr<Figure>(std::make_unique<F>(args...)); },
          &benchmarkFigure<F>, &driveFigure<F>};
}

// In the order they run: the unconfigured clicks before anything replaces a
// class's hitTest:.
std::vector<FigureEntry> figures() {
  std::vector<FigureEntry> list;
  list.push_back(entry<ClickFigure>("click_strip_unconfigured", false, kOnStrip,
                                    std::string("bench-unconfigured")));
  list.push_back(entry<ClickFigure>("click_close_button_unconfigured", false, kOnCloseButton,
                                    std::string("bench-unconfigured")));
  list.push_back(entry<ClickFigure>("click_strip_configured", true, kOnStrip,
                                    std::string("bench-configured")));
  list.push_back(entry<ClickFigure>("click_close_button_configured", true, kOnCloseButton,
                                    std::string("bench-configured")));
  for (const int depth : {1, 4, 16}) {
    list.push_back(entry<LevelFigure>("click_levels_d" + std::to_string(depth), depth, false));
  }
  for (const int depth : {1, 16}) {
    list.push_back(
        entry<LevelFigure>("click_levels_configured_d" + std::to_string(depth), depth, true));
  }
  list.push_back(entry<InstallFigure>("install_walk_per_view", std::int64_t{1000}));
  list.push_back(entry<QueueFigure>("queue_hop"));
  list.back().wallClock = true;
  list.push_back(entry<RecordFigure>("frame_record"));
  return list;
}

const char* sideName(Side side) { return side == Side::Real ? "real" : "model"; }

void registerFigures() {
  for (const FigureEntry& figure : figures()) {
    for (const Side side : {Side::Real, Side::Model}) {
      benchmark::internal::Benchmark* registered = benchmark::RegisterBenchmark(
          (figure.name + "/" + sideName(side)).c_str(), [figure, side](benchmark::State& state) {
            const std::unique_ptr<Figure> measured = figure.make();
            if (std::string error = measured->setUp(); !error.empty()) {
              state.SkipWithError(error.c_str());
              return;
            }
            figure.measure(state, *measured, side);
            measured->tearDown();
          });
      if (figure.wallClock) registered->UseRealTime();
    }
  }
}

// The console's report, then every figure's two sides and their ratio. The
// cost of a nested level of a replaced class is the slope between the
// deepest and the shallowest level figures.
class RatioReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto named = figureSideOf(run);
      const auto ops = run.counters.find("ops_per_iteration");
      const auto allocs = run.counters.find("allocs_per_op");
      if (!named || ops == run.counters.end() || allocs == run.counters.end()) continue;
      if (!samples_.contains(named->figure)) order_.push_back(named->figure);
      Sample& sample = samples_[named->figure][named->side];
      const double seconds =
          run.run_name.time_type.empty() ? run.cpu_accumulated_time : run.real_accumulated_time;
      sample.ns += seconds * 1e9 / static_cast<double>(run.iterations) / ops->second.value;
      sample.allocs += allocs->second.value;
      ++sample.runs;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::ostream& out = GetOutputStream();
    char line[160];
    std::snprintf(line, sizeof line, "\n%-44s %12s %12s %8s %14s %14s\n", "figure (per op)",
                  "real ns", "model ns", "ratio", "real allocs", "model allocs");
    out << line;
    const auto row = [&](const std::string& figure, const Sample& real, const Sample& model) {
      std::snprintf(line, sizeof line, "%-44s %12.2f %12.2f %7.2fx %14.2f %14.2f\n", figure.c_str(),
                    real.ns, model.ns, real.ns / model.ns, real.allocs, model.allocs);
      out << line;
    };
    for (const std::string& figure : order_) {
      const std::map<std::string, Sample>& sides = samples_.at(figure);
      const auto real = sides.find("real");
      const auto model = sides.find("model");
      if (real == sides.end() || model == sides.end()) continue;
      row(figure, real->second.mean(), model->second.mean());
    }
    slopeRow(row, "click_levels", "per_overridden_level");
    slopeRow(row, "click_levels_configured", "per_overridden_level_configured");
    out.flush();
  }

 private:
  struct Sample {
    double ns = 0;
    double allocs = 0;
    int runs = 0;
    [[nodiscard]] Sample mean() const {
      return runs == 0 ? *this : Sample{ns / runs, allocs / runs, 1};
    }
  };
  // The cost one nested level adds: the slope from depth 1 to depth 16.
  template <class Row>
  void slopeRow(const Row& row, const std::string& figures, const std::string& name) const {
    const auto shallow = samples_.find(figures + "_d1");
    const auto deep = samples_.find(figures + "_d16");
    if (shallow == samples_.end() || deep == samples_.end() || shallow->second.size() != 2 ||
        deep->second.size() != 2) {
      return;
    }
    const auto slope = [&](const char* side) {
      const Sample a = shallow->second.at(side).mean();
      const Sample b = deep->second.at(side).mean();
      return Sample{(b.ns - a.ns) / 15, (b.allocs - a.allocs) / 15, 1};
    };
    row(name + " (d16-d1)/15", slope("real"), slope("model"));
  }

  std::map<std::string, std::map<std::string, Sample>> samples_;
  std::vector<std::string> order_;  // the figures as they ran
};

// Driver mode: one figure, one side, about `operations` operations.
int drive(std::string_view name, std::string_view sideText, std::int64_t operations) {
  const Side side = sideText == "model" ? Side::Model : Side::Real;
  if (sideText != "real" && sideText != "model") {
    std::fprintf(stderr, "--side is real or model\n");
    return 2;
  }
  for (const FigureEntry& figure : figures()) {
    if (figure.name != name) continue;
    const std::unique_ptr<Figure> measured = figure.make();
    if (std::string error = measured->setUp(); !error.empty()) {
      std::fprintf(stderr, "%s: %s\n", figure.name.c_str(), error.c_str());
      return 1;
    }
    const std::int64_t perIteration = measured->opsPerIteration();
    const std::int64_t iterations = std::max<std::int64_t>(
        1, (std::max<std::int64_t>(operations, 1) + perIteration - 1) / perIteration);
    const std::int64_t ran = figure.drive(*measured, side, iterations);
    measured->tearDown();
    std::printf("figure=%s side=%s operations=%lld\n", figure.name.c_str(), sideName(side),
                static_cast<long long>(ran));
    return 0;
  }
  std::fprintf(stderr, "no figure named %.*s\n", static_cast<int>(name.size()), name.data());
  return 2;
}

}  // namespace
}  // namespace tovik::bench

int main(int argc, char** argv) {
  using namespace tovik::bench;
  hostThread();  // before anything else: the process has threads, as a host does

  CommandLine line(argc, argv, 20000);
  if (line.listFigures) {
    return listNames(figures(), [](const FigureEntry& entry) { return entry.name; });
  }
  if (line.listSides) {
    return listNames(std::array{Side::Real, Side::Model}, sideName);
  }
  if (!line.figure.empty()) return drive(line.figure, line.side, line.operations);
  RatioReporter reporter;
  return line.runBenchmarks(registerFigures, reporter);
}
