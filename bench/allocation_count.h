#pragma once

#include <cstdint>

namespace tovik::bench {

// How many times this thread has called the global operator new (any
// form), counted by the benchmark binary's replacement of it.
std::uint64_t allocationsOnThisThread();

}  // namespace tovik::bench
