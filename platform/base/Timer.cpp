#include "platform/base/Timer.h"

#include <algorithm>
#include <cmath>

#include "platform/base/RunLoop.h"

namespace platform {

Timer::Timer(TimeInterval interval, bool repeats, Block block)
    // A repeating timer of 0 s would spin its run loop; the platform uses 0.1 ms instead.
    : interval_(repeats && !(interval > 0.0001) ? 0.0001
                                                : (std::isfinite(interval) ? std::max(0.0, interval) : kDistantFuture)),
      repeats_(repeats),
      block_(std::move(block)),
      fireDate_(clock().monotonicNow() + interval_) {}

std::shared_ptr<Timer> Timer::createOneShot(TimeInterval delay, Block block) {
  return create(delay, false, std::move(block));
}

std::shared_ptr<Timer> Timer::createRepeating(TimeInterval interval, Block block) {
  return create(interval, true, std::move(block));
}

std::shared_ptr<Timer> Timer::startOneShot(TimeInterval delay, Block block) {
  return scheduled(delay, false, std::move(block));
}

std::shared_ptr<Timer> Timer::startRepeating(TimeInterval interval, Block block) {
  return scheduled(interval, true, std::move(block));
}

std::shared_ptr<Timer> Timer::create(TimeInterval interval, bool repeats, Block block) {
  return std::make_shared<Timer>(interval, repeats, std::move(block));
}

std::shared_ptr<Timer> Timer::scheduled(TimeInterval interval, bool repeats, Block block) {
  auto timer = create(interval, repeats, std::move(block));
  RunLoop::current().addTimer(timer, kDefaultRunLoopMode);
  return timer;
}

void Timer::fire() {
  Block block;
  {
    std::lock_guard lock(mutex_);
    if (!valid_) return;
    block = block_;
  }
  // Keep the timer alive while its block runs, which may drop the last owner.
  auto self = weak_from_this().lock();
  if (block) block(*this);
  if (!repeats_) invalidate();
}

void Timer::fireFromRunLoop(TimeInterval now) {
  {
    std::lock_guard lock(mutex_);
    if (!valid_ || firing_) return;
    firing_ = true;
    if (repeats_) {
      // Skip the fires that were missed; the next one lies strictly after now.
      const TimeInterval missed = std::floor((now - fireDate_) / interval_) + 1;
      fireDate_ += std::max(1.0, missed) * interval_;
    }
  }
  struct EndFiring {
    Timer* timer;
    ~EndFiring() {
      std::lock_guard lock(timer->mutex_);
      timer->firing_ = false;
    }
  };
  // Keep the timer alive until the flag is cleared, whoever drops it in its block.
  auto self = weak_from_this().lock();
  EndFiring endFiring{this};
  fire();
}

bool Timer::isSchedulable() const {
  std::lock_guard lock(mutex_);
  return valid_ && !firing_;
}

void Timer::invalidate() {
  Block dropped;
  std::lock_guard lock(mutex_);
  valid_ = false;
  dropped = std::move(block_);  // released after the lock, in case it owns this timer
  block_ = nullptr;
}

bool Timer::isValid() const {
  std::lock_guard lock(mutex_);
  return valid_;
}

TimeInterval Timer::fireDate() const {
  std::lock_guard lock(mutex_);
  return fireDate_;
}

void Timer::setFireDate(TimeInterval monotonic) {
  {
    std::lock_guard lock(mutex_);
    // A date that is not a number never falls due (and must not reach the run loop's
    // arithmetic on deadlines).
    fireDate_ = std::isnan(monotonic) ? kDistantFuture : monotonic;
  }
  RunLoop::main().wakeUp();
}

TimeInterval Timer::tolerance() const {
  std::lock_guard lock(mutex_);
  return tolerance_;
}

void Timer::setTolerance(TimeInterval tolerance) {
  std::lock_guard lock(mutex_);
  tolerance_ = std::isfinite(tolerance) && tolerance > 0 ? tolerance : 0;
}

}  // namespace platform
