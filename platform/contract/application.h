#pragma once

#include <concepts>
#include <vector>

#include "platform/application.h"
#include "platform/contract/object.h"

namespace tovik::contract {

// NSApplication: the windows the plug-in looks through, front to back.
template <class A>
concept ApplicationContract = ObjectContract<A> && requires(const A& application) {
  { A::shared() } -> std::same_as<A*>;
  { application.windows() } -> std::convertible_to<const std::vector<Ref<Window>>&>;
  { application.keyWindow() } -> std::same_as<Window*>;
  { application.mainWindow() } -> std::same_as<Window*>;
};

}  // namespace tovik::contract
