// The video player on real clips: the page events it posts to its ad view's page, its
// controls, its reports to the audio/video manager and its teardown.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/media/Asset.h"
#include "platform/media/AssetResourceLoader.h"
#include "platform/media/AudioMix.h"
#include "platform/media/PlayerItem.h"
#include "platform/media/UniformTypeIdentifiers.h"
#include "platform/web/WKWebView.h"
#include "sdk/entry/ZUMBuiltIns.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/telemetry/ZUMFennick.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMFennickTestSupport.h"
#include "sdk/telemetry/ZUMLoggingHierarchy.h"
#include "sdk/video/ZUMAudioVideoManagerImpl.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"
#include "sdk/video/ZUMVideoPlayerDelegate.h"
#include "sdk/video/ZUMVideoPlayerImpl.h"
#include "sdk/video/ZUMVideoTestSupport.h"
#include "testing/LoopbackServer.h"
#include "testing/MediaClips.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;
using namespace std::chrono_literals;
using testenv::MediaClips;

struct RecordingDelegate : ZUMVideoPlayerDelegate {
  void playerDidLoadURL(ZUMVideoPlayerImpl& player, const std::optional<platform::URL>& url,
                        const std::shared_ptr<platform::Player>& avPlayer) override {
    calls.push_back((url ? url->absoluteString() : "-") +
                    (avPlayer == player.player() ? " same player" : " other player"));
  }
  Log calls;
};

class ZUMVideoPlayerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMRegisterBuiltIns();
    player = ZUMVideoPlayerImpl::create(adView);
    player->setDelegate(delegate);
  }

  // Every "onVideoEvent" payload posted so far, in order.
  std::vector<Json> events() const {
    std::vector<Json> out;
    const std::string prefix = "QYRA_ReceiveMessage('onVideoEvent', ";
    for (const auto& script :
         std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())->engine()->evaluatedScripts()) {
      if (script.rfind(prefix, 0) == 0)
        out.push_back(Json::parse(script.substr(prefix.size(), script.size() - prefix.size() - 2)));
    }
    return out;
  }
  // The events since the last look, as "name" or "name time".
  Log newEvents() {
    const auto all = events();
    Log out;
    for (std::size_t i = seen_; i < all.size(); ++i) {
      out.push_back(all[i]["event"].get<std::string>() +
                    (all[i].contains("time") ? " " + all[i]["time"].get<std::string>() : ""));
    }
    seen_ = all.size();
    return out;
  }
  // Loads `bytes` as a file source and waits for "canplaythrough".
  platform::URL load(const std::string& bytes, const Json& settings = Json::object(), const char* name = "clip.mp4") {
    const auto url = videotest::writeFile(env, bytes, name);
    player->setSourceURL(url, nullptr, ZUMVideoConfigurationImpl::create(settings));
    EXPECT_TRUE(env.runUntil([&] { return player->hasPostedCanPlayThrough(); }));
    return url;
  }

  std::shared_ptr<ZUMAdView> adView = ZUMAdView::create({0, 0, 320, 250});
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::shared_ptr<ZUMVideoPlayerImpl> player;
  std::size_t seen_ = 0;
};

TEST_F(ZUMVideoPlayerTest, ThePagePlaysAClipThroughItsEvents) {
  player->play();
  player->pause();
  player->seekToTime(1);
  env.runUntilIdle();
  EXPECT_EQ(newEvents(), Log{});  // nothing before "canplaythrough"

  // The delegate hears of the load later, on the main queue, not while the page is told.
  std::size_t delegateCallsAtCanPlayThrough = 99;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMVideoPlayerDidStopBufferingNotification, player, nullptr,
      [&](const platform::Notification&) { delegateCallsAtCanPlayThrough = delegate->calls.size(); });
  const auto url = load(MediaClips::make());
  platform::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(delegateCallsAtCanPlayThrough, 0u);
  const double density = ZUMDevice::sharedInstance()->mainScreenDensity();
  ASSERT_EQ(events().size(), 1u);
  EXPECT_EQ(events()[0].dump(), Json({{"event", "canplaythrough"},
                                      {"duration", "2.000000"},
                                      {"videoWidth", 320 / density},
                                      {"videoHeight", 180 / density},
                                      {"screenDensity", density}})
                                    .dump());
  newEvents();
  EXPECT_EQ(delegate->calls, Log{url.absoluteString() + " same player"});

  player->playNativePlayer();
  env.advance(0.5s);
  EXPECT_EQ(newEvents(), (Log{"play", "timeupdate 0.000000", "timeupdate 0.250000", "timeupdate 0.500000"}));
  player->pauseNativePlayer();
  env.advance(1s);
  EXPECT_EQ(newEvents(), Log{"pause"});  // no "timeupdate" while the rate is 0
  player->seekToTime(1.75);
  env.runUntilIdle();
  player->playNativePlayer();
  env.advance(1s);
  // The tick at the end comes when the player has stopped: no "timeupdate" for it.
  EXPECT_EQ(newEvents(), (Log{"play", "timeupdate 1.750000", "pause", "ended"}));
  EXPECT_EQ(delegate->calls.size(), 1u);
}

