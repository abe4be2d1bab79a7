#include "sdk/rendering/ZUMVideoPlayerTOLMHandler.h"

#include <cmath>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/base/MainThreadChecker.h"
#include "sdk/foundation/ZUMColor.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMPrecacheTOLMHandler.h"
#include "sdk/rendering/ZUMVideoConfiguration.h"
#include "sdk/rendering/ZUMVideoPlayer.h"
#include "sdk/rendering/ZUMVideoPlayerGLView.h"
#include "sdk/rendering/ZUMVideoRendering.h"
#include "sdk/rendering/ZUMVideoSourceURL.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr double kMaxCoordinate = 100000;
// The player counts time in nanoseconds: 10^9 s keeps that within 64 bits.
constexpr double kMaxSeconds = 1e9;

void refuse(const std::string& action) { ZUMLog(kZUMLogLevelDefault, "Video message \"" + action + "\" refused."); }

ZUMVideoRendering* playerView(ZUMAdView& adView) {
  return dynamic_cast<ZUMVideoRendering*>(adView.videoPlayerView().get());
}

// The frame of "x", "y", "w", "h": the zero rectangle unless all four are there;
// std::nullopt when one of them is not a number in range.
std::optional<platform::Rect> frameFromParameters(const Json& parameters) {
  for (const char* key : {"x", "y", "w", "h"}) {
    if (!ZUMTOLMHandler::hasParameter(parameters, key)) return platform::Rect::zero();
  }
  double values[4];
  int i = 0;
  for (const char* key : {"x", "y", "w", "h"}) {
    const auto value = ZUMTOLMHandler::finiteDoubleParameter(parameters, key);
    if (!value || std::fabs(*value) > kMaxCoordinate || (i >= 2 && *value < 0)) return std::nullopt;
    values[i++] = *value;
  }
  return platform::Rect(values[0], values[1], values[2], values[3]);
}

// The cache of the precache download whose file `url` names, if any.
std::shared_ptr<ZUMResourceCache> precacheFor(const platform::URL& url, const ZUMPrecacheTOLMHandler& precache) {
  const auto& cache = precache.resourceCache();
  if (!cache) return nullptr;
  const auto path = ZUMPathInsideCacheDirectory(url);
  return path && path == ZUMPathInsideCacheDirectory(cache->fileURL()) ? cache : nullptr;
}

}  // namespace

std::shared_ptr<ZUMVideoPlayerTOLMHandler> ZUMVideoPlayerTOLMHandler::create() {
  return std::shared_ptr<ZUMVideoPlayerTOLMHandler>(new ZUMVideoPlayerTOLMHandler());
}

ZUMVideoPlayerTOLMHandler::ZUMVideoPlayerTOLMHandler() : precacheTOLMHandler_(ZUMPrecacheTOLMHandler::create()) {}

const ZUMTOLMHandler::ActionTable* ZUMVideoPlayerTOLMHandler::actionBlockDictionary() const {
  static const auto* table = new ActionTable{
      {"video", action(&ZUMVideoPlayerTOLMHandler::adViewDidReceiveVideoAction)},
      {"precache", action(&ZUMVideoPlayerTOLMHandler::adViewDidReceivePrecacheAction)},
  };
  return table;
}

