// The ad view's video operations: each goes to the video side when one is registered.
#include "sdk/rendering/ZUMAdView.h"

#include "sdk/rendering/ZUMAdViewVideo.h"

void ZUMAdView::setVisible(bool visible) {
  visible_ = visible;
  optimizeVideoPlayback();
}

void ZUMAdView::setUpVideoPlayerWithURL(const std::optional<platform::URL>& url,
                                        const std::shared_ptr<ZUMResourceCache>& resourceCache,
                                        const std::shared_ptr<ZUMVideoConfiguration>& configuration) {
  if (auto video = ZUMAdViewVideo::shared()) video->setUpVideoPlayer(*this, url, resourceCache, configuration);
}

void ZUMAdView::hideVideo() {
  if (auto video = ZUMAdViewVideo::shared()) video->hideVideo(*this);
}

void ZUMAdView::showVideo() {
  if (auto video = ZUMAdViewVideo::shared()) video->showVideo(*this);
}

void ZUMAdView::rotateVideoToDegrees(double degrees) {
  if (auto video = ZUMAdViewVideo::shared()) video->rotateVideoToDegrees(*this, degrees);
}

void ZUMAdView::setVideoPlayerFrame(const std::optional<platform::Rect>& frame) {
  if (auto video = ZUMAdViewVideo::shared()) video->setVideoPlayerFrame(*this, frame);
}

void ZUMAdView::optimizeVideoPlayback() {
  if (auto video = ZUMAdViewVideo::shared()) video->optimizeVideoPlayback(*this);
}

void ZUMAdView::pauseVideo() {
  if (auto video = ZUMAdViewVideo::shared()) video->pauseVideo(*this);
}
