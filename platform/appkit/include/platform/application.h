#pragma once

#include <vector>

#include "platform/window.h"

namespace tovik {

// NSApplication (NSApp).
class Application : public Object {
 public:
  static Class* runtimeClass();
  static Application* shared();
  [[nodiscard]] std::vector<Ref<Window>> windows() const;
  [[nodiscard]] Window* keyWindow() const;
  [[nodiscard]] Window* mainWindow() const;
};

}  // namespace tovik
