// The video, metadata and precache messages of a page: what reaches the player, its view,
// the ad view's video side and the video controller, in order; what a hostile page is
// refused; and precache downloads from the loopback server into the SDK's cache folder.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/FileManager.h"
#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/network/ZUMResourceCache.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewVideo.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"
#include "sdk/rendering/ZUMAdViewVideoControllerDelegate.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMPrecacheTOLMHandler.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/rendering/ZUMVideoConfiguration.h"
#include "sdk/rendering/ZUMVideoMetadataTOLMHandler.h"
#include "sdk/rendering/ZUMVideoPlayer.h"
#include "sdk/rendering/ZUMVideoPlayerGLView.h"
#include "sdk/rendering/ZUMVideoPlayerTOLMHandler.h"
#include "sdk/rendering/ZUMVideoRendering.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;

std::string text(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

// One log for every call that the player, its views, the configuration, the ad view's
// video side and the video controller's delegate receive.
struct Recorder {
  void add(std::string line) { log.push_back(std::move(line)); }
  Log take() { return std::exchange(log, {}); }
  Log log;
};

struct RecordingPlayer : ZUMVideoPlayer {
  explicit RecordingPlayer(Recorder& r) : r(r) {}
  void load() override { r.add("load"); }
  void playNativePlayer() override { r.add("play"); }
  void pauseNativePlayer() override { r.add("pause"); }
  void seekToTime(double seconds) override { r.add("seek " + text(seconds)); }
  void setMuted(bool muted) override { r.add("muted " + std::to_string(muted)); }
  void setVolume(float volume) override { r.add("volume " + text(volume)); }
  Recorder& r;
};

struct RecordingView : platform::View, ZUMVideoRendering {
  explicit RecordingView(Recorder& r) : platform::View(platform::Rect()), r(r) {}
  void disableVideoPlaybackOptimization() override { r.add("view disable"); }
  void resetVideoPlaybackOptimization() override { r.add("view reset"); }
  void enableVideoPlaybackOptimization() override { r.add("view enable"); }
  void setUpWithPlayer(const std::shared_ptr<platform::Player>&) override {}
  void optimizeVideoForAdVisibility(bool) override {}
  Recorder& r;
};

struct RecordingGLView : RecordingView, ZUMVideoPlayerGLView {
  using RecordingView::RecordingView;
  void handleUserTouchMovedByVector(float dx, float dy) override { r.add("pan " + text(dx) + " " + text(dy)); }
};

struct RecordingConfiguration : ZUMVideoConfiguration {
  RecordingConfiguration(Recorder& r, std::int64_t maxBytes) : r(r), maxBytes(maxBytes) {}
  void updateDynamicConfigurationWithDictionary(const Json& dictionary) override {
    r.add("configuration update " + dictionary.dump());
  }
  std::int64_t precacheMaxBufferBytes() const override { return maxBytes; }
  Recorder& r;
  std::int64_t maxBytes;
};

// The video side: makes a recording player on first use, as the real one does.
struct RecordingVideo : ZUMAdViewVideo {
  explicit RecordingVideo(Recorder& r) : r(r) {}
  std::shared_ptr<ZUMVideoConfiguration> makeVideoConfiguration(const Json& dictionary) override {
    r.add("configuration " + dictionary.dump());
    return std::make_shared<RecordingConfiguration>(r,
                                                    dictionary.value("maxBufferBytes", Json("-1")) == "100" ? 100 : -1);
  }
  void setUpVideoPlayer(ZUMAdView& adView, const std::optional<platform::URL>& url,
                        const std::shared_ptr<ZUMResourceCache>& cache,
                        const std::shared_ptr<ZUMVideoConfiguration>& configuration) override {
    if (!adView.videoPlayer()) adView.setVideoPlayer(std::make_shared<RecordingPlayer>(r));
    r.add(std::string("set up ") + (url ? url->absoluteString() : "-") + (cache ? " cache" : "") +
          (configuration ? " configuration" : ""));
  }
  void hideVideo(ZUMAdView&) override { r.add("hide"); }
  void showVideo(ZUMAdView&) override { r.add("show"); }
  void rotateVideoToDegrees(ZUMAdView&, double degrees) override { r.add("rotate " + text(degrees)); }
  void setVideoPlayerFrame(ZUMAdView&, const std::optional<platform::Rect>& f) override {
    if (!f) return r.add("frame bounds");
    r.add("frame " + text(f->origin.x) + " " + text(f->origin.y) + " " + text(f->size.width) + " " +
          text(f->size.height));
  }
  void optimizeVideoPlayback(ZUMAdView& adView) override { r.add("optimize " + std::to_string(adView.visible())); }
  void pauseVideo(ZUMAdView&) override { r.add("pause video"); }
  Recorder& r;
};

struct RecordingControllerDelegate : ZUMAdViewVideoControllerDelegate {
  explicit RecordingControllerDelegate(Recorder& r) : r(r) {}
  void adViewVideoControllerDidPlayVideo(ZUMAdViewVideoController&) override { r.add("host play"); }
  void adViewVideoControllerDidPauseVideo(ZUMAdViewVideoController&) override { r.add("host pause"); }
  void adViewVideoControllerDidEndVideoPlayback(ZUMAdViewVideoController&) override { r.add("host end"); }
  void adViewVideoControllerDidMuteVideo(ZUMAdViewVideoController&) override { r.add("host mute"); }
  void adViewVideoControllerDidUnmuteVideo(ZUMAdViewVideoController&) override { r.add("host unmute"); }
  Recorder& r;
};

std::shared_ptr<const ZUMNotification> message(const std::string& text) {
  return ZUMNotification::createWithNotificationURL(*platform::URL::fromString("tolm://page/" + text));
}

class ZUMVideoTOLMHandlersTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMAdViewVideo::setShared(std::make_shared<RecordingVideo>(recorder));
    adView->videoController()->setDelegate(controllerDelegate);
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::URLLoading::mapHostForTesting("cdn.example.com", "127.0.0.1", server.port());
    server.route("/clip.mp4", {.body = body, .contentType = "video/mp4", .ranges = true});
    server.route("/held.mp4", {.body = body, .contentType = "video/mp4", .held = true});
  }
  void TearDown() override {
    ZUMAdViewVideo::setShared(nullptr);
    platform::URLLoading::removeHostMappingsForTesting();
  }

  bool send(ZUMTOLMHandler& handler, const std::string& text) {
    const bool claimed = handler.handleNotification(message(text), adView);
    env.runUntilIdle();
    return claimed;
  }
  // The page's precache events so far, as "event bytesLoaded/totalBytes".
  Log precacheEvents() {
    Log events;
    const auto& scripts = std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())->engine()->evaluatedScripts();
    const std::string prefix = "QYRA_ReceiveMessage('onPrecacheEvent', ";
    for (const auto& script : scripts) {
      if (script.rfind(prefix, 0) != 0) continue;
      const auto payload = Json::parse(script.substr(prefix.size(), script.size() - prefix.size() - 2));
      lastPrecachePayload = payload;
      events.push_back(payload["event"].get<std::string>() + " " + payload["bytesLoaded"].dump() + "/" +
                       payload["totalBytes"].dump());
    }
    return events;
  }
  std::filesystem::path precacheFolder() const { return env.cachesDirectory() / "Morvane" / "Precache"; }

  Recorder recorder;
  std::shared_ptr<RecordingControllerDelegate> controllerDelegate =
      std::make_shared<RecordingControllerDelegate>(recorder);
  std::shared_ptr<ZUMAdView> adView = ZUMAdView::create({0, 0, 320, 250});
  std::shared_ptr<ZUMVideoPlayerTOLMHandler> video = ZUMVideoPlayerTOLMHandler::create();
  const std::string body = std::string(64 * 1024 + 3, 'v');
  testenv::LoopbackServer server;
  Json lastPrecachePayload;
};

