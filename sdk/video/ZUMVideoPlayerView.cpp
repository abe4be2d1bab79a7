#include "sdk/video/ZUMVideoPlayerView.h"

#include "platform/base/MainThreadChecker.h"
#include "platform/media/Player.h"
#include "platform/media/PlayerLayer.h"
#include "sdk/foundation/ZUMUserDefaults.h"

std::shared_ptr<ZUMVideoPlayerView> ZUMVideoPlayerView::create(const platform::Rect& frame) {
  platform::assertMainThread();
  return std::shared_ptr<ZUMVideoPlayerView>(new ZUMVideoPlayerView(frame));
}

ZUMVideoPlayerView::ZUMVideoPlayerView(const platform::Rect& frame) : platform::View(frame) { commonInit(); }

void ZUMVideoPlayerView::commonInit() {
  playbackOptimizationDisabledBySDKCore_ =
      ZUMUserDefaults::boolForKey(std::string(kZUMUserDefaultsPrefix) + kOptimizationDisabledName).value_or(false);
}

void ZUMVideoPlayerView::setUpWithPlayer(const std::shared_ptr<platform::Player>& player) {
  platform::assertMainThread();
  if (player == player_) return;
  if (playerLayer_) playerLayer_->removeFromSuperview();
  setBackgroundColor(std::nullopt);
  player_ = player;
  playerItem_ = player ? player->currentItem() : nullptr;
  playerLayer_ = platform::PlayerLayer::create(player, bounds());
  playerLayer_->setVideoGravity(platform::PlayerLayer::VideoGravity::ResizeAspect);
  insertSubview(playerLayer_, 0);
}

void ZUMVideoPlayerView::setFrame(const platform::Rect& frame) {
  platform::View::setFrame(frame);
  if (playerLayer_) playerLayer_->setFrame(bounds());
}

void ZUMVideoPlayerView::setBounds(const platform::Rect& bounds) {
  platform::View::setBounds(bounds);
  if (playerLayer_) playerLayer_->setFrame(this->bounds());
}

void ZUMVideoPlayerView::enableVideoPlaybackOptimization() {
  if (!playbackOptimizationDisabledBySDKCore_) playbackOptimizationEnabled_ = true;
}

void ZUMVideoPlayerView::disableVideoPlaybackOptimization() {
  if (!playbackOptimizationDisabledBySDKCore_) playbackOptimizationEnabled_ = false;
}

void ZUMVideoPlayerView::resetVideoPlaybackOptimization() {
  platform::assertMainThread();
  if (playbackOptimizationDisabledBySDKCore_ || !player_) return;
  attach(playerItem_);
}

void ZUMVideoPlayerView::optimizeVideoForAdVisibility(bool visible) {
  platform::assertMainThread();
  if (!playbackOptimizationEnabled_ || playbackOptimizationDisabledBySDKCore_ || !player_) return;
  attach(visible || player_->rate() != 0 ? playerItem_ : nullptr);
}

void ZUMVideoPlayerView::attach(const std::shared_ptr<platform::PlayerItem>& wanted) {
  if (player_->currentItem() != wanted) player_->replaceCurrentItem(wanted);
}
