#include "sdk/request/ZUMAd.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/network/ZUMPinger.h"
#include "sdk/network/ZUMSafeBrowsingReporter.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "sdk/request/ZUMAdFormats.h"
#include "sdk/request/ZUMAdTelemetry.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

platform::URL url(const std::string& text) { return *platform::URL::fromString(text); }

TEST(ZUMAdDictionaryTest, WhereTheAdComesFrom) {
  auto html = ZUMAd::createWithDictionary(
      Json{{"ad_html", "<b>"}, {"ad_base_url", "https://a.example/"}, {"ad_json", "{}"}, {"ad_url", "https://u/"}});
  EXPECT_EQ(html->adHTML(), "<b>") << "ad_json is ignored when there is HTML";
  EXPECT_EQ(html->adBaseURL()->absoluteString(), "https://a.example/");
  EXPECT_FALSE(html->adURL());

  auto badBase =
      ZUMAd::createWithDictionary(Json{{"ad_html", "<b>"}, {"ad_base_url", "::"}, {"ad_url", "https://a.example/ad"}});
  EXPECT_FALSE(badBase->adHTML());
  EXPECT_EQ(badBase->adURL()->absoluteString(), "https://a.example/ad");

  auto json = ZUMAd::createWithDictionary(Json{{"ad_html", ""},
                                               {"ad_json", {{"k", "v"}}},
                                               {"ad_is_javascript", 1},
                                               {"ad_url", "https://a.example/ad"},
                                               {"brv_query_id", "q"}});
  EXPECT_EQ(json->adHTML(), R"({"k":"v"})");
  EXPECT_EQ(json->adURL()->absoluteString(), "https://a.example/ad");
  EXPECT_TRUE(json->hasAdNetworkJavaScript());
  EXPECT_EQ(json->BRVQueryID(), "q");
  // A base URL of the wrong kind counts as absent, like an unreadable one.
  EXPECT_FALSE(
      ZUMAd::createWithDictionary(Json{{"ad_html", "<p/>"}, {"ad_base_url", 5}, {"ad_url", "https://a.example/"}})
          ->adHTML());
}

TEST(ZUMAdDictionaryTest, SizesOrientationsAndFlags) {
  auto ad = ZUMAd::createWithDictionary(Json{{"ad_size", "320x50"},
                                             {"orientation", "portrait"},
                                             {"use_displayed_impression", "0"},
                                             {"custom_close_blocked", "true"},
                                             {"debug_dialog", "creative 7"},
                                             {"active_view", {{"ts", 1}}},
                                             {"safe_browsing", {{"protection_enabled", 1}}},
                                             {"_native_interstitial_size_width", 300}});
  EXPECT_EQ(ad->size().width, 320);
  EXPECT_EQ(ad->size().height, 50) << "one native size alone does not override";
  EXPECT_EQ(ad->supportedOrientations(), 6u);
  EXPECT_EQ(ad->impressionDefinition(), 0);
  EXPECT_TRUE(ad->customCloseBlocked());
  EXPECT_EQ(ad->debugDialogString(), "creative 7");
  EXPECT_EQ(ad->activeViewConfigurations(), (Json{{"ts", 1}}));
  ASSERT_TRUE(ad->safeBrowsingReporter());
  EXPECT_TRUE(ad->safeBrowsingReporter()->autoClickProtection());

  auto native = ZUMAd::createWithDictionary(Json{{"ad_size", "320x50"},
                                                 {"orientation", "sideways"},
                                                 {"use_displayed_impression", 1},
                                                 {"_native_interstitial_size_width", 300},
                                                 {"_native_interstitial_size_height", "250"}});
  EXPECT_EQ(native->size().width, 300);
  EXPECT_EQ(native->size().height, 250);
  EXPECT_EQ(native->supportedOrientations(), 30u);
  EXPECT_EQ(native->impressionDefinition(), 1);
  EXPECT_EQ(ZUMAd::createWithDictionary(Json::object())->size().width, 0);

  EXPECT_DOUBLE_EQ(ZUMBannerAd::createWithDictionary(Json{{"refresh_rate", "30"}})->reloadInterval(), 0.0);
  EXPECT_DOUBLE_EQ(ZUMBannerAd::createWithDictionary(Json{{"refresh_rate", 30}})->reloadInterval(), 30.0);
}

