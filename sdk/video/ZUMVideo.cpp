#include "sdk/video/ZUMVideo.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/base/MainThreadChecker.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Animation.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewDelegateProtocol.h"
#include "sdk/rendering/ZUMVideoRendering.h"
#include "sdk/telemetry/ZUMFennickCommand.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMLoggingHierarchy.h"
#include "sdk/video/ZUMAudioVideoManagerImpl.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "sdk/video/ZUMVideoPlayerGLViewImpl.h"
#include "sdk/video/ZUMVideoPlayerImpl.h"
#include "sdk/video/ZUMVideoPlayerView.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFennickCategory = "adview";
constexpr std::int64_t kVideoErrorCode = 11;
constexpr double kRadiansPerDegree = 0.017453292519943295;

void logEvent(ZUMAdView& adView, const std::optional<Json>& event) {
  if (const auto& logger = adView.logger(); logger && event) logger->reportEvent(*event);
}

void logEvent(ZUMAdView& adView, const std::string& name, const Json& value) {
  logEvent(adView, ZUMFennickEvent(kFennickCategory, Json{{name, value}}));
}

void logCount(ZUMAdView& adView, const std::string& name) {
  logEvent(adView, ZUMFennickCountEvent(kFennickCategory, name));
}

Json urlValue(const std::optional<platform::URL>& url) {
  return {{"url", url ? url->absoluteString() : std::string()}};
}

// The ad view showing a 360-degree view: its superview.
std::shared_ptr<ZUMAdView> adViewOf(ZUMVideoPlayerGLViewImpl& view) {
  return std::dynamic_pointer_cast<ZUMAdView>(view.superview());
}

}  // namespace

std::shared_ptr<ZUMVideoConfiguration> ZUMVideo::makeVideoConfiguration(const nlohmann::ordered_json& dictionary) {
  return ZUMVideoConfigurationImpl::create(dictionary);
}