TEST_F(ZUMVideoTOLMHandlersTest, EachVideoActionReachesThePlayerItsViewAndTheAdViewInOrder) {
  EXPECT_TRUE(send(*video, "video?action=new&x=10&y=20&w=300&h=150&spherical=YES&maxBufferMs=900"));
  EXPECT_EQ(recorder.take(), (Log{"configuration {\"action\":\"new\",\"x\":\"10\",\"y\":\"20\",\"w\":\"300\",\"h\":"
                                  "\"150\",\"spherical\":\"YES\",\"maxBufferMs\":\"900\"}",
                                  "set up -"}));
  EXPECT_TRUE(adView->isSpherical());
  EXPECT_EQ(adView->cachedVideoPlayerFrame(), platform::Rect(10, 20, 300, 150));
  ASSERT_TRUE(adView->videoPlayer());

  auto view = std::make_shared<RecordingGLView>(recorder);
  adView->setVideoPlayerView(view);
  const struct {
    std::string message;
    Log log;
  } cases[] = {
      {"video?action=src&src=https%3A%2F%2Fcdn.example.com%2Fclip.mp4",
       {"set up https://cdn.example.com/clip.mp4 configuration"}},
      {"video?action=src", {"set up - configuration"}},
      {"video?action=load", {"load"}},
      {"video?action=loadControl&minBufferMs=100",
       {"configuration update {\"action\":\"loadControl\",\"minBufferMs\":\"100\"}"}},
      {"video?action=play", {"view disable", "view reset", "play", "view enable"}},
      {"video?action=pause", {"pause", "optimize 1"}},
      {"video?action=volume&volume=0.25", {"volume 0.25"}},
      {"video?action=volume", {}},
      {"video?action=muted&muted=true", {"muted 1"}},
      {"video?action=muted&muted=no", {"muted 0"}},
      {"video?action=muted", {}},
      {"video?action=currentTime&time=12.5", {"seek 12.5"}},
      {"video?action=currentTime", {"seek 0"}},
      {"video?action=hide", {"hide"}},
      {"video?action=show", {"show"}},
      {"video?action=rotation&degrees=90", {"rotate 90"}},
      {"video?action=rotation", {"rotate 0"}},
      {"video?action=touchMove&dx=3.5&dy=-2", {"pan 3.5 -2"}},
      {"video?action=touchMove&dy=4", {"pan 0 4"}},
      {"video?action=position&x=1&y=2&w=3", {}},
      {"video?action=rewind", {}},
      {"video", {}},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(send(*video, c.message)) << c.message;
    EXPECT_EQ(recorder.take(), c.log) << c.message;
  }
  // Three of the four position values: no frame, the bounds.
  EXPECT_EQ(adView->cachedVideoPlayerFrame(), std::nullopt);
  adView->layoutSubviews();
  EXPECT_EQ(recorder.take(), Log{"frame bounds"});
  // The views never reach beyond the ad view (320x250): their drawables follow them.
  for (const char* position :
       {"x=0&y=0&w=100000&h=100000", "x=300&y=-99800&w=100000&h=100000", "x=-100000&y=-100000&w=100&h=100"}) {
    send(*video, std::string("video?action=position&") + position);
    adView->layoutSubviews();
  }
  // Wholly outside: an empty frame, never zero (the whole ad view).
  EXPECT_EQ(recorder.take(), (Log{"frame 0 0 320 250", "frame 300 0 20 200", "frame -100000 -100000 0 0"}));

  EXPECT_TRUE(send(*video, "video?action=background&color=%23336699"));
  EXPECT_EQ(static_cast<platform::View&>(*adView).backgroundColor(),
            platform::Color::rgb(0x33 / 255.0, 0x66 / 255.0, 0x99 / 255.0));
  EXPECT_TRUE(send(*video, "video?action=background&color=nothex"));
  EXPECT_EQ(static_cast<platform::View&>(*adView).backgroundColor(),
            platform::Color::rgb(0x33 / 255.0, 0x66 / 255.0, 0x99 / 255.0));
  EXPECT_FALSE(send(*video, "videoMeta"));
}

