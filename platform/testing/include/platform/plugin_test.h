#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "platform/testing.h"

namespace tovik::testing {

// A GoogleTest fixture for a host's tests of the plug-in: a PluginHost for
// each test (the installed module's plug-in unless the derived fixture
// names another source of the class), with its plug-in object, its queue
// and its clock at hand. A module that does not load fails the test in
// SetUp, saying why.
class PluginTest : public ::testing::Test {
 protected:
  using ClassSource = Class* (*)();
  explicit PluginTest(ClassSource pluginClass = [] { return loadPluginClass(); })
      : pluginClass_(pluginClass) {}

  void SetUp() override {
    host_.emplace(pluginClass_());
    plugin = host_->plugin()->retain();
  }
  void TearDown() override { host_.reset(); }

  // Runs what is due on the main queue now, where the plug-in's hops land.
  std::size_t turn() { return host_->queue().turn(); }
  ManualMainQueue& queue() { return host_->queue(); }
  ManualClock& clock() { return host_->queue().clock(); }
  // The folder the user defaults are kept in for this test.
  [[nodiscard]] const std::filesystem::path& preferences() const { return host_->preferences(); }

  Ref<Object> plugin;

 private:
  ClassSource pluginClass_;
  std::optional<PluginHost> host_;
};

}  // namespace tovik::testing
