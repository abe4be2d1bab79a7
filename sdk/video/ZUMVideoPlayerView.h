// The flat view of an ad's video: a player layer for the ad's platform player, filling the
// view's bounds aspect-fit. Its one piece of policy is playback optimisation: while the ad
// is not visible and the video is paused it takes the item out of the player, so the
// platform stops decoding and loading, and puts it back (at the position the item keeps)
// when the ad is visible again or the video plays. The user default
// "/vantor/ads/zums:video_playback_optimization_disabled" switches all of it off.
//
// Made by the ad view's video side for each flat presentation. Main thread only.
#pragma once

#include <memory>

#include "platform/ui/View.h"
#include "sdk/rendering/ZUMVideoRendering.h"

namespace platform {
class Player;
class PlayerItem;
class PlayerLayer;
}  // namespace platform

class ZUMVideoPlayerView final : public platform::View, public ZUMVideoRendering {
 public:
  // "/vantor/ads/" + this.
  static constexpr const char* kOptimizationDisabledName = "zums:video_playback_optimization_disabled";

  static std::shared_ptr<ZUMVideoPlayerView> create(const platform::Rect& frame = {});

  // Shows `player` (keeping its current item for the optimisation); nothing when it is
  // the player shown already.
  void setUpWithPlayer(const std::shared_ptr<platform::Player>& player) override;
  // The player layer fills the bounds, however they are set.
  void setFrame(const platform::Rect& frame) override;
  void setBounds(const platform::Rect& bounds) override;

  void enableVideoPlaybackOptimization() override;
  void disableVideoPlaybackOptimization() override;
  // Puts the kept item back when the player has another (or none).
  void resetVideoPlaybackOptimization() override;
  // Detaches the kept item while the ad is invisible and the video paused, else attaches it.
  void optimizeVideoForAdVisibility(bool visible) override;

  const std::shared_ptr<platform::Player>& player() const { return player_; }
  const std::shared_ptr<platform::PlayerLayer>& playerLayer() const { return playerLayer_; }
  bool isPlaybackOptimizationEnabled() const { return playbackOptimizationEnabled_; }

 private:
  explicit ZUMVideoPlayerView(const platform::Rect& frame);
  void commonInit();
  void attach(const std::shared_ptr<platform::PlayerItem>& wanted);

  std::shared_ptr<platform::Player> player_;
  std::shared_ptr<platform::PlayerItem> playerItem_;
  std::shared_ptr<platform::PlayerLayer> playerLayer_;
  bool playbackOptimizationEnabled_ = false;
  bool playbackOptimizationDisabledBySDKCore_ = false;
};
