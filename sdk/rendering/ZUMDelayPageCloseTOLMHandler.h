// The page's "delayPageClosed" message: "start" read as true posts
// "delay_page_close_start", then "stop" read as true posts "delay_page_close_stop", both
// with the ad view as object (the interstitial's owner observes them). Messages wait
// while the ad view is not attached to a placement.
//
// Main thread only; the notifications are posted synchronously.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

inline constexpr const char* kZUMDelayPageCloseStartNotification = "delay_page_close_start";
inline constexpr const char* kZUMDelayPageCloseStopNotification = "delay_page_close_stop";

class ZUMDelayPageCloseTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMDelayPageCloseTOLMHandler> create();
  const ActionTable* actionBlockDictionary() const override;
  bool shouldBufferNotification(const ZUMNotification& notification, const ZUMAdView& adView) override;

 private:
  ZUMDelayPageCloseTOLMHandler() = default;
  void delayPageClosed(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
};