TEST_F(ZUMVideoTOLMHandlersTest, WithoutAPlayerViewOrAGLViewThePlayerStillHearsThePage) {
  EXPECT_TRUE(send(*video, "video?action=play"));                       // no player yet
  EXPECT_TRUE(send(*video, "video?action=loadControl&maxBufferMs=1"));  // before "new"
  EXPECT_EQ(recorder.take(), Log{});
  send(*video, "video?action=new");
  recorder.take();
  EXPECT_FALSE(adView->isSpherical());
  send(*video, "video?action=play");
  EXPECT_EQ(recorder.take(), Log{"play"});
  adView->setVideoPlayerView(std::make_shared<RecordingView>(recorder));
  send(*video, "video?action=touchMove&dx=1&dy=1");  // a flat view does not pan
  EXPECT_EQ(recorder.take(), Log{});
}

TEST_F(ZUMVideoTOLMHandlersTest, MalformedNumbersAndSourcesAreRefusedAndLogged) {
  send(*video, "video?action=new&x=1&y=2&w=3&h=4");
  adView->setVideoPlayerView(std::make_shared<RecordingGLView>(recorder));
  recorder.take();
  platform::SystemLog::Capture capture(true);
  const std::string outside = platform::URL::fileURL(env.temporaryDirectory() / "clip.mp4").absoluteString();
  const std::string escape =
      platform::URL::fileURL(env.cachesDirectory() / "Morvane" / ".." / ".." / "secret").absoluteString();
  for (const std::string& refused : std::vector<std::string>{
           "video?action=volume&volume=nan",
           "video?action=volume&volume=-0.5",
           "video?action=volume&volume=1.5",
           "video?action=volume&volume=1e999",
           "video?action=volume&volume=loud",
           "video?action=currentTime&time=",
           "video?action=currentTime&time=-1",
           "video?action=currentTime&time=nan",
           "video?action=currentTime&time=1e300",
           "video?action=rotation&degrees=inf",
           "video?action=rotation&degrees=1e300",
           "video?action=touchMove&dx=nan&dy=1",
           "video?action=position&x=0&y=0&w=1e30&h=10",
           "video?action=position&x=0&y=0&w=-5&h=10",
           "video?action=position&x=nan&y=0&w=5&h=10",
           "video?action=new&x=0&y=0&w=5&h=infinity",
           "video?action=src&src=" + outside,
           "video?action=src&src=" + escape,
           "video?action=src&src=javascript%3Aalert(1)",
           "video?action=src&src=tcache%3A%2F%2Fx%3Furl%3Dfile%253A%252F%252F%252Fetc%252Fpasswd"}) {
    EXPECT_TRUE(send(*video, refused));
    const auto log = recorder.take();
    // "new" still makes its player and configuration; only its frame is refused.
    if (refused.find("action=new") == std::string::npos) {
      EXPECT_EQ(log, Log{}) << refused;
    }
  }
  EXPECT_EQ(adView->cachedVideoPlayerFrame(), platform::Rect(1, 2, 3, 4));
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Video message \"src\" refused."));
  EXPECT_TRUE(capture.contains("Video message \"currentTime\" refused."));

  // The largest values in range still pass.
  send(*video, "video?action=position&x=-100000&y=0&w=100000&h=0");
  send(*video, "video?action=currentTime&time=1e9");
  send(*video, "video?action=volume&volume=1");
  send(*video, "video?action=src&src=tcache%3A%2F%2Fx%3Furl%3Dhttps%253A%252F%252Fcdn.example.com%252Fa.mp4");
  EXPECT_EQ(recorder.take(), (Log{"seek 1e+09", "volume 1",
                                  "set up tcache://x?url=https%3A%2F%2Fcdn.example.com%2Fa.mp4 configuration"}));
  EXPECT_EQ(adView->cachedVideoPlayerFrame(), platform::Rect(-100000, 0, 100000, 0));
}

