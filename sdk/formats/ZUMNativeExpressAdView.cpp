#include "ZUMNativeExpressAdView.h"

#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMBannerView.h"
#include "ZUMRequest.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/Coder.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeExpressAd.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMLoggingHierarchy.h"

namespace {

using Json = nlohmann::ordered_json;

}  // namespace

// --- Creation and teardown ---------------------------------------------------------------------

ZUMNativeExpressAdView::ZUMNativeExpressAdView(const platform::Rect& frame) : platform::View(frame) {}

std::shared_ptr<ZUMNativeExpressAdView> ZUMNativeExpressAdView::create(const platform::Rect& frame) {
  return create(frame, ZUMAdSizeFromSize(frame.standardized().size));
}

std::shared_ptr<ZUMNativeExpressAdView> ZUMNativeExpressAdView::create(const ZUMAdSize& adSize) {
  return create(platform::Rect::zero(), adSize);
}

std::shared_ptr<ZUMNativeExpressAdView> ZUMNativeExpressAdView::create(const ZUMAdSize& adSize,
                                                                       platform::Point origin) {
  auto view = create(adSize);
  view->setFrame({origin, view->frame().size});
  return view;
}

std::shared_ptr<ZUMNativeExpressAdView> ZUMNativeExpressAdView::create(const platform::Rect& frame,
                                                                       const ZUMAdSize& adSize) {
  std::shared_ptr<ZUMNativeExpressAdView> view(new ZUMNativeExpressAdView(frame));
  view->commonInitWithBannerView(ZUMBannerView::create(frame, adSize));
  return view;
}

std::shared_ptr<ZUMNativeExpressAdView> ZUMNativeExpressAdView::create(const platform::Coder& coder) {
  std::shared_ptr<ZUMNativeExpressAdView> view(new ZUMNativeExpressAdView(platform::Rect::zero()));
  if (!view->initWithCoder(coder)) return nullptr;
  view->commonInitWithBannerView(ZUMBannerView::create());
  return view;
}

void ZUMNativeExpressAdView::registerClass() {
  platform::Coder::registerViewClass("ZUMNativeExpressAdView",
                                     [](const platform::Coder& coder) { return create(coder); });
}

std::shared_ptr<ZUMNativeExpressAdView> ZUMNativeExpressAdView::self() {
  return std::static_pointer_cast<ZUMNativeExpressAdView>(shared_from_this());
}

void ZUMNativeExpressAdView::commonInitWithBannerView(const std::shared_ptr<ZUMBannerView>& banner) {
  platform::assertMainThread();
  createdBannerView(banner);
  setFrame(banner->frame());
  setBackgroundColor(platform::Color::clear());
  setClipsToBounds(true);
  bannerView_ = banner;
  auto me = self();
  banner->setDelegate(me);
  banner->slot()->setAdResponseDelegate(me);
  addSubview(banner);
  ZUMCenterInSuperview(banner);
}

ZUMNativeExpressAdView::~ZUMNativeExpressAdView() {
  if (rootLoggerObserver_) platform::NotificationCenter::defaultCenter().removeObserver(rootLoggerObserver_);
  ZUMLoggingHierarchy::sharedInstance()->removeObject(weak_from_this());
}

// --- The host's calls ----------------------------------------------------------------------------

void ZUMNativeExpressAdView::loadRequest(const std::shared_ptr<ZUMRequest>& request) {
  platform::assertMainThread();
  auto copy = request ? request->copy() : nullptr;
  if (copy) copy->setNativeExpressEnabled(true);
  bannerView_->loadRequest(copy);
}

void ZUMNativeExpressAdView::setAdOptions(const std::vector<std::shared_ptr<ZUMAdLoaderOptions>>& options) {
  bannerView_->setAdOptions(options);
}

const std::string& ZUMNativeExpressAdView::adUnitID() const { return bannerView_->adUnitID(); }

void ZUMNativeExpressAdView::setAdUnitID(std::string adUnitID) { bannerView_->setAdUnitID(std::move(adUnitID)); }

std::shared_ptr<platform::ViewController> ZUMNativeExpressAdView::rootViewController() const {
  return bannerView_->rootViewController();
}

void ZUMNativeExpressAdView::setRootViewController(const std::shared_ptr<platform::ViewController>& controller) {
  bannerView_->setRootViewController(controller);
}

ZUMAdSize ZUMNativeExpressAdView::adSize() const { return bannerView_ ? bannerView_->adSize() : ZUMAdSize{}; }

void ZUMNativeExpressAdView::setAdSize(const ZUMAdSize& adSize) { bannerView_->setAdSize(adSize); }

