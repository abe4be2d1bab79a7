// Runs the ad server's native-ads script over a native response: loads the support page
// (ZUMNativeAd::supportHTMLURL) into a hidden slot, waits for the page's "jsLoaded",
// calls vantor.qyra.nativeAds.preProcessJsonTolm with the decoded response and a small
// environment, and completes with the document of the page's "nativeAdPreProcess"
// answer and the slot, whose page then performs the ads' clicks and impressions.
//
// The completion runs once, on a later turn of the main queue: with the document and the
// slot, or with nothing and the error (the body is not JSON: the decoding error; the page
// fails: the slot's error; no answer within 5 s of the start, page load included: 11;
// an answer that is not JSON: 13). Later answers change nothing.
//
// Owns its slot until the completion hands it over; holds itself weakly in its timer and
// observers. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "ZUMSlotAdLoadDelegate.h"
#include "platform/base/Clock.h"
#include "platform/base/Error.h"

namespace platform {
class Notification;
}

class ZUMSlot;

class ZUMAdPreprocessor final : public ZUMSlotAdLoadDelegate, public std::enable_shared_from_this<ZUMAdPreprocessor> {
 public:
  using Completion = std::function<void(const std::optional<nlohmann::ordered_json>& adConfiguration,
                                        const std::shared_ptr<ZUMSlot>& slot, const platform::ErrorPtr& error)>;

  // How long the page may take to load and answer.
  static constexpr platform::TimeInterval kTimeout = 5;

  static std::shared_ptr<ZUMAdPreprocessor> create(const std::optional<std::string>& adUnitID);
  ~ZUMAdPreprocessor() override;
  ZUMAdPreprocessor(const ZUMAdPreprocessor&) = delete;
  ZUMAdPreprocessor& operator=(const ZUMAdPreprocessor&) = delete;

  // Call once per preprocessor.
  void preprocessNativeAdJSON(const std::string& json, Completion completion);

  const std::shared_ptr<ZUMSlot>& slot() const { return slot_; }

  // --- ZUMSlotAdLoadDelegate ----------------------------------------------------------------
  void slotFinishedLoadingAdContent(ZUMSlot& slot) override;
  void slotDidFailToLoadAdContentWithError(ZUMSlot& slot, const platform::ErrorPtr& error) override;

 private:
  ZUMAdPreprocessor() = default;
  void observePage();
  void handleJavaScriptLoadedNotification();
  void handlePreprocessorNotification(const platform::Notification& notification);
  void timeOut();
  static std::string environmentJSONString();
  void callAndClearCompletionHandler(std::optional<nlohmann::ordered_json> adConfiguration,
                                     std::shared_ptr<ZUMSlot> slot, platform::ErrorPtr error);

  std::shared_ptr<ZUMSlot> slot_;
  Completion completionHandler_;
  // The response as decoded, written into the page's script as JSON.
  std::string nativeAdJSON_;
};