TEST_F(ZUMVideoTOLMHandlersTest, MetadataReachesTheVideoControllerAndItsHost) {
  auto metadata = ZUMVideoMetadataTOLMHandler::create();
  const auto& controller = *adView->videoController();
  EXPECT_TRUE(send(*metadata, "videoMeta"));
  EXPECT_TRUE(controller.hasVideoContent());
  EXPECT_EQ(controller.videoDuration(), 0);

  EXPECT_TRUE(send(*metadata,
                   "videoMeta?duration=30.5&currentTime=4.25&playbackState=1&muted=1&aspectRatio=1.7777&"
                   "customControlsAllowed=1"));
  EXPECT_EQ(controller.videoDuration(), 30.5);
  EXPECT_EQ(controller.currentPlaybackTime(), 4.25);
  EXPECT_EQ(controller.videoPlaybackState(), 1);
  EXPECT_TRUE(controller.videoMuted());
  EXPECT_EQ(controller.aspectRatio(), 1.7777);
  EXPECT_FALSE(controller.customControlsEnabled());  // the host's options did not ask for them
  EXPECT_EQ(recorder.take(), (Log{"host play", "host mute"}));

  for (const auto& [text, log] : std::vector<std::pair<std::string, Log>>{
           {"playbackState=1", {}},
           {"playbackState=2", {"host play"}},
           {"playbackState=3", {"host pause"}},
           {"playbackState=4", {"host end"}},
           {"playbackState=5", {}},
           {"playbackState=0&muted=0", {"host unmute"}},
           {"muted=0", {}},
       }) {
    send(*metadata, "videoMeta?" + text);
    EXPECT_EQ(recorder.take(), log) << text;
  }
  EXPECT_EQ(controller.videoPlaybackState(), 0);

  platform::SystemLog::Capture capture(true);
  send(*metadata, "videoMeta?duration=nan&currentTime=1e300&aspectRatio=inf&playbackState=3");
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Video metadata \"currentTime\" refused: not a finite number."));
  EXPECT_EQ(controller.videoDuration(), 30.5);
  EXPECT_EQ(controller.currentPlaybackTime(), 4.25);
  EXPECT_EQ(controller.aspectRatio(), 1.7777);
  EXPECT_EQ(recorder.take(), Log{"host pause"});

  adView->loadHTMLString("<html></html>", platform::URL::fromString("https://ads.example.com/"));
  EXPECT_FALSE(controller.hasVideoContent());  // a new page has no video until it says so
}

