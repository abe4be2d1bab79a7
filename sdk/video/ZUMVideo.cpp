#include "sdk/video/ZUMVideo.h"

#include "platform/base/MainThreadChecker.h"
#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/telemetry/ZUMLoggingHierarchy.h"
#include "sdk/video/ZUMAudioVideoManagerImpl.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "sdk/video/ZUMVideoPlayerImpl.h"
#include "sdk/video/ZUMVideoPlayerView.h"

std::shared_ptr<ZUMVideoConfiguration> ZUMVideo::makeVideoConfiguration(const nlohmann::ordered_json& dictionary) {
  return ZUMVideoConfigurationImpl::create(dictionary);
}

void ZUMVideo::setUpVideoPlayer(ZUMAdView& adView, const std::optional<platform::URL>& url,
                                const std::shared_ptr<ZUMResourceCache>& resourceCache,
                                const std::shared_ptr<ZUMVideoConfiguration>& configuration) {
  platform::assertMainThread();
  auto player = std::dynamic_pointer_cast<ZUMVideoPlayerImpl>(adView.videoPlayer());
  if (!player) {
    const auto owner = std::static_pointer_cast<ZUMAdView>(adView.shared_from_this());
    player = ZUMVideoPlayerImpl::create(owner);
    adView.setVideoPlayer(player);
    ZUMLoggingHierarchy::sharedInstance()->linkObject(owner, {player});
    player->setDelegate(shared_from_this());
  }
  removeVideoPlayerView(adView);
  auto source = url;
  if (!source && resourceCache) source = resourceCache->request().url();
  player->setSourceURL(source, resourceCache, configuration);
}

void ZUMVideo::pauseVideo(ZUMAdView& adView) {
  if (auto player = std::dynamic_pointer_cast<ZUMVideoPlayerImpl>(adView.videoPlayer())) player->pause();
}

void ZUMVideo::hideVideo(ZUMAdView& adView) {
  if (const auto& view = adView.videoPlayerView()) view->setHidden(true);
}

void ZUMVideo::showVideo(ZUMAdView& adView) {
  if (const auto& view = adView.videoPlayerView()) view->setHidden(false);
}

void ZUMVideo::setVideoPlayerFrame(ZUMAdView& adView, const platform::Rect& frame) {
  const auto& view = adView.videoPlayerView();
  if (!view) return;
  view->setFrame(frame == platform::Rect::zero() ? adView.bounds() : frame);
}

void ZUMVideo::optimizeVideoPlayback(ZUMAdView& adView) {
  if (auto* view = dynamic_cast<ZUMVideoPlayerView*>(adView.videoPlayerView().get())) {
    view->optimizeVideoForAdVisibility(adView.visible());
  }
}

void ZUMVideo::playerDidLoadURL(ZUMVideoPlayerImpl& player, const std::optional<platform::URL>& url,
                                const std::shared_ptr<platform::Player>& avPlayer) {
  const auto adView = player.adView();
  if (adView && url) createViewForPlayer(*adView, avPlayer);
}

void ZUMVideo::removeVideoPlayerView(ZUMAdView& adView) {
  if (const auto& view = adView.videoPlayerView()) view->removeFromSuperview();
  adView.setVideoPlayerView(nullptr);
}

void ZUMVideo::createViewForPlayer(ZUMAdView& adView, const std::shared_ptr<platform::Player>& avPlayer) {
  removeVideoPlayerView(adView);
  auto view = ZUMVideoPlayerView::create(adView.bounds());
  view->setUpWithPlayer(avPlayer);
  adView.setVideoPlayerView(view);
  view->enableVideoPlaybackOptimization();
  optimizeVideoPlayback(adView);
  adView.insertSubview(view, 0);
  adView.setNeedsLayout();
}

void ZUMRegisterVideo() {
  ZUMAdViewVideo::setShared(std::make_shared<ZUMVideo>());
  ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
    hooks.makeAudioVideoManager = [] { return std::shared_ptr<ZUMAudioVideoManager>(ZUMAudioVideoManagerImpl::create()); };
  });
}
