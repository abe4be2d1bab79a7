#include "sdk/rendering/ZUMSlotEventHandler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/AudioSession.h"
#include "platform/ui/ViewController.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewPresentation.h"
#include "sdk/rendering/ZUMAdViewSlotEvents.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/AppControls.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using platform::URL;

struct Owner : ZUMSlotDelegate {
  ZUMImplemented slotDidReceiveAdClick(ZUMSlot&) override {
    ++clicks;
    return kZUMImplemented;
  }
  ZUMImplemented slotDidLoadMRAIDAd(ZUMSlot&) override {
    ++mraidLoads;
    return kZUMImplemented;
  }
  std::optional<platform::Rect> frameInInterface() override { return ownerFrame; }
  int clicks = 0;
  int mraidLoads = 0;
  std::optional<platform::Rect> ownerFrame;
};

class ZUMSlotEventHandlerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    slot = ZUMSlot::create({0, 0, 320, 50});
    slot->setSlotDelegate(owner);
    handler = ZUMSlotEventHandler::forSlot(*slot);
    adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
    ad = ZUMAd::create();
    slot->setAd(ad);
  }
  void TearDown() override { ZUMSlotRendering::setShared(nullptr); }
  // The page messages the ad view sent, as "name payload".
  std::vector<std::string> pageMessages() {
    std::vector<std::string> messages;
    const auto& scripts = std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())->engine()->evaluatedScripts();
    for (const auto& script : scripts) {
      if (script.rfind("QYRA_ReceiveMessage('", 0) == 0) messages.push_back(script);
    }
    return messages;
  }
  std::vector<std::string> pageMessageNames() {
    std::vector<std::string> names;
    for (const auto& message : pageMessages()) {
      const auto start = message.find('\'') + 1;
      names.push_back(message.substr(start, message.find('\'', start) - start));
    }
    return names;
  }

  std::shared_ptr<Owner> owner = std::make_shared<Owner>();
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMSlotEventHandler> handler;
  std::shared_ptr<ZUMAdView> adView;
  std::shared_ptr<ZUMAd> ad;
};

TEST_F(ZUMSlotEventHandlerTest, ClickURLRewrite) {
  ZUMSignalsInitialize(ZUMRequest::sdkVersion());
  EXPECT_TRUE(
      platform::UserDefaults::standard().setObject("ads.example.com,,clk.example.net", "/vantor/ads/as_domains"));
  struct Row {
    std::string url;
    bool signed_;
    std::optional<std::string> pit;
  };
  for (const auto& row : std::vector<Row>{
           {"tolm://page/x?ai=1", false, std::nullopt},
           {"about:blank", false, std::nullopt},
           {"https://other.example.org/a/b?ai=1", false, std::nullopt},
           {"https://ads.example.com/a/b?x=1", false, std::nullopt},    // no "ai"
           {"https://ads.example.com/a/b/c?ai=", false, "b/c"},         // empty "ai"
           {"https://badads.example.com/a?ai=1", false, std::nullopt},  // a bare suffix is not the domain
           {"https://ads.example.com.evil.test/?ai=1", false, std::nullopt},
           {"https://x.CLK.example.net/a?ai=abc", true, std::nullopt},  // a subdomain, any case
           {"https://ads.example.com/p?ai=abc&adurl=https://l.example/", true, std::nullopt},
       }) {
    ad->statistics()->setObject(Json(), "pit", false);
    const URL url = *URL::fromString(row.url);
    const URL result = handler->gestureClickURLWithURL(url);
    if (!row.signed_) {
      EXPECT_EQ(result.absoluteString(), row.url);
    } else {
      EXPECT_GT(result.absoluteString().size(), row.url.size()) << row.url;
      EXPECT_EQ(result.absoluteString().find('?'), row.url.find('?'));
      if (row.url.find("adurl=") != std::string::npos) {
        EXPECT_TRUE(result.absoluteString().ends_with("&adurl=https://l.example/")) << result.absoluteString();
      }
    }
    EXPECT_EQ(ad->statistics()->objectForKey("pit").value_or(Json()), row.pit ? Json(*row.pit) : Json()) << row.url;
  }
  // An empty entry never matches every host.
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(",", "/vantor/ads/as_domains"));
  EXPECT_FALSE(ZUMSlotEventHandler::isVantorAdURL(*URL::fromString("https://any.example/")));
}

TEST_F(ZUMSlotEventHandlerTest, ADomainWrittenWithALeadingDotTakesItsSubdomains) {
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(".Clk.example.net,.,..,.t", "/vantor/ads/as_domains"));
  const struct {
    std::string host;
    bool served;
  } rows[] = {
      {"a.clk.example.net", true},
      {"x.y.CLK.example.net", true},
      {"clk.example.net", false},
      {"badclk.example.net", false},
      {"example.net", false},
      {"clk.example.net.evil.test", false},
      {"any.example", false},
      {"a.t", true},
      {"t", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ZUMSlotEventHandler::isVantorAdURL(*URL::fromString("https://" + row.host + "/a")), row.served)
        << row.host;
  }
  EXPECT_FALSE(ZUMSlotEventHandler::isVantorAdURL(*URL::fromString("about:blank"))) << "no host";
}

