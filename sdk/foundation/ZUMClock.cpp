#include "sdk/foundation/ZUMClock.h"

#include <atomic>
#include <cmath>
#include <mutex>

#include "platform/base/Clock.h"
#include "platform/base/TestingReset.h"

namespace {

// The first call's time, and the latest count given: a test starts both afresh.
struct MonotonicOrigin {
  platform::ResettableOnceFlag once;
  double start = 0;
  std::atomic<uint64_t> last{1};
};

MonotonicOrigin& origin() {
  static auto* instance = [] {
    auto* made = new MonotonicOrigin();
    platform::registerTestingReset(&made->last, [made] { made->last = 1; });
    return made;
  }();
  return *instance;
}

}  // namespace

uint64_t ZUMMonotonicTimeInMilliseconds() {
  auto& o = origin();
  double& start = o.start;
  o.once.call([&start] {
    const double now = platform::clock().monotonicNow();
    start = std::isfinite(now) ? now : 0;
  });
  // A clock swapped or going wrong must neither make the count go back nor wrap it.
  std::atomic<uint64_t>& last = o.last;
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
