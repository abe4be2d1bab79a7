#include "sdk/native/ZUMAdPreprocessor.h"

#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMNativeAd.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/Notification.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMSlot.h"

namespace {
constexpr const char* kJavaScriptLoaded = "jsLoaded";
constexpr const char* kPreProcess = "nativeAdPreProcess";
}  // namespace

std::shared_ptr<ZUMAdPreprocessor> ZUMAdPreprocessor::create(const std::optional<std::string>& adUnitID) {
  platform::assertMainThread();
  auto preprocessor = std::shared_ptr<ZUMAdPreprocessor>(new ZUMAdPreprocessor());
  preprocessor->slot_ = ZUMSlot::create();
  preprocessor->slot_->setAdLoadDelegate(preprocessor);
  preprocessor->slot_->setAdUnitID(adUnitID);
  preprocessor->observePage();
  return preprocessor;
}

ZUMAdPreprocessor::~ZUMAdPreprocessor() { platform::NotificationCenter::defaultCenter().removeObserver(this); }

void ZUMAdPreprocessor::observePage() {
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView());
  if (!adView) return;
  auto& center = platform::NotificationCenter::defaultCenter();
  auto self = shared_from_this();
  center.addObserver(self, ZUMBindWeak(weak_from_this(), &ZUMAdPreprocessor::handleJavaScriptLoadedNotification),
                     kJavaScriptLoaded, adView);
  center.addObserver(self, ZUMBindWeak(weak_from_this(), &ZUMAdPreprocessor::handlePreprocessorNotification),
                     kPreProcess, adView);
}

void ZUMAdPreprocessor::preprocessNativeAdJSON(const std::string& json, Completion completion) {
  platform::assertMainThread();
  platform::ErrorPtr error;
  auto decoded = zum_decodedJSONObjectError(json, &error);
  if (!decoded) {
    ZUMLog(kZUMLogLevelDefault, "The native ad response is not JSON.");
    platform::DispatchQueue::main()->async([completion = std::move(completion), error] {
      if (completion) completion(std::nullopt, nullptr, error);
    });
    return;
  }
  nativeAdJSON_ = decoded->dump();
  completionHandler_ = std::move(completion);
  // The time-out covers the page load too: a page that never finishes must not hold
  // the load for ever.
  platform::DispatchQueue::main()->after(kTimeout, ZUMBindWeak(weak_from_this(), &ZUMAdPreprocessor::timeOut));
  auto request = ZUMRequest::create();
  auto extras = ZUMExtras::create();
  extras->setAdditionalParameters(nlohmann::ordered_json{{"_requestUrl", ZUMNativeAd::supportHTMLURL()}});
  request->registerAdNetworkExtras(extras);
  slot_->loadRequest(request);
}

void ZUMAdPreprocessor::slotFinishedLoadingAdContent(ZUMSlot&) {}

void ZUMAdPreprocessor::slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) {
  callAndClearCompletionHandler(std::nullopt, nullptr, error);
}

void ZUMAdPreprocessor::timeOut() {
  if (!completionHandler_) return;
  ZUMLog(kZUMLogLevelDefault, "The native-ads page did not answer in time.");
  callAndClearCompletionHandler(
      std::nullopt, nullptr,
      ZUMMakeErrorWithDescription(kZUMErrorInternalError, std::string("Timed out waiting for ") + kJavaScriptLoaded +
                                                              " or " + kPreProcess + " TOLMs."));
}

void ZUMAdPreprocessor::handleJavaScriptLoadedNotification() {
  if (!completionHandler_) return;
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot_->adView());
  if (!adView) return;
  adView->executeJavaScriptAsynchronouslyFromString("vantor.qyra.nativeAds.preProcessJsonTolm(" +
                                                    ZUMScriptSafeJSON(nativeAdJSON_) + ", " +
                                                    ZUMScriptSafeJSON(environmentJSONString()) + ")");
}

void ZUMAdPreprocessor::handlePreprocessorNotification(const platform::Notification& notification) {
  if (!completionHandler_) return;
  platform::ErrorPtr error;
  auto text = ZUMJSONStringForKey(notification.userInfo(), "success");
  auto document = zum_decodedJSONObjectError(text, &error);
  if (!document) {
    ZUMLog(kZUMLogLevelDefault, "The native-ads page answered with text that is not JSON.");
    callAndClearCompletionHandler(std::nullopt, nullptr, ZUMMakeErrorWithCode(kZUMErrorInvalidResponse));
    return;
  }
  callAndClearCompletionHandler(std::move(document), slot_, nullptr);
}

std::string ZUMAdPreprocessor::environmentJSONString() {
  platform::ErrorPtr error;
  return zum_JSONStringPretty(nlohmann::ordered_json{{"sdk_version", ZUMRequest::sdkVersion()}}, false, &error)
      .value_or("{}");
}

void ZUMAdPreprocessor::callAndClearCompletionHandler(std::optional<nlohmann::ordered_json> adConfiguration,
                                                      std::shared_ptr<ZUMSlot> slot, platform::ErrorPtr error) {
  // Taken now, so a second answer in the same turn finds nothing to complete.
  auto completion = std::exchange(completionHandler_, nullptr);
  if (!completion) return;
  // The preprocessor stops listening to the page; the ads take the slot over.
  slot_->setAdLoadDelegate(nullptr);
  platform::NotificationCenter::defaultCenter().removeObserver(this);
  platform::DispatchQueue::main()->async([completion = std::move(completion),
                                          adConfiguration = std::move(adConfiguration), slot = std::move(slot),
                                          error = std::move(error)] { completion(adConfiguration, slot, error); });
}