// An inlined ad's request and redirects arrive typed beside its dictionary: the request
// replaces the ad's, the redirects follow the ones it has.
TEST(ZUMAdDictionaryTest, InlinedAdsKeepTheirRequestAndRedirects) {
  auto hop = [](const std::string& to) {
    return ZUMURLConnectionRedirect::create(platform::HTTPURLResponse(url("https://a.example/base"), 399, {}),
                                            platform::URLRequest(url(to)));
  };
  ZUMAd::NativeFields native{platform::URLRequest(url("https://a.example/original")),
                             {hop("https://a.example/1"), nullptr, hop("https://a.example/2")}};
  auto ad = ZUMBannerAd::createWithDictionary(Json{{"refresh_rate", 30}}, native);
  ASSERT_TRUE(ad->originalRequest());
  EXPECT_EQ(ad->originalRequest()->url()->absoluteString(), "https://a.example/original");
  ASSERT_EQ(ad->redirects().size(), 2u);
  EXPECT_EQ(ad->redirects()[1]->request().url()->absoluteString(), "https://a.example/2");
  EXPECT_DOUBLE_EQ(ad->reloadInterval(), 30.0);
  EXPECT_FALSE(ZUMInterstitialAd::createWithDictionary(Json::object(), {})->originalRequest());
}

TEST(ZUMAdDictionaryTest, ValuesOfTheWrongKindCountAsAbsent) {
  struct Formats : ZUMAdFormats {
    std::shared_ptr<ZUMAdReward> makeReward(const Json& dictionary) override {
      seen.push_back(dictionary);
      return nullptr;
    }
    std::shared_ptr<ZUMAdReward> makeReward(const std::optional<std::string>&,
                                            const std::optional<platform::Decimal>&) override {
      return nullptr;
    }
    std::vector<Json> seen;
  };
  auto formats = std::make_shared<Formats>();
  ZUMAdFormats::setShared(formats);
  auto& rewardsSeen = formats->seen;
  auto ad =
      ZUMAd::createWithDictionary(Json{{"click_urls", {"https://a.example/c", 7, nullptr, "", "https://a.example/c"}},
                                       {"impression_urls", "https://a.example/i"},
                                       {"manual_impression_urls", {{"x", 1}}},
                                       {"active_view", "{\"ts\":1}"},
                                       {"debug_dialog", 12},
                                       {"brv_query_id", Json::array()},
                                       {"custom_close_blocked", Json::object()},
                                       {"safe_browsing", "on"},
                                       {"ad_size", 320},
                                       {"rewards", {"coins", {{"rb_type", "coins"}}}}});
  EXPECT_EQ(ad->clickURLs().size(), 1u) << "duplicates collapse, non-strings are skipped";
  EXPECT_TRUE(ad->impressionURLs().empty());
  EXPECT_TRUE(ad->manualImpressionURLs().empty());
  EXPECT_FALSE(ad->activeViewConfigurations());
  EXPECT_FALSE(ad->debugDialogString());
  EXPECT_FALSE(ad->BRVQueryID());
  EXPECT_FALSE(ad->customCloseBlocked());
  EXPECT_FALSE(ad->safeBrowsingReporter());
  EXPECT_TRUE(rewardsSeen.empty()) << "only a dictionary as the first element makes a reward";

  ZUMAd::createWithDictionary(Json{{"rewards", Json::array()}});
  ZUMAd::createWithDictionary(Json{{"rewards", {{{"rb_type", "coins"}, {"rb_amount", 10}}, "more"}}});
  ASSERT_EQ(rewardsSeen.size(), 1u);
  EXPECT_EQ(rewardsSeen[0], (Json{{"rb_type", "coins"}, {"rb_amount", 10}}));
  ZUMAdFormats::setShared(nullptr);

  for (const Json& hostile : {Json(nullptr), Json(3), Json("ad"), Json::array({1, 2})}) {
    EXPECT_EQ(ZUMBannerAd::createWithDictionary(hostile)->supportedOrientations(), 30u);
  }
}

// Pings reach the loopback server, which records them.
class ZUMAdPingTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::URLLoading::mapHostForTesting("ads.vantor.test", "127.0.0.1", server.port());
    env.runUntilIdle();
  }
  void TearDown() override {
    ZUMAdTelemetry::setShared(nullptr);
    ZUMApplication::sharedInstance()->setDebugModeEnabled(false);
    platform::URLLoading::removeHostMappingsForTesting();
  }
  // Lets every ping on its way arrive.
  void settle() {
    ASSERT_TRUE(env.runUntil([] {
      return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0 &&
             ZUMPinger::sharedInstance()->pingsInFlight() == 0;
    }));
  }
  std::multiset<std::string> queries(const std::string& path) {
    std::multiset<std::string> result;
    for (const auto& request : server.requests(path)) result.insert(request.query.value_or(""));
    return result;
  }
  testenv::LoopbackServer server;
};

