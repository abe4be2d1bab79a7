// A banner of search ads:
//
//   auto banner = ZUMSearchBannerView::create({0, 0, 320, 0}, kZUMAdSizeFluid);
//   banner->setAdUnitID("unit-S");
//   banner->setDelegate(delegate);
//   auto request = ZUMDynamicHeightSearchRequest::create();
//   request->setQuery("garden chairs");
//   banner->loadRequest(request);
//
// Made with a fixed ad size it is an ordinary ZUMBannerView whose requests go through its
// slot. Made with the fluid size it has no slot: it hosts a ZUMDynamicHeightSearchBannerView
// that loads the search-ads page of a ZUMDynamicHeightSearchRequest and grows with the
// page's height; the ad-size delegate hears each new height. A link the user taps opens
// in another application, only when it is an http(s) URL (any other scheme is refused
// with a log line), and the delegate hears adViewWillLeaveApplication().
//
// Holds its dynamic view strongly. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "ZUMBannerView.h"
#include "sdk/formats/ZUMDynamicHeightSearchBannerViewDelegate.h"

class ZUMDynamicHeightSearchBannerView;

class ZUMSearchBannerView : public ZUMBannerView, public ZUMDynamicHeightSearchBannerViewDelegate {
 public:
  static std::shared_ptr<ZUMSearchBannerView> create(const ZUMAdSize& adSize);
  static std::shared_ptr<ZUMSearchBannerView> create(const ZUMAdSize& adSize, platform::Point origin);
  static std::shared_ptr<ZUMSearchBannerView> create(const platform::Rect& frame, const ZUMAdSize& adSize);
  // From an archive: a fixed size, its frame's.
  static std::shared_ptr<ZUMSearchBannerView> create(const platform::Coder& coder);
  // Registers the archive class "ZUMSearchBannerView".
  static void registerClass();
  ~ZUMSearchBannerView() override;

  // To the dynamic view when there is one, else the banner's own load.
  void loadRequest(const std::shared_ptr<ZUMRequest>& request) override;
  void setAdUnitID(std::string adUnitID) override;
  // The banner's frame; the dynamic view is hidden while the frame has no width or height.
  void setFrame(const platform::Rect& frame) override;
  // nullptr for fixed sizes.
  const std::shared_ptr<ZUMDynamicHeightSearchBannerView>& dynamicHeightAdView() const { return dynamicHeightAdView_; }

  // --- ZUMDynamicHeightSearchBannerViewDelegate ---------------------------------------------
  ZUMImplemented bannerViewDidReceiveAd(ZUMDynamicHeightSearchBannerView& view) override;
  ZUMImplemented bannerViewDidFailToReceiveAdWithError(ZUMDynamicHeightSearchBannerView& view,
                                                       const platform::ErrorPtr& error) override;
  ZUMImplemented bannerViewDidReceiveLandingPageURL(ZUMDynamicHeightSearchBannerView& view,
                                                    const platform::URL& url) override;
  ZUMImplemented bannerViewDidUpdateDesiredContentSize(ZUMDynamicHeightSearchBannerView& view,
                                                       platform::Size size) override;

 private:
  explicit ZUMSearchBannerView(const platform::Rect& frame);
  void commonInitWithAdSize(const ZUMAdSize& adSize);

  std::shared_ptr<ZUMDynamicHeightSearchBannerView> dynamicHeightAdView_;
};
