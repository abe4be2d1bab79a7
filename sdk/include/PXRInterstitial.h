// The publisher product's interstitial: a ZUMInterstitial that shares a page correlator
// with the publisher's other ads, passes the page's app events to the host, and can hand
// a response the server allows to be custom rendered to the host, which then draws the
// ad itself (PXRCustomRenderedAd) and reports its rendering, impressions and clicks back
// through this object.
//
// A later load pre-empts one still in progress only when the correlator was reset since
// that load started, so the new request belongs to a new page view.
//
// Delegates are held weakly. Main thread only, as ZUMInterstitial (loadRequest() from any).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "PXRCustomRenderedAdEventHandler.h"
#include "ZUMInterstitial.h"
#include "sdk/formats/PXRCorrelatorPreemption.h"
#include "sdk/formats/PXRCustomRendering.h"

class PXRCustomRenderedInterstitialDelegate;
class ZUMAppEventDelegate;
class ZUMCorrelator;

class PXRInterstitial final : public ZUMInterstitial, public PXRCustomRenderedAdEventHandler {
 public:
  static std::shared_ptr<PXRInterstitial> create(std::string adUnitID = "");

  // The slot's correlator (nullptr before a slot exists).
  std::shared_ptr<ZUMCorrelator> correlator() const;
  // Makes the slot when there is none, so the correlator holds for the first load;
  // nullptr is ignored.
  void setCorrelator(const std::shared_ptr<ZUMCorrelator>& correlator);

  std::shared_ptr<ZUMAppEventDelegate> appEventDelegate() const { return appEventDelegate_.lock(); }
  void setAppEventDelegate(const std::shared_ptr<ZUMAppEventDelegate>& d) { appEventDelegate_ = d; }
  std::shared_ptr<PXRCustomRenderedInterstitialDelegate> customRenderedInterstitialDelegate() const {
    return customRenderedInterstitialDelegate_.lock();
  }
  void setCustomRenderedInterstitialDelegate(const std::shared_ptr<PXRCustomRenderedInterstitialDelegate>& d) {
    customRenderedInterstitialDelegate_ = d;
  }
  // Set once a custom-rendering response arrived: the host shows the ad itself.
  bool isCustomAdRenderingEnabled() const { return customAdRenderingEnabled_; }
  void setCustomAdRenderingEnabled(bool enabled) { customAdRenderingEnabled_ = enabled; }

  // With custom rendering enabled only logs that the host presents the ad itself.
  void presentFromRootViewController(const std::shared_ptr<platform::ViewController>& root) override;

  // --- ZUMSlotDelegate ---------------------------------------------------------------------
  ZUMImplemented slotDidReceiveAppEvent(ZUMSlot& slot, const std::string& name,
                                        const std::optional<std::string>& info) override;
  ZUMImplemented slotWillLoadAdWithRequest(ZUMSlot& slot, const std::shared_ptr<ZUMRequest>& request) override;
  // Yes only when the slot's correlation id changed since the load in progress started.
  std::optional<bool> slotShouldPreemptInProgressRequest(ZUMSlot& slot) override;
  // Hands the ad to the custom-rendered delegate; without one, false and code 12.
  [[nodiscard]] std::optional<bool> slotNotifyPublisherToRenderCustomRenderingAd(ZUMSlot& slot,
                                                                                 const std::shared_ptr<ZUMAd>& ad,
                                                                                 platform::ErrorPtr* error) override;

  // --- PXRCustomRenderedAdEventHandler -------------------------------------------------------
  // Completes the load once: later calls, and calls once the slot left rendering (failed,
  // invalidated), change nothing.
  void finishedRenderingAdView(const std::shared_ptr<platform::View>& view) override;
  // Once the load completed, and while the slot holds that ad: the slot counts one
  // impression per ad and the ad's manual-tracking URLs are pinged (the ad spends them
  // on the first ping); every click is pinged.
  void recordCustomAdImpression() override;
  void recordClick() override;

 private:
  using ZUMInterstitial::ZUMInterstitial;

  PXRCorrelatorPreemption preemption_;
  std::weak_ptr<ZUMAppEventDelegate> appEventDelegate_;
  std::weak_ptr<PXRCustomRenderedInterstitialDelegate> customRenderedInterstitialDelegate_;
  bool customAdRenderingEnabled_ = false;
  PXRCustomRendering customRendering_;
};
