// A live resize of a compose window: every frame writes the frame-size
// record to the user defaults, which reach the file only now and then.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "platform/main_queue.h"
#include "platform/user_defaults.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;

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

  // One frame every 1/60 s, as a drag delivers them; the main queue runs
  // between frames as the run loop would.
  const std::size_t writesBefore = UserDefaults::standardUserDefaults()->fileWrites();
  std::int64_t frames = 0;
  for (auto _ : state) {
    for (int i = 0; i < 10000; ++i) {
      const double grow = static_cast<double>(i % 400);
      window->setFrame({{0, 0}, {600 + grow, 500 + grow / 2}}, true);
      MainQueue::main().runFor(seconds(1.0 / 60));
    }
    frames += 10000;
  }
  const auto writes =
      static_cast<double>(UserDefaults::standardUserDefaults()->fileWrites() - writesBefore);
  // Per live resize of 10,000 frames (an iteration), and per frame.
  state.counters["file_writes"] = benchmark::Counter(writes, benchmark::Counter::kAvgIterations);
  state.counters["time_per_resize"] = benchmark::Counter(
      static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  window->close();
  MainQueue::main().useClock(nullptr);
  UserDefaults::setPreferencesFolder(folder);
  fs::remove_all(folder);
}
BENCHMARK(liveResize)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tovik

BENCHMARK_MAIN();
