#include "sdk/rendering/ZUMImpressionMonitor.h"

#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/View.h"
#include "sdk/rendering/ZUMActiveViewMonitor.h"

std::shared_ptr<ZUMImpressionMonitor> ZUMImpressionMonitor::create(const std::shared_ptr<platform::View>& view,
                                                                   std::int64_t impressionDefinition) {
  return std::shared_ptr<ZUMImpressionMonitor>(new ZUMImpressionMonitor(view, impressionDefinition));
}

void ZUMImpressionMonitor::startMonitoring() {
  platform::assertMainThread();
  if (impressionDefinition_ == static_cast<std::int64_t>(ZUMImpressionDefinition::Loaded))
    return didMonitorImpression();
  if (impressionDefinition_ == static_cast<std::int64_t>(ZUMImpressionDefinition::Visible)) startVisibleRule();
}

void ZUMImpressionMonitor::startVisibleRule() {
  if (viewMonitor_) stopMonitoring();
  // A released view never makes an impression.
  viewMonitor_ = ZUMViewMonitor::create(view_.lock());
  if (!viewMonitor_) return;
  viewMonitor_->sample();
  if (viewMonitor_->monitoredViewVisible()) return didMonitorImpression();
  viewMonitor_->setDelegate(shared_from_this());
  viewMonitor_->startMonitoringWithSamplingInterval(ZUMActiveViewSamplingInterval());
}

void ZUMImpressionMonitor::stopMonitoring() {
  if (!viewMonitor_) return;
  viewMonitor_->setDelegate(nullptr);
  viewMonitor_->stopMonitoring();
}

void ZUMImpressionMonitor::viewMonitorDidRefresh(ZUMViewMonitor& monitor) {
  if (&monitor == viewMonitor_.get() && monitor.monitoredViewVisible()) didMonitorImpression();
}

void ZUMImpressionMonitor::didMonitorImpression() {
  stopMonitoring();
  if (auto delegate = delegate_.lock()) delegate->impressionMonitorDidMonitorImpression(*this);
}