TEST_F(ZUMVideoPlayerTest, EachSourceIsAnnouncedOnceAndABrokenOnePostsAnError) {
  int willBuffer = 0, didStop = 0;
  auto& center = platform::NotificationCenter::defaultCenter();
  auto will = center.addObserver(kZUMVideoPlayerWillStartBufferingNotification, player, nullptr,
                                 [&](const platform::Notification&) { ++willBuffer; });
  auto stop = center.addObserver(kZUMVideoPlayerDidStopBufferingNotification, player, nullptr,
                                 [&](const platform::Notification&) { ++didStop; });
  load(MediaClips::make());
  player->playNativePlayer();
  env.advance(3s);  // to the end: the buffer-full and keep-up notices come again, unheard
  load(MediaClips::make({.seconds = 1}), Json::object(), "b.mp4");
  Log announced;
  for (const auto& event : events()) {
    if (event["event"] == "canplaythrough") announced.push_back(event["duration"]);
  }
  EXPECT_EQ(announced, (Log{"2.000000", "1.000000"}));
  EXPECT_EQ(willBuffer, 2);
  EXPECT_EQ(didStop, 2);
  newEvents();

  // A source whose data breaks after its index: the player fails, the page hears "error"
  // (and the buffering notice stays: only "canplaythrough" or a failed load end it).
  const std::string& clip = MediaClips::make({.seconds = 3});
  player->setSourceURL(videotest::writeFile(env, MediaClips::truncated(clip, clip.size() / 2), "broken.mp4"), nullptr,
                       nullptr);
  EXPECT_TRUE(env.runUntil([&] { return player->player()->status() == platform::Player::Status::Failed; }));
  env.advance(1s);
  EXPECT_EQ(newEvents(), Log{"error"});
  EXPECT_EQ(willBuffer, 3);
  EXPECT_EQ(didStop, 2);
  center.removeObserver(will);
  center.removeObserver(stop);

  // The platform player stays failed, yet a later source plays, and a second broken one
  // gets its own "error", once.
  load(MediaClips::make({.seconds = 1}), Json::object(), "c.mp4");
  player->setSourceURL(videotest::writeFile(env, MediaClips::truncated(clip, clip.size() / 2), "broken2.mp4"), nullptr,
                       nullptr);
  EXPECT_TRUE(env.runUntil([&] {
    const auto& item = player->player()->currentItem();
    return item && item->status() == platform::PlayerItem::Status::Failed;
  }));
  env.advance(1s);
  EXPECT_EQ(newEvents(), (Log{"canplaythrough", "error"}));
}

TEST_F(ZUMVideoPlayerTest, HostileVolumesAndTimesChangeNothing) {
  load(MediaClips::make());
  player->playNativePlayer();
  player->setMuted(true);
  auto manager = ZUMAudioVideoManagerImpl::shared();
  ASSERT_TRUE(manager);
  for (const float volume :
       {-0.5f, std::nanf(""), -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity()}) {
    SCOPED_TRACE(volume);
    player->setVolume(volume);
    EXPECT_EQ(player->volume(), 1.0f);
    EXPECT_EQ(player->player()->volume(), 1.0f);
    EXPECT_EQ(manager->soundVideoCount(), 0u);
  }
  env.advance(0.5s);
  for (const double time : {-1.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e300}) {
    SCOPED_TRACE(time);
    player->seekToTime(time);
    env.runUntilIdle();
    EXPECT_DOUBLE_EQ(player->player()->currentTime().seconds(), 0.5);
  }
  for (const auto& event : events()) {
    for (const auto& [key, value] : event.items()) {
      EXPECT_TRUE(!value.is_number() || std::isfinite(value.get<double>())) << event.dump();
    }
  }
}

