#include "sdk/foundation/ZUMLogger.h"

#include <atomic>
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/SystemLog.h"
#include "platform/base/TestingReset.h"

namespace {

std::atomic<int64_t> gThreshold{kZUMLogLevelDefault};
[[maybe_unused]] const bool kThresholdResets = platform::resetBetweenTests(gThreshold, int64_t{kZUMLogLevelDefault});

// Lines leave in the order they were logged, off the caller's thread.
const std::shared_ptr<platform::DispatchQueue>& loggingQueue() {
  static const auto queue = platform::DispatchQueue::serial("com.vantor.morvane.logging");
  return queue;
}

}  // namespace

void ZUMLog(int64_t level, std::string message) {
  if (level > gThreshold.load(std::memory_order_relaxed)) return;
  loggingQueue()->async([message = std::move(message)] { platform::SystemLog::write(kZUMLogSubsystem, message); });
}

int64_t ZUMLogLevelThreshold() { return gThreshold.load(std::memory_order_relaxed); }

void ZUMSetLogLevelThreshold(int64_t threshold) { gThreshold.store(threshold, std::memory_order_relaxed); }

std::shared_ptr<ZUMLogger> ZUMLogger::sharedInstance() {
  static auto* shared =
      new platform::ResettableShared<ZUMLogger>([] { return std::shared_ptr<ZUMLogger>(new ZUMLogger()); });
  return shared->get();
}

void ZUMLogger::logPublicMessage(const std::string& message) { ZUMLog(kZUMLogLevelDefault, "<Vantor> " + message); }