TEST_F(ZUMVideoTOLMHandlersTest, ThePlayerAndItsControllerGoWithTheAdView) {
  send(*video, "video?action=new");
  std::weak_ptr<ZUMVideoPlayer> player = adView->videoPlayer();
  std::weak_ptr<ZUMAdViewVideoController> controller = adView->videoController();
  send(*video, "video?action=new");  // the one player is kept
  EXPECT_EQ(player.lock(), adView->videoPlayer());
  EXPECT_EQ(controller.lock()->adView(), adView);
  adView.reset();
  env.runUntilIdle();
  EXPECT_TRUE(player.expired());
  EXPECT_TRUE(controller.expired());
}

class ZUMPrecacheStartUpTest : public testenv::PlatformTest {};

TEST_F(ZUMPrecacheStartUpTest, FilesOfAnEarlierRunAreGoneOnceTheClassIsFirstUsed) {
  const auto folder = env.cachesDirectory() / "Morvane" / "Precache";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "precache_7.cache") << "old";
  auto first = ZUMPrecacheTOLMHandler::create();
  EXPECT_FALSE(std::filesystem::exists(folder));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "precache_0.cache") << "this run's";
  auto second = ZUMPrecacheTOLMHandler::create();
  EXPECT_TRUE(std::filesystem::exists(folder / "precache_0.cache"));
}