bool ZUMNativeExpressAdView::isAutoloadEnabled() const { return bannerView_->isAutoloadEnabled(); }

void ZUMNativeExpressAdView::setAutoloadEnabled(bool enabled) { bannerView_->setAutoloadEnabled(enabled); }

std::optional<std::string> ZUMNativeExpressAdView::adNetworkClassName() const {
  return bannerView_->adNetworkClassName();
}

const std::shared_ptr<ZUMVideoController>& ZUMNativeExpressAdView::videoController() const {
  return bannerView_->videoController();
}

platform::Size ZUMNativeExpressAdView::intrinsicContentSize() const { return bannerView_->intrinsicContentSize(); }

// --- The banner's callbacks, renamed -------------------------------------------------------------

ZUMImplemented ZUMNativeExpressAdView::tellDelegate(
    const std::function<ZUMImplemented(ZUMNativeExpressAdViewDelegate&)>& call) {
  platform::assertMainThread();
  auto delegate = this->delegate();
  return delegate ? call(*delegate) : std::nullopt;
}

ZUMImplemented ZUMNativeExpressAdView::adViewDidReceiveAd(ZUMBannerView&) {
  return tellDelegate([this](auto& d) { return d.nativeExpressAdViewDidReceiveAd(*this); });
}

ZUMImplemented ZUMNativeExpressAdView::adViewDidFailToReceiveAdWithError(ZUMBannerView&,
                                                                         const ZUMRequestErrorPtr& error) {
  return tellDelegate(
      [this, &error](auto& d) { return d.nativeExpressAdViewDidFailToReceiveAdWithError(*this, error); });
}

ZUMImplemented ZUMNativeExpressAdView::adViewWillPresentScreen(ZUMBannerView&) {
  return tellDelegate([this](auto& d) { return d.nativeExpressAdViewWillPresentScreen(*this); });
}

ZUMImplemented ZUMNativeExpressAdView::adViewWillDismissScreen(ZUMBannerView&) {
  return tellDelegate([this](auto& d) { return d.nativeExpressAdViewWillDismissScreen(*this); });
}

ZUMImplemented ZUMNativeExpressAdView::adViewDidDismissScreen(ZUMBannerView&) {
  return tellDelegate([this](auto& d) { return d.nativeExpressAdViewDidDismissScreen(*this); });
}

ZUMImplemented ZUMNativeExpressAdView::adViewWillLeaveApplication(ZUMBannerView&) {
  return tellDelegate([this](auto& d) { return d.nativeExpressAdViewWillLeaveApplication(*this); });
}

// --- Mediation -----------------------------------------------------------------------------------

bool ZUMNativeExpressAdView::slotShouldProcessAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>&, platform::ErrorPtr*) {
  return true;
}

void ZUMNativeExpressAdView::slotWillProcessMediatedAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad) {
  if (ad) ad->setMediationDelegate(self());
}

std::shared_ptr<ZUMMAdNetworkConnectorImpl> ZUMNativeExpressAdView::mediationConnectorForConfiguration(
    const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) {
  return ZUMMAdNetworkConnectorNativeExpressAd::create(config, networkConfig);
}

std::optional<std::shared_ptr<ZUMAdLoaderConfiguration>> ZUMNativeExpressAdView::adLoaderConfigurationForAd(
    const std::shared_ptr<ZUMAd>&, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) {
  if (!networkConfig) return nullptr;
  return ZUMMAdNetworkConnectorNativeExpressAd::adLoaderConfigurationForNetworkConfig(*networkConfig);
}

// --- Logging -------------------------------------------------------------------------------------

void ZUMNativeExpressAdView::createdBannerView(const std::shared_ptr<ZUMBannerView>& banner) {
  platform::assertMainThread();
  // This view has no root of its own: it joins the tree of its banner's slot (where the
  // banner already is), whose logger each load replaces. A new slot has no logger yet.
  std::weak_ptr<ZUMNativeExpressAdView> weak = self();
  rootLoggerObserver_ = ZUMLoggingHierarchy::sharedInstance()->linkObjectObservingRootLogger(
      banner->slot(), shared_from_this(), ZUMBindWeak(weak, &ZUMNativeExpressAdView::rootObjectLoggerChanged));
}

void ZUMNativeExpressAdView::rootObjectLoggerChanged() {
  platform::assertMainThread();
  auto logger = ZUMLoggingHierarchy::sharedInstance()->loggerForObject(shared_from_this());
  if (!logger) return;
  const std::string unit = bannerView_ ? bannerView_->adUnitID() : std::string();
  logger->reportEvent(Json{{kZUMNativeExpressAdViewEventName, {{"ad_unit_id", unit}}}});
}
