#pragma once

#include <chrono>

// Time on the main queue's clock, as both backends keep it.
namespace tovik {

using Duration = std::chrono::nanoseconds;

// A point on the queue's clock (DispatchTime).
struct DispatchTime {
  Duration sinceStart{0};
  static DispatchTime now();
  friend auto operator<=>(const DispatchTime&, const DispatchTime&) = default;
  friend DispatchTime operator+(DispatchTime t, Duration d) { return {t.sinceStart + d}; }
};

inline Duration seconds(double s) {
  return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(s));
}

}  // namespace tovik
