// Main windows that come and go: each is observed afresh, a freed window's
// storage is released though weak references remain, and the observed set and
// the centre stay bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/notification_center.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"
#include "plugin/static_state.h"
#include "tests/support/plugin_host_test.h"

namespace {
// Replaced allocation functions tell whether the watched block was given back.
std::atomic<const void*> gWatched{nullptr};
std::atomic<bool> gWatchedFreed{false};

void noteFreed(const void* block) {
  if (block != nullptr && block == gWatched.load()) gWatchedFreed = true;
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
  noteFreed(block);
  std::free(block);
}
void operator delete(void* block, std::size_t /*size*/) noexcept { operator delete(block); }

namespace tovik {
namespace {

using FullscreenObservationTest = PluginHostTest;

TEST_F(FullscreenObservationTest, FreedWindowsGoAndTheObservedSetAndCentreStayBounded) {
  NotificationCenter* center = NotificationCenter::defaultCenter();
  const std::size_t registrationsBefore = center->registrationCount();
  const std::size_t entriesBefore = fullscreenObservedWindows().size();
  std::size_t entriesPeak = 0;
  std::size_t registrationsPeak = 0;
  for (int i = 0; i < 2000; ++i) {
    Ref<Window> window = Window::create({{0, 0}, {800, 600}});
    window->makeKeyAndOrderFront(nullptr);
    configureMainWindow("main");
    const Weak<Object> weak = window;
    gWatched = window.get();
    gWatchedFreed = false;
    window->toggleFullScreen(nullptr);
    // Observed afresh, though commonly at a freed window's address.
    ASSERT_FALSE(window->toolbar()->isVisible());
    window->close();
    window.reset();
    // The set's weak reference remains, yet the window's block is given back.
    ASSERT_TRUE(weak.expired() && gWatchedFreed.load());
    ASSERT_TRUE(fullscreenObservedWindows().contains(weak));
    MainQueue::main().runFor(seconds(1.1));  // the delayed refreshes find nothing
    entriesPeak = std::max(entriesPeak, fullscreenObservedWindows().size());
    registrationsPeak = std::max(registrationsPeak, center->registrationCount());
  }
  gWatched = nullptr;
  // Within a constant factor of the one live window, not of the 2,000 gone.
  EXPECT_LE(entriesPeak, 2 * (entriesBefore + 1) + 64);
  EXPECT_LE(registrationsPeak, 2 * (registrationsBefore + 4) + 64);
}

}  // namespace
}  // namespace tovik