TEST_F(ZUMVideoPlayerTest, VolumeMuteAndTheAudioMixReachTheSoundAndTheManager) {
  load(MediaClips::make({.seconds = 4}));
  auto manager = ZUMAudioVideoManagerImpl::shared();
  auto& output = player->player()->audioOutput();
  player->playNativePlayer();  // volume 1, not muted: sound
  EXPECT_EQ(manager->playingVideoCount(), 1u);
  EXPECT_EQ(manager->soundVideoCount(), 1u);
  env.advance(0.5s);
  const double full = output.rmsLevel();
  ASSERT_GT(full, 0.3);
  const struct {
    const char* name;
    std::function<void()> change;
    double level;  // relative to full
    std::size_t sound;
  } rows[] = {
      {"volume 0", [&] { player->setVolume(0); }, 0, 0},
      {"volume 0.5", [&] { player->setVolume(0.5f); }, 0.5, 1},
      {"muted", [&] { player->setMuted(true); }, 0, 0},
      {"unmuted", [&] { player->setMuted(false); }, 0.5, 1},
      {"mix 0.3 at volume 1",
       [&] {
         player->setVolume(1);
         player->setAudioMixVolume(0.3f);
       },
       0.3, 1},
      {"mix 1.5: removed", [&] { player->setAudioMixVolume(1.5f); }, 1, 1},
      {"mix NaN: ignored",
       [&] {
         player->setAudioMixVolume(0.3f);
         player->setAudioMixVolume(std::nanf(""));
       },
       0.3, 1},
      {"mix -2: silent", [&] { player->setAudioMixVolume(-2); }, 0, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    row.change();
    output.reset();
    env.advance(0.3s);
    EXPECT_NEAR(output.rmsLevel() / full, row.level, 0.01);
    EXPECT_EQ(manager->soundVideoCount(), row.sound);
  }
  player->setAudioMixVolume(0.3f);
  const auto mix = player->player()->currentItem()->audioMix();
  ASSERT_TRUE(mix);
  ASSERT_EQ(mix->inputParameters.size(), 1u);
  EXPECT_EQ(mix->inputParameters[0].trackID, player->player()->currentItem()->audioTrackID());
  player->setAudioMixVolume(1.5f);
  EXPECT_FALSE(player->player()->currentItem()->audioMix());
  player->pauseNativePlayer();
  EXPECT_EQ(manager->playingVideoCount(), 0u);
  EXPECT_EQ(manager->soundVideoCount(), 0u);
  player->setVolume(0.8f);  // paused: no sound to report
  player->setMuted(false);
  EXPECT_EQ(manager->soundVideoCount(), 0u);
}

TEST_F(ZUMVideoPlayerTest, TheVideoSizeFollowsTheTracksTransform) {
  EXPECT_EQ(player->videoSize(), (platform::Size{-1, -1}));  // no item
  const double density = ZUMDevice::sharedInstance()->mainScreenDensity();
  const struct {
    int rotation;
    double width, height;
  } rows[] = {{0, 320, 180}, {90, -180, 320}, {180, -320, -180}, {270, 180, -320}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rotation);
    load(MediaClips::make({.seconds = 0.2, .audio = false, .rotationDegrees = row.rotation}), Json::object(),
         ("r" + std::to_string(row.rotation) + ".mp4").c_str());
    EXPECT_NEAR(player->videoSize().width, row.width / density, 1e-9);
    EXPECT_NEAR(player->videoSize().height, row.height / density, 1e-9);
    EXPECT_EQ(events().back()["videoWidth"], player->videoSize().width);
  }
}

