#pragma once

#include <gtest/gtest.h>

#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"

namespace tovik {

// A test that plays the host: it makes the plug-in object as a host does,
// drives the main queue with a manual clock, and leaves the application as
// it found it (active, no windows, the real clock).
class PluginHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainQueue::main().useClock(&clock);
    plugin = send<Ref<Object>>(class_createInstance(registerPluginClass()).get(), "init");
  }
  void TearDown() override {
    MainQueue::main().runUntilIdle();
    Application* app = Application::shared();
    app->activateIgnoringOtherApps(true);
    for (const auto& w : app->windows()) w->close();
    MainQueue::main().useClock(nullptr);
  }

  ManualClock clock;
  Ref<Object> plugin;
};

}  // namespace tovik
