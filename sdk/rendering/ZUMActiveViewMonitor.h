// Keeps the last visibility sample of one view (through its own ZUMViewMonitor) and
// builds the active-view state report that the ad network's measurement script
// receives: {"units": [state]}, the state's keys in a fixed order (adBox,
// globalVisibleBox, viewBox, screenDimension, screenOrientation, ad_type_mraid,
// isSubViewOfVisibleWindow, isVisible, qyraVersion, adFormat, activeViewJSON, timestamp,
// hashCode, doneReasonCode, appMuted, appVolume, deviceVolume). Sampling runs at the
// SDK-core controller's active-view sampling interval.
//
// The view and the delegate are held weakly. The last sample and the delegate live on
// the serial queue "com.vantor.morvane.active-view-monitor". The report reads views,
// windows and the screen: main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/ui/Geometry.h"
#include "sdk/rendering/ZUMViewMonitor.h"

class ZUMActiveViewMonitor;

class ZUMActiveViewMonitorDelegate {
 public:
  virtual ~ZUMActiveViewMonitorDelegate() = default;
  virtual void activeViewMonitorDidRefresh(ZUMActiveViewMonitor& monitor) = 0;
};

// {"top": min y, "bottom": max y, "left": min x, "right": max x} as double numbers (a
// value that is not finite is written as 0).
nlohmann::ordered_json ZUMEdgeDictionaryFromRect(const platform::Rect& rect);

// The SDK-core controller's sampling interval (the default without a controller).
double ZUMActiveViewSamplingInterval();

class ZUMActiveViewMonitor : public ZUMViewMonitorDelegate, public std::enable_shared_from_this<ZUMActiveViewMonitor> {
 public:
  // nullptr without a view.
  static std::shared_ptr<ZUMActiveViewMonitor> create(const std::shared_ptr<platform::View>& view,
                                                      std::optional<std::string> adFormat,
                                                      std::optional<nlohmann::ordered_json> activeViewConfiguration);
  ~ZUMActiveViewMonitor() override;

  void startMonitoring();
  void sample();
  void stopMonitoring();
  const std::shared_ptr<ZUMViewMonitor>& viewMonitor() const { return viewMonitor_; }

  // Main thread.
  nlohmann::ordered_json activeViewStateWithID(std::uint64_t activeViewID, bool isMRAIDEnabled, bool unloaded) const;

  std::shared_ptr<platform::View> monitoredView() const { return viewMonitor_->monitoredView(); }
  platform::Rect monitoredViewVisibleBounds() const;
  bool monitoredViewVisible() const;
  std::shared_ptr<ZUMActiveViewMonitorDelegate> delegate() const;
  void setDelegate(const std::shared_ptr<ZUMActiveViewMonitorDelegate>& delegate);

  // ZUMViewMonitorDelegate
  void viewMonitorDidRefresh(ZUMViewMonitor& monitor) override;

 private:
  ZUMActiveViewMonitor(std::shared_ptr<ZUMViewMonitor> viewMonitor, std::optional<std::string> adFormat,
                       std::optional<nlohmann::ordered_json> configuration);

  const std::shared_ptr<ZUMViewMonitor> viewMonitor_;
  const std::optional<std::string> adFormat_;
  const std::unique_ptr<const nlohmann::ordered_json> configuration_;  // nullptr: none
  const std::shared_ptr<platform::DispatchQueue> queue_;
  // On queue_.
  std::weak_ptr<ZUMActiveViewMonitorDelegate> delegate_;
  platform::Rect visibleBounds_ = platform::Rect::zero();
  bool visible_ = false;
};