TEST_F(ZUMSlotEventHandlerTest, OneImpressionPerAdAndClicksEveryTime) {
  testenv::LoopbackServer server;
  platform::URLLoading::mapHostForTesting("track.example.com", "127.0.0.1", server.port());
  server.route("/imp", {.body = ""});
  server.route("/clk", {.body = ""});
  ad->addImpressionURLsFromArray({*URL::fromString("https://track.example.com/imp")});
  ad->addClickURLsFromArray({*URL::fromString("https://track.example.com/clk")});
  // Trackers an earlier test left (hosts that never answer) may still be there.
  auto trackers = ZUMClickTrackerCollection::sharedInstance();
  const auto trackersBefore = trackers->activeTrackerCount();
  const auto impressionsBefore = ZUMApplication::sharedInstance()->statistics()->objectForKey("pimp").value_or(0);
  for (int i = 0; i < 2; ++i) {
    handler->didMakeAdImpression();
    handler->pingClickURLs();
    handler->adWasClicked();
  }
  ASSERT_TRUE(env.runUntil([&] {
    return server.requests("/clk").size() == 2 && server.requests("/imp").size() == 1 &&
           trackers->activeTrackerCount() <= trackersBefore;
  }));
  EXPECT_EQ(owner->clicks, 2);
  EXPECT_EQ(ZUMApplication::sharedInstance()->statistics()->objectForKey("pimp").value_or(0),
            impressionsBefore.get<std::int64_t>() + 1);
  EXPECT_EQ(ad->statistics()->objectForKey("pcc").value_or(0), 2);
  EXPECT_TRUE(slot->viewHasMadeImpression());
}

TEST_F(ZUMSlotEventHandlerTest, MRAIDLoadTellsThePageOnceInOrder) {
  adView->loadHTMLString("<p>mraid</p>", URL::fromString("https://ads.example.com/"));
  ASSERT_TRUE(env.runUntil([&] { return !adView->isLoading(); }));
  handler->notifyOrientationToMRAIDCreative();  // no MRAID ad yet: nothing
  EXPECT_TRUE(pageMessages().empty());
  handler->MRAIDAdDidLoad();
  env.runUntilIdle();
  EXPECT_EQ(pageMessageNames(),
            (std::vector<std::string>{"onScreenInfoChanged", "onDeviceFeaturesReceived", "onReadyEventReceived"}));
  EXPECT_EQ(owner->mraidLoads, 1);
  EXPECT_EQ(ad->MRAIDEventHandler(), handler);

  // A second load without an unload, then a rotation: each posts screen info once.
  handler->MRAIDAdDidLoad();
  testenv::AppControls::rotate(platform::kInterfaceOrientationLandscapeLeft);
  env.runUntilIdle();
  auto names = pageMessageNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "onScreenInfoChanged"), 3);
  EXPECT_NE(pageMessages().back().find("\"isOrientationLandscape\":1"), std::string::npos);

  // Unloaded: rotations tell the page nothing.
  handler->MRAIDAdDidUnload();
  EXPECT_FALSE(handler->isListeningToDeviceOrientationChangeEvent());
  const auto count = pageMessages().size();
  testenv::AppControls::rotate(platform::kInterfaceOrientationPortrait);
  env.runUntilIdle();
  EXPECT_EQ(pageMessages().size(), count);
}

TEST_F(ZUMSlotEventHandlerTest, ScreenInfoCarriesTheOrientationTheAdsControllerForces) {
  struct Forcing : ZUMAdViewPresentation {
    platform::InterfaceOrientation forcedAdOrientation(const platform::ViewController& asked) override {
      return &asked == controller.get() ? orientation : platform::kInterfaceOrientationUnknown;
    }
    std::shared_ptr<platform::ViewController> controller = platform::ViewController::create();
    platform::InterfaceOrientation orientation = platform::kInterfaceOrientationUnknown;
  };
  auto forcing = std::make_shared<Forcing>();
  adView->loadHTMLString("<p>mraid</p>", URL::fromString("https://ads.example.com/"));
  ASSERT_TRUE(env.runUntil([&] { return !adView->isLoading(); }));
  ad->setMRAIDEventHandler(handler);
  auto screenInfo = [&] {
    handler->notifyOrientationToMRAIDCreative();
    env.runUntilIdle();
    const auto message = pageMessages().back();
    const auto open = message.find('{');
    return Json::parse(message.substr(open, message.rfind('}') - open + 1)).value("forcedOrientation", "none");
  };
  EXPECT_EQ(screenInfo(), "none") << "nothing registered";
  ZUMAdViewPresentation::setShared(forcing);
  forcing->orientation = platform::kInterfaceOrientationLandscapeRight;
  EXPECT_EQ(screenInfo(), "none") << "no controller";
  adView->setViewController(forcing->controller);
  const struct {
    platform::InterfaceOrientation orientation;
    std::string forced;
  } rows[] = {
      {platform::kInterfaceOrientationUnknown, "none"},         {platform::kInterfaceOrientationPortrait, "p"},
      {platform::kInterfaceOrientationPortraitUpsideDown, "p"}, {platform::kInterfaceOrientationLandscapeRight, "l"},
      {platform::kInterfaceOrientationLandscapeLeft, "l"},      {5, "none"},
  };
  for (const auto& row : rows) {
    forcing->orientation = row.orientation;
    EXPECT_EQ(screenInfo(), row.forced) << row.orientation;
  }
}