const ZUMTOLMHandler::ActionTable* ZUMVideoPlayerTOLMHandler::subActionBlockDictionary() const {
  using H = ZUMVideoPlayerTOLMHandler;
  static const auto* table = new ActionTable{
      {"new", action(&H::adViewDidReceiveNewVideoAction)},
      {"position", action(&H::adViewDidReceivePositionVideoAction)},
      {"src", action(&H::adViewDidReceiveSetVideoSourceAction)},
      {"load", action(&H::adViewDidReceiveLoadVideoAction)},
      {"loadControl", action(&H::adViewDidReceiveLoadControlVideoAction)},
      {"play", action(&H::adViewDidReceivePlayVideoAction)},
      {"pause", action(&H::adViewDidReceivePauseVideoAction)},
      {"volume", action(&H::adViewDidReceiveSetVolumeAction)},
      {"muted", action(&H::adViewDidReceiveMutedVideoAction)},
      {"currentTime", action(&H::adViewDidReceiveSeekToCurrentTimeAction)},
      {"hide", action(&H::adViewDidReceiveHideVideoAction)},
      {"show", action(&H::adViewDidReceiveShowVideoAction)},
      {"rotation", action(&H::adViewDidReceiveRotationVideoAction)},
      {"background", action(&H::adViewDidReceiveBackgroundAction)},
      {"touchMove", action(&H::adViewDidReceiveTouchMoveAction)},
  };
  return table;
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveVideoAction(ZUMAdView& adView, const Json& parameters) {
  platform::assertMainThread();
  runSubAction("action", adView, parameters);
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceivePrecacheAction(ZUMAdView& adView, const Json& parameters) {
  precacheTOLMHandler_->adViewDidReceivePrecacheNotification(adView, parameters);
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveNewVideoAction(ZUMAdView& adView, const Json& parameters) {
  adViewDidReceivePositionVideoAction(adView, parameters);
  adView.setSpherical(boolParameter(parameters, "spherical"));
  videoConfiguration_ = ZUMVideoConfiguration::create(parameters);
  adView.setUpVideoPlayerWithURL(std::nullopt, nullptr, nullptr);
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceivePositionVideoAction(ZUMAdView& adView, const Json& parameters) {
  const auto frame = frameFromParameters(parameters);
  if (!frame) return refuse("position");
  // The page's zero rectangle, like no frame at all, asks for the ad view's bounds.
  adView.setCachedVideoPlayerFrame(*frame == platform::Rect::zero() ? std::nullopt : frame);
  adView.setNeedsLayout();
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveSetVideoSourceAction(ZUMAdView& adView, const Json& parameters) {
  const auto url = URLParameter(parameters, "src");
  if (url && !ZUMIsAllowedVideoSourceURL(*url)) return refuse("src");
  const auto cache = url && url->isFileURL() ? precacheFor(*url, *precacheTOLMHandler_) : nullptr;
  adView.setUpVideoPlayerWithURL(url, cache, videoConfiguration_);
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveLoadVideoAction(ZUMAdView& adView, const Json&) {
  if (const auto& player = adView.videoPlayer()) player->load();
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveLoadControlVideoAction(ZUMAdView&, const Json& parameters) {
  if (videoConfiguration_) videoConfiguration_->updateDynamicConfigurationWithDictionary(parameters);
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceivePlayVideoAction(ZUMAdView& adView, const Json&) {
  auto* view = playerView(adView);
  if (view) {
    view->disableVideoPlaybackOptimization();
    view->resetVideoPlaybackOptimization();
  }
  if (const auto& player = adView.videoPlayer()) player->playNativePlayer();
  if (view) view->enableVideoPlaybackOptimization();
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceivePauseVideoAction(ZUMAdView& adView, const Json&) {
  if (const auto& player = adView.videoPlayer()) player->pauseNativePlayer();
  adView.optimizeVideoPlayback();
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveSetVolumeAction(ZUMAdView& adView, const Json& parameters) {
  if (!hasParameter(parameters, "volume")) return;
  const auto volume = finiteFloatParameter(parameters, "volume");
  if (!volume || *volume < 0 || *volume > 1) return refuse("volume");
  if (const auto& player = adView.videoPlayer()) player->setVolume(*volume);
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveMutedVideoAction(ZUMAdView& adView, const Json& parameters) {
  if (!hasParameter(parameters, "muted")) return;
  if (const auto& player = adView.videoPlayer()) player->setMuted(boolParameter(parameters, "muted"));
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveSeekToCurrentTimeAction(ZUMAdView& adView, const Json& parameters) {
  const auto time = hasParameter(parameters, "time") ? finiteDoubleParameter(parameters, "time") : 0.0;
  if (!time || *time < 0 || *time > kMaxSeconds) return refuse("currentTime");
  if (const auto& player = adView.videoPlayer()) player->seekToTime(*time);
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveHideVideoAction(ZUMAdView& adView, const Json&) { adView.hideVideo(); }

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveShowVideoAction(ZUMAdView& adView, const Json&) { adView.showVideo(); }

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveRotationVideoAction(ZUMAdView& adView, const Json& parameters) {
  const auto degrees = hasParameter(parameters, "degrees") ? finiteFloatParameter(parameters, "degrees") : 0.0f;
  if (!degrees) return refuse("rotation");
  adView.rotateVideoToDegrees(*degrees);
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveBackgroundAction(ZUMAdView& adView, const Json& parameters) {
  const auto text = ZUMStringForKey(parameters, "color");
  const auto color = text ? ZUMColorFromHexString(*text) : std::nullopt;
  if (color) static_cast<platform::View&>(adView).setBackgroundColor(*color);
}

void ZUMVideoPlayerTOLMHandler::adViewDidReceiveTouchMoveAction(ZUMAdView& adView, const Json& parameters) {
  auto* view = dynamic_cast<ZUMVideoPlayerGLView*>(adView.videoPlayerView().get());
  if (!view) return;
  const auto dx = hasParameter(parameters, "dx") ? finiteFloatParameter(parameters, "dx") : 0.0f;
  const auto dy = hasParameter(parameters, "dy") ? finiteFloatParameter(parameters, "dy") : 0.0f;
  if (!dx || !dy) return refuse("touchMove");
  view->handleUserTouchMovedByVector(*dx, *dy);
}
