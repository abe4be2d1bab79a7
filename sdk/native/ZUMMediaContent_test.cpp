// Media content on virtual time: the load time-out as stored, the failures of the load
// in the order they can happen, what the host is shown before and after loading, and
// what the support page is handed (the video dictionary as script data, the initial
// state of the host's options).
#include "sdk/native/ZUMMediaContent.h"

#include <cmath>

#include "ZUMMediaContentDelegate.h"
#include "ZUMNativeAdImage.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/native/ZUMNativeVideoTestSupport.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"
#include "testing/TestImages.h"

namespace {

using namespace std::chrono_literals;
using nativevideotest::Completion;
using nativevideotest::Json;

constexpr const char* kTimeoutKey = "/vantor/ads/zums:native_video_load_timeout";
constexpr const char* kRenderVideo = "vantor.qyra.nativeAds.renderVideo(";

class ZUMMediaContentTest : public nativevideotest::NativeVideoTest {
 protected:
  static void store(const char* key, const Json& value) {
    ASSERT_TRUE(platform::UserDefaults::standard().setObject(value, key));
  }
};

TEST_F(ZUMMediaContentTest, TheTimeOutIsTheStoredPositiveNumberElseTenSeconds) {
  const struct {
    Json stored;
    double seconds;
  } cases[] = {
      {"2.5", 2.5}, {4, 4}, {"0.5", 0.5}, {nullptr, 10}, {"0", 10}, {-3, 10}, {"soon", 10}, {Json::array({2}), 10},
  };
  for (const auto& c : cases) {
    store(kTimeoutKey, c.stored);
    EXPECT_EQ(ZUMMediaContent::loadTimeout(), c.seconds) << c.stored.dump();
  }
}

TEST_F(ZUMMediaContentTest, APageThatNeverLoadsTimesOutOnceAtTheStoredTime) {
  for (const auto& [stored, seconds] : std::vector<std::pair<Json, double>>{{"2.5", 2.5}, {nullptr, 10.0}}) {
    store(kTimeoutKey, stored);
    servePage("", /*held=*/true);
    const auto dictionary = videoDictionary();
    auto content = makeContent(&dictionary);
    auto completion = startLoad(*content);
    env.advance(seconds - 0.01);
    EXPECT_EQ(completion->calls, 0) << seconds;
    env.advance(0.02);
    ASSERT_EQ(completion->calls, 1) << seconds;
    EXPECT_TRUE(completion->onMainThread);
    EXPECT_EQ(completion->error->code(), kZUMErrorTimeout);
    EXPECT_EQ(completion->error->localizedDescription(), "Video load has timed out.");
    env.advance(10s);  // nothing more, at 10 s or later
    EXPECT_EQ(completion->calls, 1);
    server.release(ZUMMediaContent::kVideoSupportPath);
  }
}

TEST_F(ZUMMediaContentTest, ASecondLoadWhileOneIsPendingIsRefusedAndTheFirstGoesOn) {
  const auto dictionary = videoDictionary();
  auto content = makeContent(&dictionary);
  auto first = startLoad(*content);
  auto second = startLoad(*content);
  content->loadVideoWithCompletionHandler(nullptr);  // no handler: nothing to tell
  EXPECT_EQ(second->calls, 0);                       // told on the main queue, not inside the call
  ASSERT_TRUE(env.runUntil([&] { return first->calls > 0; }));
  env.runUntilIdle();
  ASSERT_EQ(second->calls, 1);
  EXPECT_EQ(second->error->code(), kZUMErrorInternalError);
  EXPECT_EQ(second->error->localizedDescription(), "Video load request already in progress.");
  EXPECT_EQ(first->calls, 1);
  EXPECT_EQ(first->error, nullptr);
  EXPECT_TRUE(first->onMainThread && second->onMainThread);
  EXPECT_EQ(pageLoads(), 1u);
}

TEST_F(ZUMMediaContentTest, WithoutADictionaryNothingLoads) {
  const Json notADictionary = "https://ads.example/video.mp4";
  for (const Json* dictionary : {static_cast<const Json*>(nullptr), &notADictionary}) {
    auto content = makeContent(dictionary);
    EXPECT_EQ(content->configuration(), nullptr);
    auto completion = startLoad(*content);
    env.runUntilIdle();
    ASSERT_EQ(completion->calls, 1);
    EXPECT_EQ(completion->error->code(), kZUMErrorInternalError);
    EXPECT_EQ(completion->error->localizedDescription(), "Failed to load video. Empty video configuration.");
  }
  EXPECT_EQ(pageLoads(), 0u);
}

TEST_F(ZUMMediaContentTest, AFailingPageGivesItsErrorAndALaterLoadKeepsItsOwnTimeOut) {
  server.route(ZUMMediaContent::kVideoSupportPath, {.status = 404, .body = "gone"});
  const auto dictionary = videoDictionary();
  auto content = makeContent(&dictionary);
  auto first = load(*content);
  ASSERT_EQ(first->calls, 1);
  ASSERT_NE(first->error, nullptr);
  EXPECT_NE(first->error->code(), kZUMErrorTimeout);
  EXPECT_FALSE(content->hasLoaded());

  // The first load's time-out falls due while a second one waits: it is not this load's.
  env.advance(1s);
  servePage("", /*held=*/true);
  auto second = startLoad(*content);
  env.advance(9.5s);
  EXPECT_EQ(second->calls, 0);
  env.advance(0.6s);
  ASSERT_EQ(second->calls, 1);
  EXPECT_EQ(second->error->code(), kZUMErrorTimeout);
  server.release(ZUMMediaContent::kVideoSupportPath);
}

TEST_F(ZUMMediaContentTest, ADictionaryThatIsNoJSONFailsTheLoadWithItsText) {
  servePage("", /*held=*/true);
  Json dictionary = videoDictionary();
  dictionary["ratio"] = NAN;
  dictionary["title"] = "Café";
  auto content = makeContent(&dictionary);
  auto completion = startLoad(*content);
  platform::NotificationCenter::defaultCenter().post("jsLoaded", adViewOf(*content));
  env.runUntilIdle();
  ASSERT_EQ(completion->calls, 1);
  EXPECT_EQ(completion->error->code(), kZUMErrorInternalError);
  EXPECT_EQ(completion->error->localizedDescription(),
            "Vast video response ({\"videoUrl\":\"" + server.baseURL() +
                "/clip.mp4\",\"ratio\":null,\"title\":\"Café\"}) can't be JSON encoded.");
  EXPECT_TRUE(scriptsStartingWith(*content, kRenderVideo).empty());
  // "jsLoaded" of another ad view is not this content's.
  platform::NotificationCenter::defaultCenter().post("jsLoaded", platform::View::create());
  server.release(ZUMMediaContent::kVideoSupportPath);
}

TEST_F(ZUMMediaContentTest, ThePageGetsTheDictionaryAsScriptDataAndTheHostsInitialState) {
  const Json dictionary = {{"videoUrl", server.baseURL() + "/clip.mp4"},
                           {"title", "</script><script>alert(1)</script>\u2028'"},
                           {"autoplay", false}};
  auto content = makeContent(&dictionary);
  auto completion = load(*content);
  EXPECT_EQ(completion->error, nullptr);
  ASSERT_TRUE(env.runUntil([&] { return !scriptsStartingWith(*content, kRenderVideo).empty(); }));
  const auto scripts = scriptsStartingWith(*content, kRenderVideo);
  ASSERT_EQ(scripts.size(), 1u);
  const std::string expected = "vantor.qyra.nativeAds.renderVideo({\n  \"videoUrl\": \"" + server.baseURL() +
                               "/clip.mp4\",\n  \"title\": \"\\u003c/script\\u003e\\u003cscript\\u003ealert(1)"
                               "\\u003c/script\\u003e\\u2028\\u0027\",\n  \"autoplay\": false\n});";
  EXPECT_EQ(scripts[0], expected);
  EXPECT_EQ(
      scriptsStartingWith(*content, "QYRA_ReceiveMessage('pubVideoCmd'"),
      std::vector<std::string>{"QYRA_ReceiveMessage('pubVideoCmd', "
                               "{\"action\":\"initialState\",\"muteStart\":\"1\",\"customControlsRequested\":0});"});

  // The page is told it is ready as any other ad page loaded in a slot.
  EXPECT_EQ(scriptsStartingWith(*content, "QYRA_ReceiveMessage('onReadyEventReceived'").size(), 1u);

  // Without options the page hears no initial state.
  auto plain = makeContent(&dictionary, nullptr);
  EXPECT_EQ(load(*plain)->error, nullptr);
  env.runUntilIdle();
  EXPECT_TRUE(scriptsStartingWith(*plain, "QYRA_ReceiveMessage('pubVideoCmd'").empty());
}

TEST_F(ZUMMediaContentTest, ThePlaceholderIsShownUntilLoadedThenTheAdViewAndItsController) {
  auto picture = ZUMNativeAdImage::createWithImage(platform::Image::decode(testenv::pngBytes(40, 20, {200, 0, 0})));
  ASSERT_TRUE(picture);
  const auto dictionary = videoDictionary();
  auto content = makeContent(&dictionary, ZUMVideoOptions::create(), picture);
  const auto placeholder = std::dynamic_pointer_cast<platform::ImageView>(content->mediaView());
  ASSERT_TRUE(placeholder);
  EXPECT_EQ(placeholder->image(), picture->image());
  EXPECT_EQ(placeholder->contentMode(), platform::ContentMode::ScaleAspectFit);
  EXPECT_EQ(content->mediaView(), placeholder);  // made once
  EXPECT_EQ(content->videoController(), nullptr);

  EXPECT_EQ(load(*content)->error, nullptr);
  const auto adView = adViewOf(*content);
  EXPECT_EQ(content->mediaView(), adView);
  EXPECT_EQ(content->videoController(), adView->videoController());
  EXPECT_TRUE(adView->scrollView()->isScrollEnabled());

  // Loaded already: at once, and the page is not loaded again.
  auto again = startLoad(*content);
  env.runUntilIdle();
  EXPECT_EQ(again->calls, 1);
  EXPECT_EQ(again->error, nullptr);
  EXPECT_EQ(pageLoads(), 1u);

  store("/vantor/ads/zum:media_view_scrollview_disable", "1");
  EXPECT_EQ(content->mediaView(), adView);
  EXPECT_FALSE(adView->scrollView()->isScrollEnabled());

  // No placeholder, or one not downloaded yet: nothing to show.
  EXPECT_EQ(makeContent(&dictionary)->mediaView(), nullptr);
  auto notYet = ZUMNativeAdImage::createWithURL(*platform::URL::fromString("https://img.example/a.png"), 1);
  EXPECT_EQ(makeContent(&dictionary, nullptr, notYet)->mediaView(), nullptr);
}

TEST_F(ZUMMediaContentTest, TheFrameInTheInterfaceIsTheShownViewsInItsWindow) {
  auto picture = ZUMNativeAdImage::createWithImage(platform::Image::decode(testenv::pngBytes(40, 20, {200, 0, 0})));
  const auto dictionary = videoDictionary();
  auto content = makeContent(&dictionary, nullptr, picture);
  EXPECT_EQ(content->frameInInterface(), platform::Rect::zero());  // nothing shown yet
  auto shown = content->mediaView();
  EXPECT_EQ(content->frameInInterface(), platform::Rect::zero());  // in no window
  auto window = platform::Window::create({0, 0, 375, 667});
  auto holder = platform::View::create({10, 30, 200, 100});
  window->addSubview(holder);
  holder->addSubview(shown);
  shown->setFrame({5, 6, 40, 20});
  EXPECT_EQ(content->frameInInterface(), platform::Rect(15, 36, 40, 20));
}

struct Listener : ZUMMediaContentDelegate {
  ZUMImplemented mediaContentDidLoadVideoWithSize(ZUMMediaContent&, const platform::Size& size) override {
    sizes.push_back(size);
    return kZUMImplemented;
  }
  std::vector<platform::Size> sizes;
};

TEST_F(ZUMMediaContentTest, TheVideoSizeReachesTheDelegateWhileItLives) {
  const auto dictionary = videoDictionary();
  auto content = makeContent(&dictionary);
  EXPECT_TRUE(content->slotDidLoadVideoWithSize(*content->slot(), {16, 9}));  // no delegate: nothing
  auto listener = std::make_shared<Listener>();
  content->setDelegate(listener);
  EXPECT_TRUE(content->slotDidLoadVideoWithSize(*content->slot(), {320, 180}));
  EXPECT_EQ(listener->sizes, (std::vector<platform::Size>{{320, 180}}));
  EXPECT_EQ(content->slot()->adEventDelegate(), content);
  EXPECT_EQ(content->slot()->slotDelegate(), content);
  EXPECT_EQ(content->slot()->adLoadDelegate(), content);
  EXPECT_FALSE(content->slot()->reloadable());
  EXPECT_TRUE(adViewOf(*content)->isHidden());  // a banner ad view until its page has loaded
}

TEST_F(ZUMMediaContentTest, TheSupportPageIsAStoredWebURLElseTheAdServers) {
  const std::string builtIn = std::string(ZUMMediaContent::kAdServer) + ZUMMediaContent::kVideoSupportPath;
  const struct {
    Json stored;
    std::string url;
  } cases[] = {
      {nullptr, builtIn},
      {"https://video.example/page.html", "https://video.example/page.html"},
      {"HTTP://video.example/p", "HTTP://video.example/p"},
      {"file:///etc/passwd", builtIn},
      {"javascript:alert(1)", builtIn},
      {"not a url at all", builtIn},
      {7, builtIn},
  };
  for (const auto& c : cases) {
    store("/vantor/ads/native_ad_video_support_url", c.stored);
    EXPECT_EQ(ZUMMediaContent::videoSupportURL().absoluteString(), c.url) << c.stored.dump();
  }
}

// --- The support page's variants ------------------------------------------------------------------

class ZUMNativeVideoPageTest : public ZUMMediaContentTest {
 protected:
  std::shared_ptr<ZUMMediaContent> loaded(const Json& dictionary) {
    auto content = makeContent(&dictionary);
    EXPECT_EQ(load(*content)->error, nullptr);
    return content;
  }
};

TEST_F(ZUMNativeVideoPageTest, ASilentPageIsLoadedButGetsNoVideo) {
  std::string page(ZUMNativeVideoPageHTML());
  page.replace(page.find("send('jsLoaded', {});"), 22, "");  // never says it is ready
  servePage(page);
  auto content = loaded(videoDictionary());
  env.advance(5s);
  EXPECT_TRUE(scriptsStartingWith(*content, kRenderVideo).empty());
  EXPECT_FALSE(content->videoController()->hasVideoContent());
}

TEST_F(ZUMNativeVideoPageTest, ASlowPageGetsTheVideoWhenItIsReady) {
  std::string page(ZUMNativeVideoPageHTML());
  page.replace(page.find("send('jsLoaded', {});"), 22, "setTimeout(function () { send('jsLoaded', {}); }, 3000);");
  servePage(page);
  auto content = loaded(videoDictionary());
  env.advance(2.9s);
  EXPECT_TRUE(scriptsStartingWith(*content, kRenderVideo).empty());
  env.advance(0.2s);
  EXPECT_EQ(scriptsStartingWith(*content, kRenderVideo).size(), 1u);
}

TEST_F(ZUMNativeVideoPageTest, AVideoThePageCannotPlayReachesNoHost) {
  server.route("/broken.mp4", {.status = 404, .body = "no"});
  const Json cases[] = {
      Json{{"videoUrl", server.baseURL() + "/broken.mp4"}},
      Json{{"videoUrl", "file:///etc/passwd"}},
      Json{{"videoUrl", 7}},
      Json::object(),
  };
  for (const auto& dictionary : cases) {
    auto content = loaded(dictionary);
    ASSERT_TRUE(env.runUntil([&] { return !scriptsStartingWith(*content, kRenderVideo).empty(); }));
    env.advance(1s);
    EXPECT_FALSE(content->videoController()->hasVideoContent()) << dictionary.dump();
    if (dictionary.value("videoUrl", Json()) != cases[0]["videoUrl"]) {
      EXPECT_EQ(adViewOf(*content)->videoPlayer(), nullptr) << dictionary.dump();  // the page made no player
    }
  }
}

TEST_F(ZUMNativeVideoPageTest, HostCommandsBeforeThePlayerIsReadyWaitForIt) {
  Json dictionary = videoDictionary();
  dictionary["autoplay"] = false;
  dictionary["customControlsAllowed"] = true;
  auto options = ZUMVideoOptions::create();
  options->setCustomControlsRequested(true);
  auto content = makeContent(&dictionary, options);
  EXPECT_EQ(load(*content)->error, nullptr);
  const auto controller = std::dynamic_pointer_cast<ZUMAdViewVideoController>(content->videoController());
  ASSERT_TRUE(env.runUntil([&] { return controller->hasVideoContent(); }));
  env.runUntilIdle();
  EXPECT_TRUE(controller->customControlsEnabled());
  EXPECT_TRUE(controller->videoMuted());
  EXPECT_EQ(controller->videoPlaybackState(), 0);  // waits for the host
  controller->play();
  env.advance(0.5s);
  EXPECT_EQ(controller->videoPlaybackState(), kZUMVideoPlaybackStatePlaying);
  EXPECT_GT(controller->currentPlaybackTime(), 0.2);
  controller->setMute(false);
  env.advance(0.25s);
  EXPECT_FALSE(controller->videoMuted());
  controller->pause();
  env.advance(0.25s);
  EXPECT_EQ(controller->videoPlaybackState(), kZUMVideoPlaybackStatePaused);
  controller->play();
  env.advance(0.25s);
  EXPECT_EQ(controller->videoPlaybackState(), kZUMVideoPlaybackStateResumed);
}

}  // namespace
