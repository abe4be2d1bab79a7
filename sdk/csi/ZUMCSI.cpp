#include "sdk/csi/ZUMCSI.h"

#include <utility>

#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/csi/ZUMCSIReporter.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMThreading.h"

ZUMCSI::ZUMCSI()
    : configuration_(ZUMCSIConfiguration::defaultConfiguration()),
      lockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.csi-lock")) {}

std::shared_ptr<ZUMCSI> ZUMCSI::create() { return std::shared_ptr<ZUMCSI>(new ZUMCSI()); }

std::shared_ptr<ZUMCSI> ZUMCSI::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMCSI>([] { return create(); });
  return shared->get();
}

std::shared_ptr<ZUMCSITimeRecorder> ZUMCSI::timeRecorderForAction(const std::string& action) {
  if (!configuration_->reportingEnabled()) return nullptr;
  const auto queryID = BRVQueryID();
  std::shared_ptr<ZUMCSITimeRecorder> recorder;
  // Looked up and stored in one step, so two threads asking at once share one recorder.
  lockQueue_->sync([&] {
    auto& stored = timeRecorders_[action];
    if (stored) {
      if (queryID) stored->setCustomizedParameterValue(*queryID, "bqi");
    } else {
      stored = ZUMCSITimeRecorder::create(action);
      stored->setCustomizedParameterValue(kZUMSDKVersion, "sdkVersion");
      stored->addExperimentID(kZUMSDKVersion);
    }
    recorder = stored;
  });
  return recorder;
}

void ZUMCSI::recordTimestampForLabel(const std::string& label) {
  // Read now, on the caller's thread.
  setTimestamp(static_cast<std::int64_t>(platform::clock().wallNow() * 1000.0), label);
}

void ZUMCSI::setTimestamp(std::int64_t milliseconds, const std::string& label) {
  lockQueue_->async([self = shared_from_this(), milliseconds, label] { self->timestamps_[label] = milliseconds; });
}

std::int64_t ZUMCSI::timestampForLabel(const std::string& label) const {
  return lockQueue_->syncResult([&] {
    auto it = timestamps_.find(label);
    return it == timestamps_.end() ? std::int64_t{0} : it->second;
  });
}

void ZUMCSI::sendReport() {
  lockQueue_->async([self = shared_from_this()] {
    for (const auto& [action, recorder] : self->timeRecorders_) {
      ZUMCSIReporter::create(self->configuration_)->reportTimeRecorder(recorder, nullptr);
    }
    self->timestamps_.clear();
  });
}

std::optional<std::string> ZUMCSI::BRVQueryID() const {
  std::lock_guard lock(mutex_);
  return BRVQueryID_;
}

void ZUMCSI::setBRVQueryID(std::optional<std::string> queryID) {
  std::lock_guard lock(mutex_);
  BRVQueryID_ = std::move(queryID);
}
