// An ad page that plays native video end to end: its video messages reach the real
// player through the message handler, clips come from the loopback server, the page
// reads back its "onVideoEvent" events, the flat view's snapshot shows the frames, the
// recording audio output the sound, and the audio session's record its changes.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/media/Player.h"
#include "platform/media/PlayerItem.h"
#include "platform/media/PlayerLayer.h"
#include "platform/ui/AudioSession.h"
#include "platform/ui/Bitmap.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/entry/ZUMBuiltIns.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/video/ZUMVideoPlayerImpl.h"
#include "sdk/video/ZUMVideoPlayerView.h"
#include "testing/LoopbackServer.h"
#include "testing/MediaClips.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;
using testenv::MediaClips;

int frameNumberIn(const platform::Bitmap& shot) {
  int number = 0;
  for (int bit = 0; bit < MediaClips::kBits; ++bit) {
    const int x = MediaClips::kBlock * (1 + bit) + MediaClips::kBlock / 2;
    number = (number << 1) | (shot.pixel(x, MediaClips::kBlock * 3 / 2).g > 128 ? 1 : 0);
  }
  return number;
}

class ZUMVideoPageTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMRegisterBuiltIns();
    ZUMSDKCoreController::setSharedInstance(nullptr);
    server.route("/clip.mp4", {.body = MediaClips::make({.seconds = 3}), .contentType = "video/mp4", .ranges = true});
    slot = ZUMSlot::create({0, 0, 320, 250});
    adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
    ASSERT_TRUE(adView);
    adView->loadHTMLString(platform::webtest::readPage("video_ad.html"),
                           platform::URL::fromString("https://ads.example.com/ad.html"));
    ASSERT_TRUE(env.runUntil([&] { return !adView->isLoading(); }));
    env.runUntilIdle();
  }
  std::string page(const std::string& script) {
    auto result = std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())
                      ->engine()
                      ->stringByEvaluatingJavaScriptFromString(script);
    env.runUntilIdle();
    return result;
  }
  // The event names the page heard since the last look.
  std::string heard() {
    env.runUntilIdle();  // messages to the page run on a later turn
    const std::string all = page("eventNames()");
    std::string fresh = all.substr(std::min(all.size(), seen_.size()));
    seen_ = all;
    return fresh.starts_with(",") ? fresh.substr(1) : fresh;
  }
  std::shared_ptr<ZUMVideoPlayerImpl> player() const {
    return std::dynamic_pointer_cast<ZUMVideoPlayerImpl>(adView->videoPlayer());
  }

  testenv::LoopbackServer server;
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMAdView> adView;
  std::string seen_;
};

TEST_F(ZUMVideoPageTest, ThePagePlaysMutesSeeksAndPausesARealClip) {
  ASSERT_TRUE(player());  // "new" made it, before any source
  page("source('" + server.baseURL() + "/clip.mp4')");
  ASSERT_TRUE(env.runUntil([&] { return player()->hasPostedCanPlayThrough(); }));
  env.runUntilIdle();
  EXPECT_EQ(heard(), "canplaythrough");
  EXPECT_EQ(Json::parse(page("lastEvent('canplaythrough')"))["duration"], "3.000000");
  auto view = std::dynamic_pointer_cast<ZUMVideoPlayerView>(adView->videoPlayerView());
  ASSERT_TRUE(view);
  EXPECT_EQ(adView->subviews().front(), view);  // under the page
  adView->layoutSubviews();
  EXPECT_EQ(view->frame(), platform::Rect(0, 0, 320, 180));

  auto& session = platform::AudioSession::shared();
  auto& sound = player()->player()->audioOutput();
  page("video('muted', 'muted=true'); video('play')");
  env.advance(1s);
  EXPECT_EQ(heard(), "play,timeupdate,timeupdate,timeupdate,timeupdate,timeupdate");
  EXPECT_EQ(frameNumberIn(view->snapshot(1.0)), 30);
  EXPECT_EQ(session.category(), platform::kAudioSessionCategoryAmbient);
  EXPECT_EQ(sound.rmsLevel(), 0.0);

  page("video('muted', 'muted=false'); video('volume', 'volume=0.5')");
  sound.reset();
  env.advance(0.5s);
  EXPECT_EQ(session.category(), platform::kAudioSessionCategorySoloAmbient);
  EXPECT_NEAR(sound.rmsLevel(), 0.25 / std::sqrt(2.0), 0.01);  // half of a tone of peak 0.5

  page("video('currentTime', 'time=2.5')");
  EXPECT_EQ(Json::parse(page("lastEvent('timeupdate')"))["time"], "2.500000");
  page("video('pause')");
  EXPECT_EQ(heard(), "timeupdate,timeupdate,timeupdate,timeupdate,pause");    // ticks to 1.5, then at the seek
  EXPECT_EQ(session.category(), platform::kAudioSessionCategorySoloAmbient);  // the application's own again
  EXPECT_FALSE(session.calls().empty());

  // Hidden while paused, the player lets go of its item; visible again it has it back.
  const auto item = player()->player()->currentItem();
  adView->setVisible(false);
  EXPECT_FALSE(player()->player()->currentItem());
  adView->setVisible(true);
  EXPECT_EQ(player()->player()->currentItem(), item);
  page("video('hide')");
  EXPECT_TRUE(view->isHidden());
  page("video('show')");
  EXPECT_FALSE(view->isHidden());
  page("video('play')");
  env.advance(1s);
  EXPECT_EQ(heard(), "play,timeupdate,timeupdate,pause,ended");
  adView->pauseVideo();  // full screen: the page hears "pause" only
  EXPECT_EQ(heard(), "pause");

  // A new source takes the old view away; the player stays and shows it in a new one.
  const auto firstPlayer = player();
  page("source('" + server.baseURL() + "/clip.mp4')");
  ASSERT_TRUE(env.runUntil([&] { return adView->videoPlayerView() && adView->videoPlayerView() != view; }));
  EXPECT_FALSE(view->superview());
  EXPECT_EQ(player(), firstPlayer);
  EXPECT_EQ(adView->subviews().front(), adView->videoPlayerView());
}

}  // namespace
