// The page's report on a video it plays itself ("videoMeta"): the ad view's video
// controller learns that the ad has video and, for each key present, its "duration",
// "currentTime", "playbackState", "muted", "aspectRatio" and "customControlsAllowed".
// A number that is not finite is skipped (and logged); the other keys still apply.
//
// Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMVideoMetadataTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMVideoMetadataTOLMHandler> create();
  const ActionTable* actionBlockDictionary() const override;

 private:
  ZUMVideoMetadataTOLMHandler() = default;
  void adViewDidReceiveVideoMetadataAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
};
