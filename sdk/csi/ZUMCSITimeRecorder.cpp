#include "sdk/csi/ZUMCSITimeRecorder.h"

#include <algorithm>
#include <utility>

#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/Random.h"
#include "sdk/csi/ZUMCSIVariableTiming.h"
#include "sdk/foundation/ZUMThreading.h"

ZUMCSITimeRecorder::ZUMCSITimeRecorder(std::string action)
    : lockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.csi-time-recorder")), action_(std::move(action)) {}

std::shared_ptr<ZUMCSITimeRecorder> ZUMCSITimeRecorder::create(std::string action) {
  return std::shared_ptr<ZUMCSITimeRecorder>(new ZUMCSITimeRecorder(std::move(action)));
}

double ZUMCSITimeRecorder::currentTime() { return platform::clock().monotonicNow(); }

// --- Timings ----------------------------------------------------------------------------------

void ZUMCSITimeRecorder::startTimingVariableWithName(const std::string& name) {
  startTimingVariableWithName(name, name);
}

void ZUMCSITimeRecorder::startTimingVariableWithName(const std::string& name, const std::string& key) {
  if (name.empty()) return;
  // The start is read now, on the caller's thread; the queue may run later.
  auto timing = ZUMCSIVariableTiming::create(name, currentTime());
  lockQueue_->async([self = shared_from_this(), timing, key] { self->ongoingVariables_[key] = timing; });
}

void ZUMCSITimeRecorder::endTimingVariableWithName(const std::string& name) { endTimingVariableWithName(name, name); }

void ZUMCSITimeRecorder::endTimingVariableWithName(const std::string& name, const std::string& key) {
  lockQueue_->async(
      [self = shared_from_this(), name, key] { self->durationAfterCommonEndTimingVariableWithName(name, key); });
}

std::int64_t ZUMCSITimeRecorder::durationAfterEndTimingVariableWithName(const std::string& name) {
  return ZUMCSIMillisecondsFromSeconds(
      lockQueue_->syncResult([&] { return durationAfterCommonEndTimingVariableWithName(name, name); }));
}

double ZUMCSITimeRecorder::durationAfterCommonEndTimingVariableWithName(const std::string&, const std::string& key) {
  auto running = ongoingVariables_.find(key);
  if (running == ongoingVariables_.end()) return 0;
  auto timing = running->second;
  ongoingVariables_.erase(running);
  const double length = currentTime() - timing->start();
  timing->setLength(length);
  std::string storageKey = key;
  // An earlier completed timing of the key is kept: this one goes under a new key.
  if (completedVariables_.contains(storageKey)) storageKey += std::to_string(platform::Random::next32());
  completedVariables_[storageKey] = std::move(timing);
  return length;
}

void ZUMCSITimeRecorder::cancelTimingVariableWithName(const std::string& name) {
  cancelTimingVariableWithName(name, name);
}

void ZUMCSITimeRecorder::cancelTimingVariableWithName(const std::string&, const std::string& key) {
  lockQueue_->async([self = shared_from_this(), key] { self->ongoingVariables_.erase(key); });
}

ZUMCSITimeRecorder::Timings ZUMCSITimeRecorder::ongoingVariables() const {
  return lockQueue_->syncResult([&] { return ongoingVariables_; });
}

ZUMCSITimeRecorder::Timings ZUMCSITimeRecorder::completedVariables() const {
  return lockQueue_->syncResult([&] { return completedVariables_; });
}

void ZUMCSITimeRecorder::addCompletedVariable(const std::shared_ptr<ZUMCSIVariableTiming>& timing) {
  if (timing) addCompletedVariable(timing, timing->name());
}

void ZUMCSITimeRecorder::addCompletedVariable(const std::shared_ptr<ZUMCSIVariableTiming>& timing,
                                              const std::string& key) {
  if (!timing) return;
  lockQueue_->async([self = shared_from_this(), timing, key] { self->completedVariables_[key] = timing; });
}

void ZUMCSITimeRecorder::removeCompletedVariableForKey(const std::string& key) {
  lockQueue_->async([self = shared_from_this(), key] { self->completedVariables_.erase(key); });
}

ZUMCSITimeRecorder::Timings ZUMCSITimeRecorder::takeCompletedVariables() {
  return lockQueue_->syncResult([&] { return std::exchange(completedVariables_, {}); });
}

// --- Beacon parameters ------------------------------------------------------------------------

void ZUMCSITimeRecorder::addExperimentID(const std::string& experimentID) {
  lockQueue_->async([self = shared_from_this(), experimentID] { self->experimentIDs_.push_back(experimentID); });
}

void ZUMCSITimeRecorder::removeExperimentID(const std::string& experimentID) {
  lockQueue_->async([self = shared_from_this(), experimentID] { std::erase(self->experimentIDs_, experimentID); });
}

std::vector<std::string> ZUMCSITimeRecorder::experimentIDs() const {
  return lockQueue_->syncResult([&] { return experimentIDs_; });
}

void ZUMCSITimeRecorder::setCustomizedParameterValue(const std::string& value, const std::string& key) {
  if (key.empty()) return;
  lockQueue_->async([self = shared_from_this(), value, key] { self->customizedParameters_[key] = value; });
}

std::map<std::string, std::string> ZUMCSITimeRecorder::customizedParameters() const {
  return lockQueue_->syncResult([&] { return customizedParameters_; });
}

std::string ZUMCSITimeRecorder::action() const {
  return lockQueue_->syncResult([&] { return action_; });
}

void ZUMCSITimeRecorder::setAction(std::string action) {
  lockQueue_->async([self = shared_from_this(), action = std::move(action)] { self->action_ = action; });
}