TEST_F(ZUMAdPingTest, ImpressionsOnceClicksEveryTime) {
  auto ad = ZUMAd::createWithDictionary(
      Json{{"click_urls", {"https://ads.vantor.test/c?n=1", "https://ads.vantor.test/c?n=1"}},
           {"impression_urls", {"https://ads.vantor.test/i?n=1"}},
           {"manual_impression_urls", {"https://ads.vantor.test/m?n=1"}}});
  ad->addImpressionURLsFromArray({url("https://ads.vantor.test/i?n=2"), url("https://ads.vantor.test/i?n=1")});
  ad->pingImpressionURLs();
  ad->pingImpressionURLs();
  ad->pingClickURLs();
  ad->pingClickURLs();
  ad->pingManualImpressionURLs();
  ad->pingManualImpressionURLs();
  settle();
  EXPECT_EQ(queries("/i"), (std::multiset<std::string>{"n=1", "n=2"}));
  EXPECT_EQ(queries("/c"), (std::multiset<std::string>{"n=1", "n=1"}));
  EXPECT_EQ(queries("/m"), (std::multiset<std::string>{"n=1"}));
}

TEST_F(ZUMAdPingTest, TheAnalyticsBridgeStampsClicksAndImpressions) {
  struct Bridge : ZUMAdTelemetry {
    std::vector<platform::URL> trackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                         const std::string& event) override {
      events.push_back(event);
      std::vector<platform::URL> stamped;
      for (const auto& each : urls) stamped.push_back(url(each.absoluteString() + "&ev=" + event));
      return stamped;
    }
    void startContentHashing() override {}
    void stopContentHashing() override {}
    std::vector<std::string> events;
  };
  auto bridge = std::make_shared<Bridge>();
  ZUMAdTelemetry::setShared(bridge);
  auto& events = bridge->events;
  auto ad = ZUMAd::create();
  ad->addClickURLsFromArray({url("https://ads.vantor.test/c?n=1")});
  ad->addImpressionURLsFromArray({url("https://ads.vantor.test/i?n=1")});
  ad->addManualImpressionURLsFromArray({url("https://ads.vantor.test/m?n=1")});
  ad->pingClickURLs();
  ad->pingImpressionURLs();
  ad->pingManualImpressionURLs();
  settle();
  EXPECT_EQ(events, (std::vector<std::string>{"_ac", "_ai"}));
  EXPECT_EQ(queries("/c"), (std::multiset<std::string>{"n=1&ev=_ac"}));
  EXPECT_EQ(queries("/i"), (std::multiset<std::string>{"n=1&ev=_ai"}));
  EXPECT_EQ(queries("/m"), (std::multiset<std::string>{"n=1"})) << "manual impressions skip the bridge";
}

TEST_F(ZUMAdPingTest, TheDebugSignalIsSentAtMostOnceAndOnlyInDebugMode) {
  auto ad = ZUMAd::create();
  ad->setAdUnitID("unit/1");
  ad->setDebugSignalInformation("data 1");
  ad->pingDebugSignal();  // no URL configured
  EXPECT_TRUE(platform::UserDefaults::standard().setObject("https://ads.vantor.test/debug?v=1",
                                                           "/vantor/ads/debug_signal_data_url"));
  ad->pingDebugSignal();  // debug mode off
  settle();
  EXPECT_EQ(server.requestCount(), 0u);

  ZUMApplication::sharedInstance()->setDebugModeEnabled(true);
  EXPECT_TRUE(platform::UserDefaults::standard().setObject("device-9", "/vantor/ads/debug_device_identifier"));
  ad->pingDebugSignal();
  ad->pingDebugSignal();
  settle();
  EXPECT_EQ(queries("/debug"),
            (std::multiset<std::string>{"v=1&linkedDeviceId=device-9&adSlotPath=unit%2F1&debugData=data%201"}));

  auto silent = ZUMAd::create();
  silent->pingDebugSignal();  // no debug-signal information
  settle();
  EXPECT_EQ(server.requestCount(), 1u);
}

}  // namespace
