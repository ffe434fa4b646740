// C++, not Objective-C++: a C++ catch does not work in Objective-C++ built
// for GCC's runtime.
#include "boundary.h"

#include <atomic>
#include <cstdio>
#include <exception>

#include "platform/runtime.h"

namespace tovik::detail {

void reportErrorAtBoundary(const char* where, const char* what) noexcept {
  static std::atomic_flag reported;
  if (reported.test_and_set()) return;
  std::fprintf(stderr,
               "TovikMacPlugin: an error (%s) stopped in %s, which answered nothing; later "
               "errors are not reported\n",
               what != nullptr ? what : "not a C++ exception: the runtime's own", where);
}

void runAtBoundary(const std::function<void()>& work, const char* where) noexcept {
  try {
    work();
  } catch (const std::exception& error) {
    reportErrorAtBoundary(where, error.what());
  } catch (...) {
    reportErrorAtBoundary(where, nullptr);
  }
}

}  // namespace tovik::detail
