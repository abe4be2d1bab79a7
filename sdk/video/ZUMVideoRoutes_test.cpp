// A real clip played to its end through each route of the video loader, from a server
// that honours byte ranges and from one that ignores them.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/media/PlayerItem.h"
#include "sdk/video/ZUMAssetLoadingVideoPlayerItem.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "sdk/video/ZUMVideoLoader.h"
#include "sdk/video/ZUMVideoTestSupport.h"
#include "testing/MediaClips.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;

enum class Route { Plain, AssetLoading, TCacheStream, TCacheAssetLoading };

class ZUMVideoRoutesTest : public testenv::PlatformTest {
 protected:
  // Moves time in small steps, letting real downloads land between them, until `done`.
  bool pump(const std::function<bool()>& done, int steps = 400) {
    for (int i = 0; i < steps && !done(); ++i) {
      env.advance(50ms);
      (void)env.runUntil(done, 100ms);
    }
    return done();
  }

  // Loads the clip by `route`, plays it (from `seekTo` when given) and tells whether it
  // reached its end.
  void playToEnd(Route route, bool ranges, std::optional<double> seekTo = std::nullopt) {
    const std::string& clip = testenv::MediaClips::make();
    page.hosts.server.route("/clip.mp4", {.body = clip, .contentType = "video/mp4", .ranges = ranges});
    const bool tcache = route == Route::TCacheStream || route == Route::TCacheAssetLoading;
    if (route == Route::TCacheAssetLoading) {
      ASSERT_TRUE(platform::UserDefaults::standard().setObject(
          Json("true"), "/vantor/ads/zums:tcache_should_use_advance_video_control"));
    }
    const Json settings =
        route == Route::Plain || route == Route::TCacheStream ? Json::object() : Json{{"maxBufferMs", 30000}};
    auto loader = ZUMVideoLoader::create(player);
    loader->setDelegate(recorder);
    const auto url = tcache ? videotest::SDKCorePage::tcache("/clip.mp4")
                            : *platform::URL::fromString(videotest::SDKCorePage::resource("/clip.mp4"));
    loader->loadURL(url, nullptr, ZUMVideoConfigurationImpl::create(settings));
    ASSERT_TRUE(pump([&] { return !recorder->events.empty(); }));
    ASSERT_EQ(recorder->events, (std::vector<std::string>{"start " + url.absoluteString()}));
    const bool assetLoading = route == Route::AssetLoading || route == Route::TCacheAssetLoading;
    EXPECT_EQ(loader->assetLoadingPlayerItem() != nullptr, assetLoading);
    EXPECT_EQ(loader->cachedResourceAsset() != nullptr, route == Route::TCacheStream);

    auto item = loader->playerItem();
    player->player->replaceCurrentItem(item);
    ASSERT_TRUE(pump([&] { return item->status() != platform::PlayerItem::Status::Unknown; }));
    ASSERT_EQ(item->status(), platform::PlayerItem::Status::ReadyToPlay)
        << (item->error() ? item->error()->description() : "");
    if (seekTo) {
      bool finished = false;
      player->player->seekToTime(platform::MediaTime::makeWithSeconds(*seekTo, 600), [&](bool f) { finished = f; });
      ASSERT_TRUE(pump([&] { return finished; }));
      EXPECT_DOUBLE_EQ(player->player->currentTime().seconds(), *seekTo);
    }
    int ends = 0;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        platform::kPlayerItemDidPlayToEndTimeNotification, item, nullptr,
        [&](const platform::Notification&) { ++ends; });
    // Everything loads ahead of the play head, then plays on virtual time alone.
    EXPECT_TRUE(pump([&] { return item->loadedEnd() >= 2.0 - 1e-6; }));
    player->player->play();
    env.advance(2.5s);
    EXPECT_EQ(ends, 1);
    EXPECT_NEAR(player->player->currentTime().seconds(), 2.0, 0.05);
    platform::NotificationCenter::defaultCenter().removeObserver(token);
    if (assetLoading) {
      EXPECT_EQ(player->observers, 1);  // the item watches the play head
    }
    if (route == Route::AssetLoading && !ranges) {
      // Refused once, then downloaded from the start without a range.
      std::vector<std::string> sent;
      for (const auto& r : page.hosts.server.requests("/clip.mp4")) sent.push_back(r.header("Range").value_or("none"));
      EXPECT_EQ(sent, (std::vector<std::string>{"bytes=0-", "none"}));
    }
    loader->cancel();
  }

  std::shared_ptr<videotest::TestPlayer> player = std::make_shared<videotest::TestPlayer>();
  std::shared_ptr<videotest::Recorder> recorder = std::make_shared<videotest::Recorder>();
  videotest::SDKCorePage page;
};

// Enough buffered ahead ends loading only once the player has posted "canplaythrough",
// unless the configuration ignores it.
TEST_F(ZUMVideoRoutesTest, TheMaxBufferCountsAfterCanPlayThroughUnlessIgnored) {
  page.hosts.server.route("/clip.mp4",
                          {.body = testenv::MediaClips::make(), .contentType = "video/mp4", .ranges = true});
  const auto url = *platform::URL::fromString(videotest::SDKCorePage::resource("/clip.mp4"));
  for (const bool ignore : {false, true}) {
    SCOPED_TRACE(ignore);
    player->canPlayThrough = false;
    auto loader = ZUMVideoLoader::create(player);
    loader->loadURL(url, nullptr,
                    ZUMVideoConfigurationImpl::create(
                        Json{{"maxBufferMs", 500}, {"videoBufferShouldIgnoreCanPlayThrough", ignore}}));
    auto item = loader->assetLoadingPlayerItem();
    ASSERT_TRUE(item);
    player->player->replaceCurrentItem(item->playerItem());
    ASSERT_TRUE(pump([&] { return item->playerItem()->loadedEnd() >= 0.5; }));
    item->loadPlayerItemData();
    env.runUntilIdle();
    EXPECT_EQ(item->isLoadingEnabled(), !ignore);
    player->canPlayThrough = true;
    item->loadPlayerItemData();
    env.runUntilIdle();
    EXPECT_FALSE(item->isLoadingEnabled());
    loader->cancel();
  }
}

TEST_F(ZUMVideoRoutesTest, PlainRoute) { playToEnd(Route::Plain, true); }
TEST_F(ZUMVideoRoutesTest, PlainRouteWithoutRanges) { playToEnd(Route::Plain, false); }
TEST_F(ZUMVideoRoutesTest, AssetLoadingRoute) { playToEnd(Route::AssetLoading, true); }
TEST_F(ZUMVideoRoutesTest, AssetLoadingRouteWithoutRanges) { playToEnd(Route::AssetLoading, false); }
TEST_F(ZUMVideoRoutesTest, AssetLoadingRouteSeeksInTheMiddle) { playToEnd(Route::AssetLoading, true, 1.0); }
TEST_F(ZUMVideoRoutesTest, AssetLoadingRouteSeeksInTheMiddleWithoutRanges) {
  playToEnd(Route::AssetLoading, false, 1.0);
}
TEST_F(ZUMVideoRoutesTest, TCacheStreamRoute) { playToEnd(Route::TCacheStream, true); }
TEST_F(ZUMVideoRoutesTest, TCacheAssetLoadingRoute) { playToEnd(Route::TCacheAssetLoading, true); }
TEST_F(ZUMVideoRoutesTest, TCacheAssetLoadingRouteWithoutRanges) { playToEnd(Route::TCacheAssetLoading, false); }

}  // namespace