TEST_F(ZUMVideoPlayerTest, AFailedTCacheSourceIsRetriedOnceWithItsInnerURL) {
  // No SDK-core page here: every tcache URL fails to resolve.
  ZUMSDKCoreController::setSharedInstance(nullptr);
  testenv::LoopbackServer server;
  server.route("/clip.mp4", {.body = MediaClips::make(), .contentType = "video/mp4", .ranges = true});
  const std::string inner = server.baseURL() + "/clip.mp4";
  const std::string tcache = "tcache://cache?url=" + ZUMPercentEncodedString(inner);
  const struct {
    const char* name;
    std::string url;
    std::string finalSource;
    bool plays;
  } rows[] = {
      {"inner plays", tcache, inner, true},
      {"a tcache URL inside is no fallback", "tcache://cache?url=" + ZUMPercentEncodedString(tcache),
       "tcache://cache?url=" + ZUMPercentEncodedString(tcache), false},
      {"no inner URL", "tcache://cache?src=x", "tcache://cache?src=x", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    player->setSourceURL(platform::URL::fromString(row.url), nullptr, nullptr);
    EXPECT_TRUE(env.runUntil([&] { return !player->isBuffering(); }));
    ASSERT_TRUE(player->sourceURL());
    EXPECT_EQ(player->sourceURL()->absoluteString(), row.finalSource);
    EXPECT_EQ(player->hasPostedCanPlayThrough(), row.plays);
  }
}

TEST_F(ZUMVideoPlayerTest, NothingReachesThePageOrTheDelegateAfterTheTeardown) {
  load(MediaClips::make());
  env.runUntilIdle();
  player->setMuted(true);
  player->playNativePlayer();
  auto manager = ZUMAudioVideoManagerImpl::shared();
  EXPECT_EQ(manager->playingVideoCount(), 1u);
  auto avPlayer = player->player();
  // A second source is ready; the player goes before the delegate hears of it.
  player->setSourceURL(videotest::writeFile(env, MediaClips::make({.seconds = 1}), "b.mp4"), nullptr, nullptr);
  ASSERT_TRUE(env.runUntil([&] { return player->hasPostedCanPlayThrough(); }));
  const auto calls = delegate->calls;
  newEvents();
  // A third source still loading: the teardown ends its buffering, heard by the player's
  // own observers (the ending player itself is handed to nobody).
  player->setSourceURL(platform::URL::fromString("https://media.example/held.mp4"), nullptr, nullptr);
  int stops = 0;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMVideoPlayerDidStopBufferingNotification, player, nullptr, [&](const platform::Notification& n) {
        EXPECT_FALSE(n.object());
        ++stops;
      });
  player.reset();
  EXPECT_EQ(stops, 1);
  platform::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(manager->playingVideoCount(), 0u);  // the teardown reported the pause
  avPlayer->play();
  env.advance(2s);
  EXPECT_EQ(newEvents(), Log{});
  EXPECT_EQ(delegate->calls, calls);
}

TEST_F(ZUMVideoPlayerTest, TheSwitchOrTheSlotsOwnerTurnsTheReportsOff) {
  ASSERT_TRUE(platform::UserDefaults::standard().setObject(
      Json("1"), "/vantor/ads/zums:player_to_video_manager_reporting_disabled"));
  auto silent = ZUMVideoPlayerImpl::create(adView);
  EXPECT_TRUE(silent->isReportingToAudioVideoManagerDisabled());
  EXPECT_FALSE(player->isReportingToAudioVideoManagerDisabled());
  silent->playNativePlayer();
  EXPECT_EQ(ZUMAudioVideoManagerImpl::shared()->playingVideoCount(), 0u);
}
// Serves a clip to an asset's resource loader only up to a byte count the test raises.
class PacedLoaderDelegate final : public platform::AssetResourceLoaderDelegate {
 public:
  explicit PacedLoaderDelegate(std::string bytes) : bytes_(std::move(bytes)) {}
  bool resourceLoaderShouldWaitForLoadingOfRequestedResource(
      platform::AssetResourceLoader&, const std::shared_ptr<platform::AssetResourceLoadingRequest>& request) override {
    if (auto* info = request->contentInformationRequest()) {
      info->setContentType(platform::preferredTypeIdentifierForMIMEType("video/mp4"));
      info->setContentLength(static_cast<std::int64_t>(bytes_.size()));
      info->setByteRangeAccessSupported(true);
    }
    pending_.push_back(request);
    serve();
    return true;
  }
  void setAvailable(std::int64_t bytes) {
    available_ = std::min<std::int64_t>(bytes, static_cast<std::int64_t>(bytes_.size()));
    serve();
  }
  std::int64_t size() const { return static_cast<std::int64_t>(bytes_.size()); }

 private:
  void serve() {
    std::erase_if(pending_, [&](const auto& request) {
      if (request->isCancelled() || request->isFinished()) return true;
      auto* data = request->dataRequest();
      if (!data) {
        request->finishLoading();
        return true;
      }
      const std::int64_t end = std::min(size(), data->requestedOffset() + data->requestedLength());
      const std::int64_t from = data->currentOffset(), to = std::min(end, available_);
      if (to > from) request->respondWithData(std::string_view(bytes_).substr(from, to - from));
      if (to < end) return false;
      request->finishLoading();
      return true;
    });
  }
  std::string bytes_;
  std::int64_t available_ = 0;
  std::vector<std::shared_ptr<platform::AssetResourceLoadingRequest>> pending_;
};

