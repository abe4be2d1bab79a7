#include "ZUMAdLoader.h"

#include <algorithm>
#include <typeinfo>
#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMAdSize.h"
#include "ZUMCorrelatorAdLoaderOptions.h"
#include "ZUMMultipleAdsAdLoaderOptions.h"
#include "ZUMNativeAd.h"
#include "ZUMRequest.h"
#include "ZUMRequestError.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/Symbols.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/native/ZUMAdLoadResults.h"
#include "sdk/native/ZUMAdPreprocessor.h"
#include "sdk/native/ZUMNativeAdClass.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;

void logPublic(const std::string& message) { ZUMLogger::sharedInstance()->logPublicMessage(message); }

}  // namespace

std::shared_ptr<ZUMAdLoader> ZUMAdLoader::create(const std::string& adUnitID,
                                                 const std::shared_ptr<platform::ViewController>& rootViewController,
                                                 const std::vector<std::string>& adTypes,
                                                 const ZUMAdConfiguration::Options& options) {
  platform::assertMainThread();
  auto loader = std::shared_ptr<ZUMAdLoader>(new ZUMAdLoader(adUnitID, rootViewController));
  loader->adLoaderConfiguration_ = ZUMAdLoaderConfiguration::create(adTypes, options);
  loader->setUp(options);
  return loader;
}

ZUMAdLoader::ZUMAdLoader(const std::string& adUnitID,
                         const std::shared_ptr<platform::ViewController>& rootViewController)
    : adUnitID_(adUnitID), rootViewController_(rootViewController) {}

ZUMAdLoader::~ZUMAdLoader() = default;

void ZUMAdLoader::setUp(const ZUMAdConfiguration::Options& options) {
  auto self = shared_from_this();
  slot_ = ZUMSlot::create();
  slot_->setSlotDelegate(self);
  slot_->setAdResponseDelegate(self);
  slot_->setAdLoadDelegate(self);
  slot_->setAdUnitID(adUnitID_);
  for (const auto& option : options) {
    if (auto correlator = std::dynamic_pointer_cast<ZUMCorrelatorAdLoaderOptions>(option)) {
      slot_->setCorrelator(correlator->correlator());
      break;
    }
  }
  if (auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView())) adView->configureAsBannerAdView();
  slot_->setAdType(ZUMAdType::bannerAdTypeForSize(kZUMAdSizeBanner), false);
}

platform::ErrorPtr ZUMAdLoader::delegateConformanceError(const ZUMAdLoaderDelegate& delegate,
                                                         const std::optional<ZUMAdClass>& adClass) const {
  // An ad that names no class is handed over as it is; it talks to the delegate itself.
  if (!adClass || !adClass->object || adClass->object->delegateConformsToRequiredProtocol(delegate)) return nullptr;
  const std::string protocol = adClass->object->requiredDelegateProtocol();
  return ZUMMakeErrorWithDescription(kZUMErrorInvalidArgument, "Delegate does not conform to the required protocol, " +
                                                                   protocol + ". Add " + protocol + " to " +
                                                                   platform::demangledSymbol(typeid(delegate).name()) +
                                                                   "'s protocol list.");
}

void ZUMAdLoader::setDelegate(const std::shared_ptr<ZUMAdLoaderDelegate>& delegate) {
  platform::assertMainThread();
  if (delegate == delegate_.lock()) return;
  if (delegate && adLoaderConfiguration_) {
    for (const auto& adClass : adLoaderConfiguration_->adTypeClasses()) {
      if (auto error = delegateConformanceError(*delegate, adClass)) {
        logPublic(error->localizedDescription());
        return;
      }
    }
  }
  delegate_ = delegate;
}

// --- Loading -------------------------------------------------------------------------------

void ZUMAdLoader::failOnMainQueue(platform::ErrorPtr error) {
  platform::DispatchQueue::main()->async(
      ZUMBindWeak(weak_from_this(), &ZUMAdLoader::handleFailedRequestWithRequestError, std::move(error), true));
}

