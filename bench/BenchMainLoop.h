// Running the platform's main run loop from a benchmark as an application's loop runs:
// asleep until a timer falls due or another thread hands it work, returning after each
// handled source so the waiting condition is read again at once. Main thread only.
#pragma once

#include <chrono>
#include <functional>

#include "platform/base/Clock.h"
#include "platform/base/RunLoop.h"

namespace morvanebench {

using Clock = std::chrono::steady_clock;

// The longest any one step (a load, a fetch, a page) may take before the run fails.
inline constexpr Clock::duration kStepLimit = std::chrono::seconds(10);
// The longest the main loop sleeps before the waiting condition is read again.
inline constexpr platform::TimeInterval kLoopSlice = 0.05;

inline double milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// Runs the main run loop until `done()` holds or `limit` of real time has passed.
inline bool runMainLoopUntil(const std::function<bool()>& done, Clock::duration limit = kStepLimit) {
  const auto end = Clock::now() + limit;
  auto& loop = platform::RunLoop::main();
  while (!done()) {
    if (Clock::now() >= end) return false;
    loop.runMode(platform::kDefaultRunLoopMode, platform::clock().monotonicNow() + kLoopSlice, true);
  }
  return true;
}

inline void runMainLoopFor(Clock::duration time) {
  const auto end = Clock::now() + time;
  runMainLoopUntil([&] { return Clock::now() >= end; }, time + kStepLimit);
}

}  // namespace morvanebench
