#include "sdk/formats/ZUMFormats.h"

#include <memory>

#include "ZUMAdReward.h"
#include "ZUMAdViewController.h"
#include "ZUMBannerView.h"
#include "ZUMInterstitial.h"
#include "ZUMNativeExpressAdView.h"
#include "ZUMRewardBasedVideoAd.h"
#include "ZUMSearchBannerView.h"
#include "sdk/formats/PXRBannerViewLoadableClass.h"
#include "sdk/formats/PXRMediatedBanners.h"
#include "sdk/formats/ZUMInterstitialCacheEntry.h"
#include "sdk/formats/ZUMMAdURLAdapter.h"
#include "sdk/formats/ZUMMAdapterVantorMorvaneAds.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/request/ZUMSlot.h"

namespace {
constexpr std::int64_t kRequestedAdTypeNone = 0;
constexpr std::int64_t kRequestedAdTypeBanner = 1;
constexpr std::int64_t kRequestedAdTypeInterstitial = 2;
}  // namespace

std::int64_t ZUMFormats::requestedAdTypeForOwner(const ZUMSlotDelegate& owner) {
  if (dynamic_cast<const ZUMBannerView*>(&owner) != nullptr) return kRequestedAdTypeBanner;
  // A pool entry's slot loads an interstitial ahead of the interstitial that takes it.
  const bool interstitial = dynamic_cast<const ZUMInterstitial*>(&owner) != nullptr ||
                            dynamic_cast<const ZUMInterstitialCacheEntry*>(&owner) != nullptr;
  return interstitial ? kRequestedAdTypeInterstitial : kRequestedAdTypeNone;
}

bool ZUMFormats::slotShowsRewardedAd(const ZUMSlot& slot) {
  auto interstitial = std::dynamic_pointer_cast<ZUMInterstitial>(slot.slotDelegate());
  return interstitial &&
         std::dynamic_pointer_cast<ZUMInterstitialRewardBasedVideoAdDelegate>(interstitial->delegate()) != nullptr;
}

std::shared_ptr<ZUMAdReward> ZUMFormats::makeReward(const nlohmann::ordered_json& dictionary) {
  return ZUMAdReward::createWithRewardDictionary(dictionary);
}

std::shared_ptr<ZUMAdReward> ZUMFormats::makeReward(const std::optional<std::string>& type,
                                                    const std::optional<platform::Decimal>& amount) {
  return ZUMAdReward::create(type, amount);
}

void ZUMRegisterFormats() {
  auto formats = std::make_shared<ZUMFormats>();
  ZUMSlotFormats::setShared(formats);
  ZUMPresentationFormats::setShared(formats);
  ZUMAdFormats::setShared(formats);
  ZUMRegisterStartupHooks(
      [](ZUMStartupHooks& hooks) { hooks.createRewardedAd = [] { ZUMRewardBasedVideoAd::sharedInstance(); }; });
  ZUMBannerView::registerClass();
  ZUMSearchBannerView::registerClass();
  ZUMAdViewController::registerClass();
  PXRBannerViewLoadableClass::registerClass();
  ZUMMediatedBannerFormats::setShared(std::make_shared<PXRMediatedBanners>());
  ZUMMAdURLAdapter::registerClass();
  ZUMMAdapterVantorMorvaneAds::registerClass();
  ZUMNativeExpressAdView::registerClass();
}
