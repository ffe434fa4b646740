// Main windows that come and go: the plug-in's set of windows it observes
// through full screen, and the notification centre, stay bounded, and a
// freed window's storage is released though weak references to it remain.
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
// The allocation functions of this program are replaced so that a test can
// learn whether the block that starts at an object's address was given back.
std::atomic<const void*> gWatched{nullptr};
std::atomic<bool> gWatchedFreed{false};

void noteFreed(const void* block) {
  if (block != nullptr && block == gWatched.load(std::memory_order_relaxed)) {
    gWatchedFreed.store(true, std::memory_order_relaxed);
  }
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
void operator delete(void* block, std::size_t /*size*/) noexcept {
  noteFreed(block);
  std::free(block);
}

namespace tovik {
namespace {

class FullscreenObservationTest : public PluginHostTest {
 protected:
  void TearDown() override {
    PluginHostTest::TearDown();
    gWatched = nullptr;
  }
  // A new key window, configured as the host's main window.
  Ref<Window> configuredMainWindow() {
    auto window = Window::create({{0, 0}, {800, 600}});
    window->makeKeyAndOrderFront(nullptr);
    send<void>(plugin.get(), "configureMainWindowTitlebarWithWindowIdentifier:", str("main").get());
    MainQueue::main().runUntilIdle();
    return window;
  }
};

TEST_F(FullscreenObservationTest, AFreedWindowsStorageGoesThoughWeakReferencesRemain) {
  Ref<Window> window = configuredMainWindow();
  const Weak<Object> weak = window;
  ASSERT_TRUE(fullscreenObservedWindows().contains(weak));
  gWatched = window.get();
  gWatchedFreed = false;
  window->close();
  window.reset();
  EXPECT_TRUE(weak.expired());
  // The set still holds its weak reference, as does this test; neither
  // keeps the window's own block.
  EXPECT_TRUE(fullscreenObservedWindows().contains(weak));
  EXPECT_TRUE(gWatchedFreed.load());
  MainQueue::main().runFor(seconds(1.1));
}

TEST_F(FullscreenObservationTest, TheObservedSetAndTheCentreStayBoundedAsMainWindowsComeAndGo) {
  NotificationCenter* center = NotificationCenter::defaultCenter();
  const std::size_t registrationsBefore = center->registrationCount();
  const std::size_t entriesBefore = fullscreenObservedWindows().size();
  std::size_t entriesPeak = 0;
  std::size_t registrationsPeak = 0;
  for (int i = 0; i < 2000; ++i) {
    Ref<Window> window = configuredMainWindow();
    ASSERT_TRUE(fullscreenObservedWindows().contains(Weak<Object>(window)));
    window->toggleFullScreen(nullptr);
    window->close();
    window.reset();
    MainQueue::main().runFor(seconds(1.1));  // the delayed refreshes find nothing
    entriesPeak = std::max(entriesPeak, fullscreenObservedWindows().size());
    registrationsPeak = std::max(registrationsPeak, center->registrationCount());
  }
  // One window is alive at a time; what is kept stays within a constant
  // factor of that, not of the 2,000 windows gone.
  EXPECT_LE(entriesPeak, 2 * (entriesBefore + 1) + 64);
  EXPECT_LE(registrationsPeak, 2 * (registrationsBefore + 4) + 64);

  // A window configured now is a new entry and is observed as such.
  Ref<Window> window = configuredMainWindow();
  window->toggleFullScreen(nullptr);
  ASSERT_NE(window->toolbar(), nullptr);
  EXPECT_FALSE(window->toolbar()->isVisible());
}

}  // namespace
}  // namespace tovik
