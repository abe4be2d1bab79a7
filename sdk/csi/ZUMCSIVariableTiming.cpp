#include "sdk/csi/ZUMCSIVariableTiming.h"

#include <cmath>
#include <limits>
#include <utility>

#include "platform/base/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "sdk/foundation/ZUMBindWeak.h"

ZUMCSIVariableTiming::ZUMCSIVariableTiming(std::string name, double startTime)
    : name_(std::move(name)), start_(startTime) {}

std::shared_ptr<ZUMCSIVariableTiming> ZUMCSIVariableTiming::create(std::string name, double startTime) {
  std::shared_ptr<ZUMCSIVariableTiming> timing(new ZUMCSIVariableTiming(std::move(name), startTime));
  std::weak_ptr<ZUMCSIVariableTiming> weak = timing;
  // Observed on the posting thread, so the timing is spoilt before the application has
  // left the foreground.
  platform::NotificationCenter::defaultCenter().addObserver(
      timing, ZUMBindWeak(weak, &ZUMCSIVariableTiming::resigningActive),
      platform::kApplicationWillResignActiveNotification, nullptr);
  return timing;
}

ZUMCSIVariableTiming::~ZUMCSIVariableTiming() { platform::NotificationCenter::defaultCenter().removeObserver(this); }

double ZUMCSIVariableTiming::start() const {
  std::lock_guard lock(mutex_);
  return start_;
}

void ZUMCSIVariableTiming::setStart(double start) {
  std::lock_guard lock(mutex_);
  start_ = start;
}

double ZUMCSIVariableTiming::length() const {
  std::lock_guard lock(mutex_);
  return length_;
}

void ZUMCSIVariableTiming::setLength(double length) {
  std::lock_guard lock(mutex_);
  length_ = length;
}

bool ZUMCSIVariableTiming::isValid() const {
  std::lock_guard lock(mutex_);
  return start_ > 0 && length_ > 0;
}

void ZUMCSIVariableTiming::resigningActive() {
  std::lock_guard lock(mutex_);
  if (length_ < 0) start_ = kZUMCSISpoiltStart;
}

std::int64_t ZUMCSIMillisecondsFromSeconds(double seconds) {
  using Limits = std::numeric_limits<std::int64_t>;
  const double milliseconds = std::round(seconds * 1000.0);
  if (std::isnan(milliseconds)) return 0;
  // 2^63 is exact as a double; every double below it converts.
  if (milliseconds >= 9223372036854775808.0) return Limits::max();
  if (milliseconds < -9223372036854775808.0) return Limits::min();
  return static_cast<std::int64_t>(milliseconds);
}
