// Posting one window's notification after many compose windows have come
// and gone: what the post costs must not grow with the windows gone.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/main_queue.h"
#include "platform/notification_center.h"
#include "platform/user_defaults.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;

std::int64_t gHeard = 0;

// A host's observer of the live window's moves.
Class* moveObserverClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "BenchMoveObserver");
    addMethod(c, "windowDidMove:", [](Object*, Notification*) { ++gHeard; });
    return c;
  }();
  return cls;
}

// The compose windows made so far in this process, all closed.
std::int64_t gComposeWindowsGone = 0;

void configureAsCompose(Object* plugin, const std::string& identifier, BlockBase* shouldClose) {
  send<void>(plugin, "configureComposeWindowWithConfiguration:shouldClose:",
             Dictionary::make({{"windowIdentifier", str(identifier)}}).get(), shouldClose);
  MainQueue::main().runUntilIdle();
}

// A host's compose windows, each shown, handed to the plug-in, resized once
// and closed, until `count` have come and gone in this process.
void composeWindowsComeAndGo(Object* plugin, std::int64_t count) {
  auto shouldClose = makeBlock<bool()>([] { return true; });
  for (; gComposeWindowsGone < count; ++gComposeWindowsGone) {
    auto window = Window::create({{0, 0}, {800, 600}});
    window->makeKeyAndOrderFront(nullptr);
    configureAsCompose(plugin, "compose-" + std::to_string(gComposeWindowsGone), shouldClose.get());
    window->setFrame({{0, 0}, {820, 640}}, true);
    window->performClose(nullptr);
  }
}

// NSWindowDidMoveNotification for a live compose window, heard by a host's
// observer, after `range(0)` compose windows have come and gone. (Its
// delegate does not answer windowDidMove:, so what is measured is the
// centre and the observer, not the delegate's defaults record.)
void postAfterComposeWindows(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / "tovik-notification-bench";
  fs::remove_all(folder);
  UserDefaults::setPreferencesFolder(folder);
  ManualClock clock;
  MainQueue::main().useClock(&clock);
  const Ref<Object> plugin =
      send<Ref<Object>>(class_createInstance(registerPluginClass()).get(), "init");
  composeWindowsComeAndGo(plugin.get(), state.range(0));

  auto window = Window::create({{0, 0}, {800, 600}});
  window->makeKeyAndOrderFront(nullptr);
  auto shouldClose = makeBlock<bool()>([] { return true; });
  configureAsCompose(plugin.get(), "bench-live", shouldClose.get());
  const Ref<Object> observer = class_createInstance(moveObserverClass());
  NotificationCenter* center = NotificationCenter::defaultCenter();
  center->addObserver(observer.get(), sel_registerName("windowDidMove:"),
                      str(NSWindowDidMoveNotification).get(), window.get());

  const std::int64_t heardBefore = gHeard;
  for (auto _ : state) window->postNotification(NSWindowDidMoveNotification);
  if (gHeard - heardBefore != static_cast<std::int64_t>(state.iterations())) {
    state.SkipWithError("the observer did not hear every post");
  }
  state.counters["windows_gone"] = static_cast<double>(gComposeWindowsGone);
  state.counters["registrations"] = static_cast<double>(center->registrationCount());

  center->removeObserver(observer.get());
  window->performClose(nullptr);
  MainQueue::main().useClock(nullptr);
  UserDefaults::setPreferencesFolder(folder);
  fs::remove_all(folder);
}
BENCHMARK(postAfterComposeWindows)->ArgName("windows")->Arg(1)->Arg(1000)->Arg(20000);

// The same delivery without a window system: the live window's observers as
// a vector of callbacks, each called in turn.
void plainModel(benchmark::State& state) {
  std::int64_t heard = 0;
  const std::vector<std::function<void()>> observers{[&heard] { ++heard; }};
  for (auto _ : state) {
    for (const auto& observer : observers) observer();
    benchmark::DoNotOptimize(heard);
  }
}
BENCHMARK(plainModel);

}  // namespace
}  // namespace tovik

BENCHMARK_MAIN();
