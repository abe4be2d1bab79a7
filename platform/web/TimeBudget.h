// Seconds a page kept its host waiting, each charge stamped with the platform clock's
// monotonic time (virtual in tests) and summed over a sliding window: a page that
// overruns its budget a little at a time is caught as surely as one that overruns it
// at once.
//
// Not thread-safe: one thread at a time.
#pragma once

#include <deque>
#include <utility>

#include "platform/base/Clock.h"

namespace platform {

class TimeBudget {
 public:
  // Adds `seconds` (nothing when not above zero) at the clock's present time.
  void charge(TimeInterval seconds) {
    if (!(seconds > 0)) return;
    charges_.emplace_back(clock().monotonicNow(), seconds);
    spent_ += seconds;
  }
  // What was charged within the last `window` seconds; older charges are let go.
  TimeInterval spent(TimeInterval window) {
    const TimeInterval now = clock().monotonicNow();
    while (!charges_.empty() && charges_.front().first <= now - window) {
      spent_ -= charges_.front().second;
      charges_.pop_front();
    }
    if (charges_.empty()) spent_ = 0;  // no rounding left over
    return spent_;
  }
  void reset() {
    charges_.clear();
    spent_ = 0;
  }

 private:
  std::deque<std::pair<TimeInterval, TimeInterval>> charges_;
  TimeInterval spent_ = 0;
};

}  // namespace platform