void ZUMVideo::setUpVideoPlayer(ZUMAdView& adView, const std::optional<platform::URL>& url,
                                const std::shared_ptr<ZUMResourceCache>& resourceCache,
                                const std::shared_ptr<ZUMVideoConfiguration>& configuration) {
  platform::assertMainThread();
  logEvent(adView, "video_load_started", urlValue(url));
  removeVideoPlayerView(adView);
  auto player = std::dynamic_pointer_cast<ZUMVideoPlayerImpl>(adView.videoPlayer());
  if (!player) {
    const auto owner = std::static_pointer_cast<ZUMAdView>(adView.shared_from_this());
    player = ZUMVideoPlayerImpl::create(owner);
    adView.setVideoPlayer(player);
    ZUMLoggingHierarchy::sharedInstance()->linkObject(owner, {player});
    player->setDelegate(shared_from_this());
  }
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

void ZUMVideo::setVideoPlayerFrame(ZUMAdView& adView, const std::optional<platform::Rect>& frame) {
  const auto& view = adView.videoPlayerView();
  if (!view) return;
  // The page places the video's box and turns it about its centre (rotateVideoToDegrees), as
  // a page turns an element: the box is the view's size and centre, which the frame of a
  // turned view does not set.
  const auto box = frame.value_or(adView.bounds()).standardized();
  platform::Animation::performWithoutAnimation([&] {
    view->setCenter({box.midX(), box.midY()});
    // Set only when it changes: a new bounds lays the view out again.
    if (view->bounds().size != box.size) view->setBounds({view->bounds().origin, box.size});
  });
}

void ZUMVideo::rotateVideoToDegrees(ZUMAdView& adView, double degrees) {
  if (!std::isfinite(degrees)) {
    ZUMLog(kZUMLogLevelDefault, "Video rotation refused: the angle is not a number.");
    return;
  }
  if (const auto& view = adView.videoPlayerView()) {
    const auto radians = static_cast<float>(degrees * kRadiansPerDegree);
    platform::Animation::performWithoutAnimation(
        [&] { view->setTransform(platform::AffineTransform::identity().rotated(radians)); });
  }
  adView.setNeedsLayout();
}

void ZUMVideo::optimizeVideoPlayback(ZUMAdView& adView) {
  if (auto* view = dynamic_cast<ZUMVideoRendering*>(adView.videoPlayerView().get())) {
    view->optimizeVideoForAdVisibility(adView.visible());
  }
}

void ZUMVideo::playerDidLoadURL(ZUMVideoPlayerImpl& player, const std::optional<platform::URL>& url,
                                const std::shared_ptr<platform::Player>& avPlayer) {
  const auto adView = player.adView();
  if (!adView) return;
  logEvent(*adView, "video_load_succeeded", urlValue(url));
  if (!url) return;
  createViewForPlayer(*adView, avPlayer);
  if (auto delegate = adView->delegate()) delegate->adViewDidLoadVideoWithSize(*adView, player.videoSize());
}

void ZUMVideo::videoPlayerGLViewDidSetUpVideoPlayer(ZUMVideoPlayerGLViewImpl& view,
                                                    const std::shared_ptr<platform::Player>&) {
  platform::assertMainThread();
  if (auto adView = adViewOf(view)) logCount(*adView, "opengl_rendering_succeeded");
}

void ZUMVideo::videoPlayerGLViewDidFailToSetupVideoPlayer(ZUMVideoPlayerGLViewImpl& view,
                                                          const std::shared_ptr<platform::Player>& player,
                                                          const platform::ErrorPtr& error) {
  platform::assertMainThread();
  auto adView = adViewOf(view);
  if (!adView) return;
  logEvent(*adView, "opengl_rendering_failed", ZUMFennickErrorParameters(error).value_or(Json::object()));
  if (adView->videoPlayerView().get() != &view) return;
  notifySphericalVideoRenderingFailedWithError(*adView, error);
  adView->setSpherical(false);
  createViewForPlayer(*adView, player);
}

void ZUMVideo::notifySphericalVideoRenderingFailedWithError(ZUMAdView& adView, const platform::ErrorPtr& error) {
  adView.postJSNotification("onVideoEvent", Json{{"event", "spherical_rendering_failed"},
                                                 {"error", error ? error->localizedDescription() : std::string()}});
}

void ZUMVideo::removeVideoPlayerView(ZUMAdView& adView) {
  const auto view = adView.videoPlayerView();
  if (!view) return;
  if (auto* sphere = dynamic_cast<ZUMVideoPlayerGLViewImpl*>(view.get())) {
    sphere->setUpWithPlayer(nullptr);
    sphere->setDelegate(nullptr);
  }
  view->removeFromSuperview();
  adView.setVideoPlayerView(nullptr);
}

void ZUMVideo::createViewForPlayer(ZUMAdView& adView, const std::shared_ptr<platform::Player>& avPlayer) {
  removeVideoPlayerView(adView);
  auto view = adView.isSpherical() ? createSphericalView(adView, avPlayer) : nullptr;
  if (!view) view = createFlatView(adView, avPlayer);
  adView.insertSubview(view, 0);
  adView.setNeedsLayout();
}

std::shared_ptr<platform::View> ZUMVideo::createSphericalView(ZUMAdView& adView,
                                                              const std::shared_ptr<platform::Player>& avPlayer) {
  logCount(adView, "opengl_rendering_started");
  auto view = ZUMVideoPlayerGLViewImpl::create(adView.bounds());
  if (!view) {
    notifySphericalVideoRenderingFailedWithError(
        adView, ZUMMakeErrorWithDescription(kVideoErrorCode, "Failed to create spherical renderer."));
    adView.setSpherical(false);
    return nullptr;
  }
  view->setDelegate(shared_from_this());
  view->setUpWithPlayer(avPlayer);
  adView.setVideoPlayerView(view);
  return view;
}

std::shared_ptr<platform::View> ZUMVideo::createFlatView(ZUMAdView& adView,
                                                         const std::shared_ptr<platform::Player>& avPlayer) {
  logCount(adView, "video_rendering_started");
  auto view = ZUMVideoPlayerView::create(adView.bounds());
  view->setUpWithPlayer(avPlayer);
  adView.setVideoPlayerView(view);
  view->enableVideoPlaybackOptimization();
  optimizeVideoPlayback(adView);
  logCount(adView, "video_rendering_succeeded");
  return view;
}

void ZUMRegisterVideo() {
  ZUMAdViewVideo::setShared(std::make_shared<ZUMVideo>());
  ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
    hooks.makeAudioVideoManager = [] {
      return std::shared_ptr<ZUMAudioVideoManager>(ZUMAudioVideoManagerImpl::create());
    };
  });
}
