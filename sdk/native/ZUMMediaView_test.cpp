// The media view: what it shows of its content and how it sizes itself, and, end to end,
// a native ad's video played by the support page in the host's media view: frames in its
// snapshot, sound in the player's audio output, the host's controller and delegate, and
// visibility that follows the media view's window.
#include "ZUMMediaView.h"

#include "ZUMMediaContentDelegate.h"
#include "ZUMNativeAdImage.h"
#include "ZUMVideoController.h"
#include "ZUMVideoControllerDelegate.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Window.h"
#include "sdk/native/ZUMNativeTestSupport.h"
#include "sdk/native/ZUMNativeVideoTestSupport.h"
#include "sdk/rendering/ZUMActiveViewMonitor.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMVideoPlayer.h"
#include "sdk/rendering/ZUMViewMonitor.h"
#include "sdk/video/ZUMVideoPlayerImpl.h"
#include "testing/TestImages.h"

namespace {

using namespace std::chrono_literals;
using nativevideotest::Json;
using testenv::MediaClips;

std::shared_ptr<ZUMNativeAdImage> picture() {
  return ZUMNativeAdImage::createWithImage(platform::Image::decode(testenv::pngBytes(40, 20, {200, 0, 0})));
}

// A player that knows the size it is given.
struct SizedPlayer : ZUMVideoPlayer {
  explicit SizedPlayer(platform::Size size) : size(size) {}
  void load() override {}
  void playNativePlayer() override {}
  void pauseNativePlayer() override {}
  void seekToTime(double) override {}
  void setMuted(bool) override {}
  void setVolume(float) override {}
  platform::Size videoSize() const override { return size; }
  platform::Size size;
};

// Media of another kind: a view, and no video.
struct OtherMedia : ZUMMediaContentDisplaying {
  void loadVideoWithCompletionHandler(CompletionHandler completion) override { completion(nullptr); }
  std::shared_ptr<platform::View> mediaView() override { return view; }
  std::shared_ptr<ZUMVideoControlling> videoController() const override { return nullptr; }
  std::shared_ptr<platform::View> view = platform::View::create({0, 0, 10, 10});
};

class ZUMMediaViewTest : public nativevideotest::NativeVideoTest {
 protected:
  std::shared_ptr<ZUMMediaView> mediaView = ZUMMediaView::create({0, 0, 320, 180});
};

TEST_F(ZUMMediaViewTest, ThePlaceholderFillsTheViewUntilTheContentIsSetAgain) {
  const auto dictionary = videoDictionary();
  auto content = makeContent(&dictionary, ZUMVideoOptions::create(), picture());
  mediaView->setMediaContent(content);
  const auto placeholder = std::dynamic_pointer_cast<platform::ImageView>(mediaView->mediaView());
  ASSERT_TRUE(placeholder);
  EXPECT_EQ(mediaView->subviews(), std::vector<std::shared_ptr<platform::View>>{placeholder});
  EXPECT_EQ(placeholder->frame(), mediaView->bounds());
  EXPECT_EQ(placeholder->autoresizingMask(),
            platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
  EXPECT_EQ(mediaView->intrinsicContentSize(), (platform::Size{40, 20}));  // the image's own
  EXPECT_EQ(content->delegate(), mediaView);

  EXPECT_EQ(load(*content)->error, nullptr);
  EXPECT_EQ(mediaView->mediaView(), placeholder);  // kept until the content is set again
  mediaView->setMediaContent(content);
  EXPECT_EQ(mediaView->mediaView(), adViewOf(*content));
  EXPECT_EQ(placeholder->superview(), nullptr);
  EXPECT_EQ(mediaView->subviews().size(), 1u);
  EXPECT_EQ(adViewOf(*content)->frame(), mediaView->bounds());

  // Another content: the old one is left; without one nothing is shown.
  auto other = std::make_shared<OtherMedia>();
  mediaView->setMediaContent(other);
  EXPECT_EQ(content->delegate(), nullptr);
  EXPECT_EQ(mediaView->mediaView(), other->view);
  EXPECT_EQ(mediaView->intrinsicContentSize(), (platform::Size{320, 180}));  // given the view's bounds
  mediaView->setMediaContent(nullptr);
  EXPECT_EQ(mediaView->mediaView(), nullptr);
  EXPECT_TRUE(mediaView->subviews().empty());
  EXPECT_EQ(mediaView->intrinsicContentSize(), (platform::Size{0, 0}));
}

TEST_F(ZUMMediaViewTest, TheAdViewSizesTheViewByItsVideoOnceThePlayerKnowsIt) {
  const auto dictionary = videoDictionary();
  auto content = makeContent(&dictionary);
  EXPECT_EQ(load(*content)->error, nullptr);
  mediaView->setMediaContent(content);
  const auto adView = adViewOf(*content);
  adView->setVideoPlayer(nullptr);
  EXPECT_EQ(mediaView->intrinsicContentSize(), (platform::Size{320, 180}));  // no player: the frame
  for (const auto& [videoSize, intrinsic] : std::vector<std::pair<platform::Size, platform::Size>>{
           {{-1, -1}, {320, 180}}, {{160, 90}, {160, 90}}, {{-1, 90}, {-1, 90}}, {{0, 0}, {0, 0}}}) {
    adView->setVideoPlayer(std::make_shared<SizedPlayer>(videoSize));
    EXPECT_EQ(mediaView->intrinsicContentSize(), intrinsic) << videoSize.width << "x" << videoSize.height;
  }
  mediaView->layoutIfNeeded();
  EXPECT_FALSE(mediaView->needsLayout());
  content->slotDidLoadVideoWithSize(*content->slot(), {160, 90});
  EXPECT_TRUE(mediaView->needsLayout());  // asks for its size again
}

TEST_F(ZUMMediaViewTest, TheContentsVisibilityFollowsTheMediaViewsWindow) {
  const auto dictionary = videoDictionary();
  auto content = makeContent(&dictionary);
  EXPECT_EQ(load(*content)->error, nullptr);
  auto window = platform::Window::create({0, 0, 375, 667});
  window->addSubview(mediaView);
  mediaView->setFrame({0, 100, 320, 180});
  mediaView->setMediaContent(content);
  const auto monitor = ZUMSlotActiveView::forSlot(*content->slot())->activeViewMonitor();
  ASSERT_TRUE(monitor);
  EXPECT_TRUE(monitor->viewMonitor()->isMonitoring());
  EXPECT_EQ(content->frameInInterface(), platform::Rect(0, 100, 320, 180));

  int left = 0;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMSlotDidLeaveWindowNotification, content->slot(), nullptr, [&](const auto&) { ++left; });
  mediaView->removeFromSuperview();
  EXPECT_EQ(left, 1);
  EXPECT_FALSE(monitor->viewMonitor()->isMonitoring());
  EXPECT_EQ(content->frameInInterface(), platform::Rect::zero());
  window->addSubview(mediaView);
  EXPECT_TRUE(monitor->viewMonitor()->isMonitoring());
  platform::NotificationCenter::defaultCenter().removeObserver(token);
}

// A native ad kind with the media the test gives.
class Ad : public nativetest::TestAd {
 public:
  static std::shared_ptr<Ad> create(std::string templateID, std::shared_ptr<ZUMMediaContentDisplaying> media) {
    auto ad = std::shared_ptr<Ad>(new Ad());
    ad->templateID = std::move(templateID);
    ad->media = std::move(media);
    return ad;
  }
  std::shared_ptr<ZUMMediaContentDisplaying> mediaContent() const override { return media; }
  std::shared_ptr<ZUMMediaContentDisplaying> media;

