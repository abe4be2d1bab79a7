// Video playback's answer to the ad view's video side (ZUMAdViewVideo): the video
// configurations that the page's video messages make, and each ad view's one native
// player (ZUMVideoPlayerImpl), made on the first set-up, linked below its ad view in the
// logging hierarchy and fed every later source. A new source removes the player view;
// once the player has loaded it, a view shows it at the bottom of the ad view, under the
// web view: the 360-degree view (ZUMVideoPlayerGLViewImpl) when the page asked for
// spherical video, else the flat one (ZUMVideoPlayerView) with its playback optimisation
// on. A 360-degree view that cannot be made or set up gives way to a flat one, and the
// page hears "spherical_rendering_failed" once. The course goes to the ad view's Fennick
// logger under "adview". Installed once by the SDK's load entry.
//
// makeVideoConfiguration: any thread; the rest main thread only.
#pragma once

#include "sdk/rendering/ZUMAdViewVideo.h"
#include "sdk/video/ZUMVideoPlayerDelegate.h"
#include "sdk/video/ZUMVideoPlayerGLViewDelegate.h"

namespace platform {
class View;
}

class ZUMVideo final : public ZUMAdViewVideo,
                       public ZUMVideoPlayerDelegate,
                       public ZUMVideoPlayerGLViewDelegate,
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
  // A quarter turn for 90, without animation; angles that are not finite are refused.
  void rotateVideoToDegrees(ZUMAdView& adView, double degrees) override;
  // The player view's box before its turn: its size and centre. No frame means the ad
  // view's bounds; nothing without a player view.
  void setVideoPlayerFrame(ZUMAdView& adView, const std::optional<platform::Rect>& frame) override;
  void optimizeVideoPlayback(ZUMAdView& adView) override;
  // The page event "pause" only.
  void pauseVideo(ZUMAdView& adView) override;

  // With a URL: a view for the player, and the video's size to the ad view's delegate.
  void playerDidLoadURL(ZUMVideoPlayerImpl& player, const std::optional<platform::URL>& url,
                        const std::shared_ptr<platform::Player>& avPlayer) override;

  // The 360-degree view's reports; its ad view is its superview. A failure of the current
  // view falls back to a flat one; of a view already replaced, it is only logged.
  void videoPlayerGLViewDidSetUpVideoPlayer(ZUMVideoPlayerGLViewImpl& view,
                                            const std::shared_ptr<platform::Player>& player) override;
  void videoPlayerGLViewDidFailToSetupVideoPlayer(ZUMVideoPlayerGLViewImpl& view,
                                                  const std::shared_ptr<platform::Player>& player,
                                                  const platform::ErrorPtr& error) override;

 private:
  static void removeVideoPlayerView(ZUMAdView& adView);
  void createViewForPlayer(ZUMAdView& adView, const std::shared_ptr<platform::Player>& avPlayer);
  std::shared_ptr<platform::View> createSphericalView(ZUMAdView& adView,
                                                      const std::shared_ptr<platform::Player>& avPlayer);
  std::shared_ptr<platform::View> createFlatView(ZUMAdView& adView, const std::shared_ptr<platform::Player>& avPlayer);
  static void notifySphericalVideoRenderingFailedWithError(ZUMAdView& adView, const platform::ErrorPtr& error);
};

void ZUMRegisterVideo();