TEST_F(ZUMVideoTOLMHandlersTest, APrecacheDownloadsIntoTheCacheFolderAndTheSecondRequestIsServedFromIt) {
  auto handler = ZUMVideoPlayerTOLMHandler::create();

  const std::string src = "https%3A%2F%2Fcdn.example.com%2Fclip.mp4";
  EXPECT_TRUE(send(*handler, "precache?src=" + src + "&notifyBytes=1000000"));
  ASSERT_TRUE(env.runUntil(
      [&] { return !precacheEvents().empty() && precacheEvents().back().starts_with("precacheComplete"); }));
  const auto size = std::to_string(body.size());
  EXPECT_EQ(precacheEvents(), (Log{"precacheProgress 0/" + size, "precacheComplete " + size + "/" + size}));
  const auto file = precacheFolder() / "precache_0.cache";
  EXPECT_EQ(lastPrecachePayload["src"], "https://cdn.example.com/clip.mp4");
  EXPECT_EQ(lastPrecachePayload["cachedSrc"], platform::URL::fileURL(file).absoluteString());
  EXPECT_EQ(platform::FileManager::readFile(file), body);

  // Asked again, nothing is downloaded; the player gets the file through the cache.
  EXPECT_TRUE(send(*handler, "precache?src=" + src));
  EXPECT_EQ(server.requests("/clip.mp4").size(), 1u);
  send(*handler, "video?action=new");
  recorder.take();
  send(*handler, "video?action=src&src=" + platform::URL::fileURL(file).absoluteString());
  EXPECT_EQ(recorder.take(), Log{"set up " + platform::URL::fileURL(file).absoluteString() + " cache configuration"});
  // Another file of the cache folder is played without the precache's cache.
  const auto other = platform::URL::fileURL(precacheFolder() / "other.cache").absoluteString();
  send(*handler, "video?action=src&src=" + other);
  EXPECT_EQ(recorder.take(), Log{"set up " + other + " configuration"});
}

TEST_F(ZUMVideoTOLMHandlersTest, AThresholdBelowTheSizeIsReportedOnceAndWithoutOneEveryDataCallbackIs) {
  send(*video, "precache?src=https%3A%2F%2Fcdn.example.com%2Fclip.mp4&notifyBytes=1000");
  ASSERT_TRUE(env.runUntil([&] { return precacheEvents().size() >= 3; }));
  const auto events = precacheEvents();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_TRUE(events[1].starts_with("precacheProgress ")) << events[1];
  EXPECT_GE(std::stoll(events[1].substr(17)), 1000);
  EXPECT_TRUE(events[2].starts_with("precacheComplete"));

  // The cache's callbacks, as more data would bring them.
  auto& precache = *video->precacheTOLMHandler();
  const auto cache = precache.resourceCache();
  precache.resourceCacheDidReceiveData(cache);  // the threshold was reported already
  EXPECT_EQ(precacheEvents().size(), 3u);
  send(*video, "precache?notifyBytes=1000000");  // a threshold above what is cached
  precache.resourceCacheDidReceiveData(cache);
  EXPECT_EQ(precacheEvents().size(), 3u);
  send(*video, "precache");  // no threshold: every callback
  precache.resourceCacheDidReceiveData(cache);
  precache.resourceCacheDidReceiveData(cache);
  env.runUntilIdle();
  EXPECT_EQ(precacheEvents().size(), 5u);
  // A cache that is not the handler's is not heard.
  auto other = ZUMResourceCache::create(cache->request(), platform::URL::fileURL(env.temporaryDirectory() / "o"), true);
  precache.resourceCacheDidReceiveData(other);
  precache.resourceCacheDidSucceedCaching(other);
  precache.resourceCacheDidFailCachingWithError(other, nullptr);
  env.runUntilIdle();
  EXPECT_EQ(precacheEvents().size(), 5u);
}

TEST_F(ZUMVideoTOLMHandlersTest, EveryDataCallbackIsReportedWithoutAThresholdAndTheLimitCapsTheDownload) {
  EXPECT_TRUE(send(*video, "precache?src=https%3A%2F%2Fcdn.example.com%2Fclip.mp4&maxBufferBytes=100"));
  ASSERT_TRUE(env.runUntil([&] { return precacheEvents().size() >= 3; }));
  const auto size = std::to_string(body.size());
  EXPECT_EQ(precacheEvents(),
            (Log{"precacheProgress 0/" + size, "precacheProgress 100/" + size, "precacheComplete 100/" + size}));
}

