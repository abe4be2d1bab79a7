#include "sdk/foundation/ZUMClock.h"

#include <atomic>
#include <cmath>
#include <mutex>

#include "platform/base/Clock.h"

uint64_t ZUMMonotonicTimeInMilliseconds() {
  static std::once_flag once;
  static double start = 0;
  std::call_once(once, [] {
    const double now = platform::clock().monotonicNow();
    start = std::isfinite(now) ? now : 0;
  });
  // A clock swapped or going wrong must neither make the count go back nor wrap it.
  static std::atomic<uint64_t> last{1};
  const double elapsedMs = (platform::clock().monotonicNow() - start) * 1000.0;
  uint64_t value = 1;
  if (elapsedMs >= 1.0) {
    constexpr double kMax = 9.0e18;  // well inside uint64_t
    value = (elapsedMs < kMax ? static_cast<uint64_t>(elapsedMs) : static_cast<uint64_t>(kMax)) + 1;
  }
  uint64_t seen = last.load(std::memory_order_relaxed);
  while (seen < value && !last.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
  return seen > value ? seen : value;
}

double ZUMTimeIntervalSinceBoot() {
  const double seconds = platform::clock().timeSinceBoot();
  return std::isfinite(seconds) && seconds >= 0 ? seconds : 0.0;
}
