#include "sdk/formats/ZUMMAdURLAdapter.h"

#include <nlohmann/json.hpp>

#include "ZUMBannerView.h"
#include "ZUMExtras.h"
#include "ZUMInterstitial.h"
#include "ZUMMAdapterClass.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMInternalAdNetworkConnector.h"
#include "sdk/mediation/ZUMMRequestFromMediation.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlot.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr std::int64_t kRequestedAdTypeNone = 0;
constexpr std::int64_t kRequestedAdTypeBanner = 1;
constexpr std::int64_t kRequestedAdTypeInterstitial = 2;
constexpr const char* kNetworkFailureText = "Failed to load ad. Check network connection.";

struct AdURLAdapterClass final : ZUMMAdapterClass {
  std::optional<std::string> adapterVersion() const override { return "1.0.0"; }
  std::optional<std::string> networkExtrasClass() const override { return ZUMExtras::kClassName; }
  std::shared_ptr<ZUMMAdNetworkAdapter> initWithZUMMAdNetworkConnector(
      const std::shared_ptr<ZUMMAdNetworkConnector>& connector) const override {
    return ZUMMAdURLAdapter::create(connector);
  }
};

}  // namespace

std::shared_ptr<ZUMMAdURLAdapter> ZUMMAdURLAdapter::create(const std::shared_ptr<ZUMMAdNetworkConnector>& connector) {
  auto internal = std::dynamic_pointer_cast<ZUMMInternalAdNetworkConnector>(connector);
  if (!internal) return nullptr;
  return std::shared_ptr<ZUMMAdURLAdapter>(new ZUMMAdURLAdapter(internal));
}

ZUMMAdURLAdapter::~ZUMMAdURLAdapter() {
  if (platform::isMainThread() || (!banner_ && !interstitial_)) return;
  platform::DispatchQueue::main()->async([banner = std::move(banner_), interstitial = std::move(interstitial_)] {});
}

void ZUMMAdURLAdapter::registerClass() {
  ZUMMRegisterAdapterClass(
      kZUMMAdURLAdapterClassName, std::make_shared<AdURLAdapterClass>(),
      {.protocols = {kZUMMAdNetworkAdapterProtocol},
       .operations = {kZUMMGetBannerWithSizeOperation, kZUMMGetInterstitialOperation, kZUMMChangeAdSizeOperation},
       .classOperations = {kZUMMAdapterVersionOperation, kZUMMNetworkExtrasClassOperation},
       .initialisers = {kZUMMInitWithAdNetworkConnector}});
}

void ZUMMAdURLAdapter::fail(std::int64_t code, const std::string& text) {
  if (auto connector = connector_.lock()) {
    connector->adapterDidFailAd(*this, ZUMMakeErrorWithDomain(kZUMMAdURLAdapterErrorDomain, code, text));
  }
}

void ZUMMAdURLAdapter::reportAdLoadFailure(std::int64_t code, const std::string& text) {
  if (banner_ || interstitial_) fail(code, text);
}

template <class Call>
ZUMImplemented ZUMMAdURLAdapter::relay(Call call) {
  if (auto connector = connector_.lock()) call(*connector);
  return kZUMImplemented;
}

// --- The adapter ---------------------------------------------------------------------------

void ZUMMAdURLAdapter::getBannerWithSize(const ZUMAdSize& size) {
  platform::assertMainThread();
  if (banner_ || interstitial_) return fail(0, "Adapter already initialized. Create a new instance.");
  auto connector = connector_.lock();
  banner_ = ZUMBannerView::create(size);
  banner_->setMediated();
  banner_->setRootViewController(connector ? connector->viewControllerForPresentingModalView() : nullptr);
  banner_->slot()->setReloadable(false);
  banner_->setDelegate(shared_from_this());
  loadRequest();
}

void ZUMMAdURLAdapter::getInterstitial() {
  platform::assertMainThread();
  if (banner_ || interstitial_) return fail(0, "Adapter already initialized. Create a new instance.");
  interstitial_ = ZUMInterstitial::create("");
  interstitial_->setMediated();
  interstitial_->setDelegate(shared_from_this());
  loadRequest();
}

void ZUMMAdURLAdapter::stopBeingDelegate() {
  if (banner_) banner_->setDelegate(nullptr);
  if (interstitial_) interstitial_->setDelegate(nullptr);
  shouldRespondToSDKCore_ = false;
}

void ZUMMAdURLAdapter::presentInterstitialFromRootViewController(
    const std::shared_ptr<platform::ViewController>& controller) {
  if (interstitial_) interstitial_->presentFromRootViewController(controller);
}

bool ZUMMAdURLAdapter::changeAdSizeTo(const ZUMAdSize& size) {
  if (banner_) banner_->setAdSize(size);
  return true;
}

void ZUMMAdURLAdapter::loadRequest() {
  if (auto controller = ZUMSDKCoreController::sharedInstance()) controller->buildAdURL(shared_from_this());
}

// --- The SDK core ----------------------------------------------------------------------------

