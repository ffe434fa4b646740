// A live resize of a compose window: every frame writes the frame-size
// record to the user defaults, which reach the file only now and then, by
// the background writer. The figure that matters is the longest the main
// thread is held by a frame or a turn of the main queue, beside a plain
// model of the same record keeping: the record put in a std::map.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <vector>

#include "compose/close_delegate.h"
#include "platform/main_queue.h"
#include "platform/user_defaults.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFrames = 10000;

// The longest a step held the thread and the time 99.9% of steps stayed
// within, in µs, and how many steps per iteration took over a millisecond
// (on a busy machine the longest alone is at the mercy of the scheduler).
void reportStalls(benchmark::State& state, std::vector<Clock::duration>& steps) {
  const auto microseconds = [](Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
  };
  if (steps.empty()) return;
  auto p999 = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() * 999 / 1000);
  std::nth_element(steps.begin(), p999, steps.end());
  state.counters["p999_stall_us"] = microseconds(*p999);
  state.counters["longest_stall_us"] = microseconds(*std::max_element(p999, steps.end()));
  const auto over = std::count_if(steps.begin(), steps.end(), [](Clock::duration d) {
    return d > std::chrono::milliseconds(1);
  });
  state.counters["stalls_over_1ms"] =
      benchmark::Counter(static_cast<double>(over), benchmark::Counter::kAvgIterations);
}

void liveResize(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / "tovik-compose-bench";
  fs::remove_all(folder);
  UserDefaults::setPreferencesFolder(folder);
  ManualClock clock;
  MainQueue::main().useClock(&clock);
  const Ref<Object> plugin =
      send<Ref<Object>>(class_createInstance(registerPluginClass()).get(), "init");
  auto window = Window::create({{0, 0}, {800, 600}});
  window->makeKeyAndOrderFront(nullptr);
  auto shouldClose = makeBlock<bool()>([] { return true; });
  send<void>(plugin.get(), "configureComposeWindowWithConfiguration:shouldClose:",
             Dictionary::make({{"windowIdentifier", str("bench-compose")}}).get(),
             shouldClose.get());
  MainQueue::main().runUntilIdle();
  UserDefaults* defaults = UserDefaults::standardUserDefaults();
  defaults->synchronize();

  // One frame every 1/60 s, as a drag delivers them; the main queue runs
  // between frames as the run loop would, handing the coalesced writes over.
  const std::size_t writesBefore = defaults->fileWrites();
  std::vector<Clock::duration> steps;
  std::int64_t frames = 0;
  for (auto _ : state) {
    for (int i = 0; i < kFrames; ++i) {
      const double grow = static_cast<double>(i % 400);
      const Clock::time_point frameStart = Clock::now();
      window->setFrame({{0, 0}, {600 + grow, 500 + grow / 2}}, true);  // sets the record
      const Clock::time_point turnStart = Clock::now();
      MainQueue::main().runFor(seconds(1.0 / 60));
      const Clock::time_point turnEnd = Clock::now();
      steps.push_back(turnStart - frameStart);
      steps.push_back(turnEnd - turnStart);
    }
    frames += kFrames;
  }
  defaults->synchronize();
  const auto writes = static_cast<double>(defaults->fileWrites() - writesBefore);
  // Per live resize of 10,000 frames (an iteration).
  state.counters["file_writes"] = benchmark::Counter(writes, benchmark::Counter::kAvgIterations);
  reportStalls(state, steps);
  state.counters["time_per_frame"] = benchmark::Counter(
      static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  window->close();
  MainQueue::main().useClock(nullptr);
  UserDefaults::setPreferencesFolder(folder);
  fs::remove_all(folder);
}
BENCHMARK(liveResize)->Unit(benchmark::kMillisecond);

// The plain model: the same record, put in a map at every frame.
void liveResizePlainModel(benchmark::State& state) {
  std::map<std::string, Ref<Object>, std::less<>> store;
  std::vector<Clock::duration> steps;
  std::int64_t frames = 0;
  for (auto _ : state) {
    for (int i = 0; i < kFrames; ++i) {
      const double grow = static_cast<double>(i % 400);
      const Clock::time_point start = Clock::now();
      store.insert_or_assign(std::string(kDefaultComposeSizeDefaultsKey),
                             Dictionary::make({{"width", Number::withDouble(600 + grow)},
                                               {"height", Number::withDouble(500 + grow / 2)}}));
      steps.push_back(Clock::now() - start);
    }
    frames += kFrames;
  }
  benchmark::DoNotOptimize(store);
  reportStalls(state, steps);
  state.counters["time_per_frame"] = benchmark::Counter(
      static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(liveResizePlainModel)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tovik

BENCHMARK_MAIN();