void ZUMAdLoader::loadRequest(const std::shared_ptr<ZUMRequest>& request) {
  platform::assertMainThread();
  if (loading_) {
    logPublic("Another request already in progress. Ignoring new request.");
    return;
  }
  loading_ = true;
  ZUMApplication::sharedInstance()->runAdditionalEarlyActivities();
  if (!adLoaderConfiguration_ || adLoaderConfiguration_->adTypeClasses().empty()) {
    return failOnMainQueue(ZUMMakeErrorWithDescription(kZUMErrorInvalidRequest, "Must specify at least one ad type."));
  }
  Json formatParameters = Json::array();
  Json adClassParameters = Json::object();
  for (const auto& adClass : adLoaderConfiguration_->adTypeClasses()) {
    platform::ErrorPtr error;
    if (!adClass.object->canInitWithAdLoader(*this, &error)) {
      if (!error) error = ZUMMakeErrorWithDescription(kZUMErrorInvalidArgument, adClass.name + " cannot load now.");
      return failOnMainQueue(ZUMMakeErrorWithUnderlyingError(kZUMErrorInvalidRequest, error));
    }
    auto parameters = adClass.object->requestParametersForAdLoader(*this);
    if (!parameters || !parameters->is_object() || parameters->empty()) continue;
    formatParameters.push_back(*parameters);
    adClassParameters[adClass.name] = *parameters;
  }
  adLoaderConfiguration_->setAdClassRequestParameters(adClassParameters);
  const Json requestParameters = adLoaderConfiguration_->requestParameters();
  std::int64_t requested = 1;
  if (requestParameters.is_object() && requestParameters.contains("max_num_ads")) {
    requested = ZUMJSONIntegerForKey(requestParameters, "max_num_ads").value_or(0);
    if (requested <= 0) {
      return failOnMainQueue(
          ZUMMakeErrorWithDescription(kZUMErrorInvalidRequest, "Requested ad count must be positive."));
    }
  }
  adLoadResults_ = ZUMAdLoadResults::create(shared_from_this(), requested);
  auto sent = request ? request->copy() : ZUMRequest::create();
  sent->setFormatParameters(formatParameters);
  sent->setResponseType(kZUMNativeResponseType);
  sent->setAdConfigurationParameters(requestParameters);
  slot_->loadRequest(sent);
}

bool ZUMAdLoader::slotShouldProcessAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad, platform::ErrorPtr* error) {
  platform::assertMainThread();
  auto preprocessor = ZUMAdPreprocessor::create(adUnitID_);
  if (!preprocessor || !ad) {
    if (error) *error = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Ad loader failed to process ad response.");
    return false;
  }
  adPreprocessors_.push_back(preprocessor);
  preprocessor->preprocessNativeAdJSON(
      ad->adHTML().value_or(""),
      [weak = weak_from_this(), results = adLoadResults_, identity = preprocessor.get()](
          const std::optional<Json>& adConfiguration, const std::shared_ptr<ZUMSlot>& slot, const platform::ErrorPtr&) {
        if (auto self = weak.lock()) self->preprocessorDidFinish(results, identity, adConfiguration, slot);
      });
  return false;
}

void ZUMAdLoader::preprocessorDidFinish(const std::shared_ptr<ZUMAdLoadResults>& results,
                                        const ZUMAdPreprocessor* preprocessor,
                                        const std::optional<Json>& adConfiguration,
                                        const std::shared_ptr<ZUMSlot>& slot) {
  // A failed run has no document, hence no ads: the load ends with no fill.
  const auto ads = adConfiguration ? ZUMNativeAd::adsArrayInAdsConfigurationDictionary(*adConfiguration) : std::nullopt;
  auto count = static_cast<std::int64_t>(ads ? ads->size() : 0);
  if (count == 0) ZUMLog(kZUMLogLevelDefault, "The native ad response holds no ads.");
  // Each ad costs views and a hidden slot: never more than a load can ask for.
  if (count > ZUMMultipleAdsAdLoaderOptions::kMaximumNumberOfAds) {
    ZUMLog(kZUMLogLevelDefault, "The native ad response holds " + std::to_string(count) + " ads; all but the first " +
                                    std::to_string(ZUMMultipleAdsAdLoaderOptions::kMaximumNumberOfAds) +
                                    " are dropped.");
    count = ZUMMultipleAdsAdLoaderOptions::kMaximumNumberOfAds;
  }
  if (results) {
    results->setReturnedAdCount(count);
    for (std::int64_t i = 0; i < count; ++i)
      createSingleNativeAd(results, (*ads)[static_cast<std::size_t>(i)], slot, i);
  }
  std::erase_if(adPreprocessors_, [preprocessor](const auto& kept) { return kept.get() == preprocessor; });
}

void ZUMAdLoader::createSingleNativeAd(const std::shared_ptr<ZUMAdLoadResults>& results, const Json& entry,
                                       const std::shared_ptr<ZUMSlot>& slot, std::int64_t index) {
  std::optional<ZUMAdClass> adClass;
  if (entry.is_object()) adClass = ZUMNativeAdClassFromSingleAdConfigurationDictionary(entry);
  const auto& classes = adLoaderConfiguration_->adTypeClasses();
  const bool requested = adClass && std::any_of(classes.begin(), classes.end(),
                                                [&](const ZUMAdClass& kept) { return kept.name == adClass->name; });
  std::shared_ptr<ZUMNativeAd> ad;
  if (requested) {
    if (auto native = std::dynamic_pointer_cast<ZUMNativeAdClass>(adClass->object)) {
      ad = native->adWithDictionary(entry, adLoaderConfiguration_->options().value_or(ZUMAdConfiguration::Options{}));
    }
  }
  Json parameters = Json::object();
  if (ad) {
    const Json all = adLoaderConfiguration_->adClassRequestParameters();
    if (const Json* own = ZUMJSONObjectForKey(all, adClass->name)) parameters = *own;
  }
  if (!ad || !ad->hasValidConfigurationForRequestParameters(parameters)) {
    ZUMLog(kZUMLogLevelDefault,
           "Native ad " + std::to_string(index) + " of the response was not requested or is invalid.");
    results->insertAdLoadResult({.error = ZUMMakeErrorWithCode(kZUMErrorInvalidResponse)}, index);
    return;
  }
  ad->setSlot(slot);
  loadAssetsForNativeAd(results, {.ad = ad, .adClass = adClass}, index);
}

