// Samples the part of one view visible in its window (ZUMVisibleRectInWindow) now or on
// a repeating schedule (a ZUMScheduler whose task holds the monitor weakly), keeps the
// last sample and tells its delegate after each one. A sample that finds the view gone
// stores the zero rectangle and stops the schedule.
//
// The view and the delegate are held weakly. The last sample and the delegate live on
// the serial queue "com.vantor.morvane.view-monitor": reads wait for it, writes are
// queued, so a read after a write of the same thread sees it. Sampling, starting and
// stopping run on the main thread (called elsewhere, they hop there).
#pragma once

#include <memory>

#include "platform/ui/Geometry.h"

namespace platform {
class DispatchQueue;
class View;
}  // namespace platform

class ZUMScheduler;
class ZUMViewMonitor;

class ZUMViewMonitorDelegate {
 public:
  virtual ~ZUMViewMonitorDelegate() = default;
  virtual void viewMonitorDidRefresh(ZUMViewMonitor& monitor) = 0;
};

class ZUMViewMonitor : public std::enable_shared_from_this<ZUMViewMonitor> {
 public:
  // nullptr without a view.
  static std::shared_ptr<ZUMViewMonitor> create(const std::shared_ptr<platform::View>& view);
  ~ZUMViewMonitor();

  // Starts sampling every `seconds` (the scheduler's floor applies to 0, negative or
  // NaN) unless a schedule already runs; a running schedule keeps its interval.
  void startMonitoringWithSamplingInterval(double seconds);
  void stopMonitoring();
  bool isMonitoring() const;
  void sample();

  std::shared_ptr<platform::View> monitoredView() const { return view_.lock(); }
  // The last sample, in window coordinates; the zero rectangle before the first.
  platform::Rect monitoredViewVisibleBounds() const;
  // The last verdict; false while the application is not active.
  bool monitoredViewVisible() const;

  std::shared_ptr<ZUMViewMonitorDelegate> delegate() const;
  void setDelegate(const std::shared_ptr<ZUMViewMonitorDelegate>& delegate);

 private:
  explicit ZUMViewMonitor(const std::shared_ptr<platform::View>& view);
  void sampleOnMainThread();

  const std::weak_ptr<platform::View> view_;
  const std::shared_ptr<platform::DispatchQueue> queue_;
  std::shared_ptr<ZUMScheduler> scheduler_;  // main thread
  // On queue_.
  std::weak_ptr<ZUMViewMonitorDelegate> delegate_;
  platform::Rect visibleBounds_ = platform::Rect::zero();
  bool visible_ = false;
};
