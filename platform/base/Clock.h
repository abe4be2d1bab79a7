// The process-wide source of time. Every clock reading of the platform and of the SDK
// goes through clock(), so tests can replace it with a VirtualClock and move time by
// hand. Thread-safe; setClock() is meant for test set-up, before other threads run.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>

namespace platform {

// Seconds, as the platform measures durations and dates.
using TimeInterval = double;

inline constexpr TimeInterval kDistantFuture = 1e300;

class Clock {
 public:
  virtual ~Clock() = default;

  // Seconds since 1970-01-01 00:00 UTC.
  virtual TimeInterval wallNow() const = 0;
  // Seconds on a scale that never goes back; timers and delays are measured on it.
  virtual TimeInterval monotonicNow() const = 0;
  // Seconds since the device booted.
  virtual TimeInterval timeSinceBoot() const = 0;
};

// The real clocks of this machine.
class SystemClock final : public Clock {
 public:
  TimeInterval wallNow() const override;
  TimeInterval monotonicNow() const override;
  TimeInterval timeSinceBoot() const override;
};

// Time that moves only when told to. The run loop jumps it forward to the next due
// timer when it would otherwise wait, which is how tests fast-forward.
class VirtualClock final : public Clock {
 public:
  // Starts at a fixed, realistic date so that wall-clock formatting is deterministic.
  explicit VirtualClock(TimeInterval wallStart = 1'800'000'000.0, TimeInterval bootStart = 3600.0);

  TimeInterval wallNow() const override;
  TimeInterval monotonicNow() const override;
  TimeInterval timeSinceBoot() const override;

  // Moves time forward; a time in the past is ignored.
  void advanceTo(TimeInterval monotonic);
  void advanceBy(TimeInterval seconds);
  template <class Rep, class Period>
  void advanceBy(std::chrono::duration<Rep, Period> duration) {
    advanceBy(std::chrono::duration<TimeInterval>(duration).count());
  }

 private:
  const TimeInterval wallStart_;
  const TimeInterval bootStart_;
  std::atomic<TimeInterval> elapsed_{0};
};

// The clock in force.
Clock& clock();
// Installs a clock (tests); nullptr restores the system clock.
void setClock(std::shared_ptr<Clock> clock);
// The installed clock when it is virtual, else nullptr.
VirtualClock* virtualClock();

}  // namespace platform
