// Video playback's answer to the ad view's video side (ZUMAdViewVideo): the video
// configurations that the page's video messages make, and each ad view's one native
// player (ZUMVideoPlayerImpl), made on the first set-up, linked below its ad view in the
// logging hierarchy and fed every later source. A new source removes the player view;
// once the player has loaded it, a flat view (ZUMVideoPlayerView) shows it at the bottom
// of the ad view, with its playback optimisation on. Installed once by the SDK's load
// entry.
//
// makeVideoConfiguration: any thread; the rest main thread only.
#pragma once

#include "sdk/rendering/ZUMAdViewVideo.h"
#include "sdk/video/ZUMVideoPlayerDelegate.h"

class ZUMVideo final : public ZUMAdViewVideo,
                       public ZUMVideoPlayerDelegate,
                       public std::enable_shared_from_this<ZUMVideo> {
 public:
  // A ZUMVideoConfigurationImpl of the stored server settings overlaid by `dictionary`.
  std::shared_ptr<ZUMVideoConfiguration> makeVideoConfiguration(const nlohmann::ordered_json& dictionary) override;
  // Without a URL, the cache's request URL.
  void setUpVideoPlayer(ZUMAdView& adView, const std::optional<platform::URL>& url,
                        const std::shared_ptr<ZUMResourceCache>& resourceCache,
                        const std::shared_ptr<ZUMVideoConfiguration>& configuration) override;
  void hideVideo(ZUMAdView& adView) override;
  void showVideo(ZUMAdView& adView) override;
  void rotateVideoToDegrees(ZUMAdView&, double) override {}
  // A zero rectangle means the ad view's bounds; nothing without a player view.
  void setVideoPlayerFrame(ZUMAdView& adView, const platform::Rect& frame) override;
  void optimizeVideoPlayback(ZUMAdView& adView) override;
  // The page event "pause" only.
  void pauseVideo(ZUMAdView& adView) override;

  // With a URL: a flat view for the player.
  void playerDidLoadURL(ZUMVideoPlayerImpl& player, const std::optional<platform::URL>& url,
                        const std::shared_ptr<platform::Player>& avPlayer) override;

 private:
  static void removeVideoPlayerView(ZUMAdView& adView);
  void createViewForPlayer(ZUMAdView& adView, const std::shared_ptr<platform::Player>& avPlayer);
};

void ZUMRegisterVideo();
