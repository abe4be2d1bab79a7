#include "sdk/foundation/ZUMTiming.h"

#include <utility>

#include "platform/base/DispatchQueue.h"
#include "sdk/foundation/ZUMClock.h"

std::shared_ptr<ZUMTiming> ZUMTiming::create(std::string category) {
  return std::make_shared<ZUMTiming>(std::move(category));
}

ZUMTiming::ZUMTiming(std::string category)
    : category_(std::move(category)), queue_(platform::DispatchQueue::serial("com.vantor.morvane.timing")) {}

ZUMTiming::~ZUMTiming() = default;

void ZUMTiming::start() {
  // The time is read by the caller, so a busy queue does not shift it.
  const std::uint64_t now = ZUMMonotonicTimeInMilliseconds();
  queue_->async([self = shared_from_this(), now] {
    self->times_.start = now;
    self->times_.end.reset();
  });
}

void ZUMTiming::end() {
  const std::uint64_t now = ZUMMonotonicTimeInMilliseconds();
  queue_->async([self = shared_from_this(), now] { self->times_.end = now; });
}

ZUMTiming::Times ZUMTiming::times() const {
  return queue_->syncResult([&] { return times_; });
}

std::optional<std::uint64_t> ZUMTiming::startTime() const { return times().start; }

std::optional<std::uint64_t> ZUMTiming::endTime() const { return times().end; }

std::optional<std::uint64_t> ZUMTiming::duration() const {
  const Times t = times();
  if (!t.start || !t.end || *t.end < *t.start) return std::nullopt;
  return *t.end - *t.start;
}
