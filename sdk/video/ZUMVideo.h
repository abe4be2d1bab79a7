// Video playback's answer to the ad view's video side (ZUMAdViewVideo): the video
// configurations that the page's video messages make. The player and its views are not
// made here yet: until they are, the ad view's other video operations do nothing, as
// without video playback. Installed once by the SDK's load entry.
//
// makeVideoConfiguration: any thread; the rest main thread only.
#pragma once

#include "sdk/rendering/ZUMAdViewVideo.h"

class ZUMVideo final : public ZUMAdViewVideo {
 public:
  // A ZUMVideoConfigurationImpl of the stored server settings overlaid by `dictionary`.
  std::shared_ptr<ZUMVideoConfiguration> makeVideoConfiguration(const nlohmann::ordered_json& dictionary) override;
  void setUpVideoPlayer(ZUMAdView&, const std::optional<platform::URL>&, const std::shared_ptr<ZUMResourceCache>&,
                        const std::shared_ptr<ZUMVideoConfiguration>&) override {}
  void hideVideo(ZUMAdView&) override {}
  void showVideo(ZUMAdView&) override {}
  void rotateVideoToDegrees(ZUMAdView&, double) override {}
  void setVideoPlayerFrame(ZUMAdView&, const platform::Rect&) override {}
  void optimizeVideoPlayback(ZUMAdView&) override {}
  void pauseVideo(ZUMAdView&) override {}
};

void ZUMRegisterVideo();
