// Decides when an ad's impression counts: definition 0 at once (the ad has loaded),
// definition 1 when its view is first seen (one sample now; while not visible, sampling
// at the active-view interval until a sample finds it visible). Any other definition
// never counts. The delegate hears of the impression once per start: monitoring stops
// before it is told.
//
// The view and the delegate are held weakly. Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "sdk/rendering/ZUMViewMonitor.h"

class ZUMImpressionMonitor;

class ZUMImpressionMonitorDelegate {
 public:
  virtual ~ZUMImpressionMonitorDelegate() = default;
  virtual void impressionMonitorDidMonitorImpression(ZUMImpressionMonitor& monitor) = 0;
};

enum class ZUMImpressionDefinition : std::int64_t { Loaded = 0, Visible = 1 };

class ZUMImpressionMonitor : public ZUMViewMonitorDelegate, public std::enable_shared_from_this<ZUMImpressionMonitor> {
 public:
  static std::shared_ptr<ZUMImpressionMonitor> create(const std::shared_ptr<platform::View>& view,
                                                      std::int64_t impressionDefinition);

  void startMonitoring();
  void stopMonitoring();
  std::int64_t impressionDefinition() const { return impressionDefinition_; }
  const std::shared_ptr<ZUMViewMonitor>& viewMonitor() const { return viewMonitor_; }

  std::shared_ptr<ZUMImpressionMonitorDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMImpressionMonitorDelegate>& delegate) { delegate_ = delegate; }

  // ZUMViewMonitorDelegate
  void viewMonitorDidRefresh(ZUMViewMonitor& monitor) override;

 private:
  ZUMImpressionMonitor(const std::shared_ptr<platform::View>& view, std::int64_t definition)
      : view_(view), impressionDefinition_(definition) {}
  void startVisibleRule();
  void didMonitorImpression();

  const std::weak_ptr<platform::View> view_;
  const std::int64_t impressionDefinition_;
  std::shared_ptr<ZUMViewMonitor> viewMonitor_;
  std::weak_ptr<ZUMImpressionMonitorDelegate> delegate_;
};
