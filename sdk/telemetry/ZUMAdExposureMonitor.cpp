#include "sdk/telemetry/ZUMAdExposureMonitor.h"

#include "platform/base/MainThreadChecker.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/request/ZUMSDKConstants.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/telemetry/ZUMAdUnitExposure.h"
#include "sdk/telemetry/ZUMAnalytics.h"

std::shared_ptr<ZUMAdExposureMonitor> ZUMAdExposureMonitor::create(const std::shared_ptr<platform::View>& view,
                                                                   const std::optional<std::string>& adUnitID) {
  if (!view || !adUnitID) return nullptr;
  std::shared_ptr<ZUMAdExposureMonitor> monitor(new ZUMAdExposureMonitor(view, *adUnitID));
  monitor->SDKCoreConstantsObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMSDKCoreDidUpdateConstantsNotification, nullptr, nullptr,
      ZUMBindWeak(monitor->weak_from_this(), &ZUMAdExposureMonitor::startMonitoring));
  return monitor;
}

ZUMAdExposureMonitor::ZUMAdExposureMonitor(const std::shared_ptr<platform::View>& view, std::string adUnitID)
    : adUnitID_(std::move(adUnitID)), monitoredView_(view) {}

ZUMAdExposureMonitor::~ZUMAdExposureMonitor() { removeConstantsObserver(); }

void ZUMAdExposureMonitor::removeConstantsObserver() {
  if (auto token = std::exchange(SDKCoreConstantsObserver_, nullptr)) {
    platform::NotificationCenter::defaultCenter().removeObserver(token);
  }
}

void ZUMAdExposureMonitor::startMonitoring() {
  ZUMRunOnMainThread(ZUMBindWeak(weak_from_this(), &ZUMAdExposureMonitor::startMonitoringOnMainThread));
}

void ZUMAdExposureMonitor::startMonitoringOnMainThread() {
  auto view = monitoredView_.lock();
  if (state_ != State::kIdle || !view || !ZUMAnalytics::sharedInstance()) return;
  viewMonitor_ = ZUMViewMonitor::create(view);
  viewMonitor_->setDelegate(shared_from_this());
  const auto controller = ZUMSDKCoreController::sharedInstance();
  viewMonitor_->startMonitoringWithSamplingInterval(controller ? controller->activeViewSamplingInterval()
                                                               : kZUMDefaultActiveViewSamplingInterval);
  state_ = State::kMonitoring;
}

void ZUMAdExposureMonitor::finishMonitoring() {
  platform::assertMainThread();
  removeConstantsObserver();
  viewMonitor_.reset();  // its schedule stops with it
  adUnitExposure_.reset();
  state_ = State::kFinished;
}

void ZUMAdExposureMonitor::viewMonitorDidRefresh(ZUMViewMonitor& monitor) {
  platform::assertMainThread();
  if (state_ != State::kMonitoring) return;
  if (!monitor.monitoredViewVisible()) {
    adUnitExposure_.reset();
  } else if (!adUnitExposure_) {
    adUnitExposure_ = ZUMAdUnitExposure::begin(adUnitID_);
  }
}
