// The page's "forceOrientation" message: "orientation" ("any", "portrait",
// "landscape") becomes the full-screen ad controller's orientations, with "override"
// ("1") and "animationDuration" (seconds). A controller already locked to one family
// (portraits or landscapes) keeps it unless "override" is "1". Only a
// ZUMAdAppViewController takes it.
//
// An animation duration that is not a number or below 0 reads as 0; a longer one than
// kZUMMaxOrientationAnimationDuration is cut to it, so a page cannot freeze the screen
// in a rotation.
//
// Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

inline constexpr double kZUMMaxOrientationAnimationDuration = 10.0;

class ZUMOrientationTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMOrientationTOLMHandler> create();
  const ActionTable* actionBlockDictionary() const override;

 private:
  ZUMOrientationTOLMHandler() = default;
  void forceOrientation(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
};
