// Reports the exposure of one ad unit's view to the analytics bridge: once started, it
// samples the view at the SDK-core controller's active-view interval and begins the
// exposure when the view becomes visible, ends it when the view stops being visible.
// Until the bridge exists it waits: every delivery of SDK constants tries to start it
// again. It starts at most once; a finished monitor never starts again, so an owner makes
// a new one for a new ad unit.
//
// The view is held weakly. An exposure open when the monitor is finished or destroyed is
// ended then. Main thread only (startMonitoring may be called from any thread and hops).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/base/NotificationCenter.h"
#include "sdk/rendering/ZUMViewMonitor.h"

namespace platform {
class View;
}

class ZUMAdUnitExposure;

class ZUMAdExposureMonitor final : public ZUMViewMonitorDelegate,
                                   public std::enable_shared_from_this<ZUMAdExposureMonitor> {
 public:
  // nullptr without a view or an ad unit id.
  static std::shared_ptr<ZUMAdExposureMonitor> create(const std::shared_ptr<platform::View>& view,
                                                      const std::optional<std::string>& adUnitID);
  ~ZUMAdExposureMonitor() override;
  ZUMAdExposureMonitor(const ZUMAdExposureMonitor&) = delete;
  ZUMAdExposureMonitor& operator=(const ZUMAdExposureMonitor&) = delete;

  // Starts sampling when the bridge exists, the view lives and monitoring never started.
  void startMonitoring();
  // Stops sampling for good and ends an open exposure.
  void finishMonitoring();
  bool isMonitoring() const { return state_ == State::kMonitoring; }

  // ZUMViewMonitorDelegate
  void viewMonitorDidRefresh(ZUMViewMonitor& monitor) override;

 private:
  enum class State { kIdle, kMonitoring, kFinished };

  ZUMAdExposureMonitor(const std::shared_ptr<platform::View>& view, std::string adUnitID);
  void startMonitoringOnMainThread();
  void removeConstantsObserver();

  const std::string adUnitID_;
  const std::weak_ptr<platform::View> monitoredView_;
  std::shared_ptr<ZUMViewMonitor> viewMonitor_;
  std::unique_ptr<ZUMAdUnitExposure> adUnitExposure_;  // open while the view is seen
  platform::NotificationCenter::Token SDKCoreConstantsObserver_;
  State state_ = State::kIdle;
};
