// The active-view side of one slot: it runs one ZUMActiveViewMonitor on the slot's ad
// view and sends each measurement, as a call of the page function QYRA_updateActiveView
// with the state report as JSON, to its receivers: the creative's own page (receiver 2)
// and a page the SDK-core controller lends for active-view processing (receiver 1). It
// also runs the slot's impression monitor, hands the MRAID event handling each refresh
// and visibility change, and follows its owner's window and full-screen signals and the
// application's activity.
//
// One per slot (forSlot(), kept by the slot), the observer of the slot's ad-view
// reporter. Holds the slot and the ad view weakly, the monitor and the borrowed page
// strongly; the page is borrowed once per reporting run and given back exactly once.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/NotificationCenter.h"
#include "sdk/rendering/ZUMActiveViewMonitor.h"
#include "sdk/rendering/ZUMAdViewActiveViewMonitoring.h"
#include "sdk/rendering/ZUMImpressionMonitor.h"

namespace platform {
class View;
class Window;
}  // namespace platform

class ZUMActiveViewWebView;
class ZUMSlot;

class ZUMSlotActiveView final : public ZUMAdViewActiveViewMonitoring,
                                public ZUMActiveViewMonitorDelegate,
                                public ZUMImpressionMonitorDelegate,
                                public std::enable_shared_from_this<ZUMSlotActiveView> {
 public:
  // Receivers of the measurements, as flags.
  static constexpr std::uint64_t kSDKCoreReceiver = 1;
  static constexpr std::uint64_t kCreativeReceiver = 2;

  // The slot's, made (and kept by the slot) on first use.
  static std::shared_ptr<ZUMSlotActiveView> forSlot(ZUMSlot& slot);
  ~ZUMSlotActiveView() override;

  void startActiveViewReportingIfEnabled();
  void startActiveViewReporting();
  void finishActiveViewReporting();
  bool canEnableActiveViewMonitoring() const;
  // "interstitial_mb" for an interstitial slot, else "banner_mb".
  std::string adFormat() const;
  // "QYRA_updateActiveView(<pretty JSON>)"; nullopt when there are no parameters or they
  // cannot be written.
  static std::optional<std::string> activeViewJSCommandWithParams(const std::optional<nlohmann::ordered_json>& params);

  // Impressions (banner and other non-interstitial slots): a new monitor of the shown
  // ad's definition; its impression becomes the slot's.
  void startImpressionMonitoring();

  // --- Owner and slot signals -----------------------------------------------------------
  void ownerViewDidMoveToWindow(const std::shared_ptr<platform::Window>& window);
  void interstitialViewWillAppear();
  void interstitialViewWillDisappear();
  // The slot is invalidated: reporting finishes and no view is measured any more.
  void slotWillInvalidate();
  // The view measured: the slot's ad view, from its creation.
  void setMonitoredView(const std::shared_ptr<platform::View>& view) { monitoredView_ = view; }

  const std::shared_ptr<ZUMActiveViewMonitor>& activeViewMonitor() const { return monitor_; }
  std::uint64_t activeViewID() const { return activeViewID_; }
  std::uint64_t measurementReceivers() const { return receivers_; }
  const std::shared_ptr<ZUMActiveViewWebView>& SDKCoreWebView() const { return webView_; }

  // --- ZUMAdViewActiveViewMonitoring ----------------------------------------------------
  void activeViewVisibilityChanged(bool visible) override;
  bool activeViewMonitoringStarted(std::uint64_t receiver) override;
  void activeViewMonitoringDidStop(std::uint64_t receiver) override;
  // --- ZUMActiveViewMonitorDelegate -----------------------------------------------------
  void activeViewMonitorDidRefresh(ZUMActiveViewMonitor& monitor) override;
  // --- ZUMImpressionMonitorDelegate -----------------------------------------------------
  void impressionMonitorDidMonitorImpression(ZUMImpressionMonitor& monitor) override;

 private:
  explicit ZUMSlotActiveView(const std::shared_ptr<ZUMSlot>& slot);
  void observeApplication();
  bool isMRAIDEnabled() const;
  void createActiveViewMonitor();
  void unloadActiveViewMonitor();
  void sendState(ZUMActiveViewMonitor& monitor, bool unloaded);

  const std::weak_ptr<ZUMSlot> slot_;
  std::weak_ptr<platform::View> monitoredView_;
  std::shared_ptr<ZUMActiveViewMonitor> monitor_;
  std::shared_ptr<ZUMActiveViewWebView> webView_;
  std::uint64_t activeViewID_ = 0;
  std::uint64_t receivers_ = 0;
  std::vector<platform::NotificationCenter::Token> observers_;
};
