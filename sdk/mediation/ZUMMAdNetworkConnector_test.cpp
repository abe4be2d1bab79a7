// The banner, interstitial and native connectors between a scripted waterfall over a
// real slot and scripted adapters: what they answer about the slot's request and ad,
// how they ask for ads, what they relay (on the main thread, from their own adapter,
// while the relation lasts) and the pings that reach the loopback server.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMMediatedNativeAd.h"
#include "ZUMMobileAds.h"
#include "ZUMMultipleAdsAdLoaderOptions.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMSlotStatistics.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorInterstitial.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorTestSupport.h"
#include "sdk/mediation/ZUMMediatedBannerAd.h"
#include "sdk/native/ZUMMediatedNativeAdImpl.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMAdTelemetry.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMFullScreenNotifications.h"
#include "sdk/request/ZUMLoadable.h"
#include "sdk/request/ZUMLoadableTestSupport.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;
using namespace connectortest;
using Connector = ZUMMAdNetworkConnectorImpl;

constexpr const char* kPings = "https://ads.adnetwork.example";

struct NetworkAd : ZUMMediatedNativeAd {
  std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() override { return nullptr; }
  std::optional<Json> extraAssets() const override { return Json::object(); }
};

// The analytics step: which events the pings pass, URLs as given.
struct Analytics : ZUMAdTelemetry {
  std::vector<platform::URL> trackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                       const std::string& eventName) override {
    events.push_back(eventName);
    for (const auto& url : urls) queries.push_back(url.query().value_or(""));
    return urls;
  }
  void startContentHashing() override {}
  void stopContentHashing() override {}
  Log events;
  Log queries;  // in the order the pings were made (they may arrive in any)
};

class ZUMMAdNetworkConnectorTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMMobileAds::load();
    platform::URLLoading::mapHostForTesting("mediation.adnetwork.example", "127.0.0.1", server.port());
    platform::URLLoading::mapHostForTesting("ads.adnetwork.example", "127.0.0.1", server.port());
    owner->board = waterfall->board = board;
    waterfall->theSlot = ZUMSlot::create({0, 0, 320, 50});
    waterfall->theSlot->setAdUnitID("unit-C");
    waterfall->theSlot->setSlotDelegate(owner);
    waterfall->theSlot->setAdEventDelegate(owner);
  }
  void TearDown() override {
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
    platform::URLLoading::removeHostMappingsForTesting();
  }
  ZUMSlot& slot() { return *waterfall->theSlot; }
  // The slot loads `request` (its owner ends the load at once; the request stays).
  void load(const std::shared_ptr<ZUMRequest>& request) {
    slot().loadRequest(request);
    env.runUntilIdle();
  }
  template <class C = Connector>
  std::shared_ptr<C> make(const Json& entryJSON, Json response = Json::object()) {
    response["ad_networks"] = Json::array({entryJSON});
    config = ZUMMConfig::create("unit-C", response, nullptr);
    EXPECT_TRUE(config) << response.dump();
    auto entry = config->adNetworkConfigs().front();
    std::shared_ptr<Connector> connector;
    if constexpr (std::is_same_v<C, ZUMMAdNetworkConnectorBanner>)
      connector = ZUMMAdNetworkConnectorBanner::create(config, entry);
    if constexpr (std::is_same_v<C, ZUMMAdNetworkConnectorInterstitial>)
      connector = ZUMMAdNetworkConnectorInterstitial::create(config, entry);
    if constexpr (std::is_same_v<C, ZUMMAdNetworkConnectorNativeAd>)
      connector = ZUMMAdNetworkConnectorNativeAd::create(config, entry);
    if constexpr (std::is_same_v<C, Connector>) connector = Connector::create(config, entry);
    connector->setUpAdapter();
    connector->setAdManager(waterfall);
    return std::static_pointer_cast<C>(connector);
  }
  std::shared_ptr<Adapter> adapterOf(const std::shared_ptr<AdapterClass>& c) { return c->adapters->back(); }
  // The queries of `path` once `count` have come (and no more after the pings settle).
  std::vector<std::string> queries(const std::string& path, std::size_t count) {
    EXPECT_TRUE(env.runUntil([&] { return server.requests(path).size() >= count; })) << path;
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
    std::vector<std::string> result;
    for (const auto& request : server.requests(path)) result.push_back(request.query.value_or(""));
    return result;
  }

  testenv::LoopbackServer server;
  std::shared_ptr<Board> board = std::make_shared<Board>();
  std::shared_ptr<AdapterClass> classA = registerAdapter("ConnA", board);
  std::shared_ptr<Owner> owner = std::make_shared<Owner>();
  std::shared_ptr<Waterfall> waterfall = std::make_shared<Waterfall>();
  std::shared_ptr<const ZUMMConfig> config;
};

