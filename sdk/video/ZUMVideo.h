// Video playback's answer to the ad view's video side (ZUMAdViewVideo): the video
// configurations that the page's video messages make, and each ad view's one native
// player (ZUMVideoPlayerImpl), made on the first set-up, linked below its ad view in the
// logging hierarchy and fed every later source. Installed once by the SDK's load entry.
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
  void hideVideo(ZUMAdView&) override {}
  void showVideo(ZUMAdView&) override {}
  void rotateVideoToDegrees(ZUMAdView&, double) override {}
  void setVideoPlayerFrame(ZUMAdView&, const platform::Rect&) override {}
  void optimizeVideoPlayback(ZUMAdView&) override {}
  // The page event "pause" only.
  void pauseVideo(ZUMAdView& adView) override;

  void playerDidLoadURL(ZUMVideoPlayerImpl&, const std::optional<platform::URL>&,
                        const std::shared_ptr<platform::Player>&) override {}
};

void ZUMRegisterVideo();