 private:
  Ad() : TestAd(Json::object(), {}) {}
};

TEST_F(ZUMMediaViewTest, ANativeAdsMediaIsShownFromTheNextTurnUnlessTheAdIsRefused) {
  auto media = std::make_shared<OtherMedia>();
  auto ad = Ad::create("2", media);
  mediaView->setNativeAd(ad);
  EXPECT_EQ(mediaView->nativeAd(), ad);
  EXPECT_EQ(mediaView->mediaContent(), nullptr);  // not inside the call
  env.runUntilIdle();
  EXPECT_EQ(mediaView->mediaContent(), media);
  EXPECT_EQ(mediaView->mediaView(), media->view);

  platform::SystemLog::Capture capture(true);
  const struct {
    std::shared_ptr<Ad> ad;
    const char* log;
  } refused[] = {
      {Ad::create("3", std::make_shared<OtherMedia>()),
       "Failed to set custom template native ad on media view. Not supported."},
      {Ad::create("1", nullptr), "Failed to populate media conent: media content is not available"},
  };
  for (const auto& r : refused) {
    capture.clear();
    mediaView->setNativeAd(r.ad);
    env.runUntilIdle();
    EXPECT_TRUE(capture.contains(r.log)) << r.log;
    EXPECT_EQ(mediaView->nativeAd(), ad);  // the previous ad and media stay
    EXPECT_EQ(mediaView->mediaContent(), media);
  }

  // An ad gone before the turn, or none, leaves nothing shown.
  auto gone = Ad::create("1", std::make_shared<OtherMedia>());
  mediaView->setNativeAd(gone);
  gone.reset();
  env.runUntilIdle();
  EXPECT_EQ(mediaView->mediaContent(), nullptr);
  mediaView->setNativeAd(ad);
  env.runUntilIdle();
  mediaView->setNativeAd(nullptr);
  EXPECT_EQ(mediaView->nativeAd(), nullptr);
  env.runUntilIdle();
  EXPECT_EQ(mediaView->mediaContent(), nullptr);
  EXPECT_TRUE(mediaView->subviews().empty());
}

// --- End to end ----------------------------------------------------------------------------------

int frameNumberIn(const platform::Bitmap& shot) {
  int number = 0;
  for (int bit = 0; bit < MediaClips::kBits; ++bit) {
    const int x = MediaClips::kBlock * (1 + bit) + MediaClips::kBlock / 2;
    number = (number << 1) | (shot.pixel(x, MediaClips::kBlock * 3 / 2).g > 128 ? 1 : 0);
  }
  return number;
}

struct Host : ZUMVideoControllerDelegate {
  ZUMImplemented videoControllerDidPlayVideo(ZUMVideoController&) override { return heard("play"); }
  ZUMImplemented videoControllerDidPauseVideo(ZUMVideoController&) override { return heard("pause"); }
  ZUMImplemented videoControllerDidEndVideoPlayback(ZUMVideoController&) override { return heard("end"); }
  ZUMImplemented videoControllerDidMuteVideo(ZUMVideoController&) override { return heard("mute"); }
  ZUMImplemented videoControllerDidUnmuteVideo(ZUMVideoController&) override { return heard("unmute"); }
  ZUMImplemented heard(const std::string& what) {
    log.push_back(platform::isMainThread() ? what : what + " off the main thread");
    return kZUMImplemented;
  }
  std::vector<std::string> log;
};

class ZUMNativeVideoEndToEndTest : public ZUMMediaViewTest {
 protected:
  // A content of the clip, loaded and shown in a media view of the window, with the
  // host's controller on it; waits until the page's player can play.
  void show(std::shared_ptr<ZUMVideoOptions> options) {
    const auto dictionary = videoDictionary();
    content = makeContent(&dictionary, std::move(options), picture());
    window->addSubview(mediaView);
    mediaView->setMediaContent(content);
    ASSERT_TRUE(std::dynamic_pointer_cast<platform::ImageView>(mediaView->mediaView()));
    ASSERT_EQ(load(*content)->error, nullptr);
    mediaView->setMediaContent(content);
    controller->setInternalVideoController(content->videoController());
    controller->setDelegate(host);
    ASSERT_TRUE(env.runUntil([&] { return player() && player()->hasPostedCanPlayThrough(); }));
    env.runUntilIdle();
  }
  std::shared_ptr<ZUMVideoPlayerImpl> player() const {
    return std::dynamic_pointer_cast<ZUMVideoPlayerImpl>(adViewOf(*content)->videoPlayer());
  }
  int frameShown() const { return frameNumberIn(mediaView->snapshot(1.0)); }