TEST_F(ZUMMAdNetworkConnectorTest, LocationAnswersFollowTheEntrysSwitchAndThePrecisionOfTheRequestsLocation) {
  auto precise = ZUMRequest::create();
  precise->setLocationWithLatitude(12.5, -3.25, 40);
  auto described = ZUMRequest::create();
  described->setLocationWithDescription("Harbour town");
  const struct {
    const char* name;
    Json data;
    std::shared_ptr<ZUMRequest> request;
    Json credentials;
    bool hasLocation;
    double latitude, longitude, accuracy;
    std::optional<std::string> description;
  } rows[] = {
      {"shared",
       {{"pentwick_share_location", "1"}, {"pubid", "p"}},
       precise,
       {{"pubid", "p"}},
       true,
       12.5,
       -3.25,
       40,
       std::nullopt},
      {"not shared",
       {{"pentwick_share_location", "0"}, {"pubid", "p"}},
       precise,
       {{"pubid", "p"}},
       false,
       0,
       0,
       0,
       std::nullopt},
      {"no switch", {{"pubid", "p"}}, precise, {{"pubid", "p"}}, false, 0, 0, 0, std::nullopt},
      {"switch not text", {{"pentwick_share_location", 1}}, precise, Json::object(), false, 0, 0, 0, std::nullopt},
      {"described only", {{"pentwick_share_location", "1"}}, described, Json::object(), false, 0, 0, 0, "Harbour town"},
      {"no data", nullptr, precise, Json::object(), false, 0, 0, 0, std::nullopt},
      {"described, not shared",
       {{"pentwick_share_location", "0"}},
       described,
       Json::object(),
       false,
       0,
       0,
       0,
       std::nullopt},
      {"no location",
       {{"pentwick_share_location", "1"}},
       ZUMRequest::create(),
       Json::object(),
       false,
       0,
       0,
       0,
       std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    load(row.request);
    Json entry = {{"id", "n1"}, {"adapters", {"ConnA"}}};
    if (!row.data.is_null()) entry["data"] = row.data;
    auto connector = make(entry);
    EXPECT_EQ(connector->credentials(), row.credentials);
    EXPECT_EQ(connector->publisherId(),
              row.data.is_object() && row.data.contains("pubid") ? std::optional<std::string>("p") : std::nullopt);
    EXPECT_EQ(connector->userHasLocation(), row.hasLocation);
    EXPECT_EQ(connector->userLatitude(), row.latitude);
    EXPECT_EQ(connector->userLongitude(), row.longitude);
    EXPECT_EQ(connector->userLocationAccuracyInMeters(), row.accuracy);
    EXPECT_EQ(connector->userLocationDescription(), row.description);
  }
}

TEST_F(ZUMMAdNetworkConnectorTest, RequestAnswersComeFromTheSlotsLoadingRequestAndTheResponse) {
  registerAdapter("ConnNoExtras", board, false);
  auto request = ZUMRequest::create();
  request->setGender(2);
  request->setBirthday(86400.0 * 365);
  request->setKeywords(Json{"boats", 7, "kites"});
  request->setRequestAgent("agent-1");
  request->tagForChildDirectedTreatment(true);
  request->setTestDevices(Json{kZUMSimulatorID, ZUMDevice::sharedInstance()->deviceIdentifier()});
  auto extras = ZUMExtras::create();
  request->registerAdNetworkExtras(extras);
  load(request);
  auto connector = make({{"id", "n1"}, {"adapters", {"Missing", "ConnA"}}, {"extras", {{"e", 1}}}});
  config = ZUMMConfig::create("unit-C", {{"ad_networks", {{{"id", "a"}, {"adapters", {"X", "Y"}}}, {{"id", "b"}}}}},
                              nullptr);
  auto twoEntries = Connector::create(config, config->adNetworkConfigs().front());
  twoEntries->setAdManager(waterfall);

  EXPECT_EQ(connector->networkExtras(), extras);
  EXPECT_EQ(connector->userGender(), 2);
  EXPECT_EQ(connector->userBirthday(), 86400.0 * 365);
  EXPECT_EQ(connector->userKeywords(), (std::vector<std::string>{"boats", "kites"}));
  EXPECT_EQ(connector->userRequestAgent(), "agent-1");
  EXPECT_EQ(connector->childDirectedTreatment(), true);
  EXPECT_TRUE(connector->testMode());
  EXPECT_EQ(connector->extras(), (Json{{"e", 1}}));
  EXPECT_EQ(connector->currentAdapterName(), "ConnA");
  EXPECT_EQ(connector->adapterVersion(), "adapter: ConnA, version: 4.5");
  EXPECT_EQ(connector->adapterNames(), (std::vector<std::vector<std::string>>{{"Missing", "ConnA"}}));
  EXPECT_EQ(twoEntries->adapterNames(), (std::vector<std::vector<std::string>>{{"X", "Y"}, {}}));
  EXPECT_EQ(twoEntries->adapterVersion(), "adapter: , version: unknown");
  EXPECT_EQ(twoEntries->currentAdapterName(), "");

  auto mobileAds = ZUMMobileAds::sharedInstance();
  mobileAds->setApplicationVolume(5);
  mobileAds->setApplicationMuted(true);
  EXPECT_EQ(connector->adVolume(), 1.0f);
  EXPECT_TRUE(connector->adMuted());
  mobileAds->setApplicationVolume(0.25f);
  mobileAds->setApplicationMuted(false);
  EXPECT_EQ(connector->adVolume(), 0.25f);
  EXPECT_FALSE(connector->adMuted());

  platform::SystemLog::Capture capture(true);
  auto noExtras = make({{"id", "n2"}, {"adapters", {"ConnNoExtras"}}});
  EXPECT_FALSE(noExtras->networkExtras());
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains(
      "Adapter class ConnNoExtras does not respond to networkExtrasClass. Unable to retrieve network extras."));
  waterfall->theSlot.reset();  // without a slot nothing is known of the request
  EXPECT_FALSE(connector->testMode());
  EXPECT_FALSE(connector->networkExtras());
}

