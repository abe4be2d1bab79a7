// The page's native video player: "video" messages choose an operation by "action"
// ("new", "position", "src", "load", "loadControl", "play", "pause", "volume", "muted",
// "currentTime", "hide", "show", "rotation", "background", "touchMove"; any other does
// nothing) on the ad view's player, its player view and the ad view's video side;
// "precache" messages go to the handler's own precache handler.
//
// What a page sends is checked first: a source must be http(s), a tcache URL or a file
// inside the SDK's cache folder; positions, sizes, times, volumes, angles and movements
// must be finite numbers in range (sizes and positions within ±100000 points, sizes not
// negative, times from 0 to 10^9 s, volumes from 0 to 1). A refused message changes
// nothing and is logged.
//
// Keeps the video configuration of the last "new" and owns its precache handler.
// Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMPrecacheTOLMHandler;
class ZUMVideoConfiguration;

class ZUMVideoPlayerTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMVideoPlayerTOLMHandler> create();
  const ActionTable* actionBlockDictionary() const override;
  const ActionTable* subActionBlockDictionary() const override;

  const std::shared_ptr<ZUMVideoConfiguration>& videoConfiguration() const { return videoConfiguration_; }
  const std::shared_ptr<ZUMPrecacheTOLMHandler>& precacheTOLMHandler() const { return precacheTOLMHandler_; }

 private:
  ZUMVideoPlayerTOLMHandler();

  void adViewDidReceiveVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceivePrecacheAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveNewVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceivePositionVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveSetVideoSourceAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveLoadVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveLoadControlVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceivePlayVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceivePauseVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveSetVolumeAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveMutedVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveSeekToCurrentTimeAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveHideVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveShowVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveRotationVideoAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveBackgroundAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void adViewDidReceiveTouchMoveAction(ZUMAdView& adView, const nlohmann::ordered_json& parameters);

  std::shared_ptr<ZUMVideoConfiguration> videoConfiguration_;
  const std::shared_ptr<ZUMPrecacheTOLMHandler> precacheTOLMHandler_;
};
