// A timer that fires a block on the run loop it was added to: once, or repeatedly at a
// fixed interval (missed fires are skipped, not queued). Fire dates are on the
// monotonic clock. The tolerance is kept as the platform keeps it, a permitted delay;
// this run loop fires at the fire date and never later than it must.
// Create and add it on any thread; it fires on its run loop's thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "platform/base/Clock.h"

namespace platform {

class Timer : public std::enable_shared_from_this<Timer> {
 public:
  using Block = std::function<void(Timer&)>;

  // Timers that are not scheduled yet, first due at now + the interval: a one-shot timer
  // fires once, a repeating one every `interval`. Add them to a run loop yourself.
  static std::shared_ptr<Timer> createOneShot(TimeInterval delay, Block block);
  static std::shared_ptr<Timer> createRepeating(TimeInterval interval, Block block);
  // The same, added to the current thread's run loop in the default mode.
  static std::shared_ptr<Timer> startOneShot(TimeInterval delay, Block block);
  static std::shared_ptr<Timer> startRepeating(TimeInterval interval, Block block);
  // The older forms with a bare bool, kept while code written against them is merged;
  // new code uses the four above.
  static std::shared_ptr<Timer> create(TimeInterval interval, bool repeats, Block block);
  static std::shared_ptr<Timer> scheduled(TimeInterval interval, bool repeats, Block block);

  // Runs the block now. A one-shot timer is invalidated afterwards; a repeating one
  // keeps its schedule.
  void fire();
  // Stops the timer for good and drops its block. Safe inside any block, its own included.
  void invalidate();
  bool isValid() const;

  TimeInterval fireDate() const;
  // A date that is not a number never falls due.
  void setFireDate(TimeInterval monotonic);
  TimeInterval timeInterval() const { return interval_; }
  bool repeats() const { return repeats_; }
  TimeInterval tolerance() const;
  void setTolerance(TimeInterval tolerance);

  Timer(TimeInterval interval, bool repeats, Block block);

 private:
  friend class RunLoop;
  // Fires for the run loop at `now` and, if it repeats, moves the fire date past `now`.
  void fireFromRunLoop(TimeInterval now);
  // Valid and not in the middle of a fire from its run loop: a run nested in the
  // timer's own block must neither fire it again nor wait for it.
  bool isSchedulable() const;

  mutable std::mutex mutex_;
  const TimeInterval interval_;
  const bool repeats_;
  Block block_;
  TimeInterval fireDate_;
  TimeInterval tolerance_ = 0;
  bool valid_ = true;
  bool firing_ = false;
};

}  // namespace platform