TEST_F(ZUMMAdNetworkConnectorTest, TheInlinedAdCarriesTheSlotAdsNumbersAsTextAndASyntheticRedirect) {
  auto ad = ZUMAd::create();
  ad->setSize({320, 480.5});
  ad->setCroppedContentThreshold(12.25);
  ad->setAdBaseURL(platform::URL::fromString("https://ads.example/base"));
  ad->setResponseHeaders(Json{{"x-qyra-ad-size", "320x480"}});
  ad->setOriginalRequest(platform::URLRequest(*platform::URL::fromString("https://ads.example/original")));
  ad->addRedirect(ZUMURLConnectionRedirect::create(
      platform::HTTPURLResponse(*platform::URL::fromString("https://ads.example/a"), 302, {}),
      platform::URLRequest(*platform::URL::fromString("https://ads.example/b"))));
  slot().setAd(ad);

  EXPECT_FALSE(make({{"id", "n1"}, {"adapters", {"ConnA"}}})->inlineAd());
  EXPECT_TRUE(make({{"id", "n1"}, {"adapters", {"ConnA"}}})->inlineAdNativeFields().requestRedirects.empty());
  auto connector =
      make({{"id", "n1"}, {"adapters", {"ConnA"}}, {"ad", {{"ad_base_url", "https://ads.example/inlined"}, {"k", 1}}}});
  EXPECT_EQ(connector->inlineAd(), (Json{{"ad_base_url", "https://ads.example/inlined"},
                                         {"k", 1},
                                         {"_native_interstitial_size_width", "320"},
                                         {"_native_interstitial_size_height", "480.5"},
                                         {"_native_cropped_content_threshold", "12.25"}}));
  const auto fields = connector->inlineAdNativeFields();
  ASSERT_TRUE(fields.originalRequest);
  EXPECT_EQ(fields.originalRequest->url()->absoluteString(), "https://ads.example/original");
  ASSERT_EQ(fields.requestRedirects.size(), 2u);
  EXPECT_EQ(fields.requestRedirects[0], ad->redirects()[0]);
  const auto& synthetic = *fields.requestRedirects[1];
  EXPECT_EQ(synthetic.response().statusCode(), 399);
  EXPECT_EQ(synthetic.response().url().absoluteString(), "https://ads.example/base");
  EXPECT_EQ(synthetic.response().valueForHTTPHeaderField("x-qyra-ad-size"), "320x480");
  EXPECT_FALSE(synthetic.response().httpVersion());
  EXPECT_EQ(synthetic.request().url()->absoluteString(), "https://ads.example/inlined");
  EXPECT_EQ(synthetic.request().valueForHTTPHeaderField("x-qyra-annotation-inlined"), "inlined in mediation response");
  EXPECT_EQ(ad->redirects().size(), 1u);  // the slot's ad keeps its own list

  // Numbers that are not finite stay out of the text.
  ad->setSize({std::numeric_limits<double>::infinity(), 50});
  ad->setCroppedContentThreshold(std::nan(""));
  const Json inlined = *connector->inlineAd();
  EXPECT_FALSE(inlined.contains("_native_interstitial_size_width"));
  EXPECT_EQ(inlined["_native_interstitial_size_height"], "50");
  EXPECT_FALSE(inlined.contains("_native_cropped_content_threshold"));
}