  std::shared_ptr<platform::Window> window = platform::Window::create({0, 0, 375, 667});
  std::shared_ptr<ZUMMediaContent> content;
  std::shared_ptr<ZUMVideoController> controller = ZUMVideoController::create();
  std::shared_ptr<Host> host = std::make_shared<Host>();
};

TEST_F(ZUMNativeVideoEndToEndTest, TheVideoPlaysMutedInTheMediaViewToItsEnd) {
  show(ZUMVideoOptions::create());
  EXPECT_EQ(
      scriptsStartingWith(*content, "QYRA_ReceiveMessage('pubVideoCmd'").front(),
      "QYRA_ReceiveMessage('pubVideoCmd', {\"action\":\"initialState\",\"muteStart\":\"1\",\"customControlsRequested\":0});");
  const auto video = content->videoController();
  EXPECT_TRUE(video->hasVideoContent());
  EXPECT_NEAR(video->aspectRatio(), 16.0 / 9.0, 1e-9);
  EXPECT_EQ(std::dynamic_pointer_cast<ZUMAdViewVideoController>(video)->videoDuration(), 2.0);
  EXPECT_NE(mediaView->intrinsicContentSize(), adViewOf(*content)->frame().size);  // the video's own size now

  auto& sound = player()->player()->audioOutput();
  sound.reset();
  env.advance(1s);
  EXPECT_EQ(frameShown(), 30);
  EXPECT_EQ(sound.rmsLevel(), 0.0);  // started muted
  EXPECT_GT(sound.frameCount(), 0);
  EXPECT_EQ(video->videoPlaybackState(), kZUMVideoPlaybackStatePlaying);
  env.advance(2s);
  env.runUntilIdle();
  EXPECT_EQ(video->videoPlaybackState(), kZUMVideoPlaybackStateEnded);
  // Started muted, played, paused at the end and ended: each told once.
  EXPECT_EQ(host->log, (std::vector<std::string>{"mute", "play", "pause", "end"}));
}

TEST_F(ZUMNativeVideoEndToEndTest, TheHostsControllerMutesAndPausesIt) {
  auto options = ZUMVideoOptions::create();
  options->setStartMuted(false);
  show(options);
  auto& sound = player()->player()->audioOutput();
  env.advance(0.5s);
  sound.reset();
  env.advance(0.25s);
  EXPECT_GT(sound.rmsLevel(), 0.1);

  controller->setMute(true);
  env.runUntilIdle();
  EXPECT_EQ(scriptsStartingWith(*content, "QYRA_ReceiveMessage('pubVideoCmd', {\"action\":\"mute\"}").size(), 1u);
  sound.reset();
  env.advance(0.25s);
  EXPECT_EQ(sound.rmsLevel(), 0.0);

  controller->pause();
  env.runUntilIdle();
  EXPECT_EQ(scriptsStartingWith(*content, "QYRA_ReceiveMessage('pubVideoCmd', {\"action\":\"pause\"}").size(), 1u);
  const int paused = frameShown();
  env.advance(1s);
  EXPECT_EQ(frameShown(), paused);
  EXPECT_EQ(content->videoController()->videoPlaybackState(), kZUMVideoPlaybackStatePaused);
  EXPECT_EQ(host->log, (std::vector<std::string>{"play", "mute", "pause"}));
}

}  // namespace