// An 8-second clip served by `paced`, its first eighth available, made the player's
// current item once ready.
std::shared_ptr<platform::PlayerItem> pacedItem(testenv::TestEnvironment& env, platform::Player& player,
                                                std::shared_ptr<PacedLoaderDelegate>& paced) {
  const std::string& clip = MediaClips::make({.seconds = 8, .keyframeInterval = 10});
  paced = std::make_shared<PacedLoaderDelegate>(clip);
  auto asset = platform::Asset::create(*platform::URL::fromString("paced://media.example/clip.mp4"));
  asset->resourceLoader()->setDelegate(paced, platform::DispatchQueue::serial("test.paced"));
  paced->setAvailable(paced->size() / 8);
  auto item = platform::PlayerItem::create(asset);
  player.replaceCurrentItem(item);
  EXPECT_TRUE(env.runUntil([&] { return item->status() == platform::PlayerItem::Status::ReadyToPlay; }));
  return item;
}

TEST_F(ZUMVideoPlayerTest, OwnBufferingResumesAStallOnlyWithEnoughBufferedAhead) {
  // The source's configuration switches the platform's buffering off; the clip then
  // arrives as the test lets it.
  load(MediaClips::make({.seconds = 0.5}),
       Json{{"bufferForPlaybackMs", 2500}, {"bufferForPlaybackAfterRebufferMs", 500}});
  EXPECT_FALSE(player->player()->automaticallyWaitsToMinimizeStalling());
  std::shared_ptr<PacedLoaderDelegate> paced;
  auto item = pacedItem(env, *player->player(), paced);
  newEvents();

  // Lets data in small steps until playback resumes; returns the buffered-ahead seconds
  // seen while still stalled, the largest first.
  const auto feedUntilResumed = [&](std::int64_t& available) {
    double largestWhileStalled = 0;
    while (player->player()->rate() == 0 && available < paced->size()) {
      available += paced->size() / 100;
      paced->setAvailable(available);
      env.runUntilIdle();
      if (player->player()->rate() == 0)
        largestWhileStalled = std::max(largestWhileStalled, item->loadedEnd() - item->currentTime().seconds());
    }
    return largestWhileStalled;
  };

  std::int64_t available = paced->size() / 8;
  player->playNativePlayer();
  env.advance(8s);
  EXPECT_TRUE(player->isPlaybackStalled());
  EXPECT_EQ(newEvents().back(), "pause");  // the rate fell to 0 at the end of the data
  const double stalledAt = player->player()->currentTime().seconds();
  double stalledAhead = feedUntilResumed(available);
  EXPECT_GT(stalledAhead, 1.0);  // a second buffered did not resume it
  EXPECT_LT(stalledAhead, 2.5);
  EXPECT_FALSE(player->isPlaybackStalled());
  EXPECT_GE(item->loadedEnd() - stalledAt, 2.5);
  EXPECT_EQ(newEvents().at(0), "play");

  // The next stall waits for the after-rebuffer time only.
  env.advance(8s);
  ASSERT_TRUE(player->isPlaybackStalled());
  const double secondStall = player->player()->currentTime().seconds();
  stalledAhead = feedUntilResumed(available);
  EXPECT_LT(stalledAhead, 0.5);
  EXPECT_GE(item->loadedEnd() - secondStall, 0.5);
  EXPECT_LT(item->loadedEnd() - secondStall, 2.5);
  EXPECT_FALSE(player->isPlaybackStalled());
  // The page's pause is no stall.
  player->pauseNativePlayer();
  EXPECT_FALSE(player->isPlaybackStalled());
  EXPECT_EQ(player->player()->rate(), 0);
}
// Each source sets the platform's wait again: after one with the player's own buffering,
// a source that asks for the platform's rides out a stall and plays to its end (its item
// put in place as the stall test's is).
TEST_F(ZUMVideoPlayerTest, ALaterSourceWithThePlatformsBufferingPlaysOnAfterAStall) {
  load(MediaClips::make({.seconds = 0.5}), Json{{"enableAVPlayerPlaybackBuffering", false}});
  EXPECT_FALSE(player->player()->automaticallyWaitsToMinimizeStalling());
  load(MediaClips::make({.seconds = 1}), Json::object(), "b.mp4");
  EXPECT_TRUE(player->player()->automaticallyWaitsToMinimizeStalling());
  std::shared_ptr<PacedLoaderDelegate> paced;
  auto item = pacedItem(env, *player->player(), paced);
  player->playNativePlayer();
  env.advance(4s);  // past the end of the data
  paced->setAvailable(paced->size());
  ASSERT_TRUE(env.runUntil([&] { return item->loadedEnd() > 7.9; }));
  env.advance(8s);
  EXPECT_NEAR(player->player()->currentTime().seconds(), 8.0, 0.05) << "played to the end";
}