TEST_F(ZUMMAdNetworkConnectorTest, TheBannerConnectorAsksForTheEntrysSizeAndFailsWhatItCannotAsk) {
  const struct {
    const char* name;
    std::shared_ptr<ZUMAdType> type;
    Json slotSizes;  // null: none
    Json defaultSlotSize;
    Log heard;
  } rows[] = {
      {"interstitial",
       ZUMAdType::createForInterstitial(),
       nullptr,
       nullptr,
       {"failed 11 Connector ZUMMAdNetworkConnectorBanner doesn't support interstitial"}},
      {"entry size first", ZUMAdType::create(kZUMAdSizeLeaderboard), {"320x50"}, "300x250", {"ConnA banner 320x50"}},
      {"zero entry size", ZUMAdType::create(kZUMAdSizeLeaderboard), {"0x0"}, "300x250", {"ConnA banner 300x250"}},
      {"the type's", ZUMAdType::create(kZUMAdSizeBanner), nullptr, nullptr, {"ConnA banner 320x50"}},
      {"invalid",
       ZUMAdType::create(kZUMAdSizeBanner),
       {"200000x50"},
       nullptr,
       {"failed 11 Banner adType requested is invalid."}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    board->log.clear();
    Json entry = {{"id", "n1"}, {"adapters", {"ConnA"}}};
    if (!row.slotSizes.is_null()) entry["slot_sizes"] = row.slotSizes;
    Json response = Json::object();
    if (!row.defaultSlotSize.is_null()) response["default_slot_sz"] = row.defaultSlotSize;
    auto connector = make<ZUMMAdNetworkConnectorBanner>(entry, response);
    connector->getAdFromAdapterWithType(row.type);
    EXPECT_EQ(board->log, row.heard);
  }
}

TEST_F(ZUMMAdNetworkConnectorTest, BannerReportsReachTheWaterfallAndTheSlotOnTheMainThreadOnlyFromItsAdapter) {
  auto connector = make<ZUMMAdNetworkConnectorBanner>({{"id", "n1"}, {"adapters", {"ConnA"}}});
  auto adapter = adapterOf(classA);
  auto view = platform::View::create();
  auto global = platform::DispatchQueue::global();
  global->async([&] { adapter->report([&](auto& c, auto& a) { c.adapterDidReceiveAdView(a, view); }); });
  global->async([&] { adapter->report([&](auto& c, auto& a) { c.adapterDidReceiveAdView(a, view); }); });
  global->async([&] { adapter->report([](auto& c, auto& a) { c.adapterDidFailAd(a, ZUMMakeErrorWithCode(1)); }); });
  env.runUntilIdle();
  // A stranger's load results and clicks are dropped; its screen events are not.
  auto stranger = std::make_shared<Adapter>("Stranger", connector, board, false);
  stranger->report([&](auto& c, auto& a) { c.adapterDidReceiveAdView(a, view); });
  stranger->report([](auto& c, auto& a) { c.adapterDidFailAd(a, ZUMMakeErrorWithCode(1)); });
  stranger->report([](auto& c, auto& a) { c.adapterWillDismissFullScreenModal(a); });
  adapter->report([](auto& c, auto& a) { c.adapterWillPresentFullScreenModal(a); });
  adapter->report([](auto& c, auto& a) { c.adapterDidDismissFullScreenModal(a); });
  adapter->report([](auto& c, auto& a) { c.adapterWillLeaveApplication(a); });
  EXPECT_EQ(board->log, (Log{"view", "view refresh", "failed 1 Request Error: No ad to show. refresh",
                             "slot will dismiss", "slot will present", "slot did dismiss", "slot will leave"}));

  // Told to stop, the connector passes nothing on.
  board->log.clear();
  connector->askAdapterToStopBeingDelegate();
  adapter->report([&](auto& c, auto& a) { c.adapterDidReceiveAdView(a, view); });
  adapter->report([](auto& c, auto& a) { c.adapterWillLeaveApplication(a); });
  EXPECT_EQ(board->log, (Log{"ConnA stop"}));

  // Let go of by the waterfall, likewise; a connector that goes away stops its adapter.
  connector = make<ZUMMAdNetworkConnectorBanner>({{"id", "n1"}, {"adapters", {"ConnA"}}});
  connector->setAdManager(nullptr);
  adapterOf(classA)->report([&](auto& c, auto& a) { c.adapterDidReceiveAdView(a, view); });
  EXPECT_EQ(board->log, (Log{"ConnA stop", "ConnA stop"}));
}

TEST_F(ZUMMAdNetworkConnectorTest, BannerClicksPingOncePerViewAndTheImpressionWhenTheViewIsFirstSeen) {
  auto window = platform::Window::create(platform::Rect(0, 0, 375, 667));
  window->makeKeyAndVisible();
  auto view = platform::View::create(platform::Rect(0, 0, 320, 50));
  view->setHidden(true);
  window->addSubview(view);
  auto connector = make<ZUMMAdNetworkConnectorBanner>(
      {{"id", "n1"},
       {"adapters", {"ConnA"}},
       {"clickurl", {std::string(kPings) + "/c?n=@pw_adnetid@&r=@pw_adnetrefresh@"}},
       {"imp_urls", {std::string(kPings) + "/i?n=@pw_adnetid@&r=@pw_adnetrefresh@"}}},
      {{"settings", {{"use_displayed_impression", true}}}});
  auto adapter = adapterOf(classA);
  slot().setAd(ZUMAd::create());
  adapter->report([&](auto& c, auto& a) { c.adapterDidReceiveAdView(a, view); });
  adapter->report([](auto& c, auto& a) { c.adapterWillLeaveApplication(a); });
  adapter->report([](auto& c, auto& a) { c.adapterWillLeaveApplication(a); });
  EXPECT_EQ(queries("/c", 1), Log{"n=n1&r=0"});
  EXPECT_EQ(slot().ad()->statistics()->objectForKey("pcc"), 2);  // the slot counts every click
  EXPECT_EQ(slot().ad()->statistics()->objectForKey("pclb"), true);
  adapter->report([&](auto& c, auto& a) { c.adapterDidReceiveAdView(a, view); });
  adapter->report([](auto& c, auto& a) { c.adapterWillPresentFullScreenModal(a); });
  adapter->report([&](auto& c, auto& a) { c.adapterDidReceiveAdView(a, view); });
  adapter->report([](auto& c, auto& a) { c.adapterDidGetAdClick(a); });
  adapter->report([](auto& c, auto& a) { c.adapterClickDidOccurInBanner(a, nullptr); });
  EXPECT_EQ(queries("/c", 3), (Log{"n=n1&r=0", "n=n1&r=1", "n=n1&r=1"}));

  env.advance(std::chrono::seconds(3));
  EXPECT_EQ(server.requests("/i").size(), 0u);
  view->setHidden(false);
  env.advance(std::chrono::seconds(2));
  view->setHidden(true);
  env.advance(std::chrono::seconds(2));
  view->setHidden(false);
  env.advance(std::chrono::seconds(2));
  EXPECT_EQ(queries("/i", 1), Log{"n=n1&r=1"});  // the second view came from the network's own refresh
  EXPECT_FALSE(connector->impressionMonitor());
}

TEST_F(ZUMMAdNetworkConnectorTest, BannerAppEventsGoToTheSlotsOwnerOrWaitInABoundedQueue) {
  auto connector = make<ZUMMAdNetworkConnectorBanner>({{"id", "n1"}, {"adapters", {"ConnA"}}});
  auto adapter = adapterOf(classA);
  platform::SystemLog::Capture capture(true);
  for (int i = 0; i < 101; ++i) {
    adapter->report([i](ZUMMAdNetworkConnector& c, Adapter& a) {
      (void)dynamic_cast<ZUMMInternalAdNetworkConnector&>(c).adapterDidReceiveAppEvent(a, "e" + std::to_string(i), "x");
    });
  }
  env.runUntilIdle();
  ASSERT_EQ(connector->queuedAppEvents().size(), 100u);
  EXPECT_EQ(connector->queuedAppEvents().back(), (Json{{"name", "e99"}, {"info", "x"}}));
  EXPECT_TRUE(capture.contains("e100"));
  owner->takesAppEvents = true;
  connector->adapterDidReceiveAppEvent(*adapter, "late", "y");
  EXPECT_EQ(board->log, Log{"app event late y"});
  EXPECT_EQ(connector->takeQueuedAppEvents().size(), 100u);
  EXPECT_TRUE(connector->queuedAppEvents().empty());
  // A new request starts a new queue.
  owner->takesAppEvents = false;
  connector->adapterDidReceiveAppEvent(*adapter, "again", "z");
  connector->getAdFromAdapterWithType(ZUMAdType::create(kZUMAdSizeBanner));
  EXPECT_TRUE(connector->queuedAppEvents().empty());
}

TEST_F(ZUMMAdNetworkConnectorTest, ABannerForAnOwnerOfMediatedAdsIsWrappedWithItsConnector) {
  waterfall->returnsMediatedAds = true;
  auto connector = make<ZUMMAdNetworkConnectorBanner>({{"id", "n1"}, {"adapters", {"ConnA"}}});
  auto view = platform::View::create();
  adapterOf(classA)->report([&](auto& c, auto& a) { c.adapterDidReceiveAdView(a, view); });
  ASSERT_EQ(waterfall->mediatedAds.size(), 1u);
  auto banner = std::dynamic_pointer_cast<ZUMMediatedBannerAd>(waterfall->mediatedAds[0]);
  ASSERT_TRUE(banner);
  EXPECT_EQ(banner->view(), view);
  EXPECT_EQ(banner->connector(), connector);
}

TEST_F(ZUMMAdNetworkConnectorTest, TheInterstitialConnectorBracketsTheFullScreenAndCountsTheImpressionOnPresenting) {
  std::vector<std::string> posted;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      "", nullptr, nullptr, [&](const platform::Notification& n) {
        if (n.name().rfind("kAdModal", 0) == 0) posted.push_back(n.name() + (n.object() ? " object" : ""));
      });
  auto connector = make<ZUMMAdNetworkConnectorInterstitial>(
      {{"id", "n1"}, {"adapters", {"ConnA"}}, {"imp_urls", {std::string(kPings) + "/i"}}});
  connector->getAdFromAdapterWithType(ZUMAdType::create(kZUMAdSizeBanner));
  connector->getAdFromAdapterWithType(ZUMAdType::createForInterstitial());
  auto adapter = adapterOf(classA);
  adapter->report([](auto& c, auto& a) { c.adapterDidReceiveInterstitialObject(a, nullptr); });
  adapter->report([](auto& c, auto& a) { c.adapterWillPresentInterstitial(a); });
  adapter->report([](auto& c, auto& a) { c.adapterDidDismissInterstitial(a); });
  adapter->report([](auto& c, auto& a) { c.adapterWillDismissInterstitial(a); });
  adapter->report([](auto& c, auto& a) { c.adapterDidDismissInterstitial(a); });
  adapter->report([](auto& c, auto& a) { c.adapterDidFailInterstitial(a, ZUMMakeErrorWithCode(2)); });
  adapter->report([&](auto& c, auto& a) { c.adapterDidReceiveAdView(a, platform::View::create()); });
  EXPECT_EQ(board->log,
            (Log{"failed 11 Invalid mediation ad requested from interstitial object.", "ConnA interstitial",
                 "interstitial", "slot will present", "slot will dismiss", "slot did dismiss", "slot will dismiss",
                 "slot did dismiss", "failed 2 Request Error: A network error occurred."}));
  EXPECT_EQ(posted, (Log{kZUMAdModalViewControllerWillPresentFullScreenNotification,
                         kZUMAdModalViewControllerDidDismissFullScreenNotification,
                         kZUMAdModalViewControllerDidDismissFullScreenNotification}));
  EXPECT_EQ(queries("/i", 1).size(), 1u);
  platform::NotificationCenter::defaultCenter().removeObserver(token);
  // A new interstitial may be clicked (and pinged) again.
  adapter->report([](auto& c, auto& a) { c.adapterWillLeaveApplication(a); });
  adapter->report([](auto& c, auto& a) { c.adapterDidReceiveInterstitial(a); });
  adapter->report([](auto& c, auto& a) { c.adapterWillLeaveApplication(a); });
  EXPECT_EQ(queries("/clk", 2).size(), 2u);
}

