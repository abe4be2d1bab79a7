// The publisher product's banner: a ZUMBannerView that also passes the page's app events
// to the host, can hand a response the server allows to be custom rendered to the host
// (which draws it and reports back through this view), lets the host record impressions
// itself, accepts several ad sizes for one request, shares a page correlator with the
// publisher's other ads, and can be resized by the host without a reload:
//
//   auto banner = PXRBannerView::create(kZUMAdSizeBanner);
//   banner->setValidAdSizesWithSizes({kZUMAdSizeBanner, kZUMAdSizeMediumRectangle});
//   banner->setCorrelator(pageCorrelator);
//   banner->loadRequest(PXRRequest::create());
//
// A later load pre-empts one still in progress only when the correlator was reset since
// that load started, so the new request belongs to a new page view; the first load, and
// every load without a correlator, never pre-empts.
//
// Holds what ZUMBannerView holds; its app-event and custom-rendering delegates weakly.
// Main thread only.
#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PXRCustomRenderedAdEventHandler.h"
#include "ZUMBannerView.h"
#include "sdk/formats/PXRCorrelatorPreemption.h"
#include "sdk/formats/PXRCustomRendering.h"
#include "sdk/request/ZUMLoadable.h"

class PXRCustomRenderedBannerViewDelegate;
class ZUMAppEventDelegate;
class ZUMCorrelator;

class PXRBannerView final : public ZUMBannerView, public PXRCustomRenderedAdEventHandler, public ZUMLoadable {
 public:
  // The banner's initializers (ZUMBannerView::create), making a publisher banner.
  static std::shared_ptr<PXRBannerView> create();
  static std::shared_ptr<PXRBannerView> create(const platform::Rect& frame);
  static std::shared_ptr<PXRBannerView> create(const ZUMAdSize& adSize);
  static std::shared_ptr<PXRBannerView> create(const ZUMAdSize& adSize, platform::Point origin);
  static std::shared_ptr<PXRBannerView> create(const platform::Rect& frame, const ZUMAdSize& adSize);

  // --- Sizes -------------------------------------------------------------------------------
  // Takes `adSize` without a reload; every later request of any ad carries "dcr"="1",
  // also when the size was refused.
  void resize(const ZUMAdSize& adSize);
  // The sizes an ad may have, boxed (ZUMValueFromAdSize); std::nullopt: none given. The
  // slot sends them with each request and takes an ad of any of them.
  std::optional<std::vector<std::any>> validAdSizes() override { return validAdSizes_; }
  // Sets the list as given; no request carries "dcs" for it.
  void setValidAdSizes(std::optional<std::vector<std::any>> sizes) { validAdSizes_ = std::move(sizes); }
  // Boxes the sizes in order (none: an empty list); every later request of any ad
  // carries "dcs"="1".
  void setValidAdSizesWithSizes(const std::vector<ZUMAdSize>& sizes);

  // --- Correlator and impressions (the slot's) ------------------------------------------------
  std::shared_ptr<ZUMCorrelator> correlator() const;
  void setCorrelator(const std::shared_ptr<ZUMCorrelator>& correlator);
  // Requests then ask the server to leave impression counting to the host ("d_imp_hdr").
  bool enableManualImpressions() const;
  void setEnableManualImpressions(bool enabled);
  // Pings the manual-tracking URLs of the ad shown (each ad's once).
  void recordImpression();

  // --- Delegates ---------------------------------------------------------------------------
  std::shared_ptr<ZUMAppEventDelegate> appEventDelegate() const { return appEventDelegate_.lock(); }
  void setAppEventDelegate(const std::shared_ptr<ZUMAppEventDelegate>& d) { appEventDelegate_ = d; }
  std::shared_ptr<PXRCustomRenderedBannerViewDelegate> customRenderedBannerViewDelegate() const {
    return customRenderedBannerViewDelegate_.lock();
  }
  void setCustomRenderedBannerViewDelegate(const std::shared_ptr<PXRCustomRenderedBannerViewDelegate>& d) {
    customRenderedBannerViewDelegate_ = d;
  }

  // --- ZUMSlotDelegate ---------------------------------------------------------------------
  ZUMImplemented slotDidReceiveAppEvent(ZUMSlot& slot, const std::string& name,
                                        const std::optional<std::string>& info) override;
  // Tells the ad-size delegate only of a size other than the banner's.
  ZUMImplemented slotWillResizeToAdSize(ZUMSlot& slot, const ZUMAdSize& adSize) override;
  ZUMImplemented slotWillLoadAdWithRequest(ZUMSlot& slot, const std::shared_ptr<ZUMRequest>& request) override;
  // Yes only when the slot's correlation id changed since the load in progress started.
  std::optional<bool> slotShouldPreemptInProgressRequest(ZUMSlot& slot) override;
  // Hands the ad to the custom-rendered delegate; without one, false and code 12.
  [[nodiscard]] std::optional<bool> slotNotifyPublisherToRenderCustomRenderingAd(ZUMSlot& slot,
                                                                                 const std::shared_ptr<ZUMAd>& ad,
                                                                                 platform::ErrorPtr* error) override;

  // --- PXRCustomRenderedAdEventHandler -------------------------------------------------------
  // As PXRInterstitial's: the load completes once, and only reports about the ad the slot
  // still holds count.
  void finishedRenderingAdView(const std::shared_ptr<platform::View>& view) override;
  void recordCustomAdImpression() override;
  void recordClick() override;

  // --- ZUMLoadable (publisher banners of an ad loader) ----------------------------------------
  // Nothing to preload: completes with nullptr on the next turn of the main queue.
  void loadAssetsWithCompletionHandler(std::function<void(const platform::ErrorPtr&)> completion) override;
  // Hands the banner to the loader's PXRBannerAdLoaderDelegate, on the main thread.
  void adLoaderDidReceiveAd(ZUMAdLoader& loader) override;
  std::optional<std::string> loadableClassName() const override { return "PXRBannerView"; }

 private:
  using ZUMBannerView::ZUMBannerView;

  PXRCorrelatorPreemption preemption_;
  std::weak_ptr<ZUMAppEventDelegate> appEventDelegate_;
  std::optional<std::vector<std::any>> validAdSizes_;
  std::weak_ptr<PXRCustomRenderedBannerViewDelegate> customRenderedBannerViewDelegate_;
  PXRCustomRendering customRendering_;
};