TEST_F(ZUMSlotEventHandlerTest, PositionPostsOnlyChanges) {
  adView->loadHTMLString("<p>ad</p>", URL::fromString("https://ads.example.com/"));
  ASSERT_TRUE(env.runUntil([&] { return !adView->isLoading(); }));
  owner->ownerFrame = platform::Rect{0, 100, 320, 50};
  for (int i = 0; i < 3; ++i) handler->updatePositionFromView(*adView);
  env.runUntilIdle();
  auto names = pageMessageNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "onDefaultPositionReceived"), 1);
  owner->ownerFrame = platform::Rect{0, 120, 320, 50};
  handler->updatePositionFromView(*adView);
  handler->updateVisibility(true);
  handler->handleError("bad", "resize");
  env.runUntilIdle();
  names = pageMessageNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "onDefaultPositionReceived"), 2);
  EXPECT_EQ(std::count(names.begin(), names.end(), "onScreenInfoChanged"), 0);  // no MRAID creative
  EXPECT_NE(pageMessages().back().find("\"message\":\"bad\",\"action\":\"resize\""), std::string::npos);
  // An MRAID creative whose usable frame changed hears of its screen again.
  ad->setMRAIDEventHandler(handler);
  slot->setUsableInterfaceFrame({0, 0, 1, 1});
  handler->updatePositionFromView(*adView);
  env.runUntilIdle();
  names = pageMessageNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "onScreenInfoChanged"), 1);
}

TEST_F(ZUMSlotEventHandlerTest, VolumePayload) {
  auto& audio = platform::AudioSession::shared();
  audio.setOutputVolume(0.25f);
  audio.setCurrentRouteOutputPortNames(std::nullopt);
  audio.setOtherAudioPlaying(true);
  audio.setSecondaryAudioShouldBeSilencedHint(std::nullopt);
  ZUMMobileAds::sharedInstance()->setApplicationVolume(3);
  ZUMMobileAds::sharedInstance()->setApplicationMuted(true);
  EXPECT_EQ(ZUMSlotEventHandler::volumePayload(), (Json{{"app_volume", 1.0},
                                                        {"app_muted", "1"},
                                                        {"device_volume", 0.25},
                                                        {"port_names", Json::array()},
                                                        {"is_other_audio_playing", 1}}));
  audio.setSecondaryAudioShouldBeSilencedHint(false);
  EXPECT_EQ(ZUMSlotEventHandler::volumePayload().value("should_silence_audio", -1), 0);

  // The host's volume change reaches the page.
  adView->loadHTMLString("<p>ad</p>", URL::fromString("https://ads.example.com/"));
  ASSERT_TRUE(env.runUntil([&] { return !adView->isLoading(); }));
  ZUMMobileAds::sharedInstance()->setApplicationVolume(0.5);
  env.runUntilIdle();
  ASSERT_FALSE(pageMessageNames().empty());
  EXPECT_EQ(pageMessageNames().back(), "volume");
  EXPECT_TRUE(handler->shouldChangeAudioSessionCategoryTo("playback"));
}

TEST(ZUMAdViewSlotEventsTest, LoggedFormsOfTheSlotsSteps) {
  testenv::TestEnvironment env;
  auto slot = ZUMSlot::create();
  slot->setAdUnitID("unit-A");
  struct Row {
    std::string name;
    Json info;
    std::vector<Json> events;
  };
  for (const auto& row : std::vector<Row>{
           {"loading_started",
            Json::object(),
            {Json{{"slot", {{"ad_context", {{"ad_unit_id", "unit-A"}}}}}}, Json{{"slot", {{"loading_started", 1}}}}}},
           {"direct_loading_from_url",
            Json{{"url", "https://a.example/"}},
            {Json{{"slot", {{"direct_loading_from_url", "https://a.example/"}}}}}},
           {"url_fetching_failed",
            Json{{"error_code", 2}},
            {Json{{"slot", {{"url_fetching_failed", {{"error_code", 2}}}}}}}},
       }) {
    EXPECT_EQ(ZUMAdViewSlotEvents::eventsForStep(*slot, row.name, row.info), row.events) << row.name;
  }
}

}  // namespace
