// The native ad base: what it reads of its dictionary, its asset bookkeeping, the page
// calls of its clicks and impression (escaped, routed back to the ad that made them),
// the host-reported events and their refusals, the debug ping and the statistics record.
#include "ZUMNativeAd.h"

#include <chrono>

#include "ZUMNativeAdViewAdOptions.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/native/ZUMNativeTestSupport.h"
#include "sdk/presentation/ZUMBrowserViewController.h"

namespace {

using namespace std::chrono_literals;
using nativetest::AdDelegate;
using nativetest::Json;
using nativetest::Log;
using nativetest::TestAd;

constexpr const char* kNoOp =
    "This feature has not been enabled for your account and is a no-op. If you are interested in using this "
    "feature, reach out to your account manager.";

Json adDictionary() {
  return Json{{"type", "native"},
              {"template_id", 1},
              {"debug_signals", "dbg-1"},
              {"attribution", {{"allow_pub_rendering", true}}},
              {"allow_pub_event_reporting", {{"click_reporting", true}, {"impression_reporting", true}}},
              {"tracking_urls_and_actions",
               {{"vantor_click_tracking_url", "https://track.example/click"},
                {"third_party_click_tracking_urls", {"https://track.example/3p", 7}},
                {"impression_tracking_urls", {"https://track.example/imp"}},
                {"click_actions", {{{"url", "https://landing.example/page"}}}},
                {"active_view", {{"mode", 1}}}}}};
}

void setDefault(const Json& value, const std::string& key) {
  static_cast<void>(platform::UserDefaults::standard().setObject(value, key));
}

class ZUMNativeAdTest : public testenv::PlatformTest {
 protected:
  ZUMNativeAdTest() {
    ZUMMobileAds::load();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
  }
  // Loads the assets of `ad` and counts the completions and their codes (0 for none).
  std::shared_ptr<Log> loadAssets(const std::shared_ptr<ZUMNativeAd>& ad, int handlers = 1) {
    auto log = std::make_shared<Log>();
    for (int i = 0; i < handlers; ++i) {
      ad->loadAssetsWithCompletionHandler([log](const platform::ErrorPtr& error) {
        log->push_back(error ? std::to_string(error->code()) + " " + error->localizedDescription() : "ok");
      });
    }
    return log;
  }

