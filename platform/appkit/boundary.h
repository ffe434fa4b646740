#pragma once

#include <functional>

namespace tovik::detail {

// Runs work the runtime's frames called for (a main-queue item): an error
// it throws stops here, reported as reportErrorAtBoundary says.
void runAtBoundary(const std::function<void()>& work, const char* where) noexcept;

}  // namespace tovik::detail