TEST_F(ZUMVideoPlayerTest, ItsCourseGoesToItsTreesFennickLogger) {
  fennicktest::ScriptHost host;
  fennicktest::storeConfig(fennicktest::enabledConfig());
  auto fennick = ZUMFennick::sharedInstance();
  fennick->updateIfNeeded();
  ASSERT_TRUE(env.runUntil([&] { return fennick->isLoaded(); }));
  auto logger = ZUMFennickLogger::create();
  ASSERT_TRUE(logger);
  auto hierarchy = ZUMLoggingHierarchy::sharedInstance();
  hierarchy->setLogger(logger, adView);
  hierarchy->linkObject(adView, {player});

  const auto url = load(MediaClips::make());
  player->playNativePlayer();
  env.advance(0.25s);
  ZUMSDKCoreController::setSharedInstance(nullptr);
  player->setSourceURL(platform::URL::fromString("tcache://cache?src=x"), nullptr, nullptr);
  ASSERT_TRUE(env.runUntil([&] { return !player->isBuffering(); }));
  env.runUntilIdle();

  Json logged = Json::array();
  for (const auto& params : fennicktest::paramsOf(fennicktest::received(*fennick), logger->fennickID())) {
    if (params.contains("video_player")) logged.push_back(params["video_player"]);
  }
  const Json file = {{"url", url.absoluteString()}, {"is_tcache", 0}};
  EXPECT_EQ(logged, Json::parse(R"([
    {"loading_started": )" + file.dump() +
                                R"(},
    {"ready_to_play": )" + file.dump() +
                                R"(},
    {"play": 1},
    {"progress": {"time_ms": 0.0, "duration_ms": 2000.0}},
    {"progress": {"time_ms": 250.0, "duration_ms": 2000.0}},
    {"loading_started": {"url": "tcache://cache?src=x", "is_tcache": 1}},
    {"loading_failed": {"error_message": "Provided URL tcache://cache?src=x isn't a valid tcache URL.", "error_code": 11,
                        "url": "tcache://cache?src=x", "is_tcache": 1}}
  ])"))
      << logged.dump(1);
}
TEST_F(ZUMVideoPlayerTest, CanPlayThroughWaitsForDataAndLoadersGetTimeObservers) {
  testenv::LoopbackServer server;
  const std::string& clip = MediaClips::make({.seconds = 4});
  // The index and a few frames, far less than a second.
  server.route(
      "/paced.mp4",
      {.body = clip, .contentType = "video/mp4", .ranges = true, .pausedAfterBytes = clip.find("mdat") + 2000});
  player->setSourceURL(platform::URL::fromString(server.baseURL() + "/paced.mp4"), nullptr, nullptr);
  ASSERT_TRUE(env.runUntil([&] { return player->player()->currentItem() != nullptr; }));
  env.runUntilIdle();
  EXPECT_FALSE(player->hasPostedCanPlayThrough());  // the item is there, not enough data yet
  server.release("/paced.mp4");
  ASSERT_TRUE(env.runUntil([&] { return player->hasPostedCanPlayThrough(); }));

  // A loader's observer, asked for from another queue, is added on the main thread.
  std::vector<double> ticks;
  ZUMVideoLoadingPlayer::Token token;
  platform::DispatchQueue::global()->async([&] {
    player->addPeriodicTimeObserver(
        platform::MediaTime{1, 2}, nullptr, [&](platform::MediaTime t) { ticks.push_back(t.seconds()); },
        [&](ZUMVideoLoadingPlayer::Token made) { token = made; });
  });
  env.runUntilIdle();
  ASSERT_TRUE(token);
  player->playNativePlayer();
  env.advance(1s);
  player->removeTimeObserver(token);
  env.advance(1s);
  EXPECT_EQ(ticks, (std::vector<double>{0, 0.5, 1.0}));
}
}  // namespace