TEST_F(ZUMVideoTOLMHandlersTest, AnEndlessDownloadWithoutALimitFailsAtTheMaximum) {
  server.route("/endless.mp4", {.body = std::string(64 * 1024, 'v'), .contentType = "video/mp4", .endless = true});
  send(*video, "precache?src=https%3A%2F%2Fcdn.example.com%2Fendless.mp4&notifyBytes=1000000000000");
  ASSERT_TRUE(env.runUntil([&] { return precacheEvents().size() >= 2; }));
  EXPECT_EQ(precacheEvents(),
            (Log{"precacheProgress 0/-1", "precacheCanceled " + std::to_string(kZUMPrecacheMaximumBytes) + "/-1"}));
  EXPECT_FALSE(video->precacheTOLMHandler()->resourceCache()->isValid());
}

TEST_F(ZUMVideoTOLMHandlersTest, AFailureACancelAndSourcesOutsideTheWebAreReported) {
  server.route("/missing.mp4", {.status = 404, .body = "no"});
  send(*video, "precache?src=https%3A%2F%2Fcdn.example.com%2Fmissing.mp4");
  ASSERT_TRUE(env.runUntil([&] { return !precacheEvents().empty(); }));
  EXPECT_EQ(precacheEvents(), Log{"precacheCanceled 0/-1"});
  EXPECT_TRUE(video->precacheTOLMHandler()->hasStartedPreloading());  // only an abort restarts

  send(*video, "precache?abort=1");
  EXPECT_EQ(precacheEvents().back(), "precacheCanceled 0/-1");
  EXPECT_FALSE(std::filesystem::exists(precacheFolder() / "precache_0.cache"));

  send(*video, "precache?src=https%3A%2F%2Fcdn.example.com%2Fheld.mp4&abort=1");  // aborts, starts nothing
  EXPECT_EQ(server.requests("/held.mp4").size(), 0u);
  send(*video, "precache?src=https%3A%2F%2Fcdn.example.com%2Fheld.mp4");
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/held.mp4") == 1; }));
  EXPECT_TRUE(std::filesystem::exists(precacheFolder() / "precache_1.cache"));
  send(*video, "precache?abort=");
  EXPECT_EQ(precacheEvents().back(), "precacheCanceled 0/-1");
  EXPECT_FALSE(std::filesystem::exists(precacheFolder() / "precache_1.cache"));
  const auto count = precacheEvents().size();
  server.release("/held.mp4");
  env.runUntilIdle();
  EXPECT_EQ(precacheEvents().size(), count);  // the cancelled download says nothing more

  platform::SystemLog::Capture capture(true);
  const auto requests = server.requestCount();
  for (const char* src : {"file%3A%2F%2F%2Fetc%2Fpasswd", "ftp%3A%2F%2Fcdn.example.com%2Fa.mp4", "http%3A%2Fnohost"}) {
    send(*video, std::string("precache?src=") + src);
  }
  EXPECT_EQ(server.requestCount(), requests);
  EXPECT_EQ(precacheEvents().size(), count);
  EXPECT_EQ(video->precacheTOLMHandler()->sourceURL()->absoluteString(), "https://cdn.example.com/held.mp4");
  EXPECT_FALSE(video->precacheTOLMHandler()->hasStartedPreloading());  // not the earlier source either
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Precache source refused"));
}

TEST_F(ZUMVideoTOLMHandlersTest, AFolderThatCannotBeMadeEndsInACancel) {
  std::filesystem::create_directories(env.cachesDirectory() / "Morvane");
  auto handler = ZUMVideoPlayerTOLMHandler::create();  // the start-up clean-up has run
  std::ofstream(precacheFolder()) << "a file where the folder belongs";
  platform::SystemLog::Capture capture(true);
  send(*handler, "precache?src=https%3A%2F%2Fcdn.example.com%2Fclip.mp4");
  EXPECT_EQ(precacheEvents(), Log{"precacheCanceled 0/0"});
  EXPECT_EQ(server.requests("/clip.mp4").size(), 0u);
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Precache failed"));
}

}  // namespace