TEST_F(ZUMMAdNetworkConnectorTest, PingsTakeTheirTemplatesInOrderAndTheSlotsStatistics) {
  auto analytics = std::make_shared<Analytics>();
  ZUMAdTelemetry::setShared(analytics);
  auto stats = slot().slotStats();
  stats->startTimingAdapter();
  stats->endTimingAdapterWithExitCode(3);
  stats->endTimingAdapterWithFillStatus(2, "al-0");
  const std::string c = std::string(kPings) + "/c";
  const struct {
    const char* name;
    Json response;
    Json entry;
    Log queries;  // at `path`, all rows so far
    const char* path;
  } clickRows[] = {
      {"response then entry",
       {{"settings", {{"click_urls", {c + "?from=response"}}}}},
       {c + "?from=entry"},
       {"from=response", "from=entry"},
       "/c"},
      {"empty lists", {{"settings", {{"click_urls", Json::array()}}}}, Json::array(), {}, "/clk"},
      {"none", Json::object(), nullptr, {"x"}, "/clk"},
  };
  for (const auto& row : clickRows) {
    SCOPED_TRACE(row.name);
    const std::size_t before = server.requestCount();
    Json entry = {{"id", "n1"}, {"adapters", {"ConnA"}}};
    if (!row.entry.is_null()) entry["clickurl"] = row.entry;
    analytics->queries.clear();
    make(entry, row.response)->reportClick();
    EXPECT_EQ(queries(row.path, row.queries.size()).size(), row.queries.size());
    if (row.path == std::string("/c")) {
      EXPECT_EQ(analytics->queries, row.queries);
    }
    EXPECT_EQ(server.requestCount() - before, row.queries.size());
  }
  auto connector = make({{"id", "n1"},
                         {"allocation_id", "al-1"},
                         {"adapters", {"ConnA"}},
                         {"imp_urls", {std::string(kPings) + "/i?aec=@pw_aec@&fill=@pw_adnetstatus@"}},
                         {"fill_urls", {std::string(kPings) + "/f?fs=@pw_adnetstatus@&aec=@pw_aec@"}}});
  connector->reportImpression();
  connector->reportImpression();
  connector->reportFill();
  connector->reportFill();
  const auto impressions = queries("/i", 2);
  EXPECT_EQ(std::count(impressions.begin(), impressions.end(), "aec=3&fill="), 1);
  EXPECT_EQ(std::count(impressions.begin(), impressions.end(), "aec=&fill="), 1);
  const auto fills = queries("/f", 2);
  EXPECT_EQ(fills.size(), 2u);
  EXPECT_EQ(std::count_if(fills.begin(), fills.end(),
                          [](const std::string& q) { return q.find("al-0") != std::string::npos; }),
            1);
  EXPECT_EQ(analytics->events, (Log{"_ac", "_ac", "_ac", "_ai", "_ai"}));  // fills pass no analytics
  const std::size_t before = server.requestCount();
  make({{"id", "n1"}, {"adapters", {"ConnA"}}})->reportFill();  // no default
  env.runUntilIdle();
  EXPECT_EQ(server.requestCount(), before);

  std::shared_ptr<void> heard;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMMAdNetworkConnectorDidRecordManualImpressionNotification, connector, nullptr,
      [&](const platform::Notification& n) { heard = n.userInfoObject("adapter"); });
  connector->reportManualImpression();
  EXPECT_EQ(heard, std::static_pointer_cast<void>(connector->adapter()));
  platform::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(ZUMMAdNetworkConnectorTest, TheNativeConnectorAsksWithTheLoadersTypesAndTakesANativeAdFromAnyAdapter) {
  registerAdapter("ConnNative", board, true, true);
  using Loadable = loadabletest::LoadableClass;
  ZUMRegisterLoadableClass(kZUMNativeContentAdClassName, std::make_shared<Loadable>());
  ZUMRegisterLoadableClass(kZUMNativeAppInstallAdClassName, std::make_shared<Loadable>());
  auto loaderConfiguration =
      ZUMAdLoaderConfiguration::create({"2", "1", "2"}, {ZUMMultipleAdsAdLoaderOptions::create()});

  EXPECT_FALSE(ZUMMAdNetworkConnectorNativeAd::create(nullptr, nullptr));
  auto withoutNative = make<ZUMMAdNetworkConnectorNativeAd>({{"id", "n1"}, {"adapters", {"ConnA"}}});
  auto entry = config->adNetworkConfigs().front();
  EXPECT_FALSE(ZUMMAdNetworkConnectorNativeAd::create(nullptr, entry));
  EXPECT_FALSE(ZUMMAdNetworkConnectorInterstitial::create(nullptr, entry));
  EXPECT_FALSE(ZUMMAdNetworkConnectorBanner::create(nullptr, entry));
  EXPECT_FALSE(Connector::create(nullptr, entry));
  withoutNative->getAdFromAdapterWithType(nullptr);
  auto connector = make<ZUMMAdNetworkConnectorNativeAd>({{"id", "n2"}, {"adapters", {"ConnNative"}}},
                                                        {{"settings", {{"allow_pub_rendered_attribution", true}}}});
  connector->setAdLoaderConfiguration(loaderConfiguration);
  connector->getAdFromAdapterWithType(nullptr);
  auto stranger = std::make_shared<Adapter>("Stranger", connector, board, true);
  auto networkAd = std::make_shared<NetworkAd>();
  stranger->report([&](auto& c, auto& a) { c.adapterDidReceiveMediatedNativeAd(a, nullptr); });  // no ad: nothing
  stranger->report([&](auto& c, auto& a) { c.adapterDidReceiveMediatedNativeAd(a, networkAd); });
  stranger->report([](auto& c, auto& a) { c.adapterDidFailAd(a, ZUMMakeErrorWithCode(1)); });
  stranger->report([](auto& c, auto& a) { c.adapterWillLeaveApplication(a); });
  EXPECT_EQ(board->log, (Log{"failed 11 ConnA adapter doesn't implement protocol for fetching native ad.",
                             "ConnNative native 2 1 options 1", "mediated ad"}));
  auto mediated = std::dynamic_pointer_cast<ZUMMediatedNativeAdImpl>(waterfall->mediatedAds.at(0));
  ASSERT_TRUE(mediated);
  EXPECT_EQ(mediated->ad(), networkAd);
  EXPECT_EQ(mediated->adNetworkClassName(), "ConnNative");
  EXPECT_TRUE(mediated->adapterHandlesUserClicks());
  EXPECT_FALSE(mediated->adapterHandlesUserImpressions());
  EXPECT_TRUE(mediated->allowPublisherRenderedAttribution());
  const std::size_t before = server.requestCount();
  connector->adapterDidGetAdClick(*connector->adapter());  // the network's ad reports its own clicks
  env.runUntilIdle();
  EXPECT_EQ(server.requestCount(), before);
}

class ZUMMediatedAdTest : public testenv::PlatformTest {};

TEST_F(ZUMMediatedAdTest, HandlersRunInTheOrderAddedEachTimeTheAdReports) {
  auto ad = ZUMMediatedAd::create();
  Log heard;
  ad->addClickHandler([&] { heard.push_back("click 1"); });
  ad->addClickHandler(nullptr);
  ad->addImpressionHandler([&] { heard.push_back("impression"); });
  ad->addClickHandler([&] {
    heard.push_back("click 2");
    ad->addClickHandler([&] { heard.push_back("click 3"); });  // runs from the next report on
  });
  ad->reportClick();
  ad->reportImpression();
  ad->reportClick();
  EXPECT_EQ(heard, (Log{"click 1", "click 2", "impression", "click 1", "click 2", "click 3"}));
}

}  // namespace
