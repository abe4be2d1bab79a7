// The page's "videoClicked" message: posts "zum-native-ad-video-click" with the ad view as
// object and the message's parameters as user info, for the native ads that observe it.
//
// Main thread only; posted synchronously.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

inline constexpr const char* kZUMNativeAdVideoClickNotification = "zum-native-ad-video-click";

class ZUMNativeAdVideoClickTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMNativeAdVideoClickTOLMHandler> create();
  const ActionTable* actionBlockDictionary() const override;

 private:
  ZUMNativeAdVideoClickTOLMHandler() = default;
  void videoClicked(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
};
