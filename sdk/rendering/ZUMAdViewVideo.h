// The ad view's video side, which video playback implements and the SDK's load entry
// installs: it makes video configurations, makes and feeds the ad view's one player,
// and creates, places, shows, hides and rotates the player's view. ZUMAdView's video
// operations forward here. Unregistered, an ad view has no video: the operations do
// nothing and no configuration is made.
//
// Main thread only (makeVideoConfiguration: any thread).
#pragma once

#include <memory>
#include <optional>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"
#include "platform/ui/Geometry.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAdView;
class ZUMResourceCache;
class ZUMVideoConfiguration;

class ZUMAdViewVideo : public ZUMSharedInterface<ZUMAdViewVideo> {
 public:
  virtual ~ZUMAdViewVideo() = default;

  virtual std::shared_ptr<ZUMVideoConfiguration> makeVideoConfiguration(const nlohmann::ordered_json& dictionary) = 0;
  // Replaces the player view; makes the ad view's player when it has none
  // (ZUMAdView::setVideoPlayer) and hands it the URL (the cache's request URL without
  // one), the cache and the configuration.
  virtual void setUpVideoPlayer(ZUMAdView& adView, const std::optional<platform::URL>& url,
                                const std::shared_ptr<ZUMResourceCache>& resourceCache,
                                const std::shared_ptr<ZUMVideoConfiguration>& configuration) = 0;
  virtual void hideVideo(ZUMAdView& adView) = 0;
  virtual void showVideo(ZUMAdView& adView) = 0;
  virtual void rotateVideoToDegrees(ZUMAdView& adView, double degrees) = 0;
  // No frame means the ad view's bounds.
  virtual void setVideoPlayerFrame(ZUMAdView& adView, const std::optional<platform::Rect>& frame) = 0;
  // Tells the player view whether the ad view is visible.
  virtual void optimizeVideoPlayback(ZUMAdView& adView) = 0;
  virtual void pauseVideo(ZUMAdView& adView) = 0;
};
