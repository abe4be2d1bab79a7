#include "ZUMSearchBannerView.h"

#include "ZUMAdSizeDelegate.h"
#include "ZUMRequestError.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/Application.h"
#include "platform/ui/Coder.h"
#include "sdk/formats/ZUMDynamicHeightSearchBannerView.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMURLUtilities.h"

ZUMSearchBannerView::ZUMSearchBannerView(const platform::Rect& frame) : ZUMBannerView(frame) {}

ZUMSearchBannerView::~ZUMSearchBannerView() = default;

std::shared_ptr<ZUMSearchBannerView> ZUMSearchBannerView::create(const ZUMAdSize& adSize) {
  return create(platform::Rect::zero(), adSize);
}

std::shared_ptr<ZUMSearchBannerView> ZUMSearchBannerView::create(const ZUMAdSize& adSize, platform::Point origin) {
  auto banner = create(adSize);
  banner->setFrame({origin, banner->frame().size});
  return banner;
}

std::shared_ptr<ZUMSearchBannerView> ZUMSearchBannerView::create(const platform::Rect& frame, const ZUMAdSize& adSize) {
  std::shared_ptr<ZUMSearchBannerView> banner(new ZUMSearchBannerView(frame));
  banner->commonInitWithAdSize(adSize);
  return banner;
}

std::shared_ptr<ZUMSearchBannerView> ZUMSearchBannerView::create(const platform::Coder& coder) {
  std::shared_ptr<ZUMSearchBannerView> banner(new ZUMSearchBannerView(platform::Rect::zero()));
  if (!banner->initWithCoder(coder)) return nullptr;
  banner->commonInitWithAdSize(ZUMAdSizeFromSize(banner->frame().size));
  return banner;
}

void ZUMSearchBannerView::registerClass() {
  platform::Coder::registerViewClass("ZUMSearchBannerView", [](const platform::Coder& coder) { return create(coder); });
}

void ZUMSearchBannerView::commonInitWithAdSize(const ZUMAdSize& adSize) {
  platform::assertMainThread();
  if (!ZUMAdSizeEqualToSize(adSize, kZUMAdSizeFluid)) {
    ZUMBannerView::commonInitWithAdSize(adSize);
    return;
  }
  // The fluid size: the dynamic view alone, no slot.
  const platform::Rect shown = bounds().standardized();
  dynamicHeightAdView_ = ZUMDynamicHeightSearchBannerView::create({0, 0, shown.width(), shown.height()});
  dynamicHeightAdView_->setAutoresizingMask(platform::AutoresizingFlexibleWidth);
  dynamicHeightAdView_->setDelegate(std::static_pointer_cast<ZUMSearchBannerView>(shared_from_this()));
  addSubview(dynamicHeightAdView_);
}

// --- The host's calls ----------------------------------------------------------------------------

void ZUMSearchBannerView::loadRequest(const std::shared_ptr<ZUMRequest>& request) {
  platform::assertMainThread();
  if (dynamicHeightAdView_) {
    dynamicHeightAdView_->loadRequest(request);
  } else {
    ZUMBannerView::loadRequest(request);
  }
}

void ZUMSearchBannerView::setAdUnitID(std::string adUnitID) {
  ZUMBannerView::setAdUnitID(adUnitID);
  if (dynamicHeightAdView_) dynamicHeightAdView_->setAdUnitID(std::move(adUnitID));
}

void ZUMSearchBannerView::setFrame(const platform::Rect& frame) {
  ZUMBannerView::setFrame(frame);
  if (dynamicHeightAdView_) dynamicHeightAdView_->setHidden(frame.isEmpty());
}

// --- The dynamic view's reports ------------------------------------------------------------------

ZUMImplemented ZUMSearchBannerView::bannerViewDidReceiveAd(ZUMDynamicHeightSearchBannerView&) {
  if (auto delegate = this->delegate()) delegate->adViewDidReceiveAd(*this);
  return kZUMImplemented;
}

ZUMImplemented ZUMSearchBannerView::bannerViewDidFailToReceiveAdWithError(ZUMDynamicHeightSearchBannerView&,
                                                                          const platform::ErrorPtr& error) {
  if (auto delegate = this->delegate())
    delegate->adViewDidFailToReceiveAdWithError(*this, ZUMRequestErrorFromError(error));
  return kZUMImplemented;
}

ZUMImplemented ZUMSearchBannerView::bannerViewDidReceiveLandingPageURL(ZUMDynamicHeightSearchBannerView&,
                                                                       const platform::URL& url) {
  // The page names the landing page (a web page, a store, a deep link): refused only
  // where it would run or read something inside this application.
  if (!ZUMURLOpensInAnotherApplication(url)) {
    ZUMLogger::sharedInstance()->logPublicMessage(
        "Search banner refused to open a landing page inside the application: " + url.absoluteString());
    return kZUMImplemented;
  }
  if (!platform::Application::shared().openURL(url)) return kZUMImplemented;
  if (auto delegate = this->delegate()) delegate->adViewWillLeaveApplication(*this);
  return kZUMImplemented;
}

ZUMImplemented ZUMSearchBannerView::bannerViewDidUpdateDesiredContentSize(ZUMDynamicHeightSearchBannerView& view,
                                                                          platform::Size size) {
  view.setFrame({{0, 0}, size});
  if (auto delegate = adSizeDelegate()) delegate->adViewWillChangeAdSizeTo(*this, ZUMAdSizeFromSize(size));
  return kZUMImplemented;
}