void ZUMAdLoader::loadAssetsForNativeAd(const std::shared_ptr<ZUMAdLoadResults>& results, const ZUMAdLoadResult& ad,
                                        std::int64_t index) {
  nativeAds_.push_back(ad.ad);
  if (auto native = std::dynamic_pointer_cast<ZUMNativeAd>(ad.ad)) {
    native->setAdUnitID(adUnitID_);
    native->setRootViewController(rootViewController_.lock());
  }
  // Weak: the ad keeps the block until it runs, and the loader keeps the ad.
  ad.ad->loadAssetsWithCompletionHandler([weak = weak_from_this(), results, weakAd = std::weak_ptr<ZUMLoadable>(ad.ad),
                                          adClass = ad.adClass, index](const platform::ErrorPtr& error) {
    auto self = weak.lock();
    auto loaded = weakAd.lock();
    if (!self || !loaded) return;
    // Held from here by its result, if by anything: a failed ad is let go.
    self->releaseNativeAd(loaded);
    if (error) {
      results->insertAdLoadResult(
          {.error = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Error loading native ad assets.")}, index);
      return;
    }
    results->insertAdLoadResult({.ad = loaded, .adClass = adClass}, index);
  });
}

void ZUMAdLoader::releaseNativeAd(const std::shared_ptr<ZUMLoadable>& ad) { std::erase(nativeAds_, ad); }

// --- Results -------------------------------------------------------------------------------

void ZUMAdLoader::handleLoadResult(const ZUMAdLoadResults& results, const ZUMAdLoadResult& result, bool isFinalResult) {
  platform::assertMainThread();
  // Results of an earlier load have nobody to go to.
  if (&results != adLoadResults_.get()) return;
  if (result.error) {
    handleFailedRequestWithRequestError(result.error, isFinalResult);
  } else if (result.ad) {
    adDidFinishLoadingAssets(result, isFinalResult);
  }
}

void ZUMAdLoader::adDidFinishLoadingAssets(const ZUMAdLoadResult& result, bool isFinalResult) {
  auto keepAlive = shared_from_this();
  auto delegate = this->delegate();
  platform::ErrorPtr refusal =
      delegate ? delegateConformanceError(*delegate, result.adClass)
               : ZUMMakeErrorWithDescription(kZUMErrorInvalidArgument, "The ad loader has no delegate.");
  if (refusal) {
    handleFailedRequestWithRequestError(ZUMMakeErrorWithUnderlyingError(kZUMErrorInvalidRequest, refusal),
                                        isFinalResult);
    return;
  }
  if (isFinalResult) {
    loading_ = false;
    adLoadResults_ = nullptr;
  }
  result.ad->adLoaderDidReceiveAd(*this);
  if (isFinalResult) finishLoading();
}

void ZUMAdLoader::handleFailedRequestWithRequestError(platform::ErrorPtr error, bool isFinalResult) {
  auto keepAlive = shared_from_this();
  if (isFinalResult) {
    loading_ = false;
    adLoadResults_ = nullptr;
  }
  if (!error) error = ZUMMakeErrorWithCode(kZUMErrorInternalError);
  if (auto delegate = this->delegate())
    delegate->adLoaderDidFailToReceiveAdWithError(*this, ZUMRequestErrorFromError(error));
  if (isFinalResult) finishLoading();
}

void ZUMAdLoader::finishLoading() {
  if (auto delegate = this->delegate()) delegate->adLoaderDidFinishLoading(*this);
}

// --- The hidden slot --------------------------------------------------------------------------

void ZUMAdLoader::slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) {
  if (loading_) handleFailedRequestWithRequestError(error, true);
}

std::optional<std::shared_ptr<platform::ViewController>> ZUMAdLoader::rootViewController() {
  return rootViewController_.lock();
}

std::optional<std::vector<std::any>> ZUMAdLoader::validAdSizes() {
  std::vector<std::any> sizes;
  if (!adLoaderConfiguration_) return sizes;
  for (const auto& adClass : adLoaderConfiguration_->adTypeClasses()) {
    for (const auto& size : adClass.object->validAdSizesForAdLoader(*this)) sizes.push_back(ZUMValueFromAdSize(size));
  }
  return sizes;
}

std::optional<platform::Rect> ZUMAdLoader::bounds() {
  auto sizes = validAdSizes();
  ZUMAdSize size = kZUMAdSizeInvalid;
  if (sizes && !sizes->empty()) size = ZUMAdSizeFromValue(sizes->front());
  if (ZUMIsAdSizeValid(size)) return platform::Rect{{0, 0}, ZUMCGSizeFromAdSize(size)};
  if (slot_ && slot_->adType()) return platform::Rect{{0, 0}, ZUMCGSizeFromAdSize(slot_->adType()->adSize())};
  return platform::Rect{};
}