  nativetest::NativeHosts hosts;
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
};

TEST_F(ZUMNativeAdTest, ReadsItsDictionaryAndOptions) {
  auto corner = ZUMNativeAdViewAdOptions::create();
  corner->setPreferredAdChoicesPosition(3);
  auto ad = TestAd::create(adDictionary(), {ZUMAdLoaderOptions::create(), corner});
  EXPECT_EQ(ad->attributionCorner(), 3);
  EXPECT_EQ(ad->impressionTrackingURLs(), std::set<std::string>{"https://track.example/imp"});
  EXPECT_EQ(ad->thirdPartyClickTrackingURLs(), std::set<std::string>{"https://track.example/3p"});
  EXPECT_EQ(ad->vantorClickTrackingURLString(), "https://track.example/click");
  EXPECT_EQ(ad->clickActions().size(), 1u);
  EXPECT_EQ(ad->activeViewConfigurations(), (Json{{"mode", 1}}));
  EXPECT_EQ(ad->debugSignalInformation(), "dbg-1");
  EXPECT_TRUE(ad->publisherRenderAdChoicesAllowed());
  EXPECT_TRUE(ad->publisherClickReportingAllowed());
  EXPECT_FALSE(ad->publisherTouchReportingAllowed());
  EXPECT_TRUE(ad->publisherImpressionReportingAllowed());
  EXPECT_EQ(ad->adNetworkClassName(), "ZUMMAdapterVantorMorvaneAds");
  EXPECT_EQ(ad->adConfiguration(), adDictionary());

  // Values of the wrong kind read as absent.
  auto odd = TestAd::create(Json{
      {"tracking_urls_and_actions", {{"impression_tracking_urls", "x"}, {"click_actions", "y"}, {"active_view", 2}}},
      {"attribution", "z"},
      {"debug_signals", 5},
      {"allow_pub_event_reporting", {{"click_reporting", "yes"}}}});
  EXPECT_TRUE(odd->impressionTrackingURLs().empty());
  EXPECT_EQ(odd->clickActions(), Json::array());
  EXPECT_EQ(odd->activeViewConfigurations(), Json::object());
  EXPECT_EQ(odd->debugSignalInformation(), std::nullopt);
  EXPECT_FALSE(odd->publisherRenderAdChoicesAllowed());
  EXPECT_FALSE(odd->publisherClickReportingAllowed());
  EXPECT_EQ(odd->attributionCorner(), 0);

  EXPECT_EQ(ZUMNativeAd::adsArrayInAdsConfigurationDictionary(Json{{"ads", {1, 2}}}), (Json{1, 2}));
  EXPECT_EQ(ZUMNativeAd::adsArrayInAdsConfigurationDictionary(Json{{"ads", "x"}}), std::nullopt);
  EXPECT_EQ(ZUMNativeAd::adsArrayInAdsConfigurationDictionary(Json::array()), std::nullopt);
  EXPECT_TRUE(ZUMNativeAssetNameIsMediaView("2011") && ZUMNativeAssetNameIsMediaView("1009"));
  EXPECT_FALSE(ZUMNativeAssetNameIsMediaView("2012") || ZUMNativeAssetNameIsMediaView("1010"));
  EXPECT_TRUE(ZUMNativeAssetNameIsAdChoicesView("2012") && ZUMNativeAssetNameIsAdChoicesView("1010"));
  EXPECT_FALSE(ZUMNativeAssetNameIsAdChoicesView("2011") || ZUMNativeAssetNameIsAdChoicesView("1009"));
}

TEST_F(ZUMNativeAdTest, SupportPageIsAWebPageFromDefaultsOrTheAdServers) {
  const std::string builtIn = "https://ads.adnetwork.example/static/sdk/native/native_ads.html";
  const struct {
    Json stored;
    std::string expected;
  } rows[] = {{nullptr, builtIn},
              {"https://pages.example/native.html", "https://pages.example/native.html"},
              {"http://pages.example/n", "http://pages.example/n"},
              {"file:///etc/passwd", builtIn},
              {"javascript:alert(1)", builtIn},
              {"not a url", builtIn}};
  for (const auto& row : rows) {
    if (row.stored.is_null()) {
      platform::UserDefaults::standard().removeObjectForKey("/vantor/ads/native_ad_support_url");
    } else {
      setDefault(row.stored, "/vantor/ads/native_ad_support_url");
    }
    EXPECT_EQ(ZUMNativeAd::supportHTMLURL(), row.expected) << row.stored.dump();
  }
}

TEST_F(ZUMNativeAdTest, WithoutRequestedAssetsCompletesOnTheNextMainTurn) {
  auto ad = TestAd::create(adDictionary());
  auto log = loadAssets(ad, 2);
  EXPECT_TRUE(log->empty());
  EXPECT_TRUE(ad->shouldLoadAssets());
  env.runUntilIdle();
  EXPECT_EQ(*log, (Log{"ok", "ok"}));
  EXPECT_FALSE(ad->shouldLoadAssets());
  // A later caller completes too, once.
  auto later = loadAssets(ad);
  env.runUntilIdle();
  EXPECT_EQ(*later, Log{"ok"});
}

TEST_F(ZUMNativeAdTest, ARequiredFailureCompletesEveryWaitingHandlerOnceWithCode11) {
  auto ad = TestAd::create(adDictionary());
  ad->assets = {"icon", "image", "logo"};
  ad->required = {"image"};
  auto log = loadAssets(ad, 2);
  env.runUntilIdle();
  EXPECT_TRUE(log->empty());
  ad->failedToLoadAssetWithName("logo");  // not required: the ad still waits
  ad->finishedLoadingAssetWithName("icon");
  env.runUntilIdle();
  EXPECT_TRUE(log->empty());
  ad->failedToLoadAssetWithName("image");
  ad->failedToLoadAssetWithName("image");
  ad->finishedLoadingAssetWithName(std::nullopt);
  env.runUntilIdle();
  EXPECT_EQ(*log, (Log{"11 Failed to load a required asset.", "11 Failed to load a required asset."}));
  // A later handler after the failure waits for nothing more: it hears nothing.
  auto later = loadAssets(ad);
  ad->finishedLoadingAssetWithName("image");
  env.runUntilIdle();
  EXPECT_TRUE(later->empty());
}

TEST_F(ZUMNativeAdTest, AnOptionalFailureWaitsForEveryRequestedAsset) {
  auto ad = TestAd::create(adDictionary());
  ad->assets = {"icon", "image", "icon"};  // a name asked for twice is waited for once
  ad->required = {"icon"};
  auto log = loadAssets(ad);
  // Finished before the loads were counted: the completion waits for the count. A name
  // finished twice, or one never asked for, stands for no other asset.
  ad->finishedLoadingAssetWithName("icon");
  ad->finishedLoadingAssetWithName("icon");
  ad->finishedLoadingAssetWithName("banner");
  EXPECT_TRUE(log->empty());
  env.runUntilIdle();
  EXPECT_TRUE(log->empty());
  // From another queue, as a kind's download may report.
  platform::DispatchQueue::global()->async([ad] { ad->failedToLoadAssetWithName("image"); });
  ASSERT_TRUE(env.runUntil([&] { return !log->empty(); }));
  EXPECT_EQ(*log, Log{"ok"});
}

TEST_F(ZUMNativeAdTest, ClicksAndImpressionsCallThePageWithSafeJSON) {
  auto slot = nativetest::loadedPageSlot(env);
  auto ad = TestAd::create(adDictionary());
  ad->setSlot(slot);
  ad->performClickOnView(nullptr, std::nullopt, Json::object());  // no asset: nothing
  ad->performClickOnView(nullptr, "</script>\u2028", Json{{"k", "v"}});
  ad->recordImpressionWithEnvironment(Json::object());
  ad->recordImpressionWithEnvironment(Json::object());
  env.runUntilIdle();
  const auto calls = nativetest::nativeCalls(*slot);
  ASSERT_EQ(calls.size(), 2u);
  Json click = Json{{"k", "v"}, {"ad", adDictionary()}};
  click["click"] = Json{{"template", "1"}, {"asset", "</script>\u2028"}, {"sdk_version", ZUMRequest::sdkVersion()}};
  EXPECT_EQ(calls[0], "vantor.qyra.nativeAds.handleClickTolm(" + ZUMScriptSafeJSON(click.dump()) + ")");
  EXPECT_EQ(calls[0].find("</script>"), std::string::npos);
  EXPECT_EQ(calls[1], "vantor.qyra.nativeAds.handleImpressionPing(" +
                          ZUMScriptSafeJSON(Json{{"ad", adDictionary()}}.dump()) + ")");
  EXPECT_TRUE(ad->hasRecordedImpression());
}

TEST_F(ZUMNativeAdTest, EachAdOfASharedSlotHearsItsOwnEventsOnly) {
  auto slot = nativetest::loadedPageSlot(env);
  auto first = TestAd::create(adDictionary());
  auto second = TestAd::create(adDictionary());
  auto firstDelegate = std::make_shared<AdDelegate>("1:");
  auto secondDelegate = std::make_shared<AdDelegate>("2:");
  first->setDelegate(firstDelegate);
  second->setDelegate(secondDelegate);
  first->setSlot(slot);
  second->setSlot(slot);
  first->setRootViewController(host);
  second->setRootViewController(host);

  first->performClickOnView(nullptr, "headline", Json::object());
  ASSERT_TRUE(env.runUntil([&] { return hosts.hits("/click") > 0 && !firstDelegate->log.empty(); }));
  env.advance(1s);
  EXPECT_EQ(firstDelegate->log, (Log{"1:click", "1:leave"}));
  EXPECT_TRUE(secondDelegate->log.empty());
  EXPECT_TRUE(env.runUntil([&] { return hosts.hits("/3p") > 0; }));

  // Releasing the first ad leaves the second working, and alone on the page, it hears
  // even what none of its calls prompted.
  first.reset();
  firstDelegate->log.clear();
  nativetest::adViewOf(*slot)->executeJavaScriptAsynchronouslyFromString(
      "send('logBraskEvent', {eventName: '_ac', eventId: 'page'});");
  EXPECT_TRUE(env.runUntil([&] { return !secondDelegate->log.empty(); }));
  second->recordImpressionWithEnvironment(Json::object());
  ASSERT_TRUE(env.runUntil([&] { return secondDelegate->log.size() > 1 && hosts.hits("/imp") > 0; }));
  EXPECT_EQ(secondDelegate->log, (Log{"2:click", "2:impression"}));
  EXPECT_TRUE(firstDelegate->log.empty());
}

TEST_F(ZUMNativeAdTest, HostReportedEventsAreRefusedWithALogLineUnlessAllowed) {
  auto slot = nativetest::loadedPageSlot(env);
  auto closed = TestAd::create(Json{{"template_id", 1}});
  auto open =
      TestAd::create(Json{{"allow_pub_event_reporting",
                           {{"click_reporting", true}, {"touch_reporting", true}, {"impression_reporting", true}}}});
  closed->setSlot(slot);
  open->setSlot(slot);
  platform::SystemLog::Capture capture(true);
  closed->performClickWithData(Json{{"click_signal", {{"asset_id", "a"}}}});
  closed->reportTouchEventWithData(Json{{"x", 1}, {"y", 1}, {"duration_ms", 1}});
  EXPECT_FALSE(closed->recordImpressionWithData(Json::object()));
  open->performClickWithData(std::nullopt);
  open->reportTouchEventWithData(std::nullopt);
  EXPECT_FALSE(open->recordImpressionWithData(std::nullopt));
  env.runUntilIdle();
  const auto messages = capture.messages();
  auto count = [&](const std::string& text) {
    return std::count_if(messages.begin(), messages.end(),
                         [&](const std::string& m) { return m.find(text) != std::string::npos; });
  };
  EXPECT_EQ(count(kNoOp), 3);
  EXPECT_EQ(count("clickData cannot be nil."), 1);
  EXPECT_EQ(count("touchData cannot be nil."), 1);
  EXPECT_EQ(count("impressionData cannot be nil."), 1);
  EXPECT_TRUE(nativetest::nativeCalls(*slot).empty());

  // Allowed: the click names its asset; the impression is sent once, answered yes twice.
  open->performClickWithData(Json{{"click_signal", {{"asset_id", "2004"}}}});
  EXPECT_TRUE(open->recordImpressionWithData(Json{{"s", 1}}));
  EXPECT_TRUE(open->recordImpressionWithData(Json{{"s", 2}}));
  env.runUntilIdle();
  const auto calls = nativetest::nativeCalls(*slot);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_NE(calls[0].find("\"provided_signals\":{\"click_signal\":{\"asset_id\":\"2004\"}}"), std::string::npos);
  EXPECT_NE(calls[0].find("\"asset\":\"2004\""), std::string::npos);
  EXPECT_NE(calls[1].find("handleImpressionPing({\"provided_signals\":{\"s\":1}"), std::string::npos);
}

TEST_F(ZUMNativeAdTest, TouchesAreRoundedAndNeedAllThreeValues) {
  // The click signal reflects every touch reported: compare the ad's report with a direct one.
  auto signalAfter = [](const std::function<void()>& report) {
    ZUMSignalsResetForTesting();
    ZUMSignalsInitialize("v-test");
    report();
    std::string signal;
    EXPECT_TRUE(ZUMSignalsClickSignal("ad-1", signal));
    return signal;
  };
  auto ad = TestAd::create(Json{{"allow_pub_event_reporting", {{"touch_reporting", true}}}});
  const auto rounded = signalAfter([&] {
    ad->reportTouchEventWithData(Json{{"x", 10.6}, {"y", 20.4}, {"duration_ms", 99.5}});
  });
  EXPECT_EQ(rounded, signalAfter([] { ZUMSignalsReportTouch(11, 20, 100); }));
  EXPECT_NE(rounded, signalAfter([] { ZUMSignalsReportTouch(10, 20, 99); }));
  const auto none = signalAfter([] {});
  EXPECT_EQ(none, signalAfter([&] { ad->reportTouchEventWithData(Json{{"x", 1}, {"y", 2}}); }));
  EXPECT_EQ(none, signalAfter([&] { ad->reportTouchEventWithData(Json{{"x", "1"}, {"y", 2}, {"duration_ms", 3}}); }));
  // Out of range values are clamped, never undefined.
  EXPECT_EQ(signalAfter([&] {
              ad->reportTouchEventWithData(Json{{"x", 1e12}, {"y", -1e12}, {"duration_ms", 0}});
            }),
            signalAfter([] { ZUMSignalsReportTouch(2147483647, -2147483647 - 1, 0); }));
  ZUMSignalsResetForTesting();
}

TEST_F(ZUMNativeAdTest, DebugPingOnlyWithURLDebugModeAndData) {
  hosts.server.route("/debug", {.status = 200, .body = ""});
  const std::string url = "https://track.example/debug";
  const struct {
    bool withURL, debugMode, withData;
    std::size_t pings;
  } rows[] = {{true, true, true, 1}, {false, true, true, 0}, {true, false, true, 0}, {true, true, false, 0}};
  std::size_t expected = 0;
  for (const auto& row : rows) {
    if (row.withURL) {
      setDefault(url, "/vantor/ads/debug_signal_data_url");
    } else {
      platform::UserDefaults::standard().removeObjectForKey("/vantor/ads/debug_signal_data_url");
    }
    setDefault("device-9", "/vantor/ads/debug_device_identifier");
    ZUMApplication::sharedInstance()->setDebugModeEnabled(row.debugMode);
    Json dictionary{{"template_id", 1}};
    if (row.withData) dictionary["debug_signals"] = "data-7";
    auto ad = TestAd::create(dictionary);
    ad->recordImpressionWithEnvironment(Json::object());
    expected += row.pings;
    env.runUntil([&] { return hosts.hits("/debug") >= expected; }, std::chrono::milliseconds(row.pings ? 5000 : 200));
    EXPECT_EQ(hosts.hits("/debug"), expected) << row.withURL << row.debugMode << row.withData;
  }
  const auto sent = hosts.server.requests("/debug").front();
  ASSERT_TRUE(sent.query);
  EXPECT_NE(sent.query->find("linkedDeviceId=device-9"), std::string::npos);
  EXPECT_NE(sent.query->find("debugData=data-7"), std::string::npos);
}

TEST_F(ZUMNativeAdTest, StatisticsAreKeptPerFormatAndBounded) {
  auto statistics = ZUMApplication::sharedInstance()->nativeAdStatistics();
  const struct {
    Json stored;
    std::size_t kept;
  } rows[] = {{nullptr, 10}, {"25", 25}, {12, 12}, {"many", 10}};
  int round = 0;
  for (const auto& row : rows) {
    const std::string key = std::to_string(++round);
    if (!row.stored.is_null()) setDefault(row.stored, kZUMNativeAdStatisticsMaxCountKey);
    for (int i = 0; i < 30; ++i) {
      auto ad = TestAd::create(Json::object());
      ad->templateID = key;
      ad->reportIsMediaContentRendered(true);  // no ad unit yet: no record
      EXPECT_EQ(ad->statistics(), Json::object());
      ad->setAdUnitID(i % 2 ? "unit-A" : "unit-B");
      ad->reportIsMediaContentRendered(i % 3 == 0);
    }
    EXPECT_EQ(statistics->objectForKey(key)->size(), row.kept) << row.stored.dump();
  }
  auto ad = TestAd::create(Json::object());
  ad->setAdUnitID("unit-A");
  ad->reportIsMediaContentRendered(false);
  EXPECT_EQ(ad->statistics()["template_id"], "1");
  EXPECT_EQ(ad->statistics()["ad_unit_id"], "unit-A");
  EXPECT_EQ(ad->statistics()["uses_media_view"], 0);
  ad->reportIsMediaContentRendered(true);
  EXPECT_EQ(ad->statistics()["uses_media_view"], 1);
  EXPECT_TRUE(ad->statistics()["timestamp_ms"].is_number_float());

  auto forA = ZUMNativeAdStatisticsForAdUnitID("unit-A", "4");
  ASSERT_TRUE(forA);
  EXPECT_EQ(forA->size(), 5u);
  for (const auto& entry : *forA) EXPECT_EQ(entry["ad_unit_id"], "unit-A");
  EXPECT_EQ(ZUMNativeAdStatisticsForAdUnitID("unit-C", "4"), std::nullopt);
  EXPECT_EQ(ZUMNativeAdStatisticsForAdUnitID("unit-A", "9"), std::nullopt);
}

// A screen the page opened for one ad's click stays that ad's while other clicks are
// answered, even more than the page may keep waiting: its dismissal goes to the ad whose
// click presented it, and no ad hears the screen of a call forgotten or of an ad gone.
TEST_F(ZUMNativeAdTest, TheScreensOfASharedPageAreTheAdsWhoseClicksPresentedThem) {
  const struct {
    const char* name;
    // "<ad> click", "open" (the page opens a browser now), "close", "<ad> release",
    // "<ad> clicks32" (32 clicks in one turn), "wait" (the page answers all, screens come up)
    std::vector<std::string> steps;
    Log first, second;
  } rows[] = {
      {"another ad's click answered while the screen is up",
       {"0 click", "wait", "open", "wait", "1 click", "wait", "close"},
       {"1:click", "1:present", "1:dismiss", "1:dismissed"},
       {"2:click"}},
      // The presenter is kept: the oldest of the other ad's calls is forgotten instead.
      {"32 clicks of another ad while the screen is up",
       {"0 click", "wait", "open", "wait", "1 clicks32", "wait", "close"},
       {"1:click", "1:present", "1:dismiss", "1:dismissed"},
       Log(31, "2:click")},
      {"screen of a forgotten call opened before later calls' answers",
       {"0 click", "open", "1 clicks32", "wait", "close"},
       {},
       Log(32, "2:click")},
      {"two screens in a row",
       {"0 click", "wait", "open", "wait", "close", "1 click", "wait", "open", "wait", "close"},
       {"1:click", "1:present", "1:dismiss", "1:dismissed"},
       {"2:click", "2:present", "2:dismiss", "2:dismissed"}},
      {"presenter released while its screen is up",
       {"0 click", "wait", "open", "wait", "0 release", "1 click", "wait", "close"},
       {"1:click", "1:present"},
       {"2:click"}},
      {"presenter released before the screen opens", {"0 click", "0 release", "open", "wait", "close"}, {}, {}},
  };
  auto dictionary = adDictionary();
  dictionary["tracking_urls_and_actions"].erase("click_actions");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto slot = nativetest::loadedPageSlot(env);
    std::vector<std::shared_ptr<TestAd>> ads;
    std::vector<std::shared_ptr<AdDelegate>> delegates;
    for (const std::string name : {"1:", "2:"}) {
      ads.push_back(TestAd::create(dictionary));
      delegates.push_back(std::make_shared<AdDelegate>(name));
      ads.back()->setDelegate(delegates.back());
      ads.back()->setSlot(slot);
      ads.back()->setRootViewController(host);
    }
    for (const auto& step : row.steps) {
      const std::size_t i = step[0] == '1' ? 1 : 0;
      if (step == "wait") {
        env.advance(1s);
      } else if (step == "open") {
        nativetest::adViewOf(*slot)->executeJavaScriptAsynchronouslyFromString(
            "send('open', {a: 'browser', u: 'https://landing.example/page'});");
      } else if (step == "close") {
        auto browser = std::dynamic_pointer_cast<ZUMBrowserViewController>(host->presentedViewController());
        ASSERT_TRUE(browser);
        browser->doneButtonPressed();
        env.advance(1s);
      } else if (step.ends_with("release")) {
        ads[i] = nullptr;
      } else if (step.ends_with("clicks32")) {
        for (int n = 0; n < 32; ++n) ads[i]->performClickOnView(nullptr, "headline", Json::object());
      } else {
        ads[i]->performClickOnView(nullptr, "headline", Json::object());
      }
    }
    env.advance(1s);
    const auto joined = [](const Log& log) {
      std::string all;
      for (const auto& entry : log) all += entry + " ";
      return all;
    };
    EXPECT_EQ(joined(delegates[0]->log), joined(row.first));
    EXPECT_EQ(joined(delegates[1]->log), joined(row.second));
    EXPECT_EQ(host->presentedViewController(), nullptr);
  }
}

}  // namespace
