// A page's "video", "precache" and "videoMeta" messages with any parameters, through the
// video-player and video-metadata handlers to a checking video side. Never crashes;
// every source that reaches the player is http(s), a tcache URL or a file inside the
// SDK's cache folder; every seek, volume, pan and frame is finite and in range; the video
// controller's numbers stay finite. Network loads never leave the machine.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/URL.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/View.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewVideo.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMVideoConfiguration.h"
#include "sdk/rendering/ZUMVideoMetadataTOLMHandler.h"
#include "sdk/rendering/ZUMVideoPlayer.h"
#include "sdk/rendering/ZUMVideoPlayerGLView.h"
#include "sdk/rendering/ZUMVideoPlayerTOLMHandler.h"
#include "sdk/rendering/ZUMVideoRendering.h"
#include "sdk/rendering/ZUMVideoSourceURL.h"

namespace {

struct CheckingPlayer : ZUMVideoPlayer {
  void load() override {}
  void playNativePlayer() override {}
  void pauseNativePlayer() override {}
  void seekToTime(double seconds) override { fuzzenv::check(std::isfinite(seconds) && seconds >= 0 && seconds <= 1e9); }
  void setMuted(bool) override {}
  void setVolume(float volume) override { fuzzenv::check(volume >= 0 && volume <= 1); }
};

struct CheckingGLView : platform::View, ZUMVideoRendering, ZUMVideoPlayerGLView {
  CheckingGLView() : platform::View(platform::Rect()) {}
  void disableVideoPlaybackOptimization() override {}
  void resetVideoPlaybackOptimization() override {}
  void enableVideoPlaybackOptimization() override {}
  void setUpWithPlayer(const std::shared_ptr<platform::Player>&) override {}
  void optimizeVideoForAdVisibility(bool) override {}
  void handleUserTouchMovedByVector(float dx, float dy) override {
    fuzzenv::check(std::isfinite(dx) && std::isfinite(dy));
  }
};

struct Configuration : ZUMVideoConfiguration {
  void updateDynamicConfigurationWithDictionary(const nlohmann::ordered_json&) override {}
  std::int64_t precacheMaxBufferBytes() const override { return 1024; }
};

struct CheckingVideo : ZUMAdViewVideo {
  std::shared_ptr<ZUMVideoConfiguration> makeVideoConfiguration(const nlohmann::ordered_json&) override {
    return std::make_shared<Configuration>();
  }
  void setUpVideoPlayer(ZUMAdView& adView, const std::optional<platform::URL>& url,
                        const std::shared_ptr<ZUMResourceCache>&,
                        const std::shared_ptr<ZUMVideoConfiguration>&) override {
    fuzzenv::check(!url || ZUMIsAllowedVideoSourceURL(*url));
    if (!adView.videoPlayer()) adView.setVideoPlayer(std::make_shared<CheckingPlayer>());
    if (!adView.videoPlayerView()) adView.setVideoPlayerView(std::make_shared<CheckingGLView>());
  }
  void hideVideo(ZUMAdView&) override {}
  void showVideo(ZUMAdView&) override {}
  void rotateVideoToDegrees(ZUMAdView&, double degrees) override { fuzzenv::check(std::isfinite(degrees)); }
  void setVideoPlayerFrame(ZUMAdView&, const std::optional<platform::Rect>&) override {}
  void optimizeVideoPlayback(ZUMAdView&) override {}
  void pauseVideo(ZUMAdView&) override {}
};

bool inRange(double value) { return std::isfinite(value) && std::fabs(value) <= 100000; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("video_messages_fuzzer");
  static const bool once = [] {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    ZUMAdViewVideo::setShared(std::make_shared<CheckingVideo>());
    return true;
  }();
  (void)once;
  static auto* video = new std::shared_ptr<ZUMVideoPlayerTOLMHandler>(ZUMVideoPlayerTOLMHandler::create());
  static auto* metadata = new std::shared_ptr<ZUMVideoMetadataTOLMHandler>(ZUMVideoMetadataTOLMHandler::create());

  // The first byte chooses the message; the rest is the query as the page wrote it.
  if (size == 0) return 0;
  static const char* const names[] = {"video", "precache", "videoMeta"};
  const std::string name = names[data[0] % 3];
  const std::string query(reinterpret_cast<const char*>(data + 1), size - 1);
  auto url = platform::URL::fromString("tolm://page/" + name + "?" + query);
  auto notification = url ? ZUMNotification::createWithNotificationURL(*url) : nullptr;
  if (!notification) return 0;

  // A new ad view each time, so what the page was told does not pile up.
  auto adView = ZUMAdView::create({0, 0, 320, 250});
  (*video)->handleNotification(notification, adView);
  (*metadata)->handleNotification(notification, adView);
  fuzzenv::drainMainLoop();
  // None is the ad view's bounds; the page's zero rectangle also comes as none.
  const auto frame = adView->cachedVideoPlayerFrame().value_or(adView->bounds());
  fuzzenv::check(adView->cachedVideoPlayerFrame() != platform::Rect::zero());
  fuzzenv::check(inRange(frame.origin.x) && inRange(frame.origin.y) && inRange(frame.size.width) &&
                 inRange(frame.size.height) && frame.size.width >= 0 && frame.size.height >= 0);
  const auto& controller = *adView->videoController();
  fuzzenv::check(std::isfinite(controller.videoDuration()) && std::isfinite(controller.currentPlaybackTime()) &&
                 std::isfinite(controller.aspectRatio()));
  return 0;
}