Json ZUMMAdURLAdapter::requestParameters() {
  platform::assertMainThread();
  auto connector = connector_.lock();
  Json request = connector ? ZUMRequestWithMediationAdRequest(*connector)->parameters() : Json::object();
  if (banner_) {
    request["format"] = "banner";
    request["ad_frame"] = ZUMDictionaryFromRect(banner_->frame().standardized());
    request["ad_bounds"] = ZUMDictionaryFromRect(banner_->bounds().standardized());
    const ZUMAdSize size = banner_->adSize();
    if (ZUMAdSizeIsFullWidth(size)) {
      request["smart_w"] = "full";
      if (ZUMAdSizeIsSmartBanner(size)) request["smart_h"] = "auto";
    }
  } else if (interstitial_) {
    request["format"] = "interstitial_mb";
  }
  auto device = ZUMDevice::sharedInstance();
  auto entry = connector ? connector->networkConfig() : nullptr;
  std::string requestID;
  {
    std::lock_guard lock(mutex_);
    requestID = requestID_.value_or("");
  }
  Json credentials = connector ? connector->credentials() : Json::object();
  if (!credentials.is_object()) credentials = Json::object();
  return Json{{"request_param", std::move(request)},
              {"lat", device->limitAdTrackingString()},
              {"adid", device->rawDeviceIdentifier().value_or("")},
              {"data", std::move(credentials)},
              {"network_id", entry ? entry->networkID() : ""},
              {"request_id", std::move(requestID)},
              {"vantor-ad-url-mediation", "1"}};
}

std::int64_t ZUMMAdURLAdapter::requestedAdType() {
  if (banner_) return kRequestedAdTypeBanner;
  return interstitial_ ? kRequestedAdTypeInterstitial : kRequestedAdTypeNone;
}

void ZUMMAdURLAdapter::setRequestID(const std::string& requestID) {
  std::lock_guard lock(mutex_);
  requestID_ = requestID;
}

void ZUMMAdURLAdapter::loadAdURLWithParameters(const Json&) {
  if (!shouldRespondToSDKCore_) return;
  reportAdLoadFailure(1, "Adapter can't load ad URL.");
}

void ZUMMAdURLAdapter::loadAd(const std::shared_ptr<ZUMAd>& ad, const std::optional<Json>& headers) {
  platform::assertMainThread();
  if (!shouldRespondToSDKCore_) return;
  if (!banner_ && !interstitial_) {
    std::string requestID;
    {
      std::lock_guard lock(mutex_);
      requestID = requestID_.value_or("");
    }
    // Nothing asked for this ad; say so rather than drop it unseen.
    const std::string text =
        "Received an ad load request with uninitialized banner ad and interstitial objects. Request ID: " + requestID;
    ZUMLogger::sharedInstance()->logPublicMessage(text);
    return fail(2, text);
  }
  if (!ad) return reportAdLoadFailure(3, "Received empty ad.");
  auto request = ZUMRequest::create();
  auto extras = ZUMExtras::create();
  extras->setAd(ad);  // the ad object stands for "_ad"
  extras->setAdditionalParameters(Json{{"_adHeaders", headers.value_or(Json::object())}, {"_useOnce", "Y"}});
  request->registerAdNetworkExtras(extras);
  if (banner_) {
    banner_->loadRequest(request);
  } else {
    interstitial_->loadRequest(request);
  }
}

void ZUMMAdURLAdapter::invalidJavaScriptRequest() {
  if (!shouldRespondToSDKCore_) return;
  reportAdLoadFailure(4, kNetworkFailureText);
}

void ZUMMAdURLAdapter::failedJavaScriptFile() {
  if (!shouldRespondToSDKCore_) return;
  reportAdLoadFailure(5, kNetworkFailureText);
}

void ZUMMAdURLAdapter::SDKCoreRequestDidFailWithError(const platform::ErrorPtr& error) {
  // The page never answered (code 5) or was refreshed first (code 11): no ad will come.
  if (!shouldRespondToSDKCore_) return;
  if (auto connector = connector_.lock()) connector->adapterDidFailAd(*this, error);
}

// --- Relays ------------------------------------------------------------------------------

ZUMImplemented ZUMMAdURLAdapter::adViewDidReceiveAd(ZUMBannerView&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidReceiveAdView(*this, banner_); });
}
ZUMImplemented ZUMMAdURLAdapter::adViewDidFailToReceiveAdWithError(ZUMBannerView&, const ZUMRequestErrorPtr& error) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidFailAd(*this, error); });
}
ZUMImplemented ZUMMAdURLAdapter::adViewWillPresentScreen(ZUMBannerView&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterWillPresentFullScreenModal(*this); });
}
ZUMImplemented ZUMMAdURLAdapter::adViewWillDismissScreen(ZUMBannerView&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterWillDismissFullScreenModal(*this); });
}
ZUMImplemented ZUMMAdURLAdapter::adViewDidDismissScreen(ZUMBannerView&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidDismissFullScreenModal(*this); });
}
ZUMImplemented ZUMMAdURLAdapter::adViewWillLeaveApplication(ZUMBannerView&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterWillLeaveApplication(*this); });
}
ZUMImplemented ZUMMAdURLAdapter::interstitialDidReceiveAd(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidReceiveInterstitial(*this); });
}
ZUMImplemented ZUMMAdURLAdapter::interstitialDidFailToReceiveAdWithError(ZUMInterstitial&,
                                                                         const ZUMRequestErrorPtr& error) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidFailAd(*this, error); });
}
ZUMImplemented ZUMMAdURLAdapter::interstitialWillPresentScreen(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterWillPresentInterstitial(*this); });
}
ZUMImplemented ZUMMAdURLAdapter::interstitialWillDismissScreen(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterWillDismissInterstitial(*this); });
}
ZUMImplemented ZUMMAdURLAdapter::interstitialDidDismissScreen(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidDismissInterstitial(*this); });
}
ZUMImplemented ZUMMAdURLAdapter::interstitialWillLeaveApplication(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterWillLeaveApplication(*this); });
}
ZUMImplemented ZUMMAdURLAdapter::interstitialDidReceiveAdClick(ZUMInterstitial&) {
  return relay([&](ZUMMAdNetworkConnector& c) { c.adapterDidGetAdClick(*this); });
}
