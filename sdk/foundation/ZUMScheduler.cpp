#include "sdk/foundation/ZUMScheduler.h"

#include <cmath>
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/Timer.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMScheduledBlockTimer.h"

namespace {

platform::TimeInterval clampedInterval(platform::TimeInterval interval) {
  if (std::isinf(interval) && interval > 0) return platform::kDistantFuture;
  if (!(interval >= kZUMSchedulerMinimumInterval)) return kZUMSchedulerMinimumInterval;
  return interval;
}

}  // namespace

std::shared_ptr<ZUMScheduler> ZUMScheduler::create(platform::TimeInterval interval) {
  return std::shared_ptr<ZUMScheduler>(new ZUMScheduler(interval));
}

ZUMScheduler::ZUMScheduler(platform::TimeInterval interval) : interval_(clampedInterval(interval)) {}

ZUMScheduler::~ZUMScheduler() { stop(); }

int64_t ZUMScheduler::taskIDScheduledOnQueue(std::shared_ptr<platform::DispatchQueue> queue,
                                             std::function<void()> block) {
  if (!queue || !block) return -1;
  std::lock_guard lock(mutex_);
  tasks_.push_back(Task{std::move(queue), std::move(block)});
  return ++lastTaskID_;
}

void ZUMScheduler::start() {
  {
    std::lock_guard lock(mutex_);
    if (started_) return;
    started_ = true;
  }
  // The timer holds the scheduler weakly: the owner's reference decides its life.
  std::weak_ptr<ZUMScheduler> weakSelf = weak_from_this();
  const platform::TimeInterval tolerance = interval_ < platform::kDistantFuture ? interval_ / 10 : 0;
  auto timer = ZUMScheduledBlockTimer(true, ZUMBindWeak(weakSelf, &ZUMScheduler::tick), interval_, tolerance);
  {
    std::lock_guard lock(mutex_);
    // Made outside the lock, so the run loop's lock is never taken under ours.
    if (!stopped_) {
      timer_ = std::move(timer);
      return;
    }
  }
  timer->invalidate();
}

void ZUMScheduler::stop() {
  std::shared_ptr<platform::Timer> timer;
  {
    std::lock_guard lock(mutex_);
    if (started_) stopped_ = true;
    timer = std::move(timer_);
  }
  if (timer) timer->invalidate();
}

std::shared_ptr<platform::Timer> ZUMScheduler::timer() const {
  std::lock_guard lock(mutex_);
  return timer_;
}

void ZUMScheduler::tick() {
  std::vector<Task> tasks;
  {
    std::lock_guard lock(mutex_);
    tasks = tasks_;
  }
  for (auto& task : tasks) task.queue->async(std::move(task.block));
}
