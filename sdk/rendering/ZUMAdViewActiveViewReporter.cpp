#include "sdk/rendering/ZUMAdViewActiveViewReporter.h"

#include "platform/base/DispatchQueue.h"
#include "sdk/foundation/ZUMBindWeak.h"

ZUMAdViewActiveViewReporter::~ZUMAdViewActiveViewReporter() {
  if (!reporting_) return;
  reporting_ = false;
  platform::DispatchQueue::main()->async(
      ZUMBindWeak(observer_, &ZUMAdViewActiveViewMonitoring::activeViewMonitoringDidStop, kReceiver));
}

void ZUMAdViewActiveViewReporter::start() {
  auto observer = observer_.lock();
  reporting_ = observer && observer->activeViewMonitoringStarted(kReceiver);
}

void ZUMAdViewActiveViewReporter::stop() {
  if (!reporting_) return;
  if (auto observer = observer_.lock()) observer->activeViewMonitoringDidStop(kReceiver);
  reporting_ = false;
}
