// Runs registered tasks at a fixed interval: each tick of one repeating timer on the
// main run loop (common modes, tolerance a tenth of the interval) submits every task's
// block to the task's queue. Tasks cannot be removed; stop() ends the ticks.
//
// An interval below kZUMSchedulerMinimumInterval (0, negative or NaN included) ticks at
// that minimum, so a bad value from a server cannot flood the main thread; an infinite
// interval never ticks.
//
// All operations may be called from any thread; the timer lives on the main run loop.
// Destroying the scheduler stops it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/base/Clock.h"

namespace platform {
class DispatchQueue;
class Timer;
}  // namespace platform

inline constexpr platform::TimeInterval kZUMSchedulerMinimumInterval = 0.1;

class ZUMScheduler : public std::enable_shared_from_this<ZUMScheduler> {
 public:
  static std::shared_ptr<ZUMScheduler> create(platform::TimeInterval interval);
  ~ZUMScheduler();
  ZUMScheduler(const ZUMScheduler&) = delete;
  ZUMScheduler& operator=(const ZUMScheduler&) = delete;

  // Adds a task run on `queue` at every tick; returns its id (1, 2, ...), or -1 when
  // queue or block is missing (nothing is added).
  int64_t taskIDScheduledOnQueue(std::shared_ptr<platform::DispatchQueue> queue, std::function<void()> block);

  // Starts the ticks; only the first call does anything, later ones (even after stop())
  // are ignored.
  void start();
  // Ends the ticks for good.
  void stop();

  // The interval in force, after clamping.
  platform::TimeInterval interval() const { return interval_; }
  // The ticking timer; nullptr before start() and after stop().
  std::shared_ptr<platform::Timer> timer() const;

 private:
  struct Task {
    std::shared_ptr<platform::DispatchQueue> queue;
    std::function<void()> block;
  };

  explicit ZUMScheduler(platform::TimeInterval interval);
  void tick();

  const platform::TimeInterval interval_;
  mutable std::mutex mutex_;
  std::vector<Task> tasks_;
  int64_t lastTaskID_ = 0;
  bool started_ = false;
  bool stopped_ = false;
  std::shared_ptr<platform::Timer> timer_;
};
