// The adapter of the SDK's own network: its class, its relays to both kinds of connector,
// its refusals, its end, and whole waterfalls on the loopback server in which a host's
// banner view, publisher banner, interstitial, ad loader or rewarded ad gets a mediation
// response naming the SDK's own network, and the adapter's own ad object loads the ad
// from the same server.
#include "sdk/formats/ZUMMAdapterVantorMorvaneAds.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "PXRBannerView.h"
#include "PXRBannerViewOptions.h"
#include "ZUMAdLoader.h"
#include "ZUMAdReward.h"
#include "ZUMBannerView.h"
#include "ZUMMAdapterClass.h"
#include "ZUMNativeAppInstallAd.h"
#include "ZUMNativeAppInstallAdLoaderDelegate.h"
#include "ZUMNativeContentAd.h"
#include "ZUMNativeContentAdLoaderDelegate.h"
#include "platform/base/Decimal.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/mediation/ZUMMAdManager.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorTestSupport.h"
#include "sdk/mediation/ZUMMLoggingConnector.h"
#include "sdk/mediation/ZUMMRewardBasedVideoAdConnectorDelegate.h"
#include "sdk/mediation/ZUMMRewardBasedVideoAdNetworkConnectorImpl.h"
#include "sdk/native/ZUMNativeAdsPage.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/TestImages.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;
using namespace std::chrono_literals;

constexpr const char* kName = "ZUMMAdapterVantorMorvaneAds";
constexpr const char* kNativePagePath = "/static/sdk/native/native_ads.html";

// A connector of the SDK's own kind that takes app events.
struct AppEventConnector : connectortest::InternalLoggingConnector {
  bool adapterDidReceiveAppEvent(ZUMMAdNetworkAdapter&, const std::string& name, const std::string& info) override {
    log.push_back("app event " + name + " " + info);
    return true;
  }
};

// The rewarded ad's side of the rewarded connector.
struct RewardedWaterfall : ZUMMRewardBasedVideoAdConnectorDelegate {
  void connectorDidSetUpRewardBasedVideoAd(Connector&) override { note("set up"); }
  void connectorDidFailToSetUpRewardBasedVideoAdWithError(Connector&, const platform::ErrorPtr&) override {
    note("set up failed");
  }
  void connectorDidReceiveRewardBasedVideoAd(Connector&) override { note("received"); }
  void connectorDidFailToReceiveRewardBasedVideoAdWithError(Connector&, const platform::ErrorPtr& e) override {
    note("failed " + std::to_string(e->code()));
  }
  void connectorDidReceiveClick(Connector&) override { note("click"); }
  void connectorDidRewardUserWithReward(Connector&, const std::shared_ptr<ZUMAdReward>& r) override {
    note("reward " + r->type());
  }
  void connectorDidOpenRewardBasedVideoAd(Connector&) override { note("open"); }
  void connectorDidStartPlayingRewardBasedVideoAd(Connector&) override { note("start"); }
  void connectorDidCloseRewardBasedVideoAd(Connector&) override { note("close"); }
  void connectorWillLeaveApplication(Connector&) override { note("leave"); }
  void note(const std::string& what) { log.push_back(what); }
  Log log;
};

// What a host hears from its banner, interstitial, ad loader or rewarded ad.
struct Host : ZUMBannerViewDelegate,
              ZUMInterstitialDelegate,
              ZUMNativeCustomTemplateAdLoaderDelegate,
              ZUMNativeAppInstallAdLoaderDelegate,
              ZUMNativeContentAdLoaderDelegate,
              formatstest::RewardedHost {
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView&) override { return note("received"); }
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView&, const ZUMRequestErrorPtr& e) override {
    return note("failed " + std::to_string(e->code()));
  }
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial&) override { return note("received"); }
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial&, const ZUMRequestErrorPtr& e) override {
    return note("failed " + std::to_string(e->code()));
  }
  ZUMImplemented interstitialWillPresentScreen(ZUMInterstitial&) override { return note("will present"); }
  ZUMImplemented interstitialDidDismissScreen(ZUMInterstitial&) override { return note("did dismiss"); }
  std::optional<Json> nativeCustomTemplateIDsForAdLoader(ZUMAdLoader&) override { return Json{"7"}; }
  void adLoaderDidReceiveNativeCustomTemplateAd(ZUMAdLoader&,
                                                const std::shared_ptr<ZUMNativeCustomTemplateAd>& ad) override {
    customAds.push_back(ad);
    note("native " + ad->templateID() + " " + ad->stringForKey("title").value_or("-"));
  }
  void adLoaderDidReceiveNativeAppInstallAd(ZUMAdLoader&, const std::shared_ptr<ZUMNativeAppInstallAd>& ad) override {
    nativeAds.push_back(ad);
    note("app install " + ad->headline().value_or("-"));
  }
  void adLoaderDidReceiveNativeContentAd(ZUMAdLoader&, const std::shared_ptr<ZUMNativeContentAd>& ad) override {
    nativeAds.push_back(ad);
    note("content " + ad->headline().value_or("-"));
  }
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr& e) override {
    note("failed " + std::to_string(e->code()));
  }
  std::vector<std::shared_ptr<ZUMNativeCustomTemplateAd>> customAds;
  std::vector<std::shared_ptr<ZUMNativeAd>> nativeAds;
};

class ZUMMAdapterVantorMorvaneAdsTest : public formatstest::FormatsTest {
 protected:
  ZUMMAdapterVantorMorvaneAdsTest() {
    // The server's threads may answer after the test's members are gone: they share the answers.
    hosts.server.route(
        "/ad", [answers = answers](const testenv::RecordedRequest& request) { return answers->answer(request); });
    hosts.server.route(kNativePagePath, {.body = std::string(ZUMNativeAdsPageHTML())});
    platform::URLLoading::mapHostForTesting("track.example", "127.0.0.1", hosts.server.port());
    connector->controller = host;
  }
  ~ZUMMAdapterVantorMorvaneAdsTest() override {
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
  }

  // One network entry of the SDK's own network, optionally with an inlined ad.
  void serveMediation(Json entryExtras = Json::object(), Json settings = Json::object()) {
    Json entry = {{"id", "own-1"}, {"adapters", {kName}}, {"data", {{"pubid", "unit-own"}}}};
    entry.update(entryExtras);
    std::lock_guard lock(answers->mutex);
    answers->mediation = {{"ad_networks", {entry}}, {"settings", settings}};
  }
  void serveFirstParty(testenv::ScriptedResponse response) {
    std::lock_guard lock(answers->mutex);
    answers->firstParty = std::move(response);
  }
  void waitFor(const std::string& line) {
    EXPECT_TRUE(env.runUntil([&] { return std::count(hostDelegate->log.begin(), hostDelegate->log.end(), line) > 0; }))
        << line;
  }
  // The adapter the host's slot's waterfall made for the SDK's own network.
  std::shared_ptr<ZUMMAdapterVantorMorvaneAds> adapterOf(const ZUMSlot& slot) {
    auto manager = slot.mediationManager();
    auto connector = manager ? manager->receivedConnector() : nullptr;
    if (!connector && manager) connector = manager->requestingConnector();
    return std::dynamic_pointer_cast<ZUMMAdapterVantorMorvaneAds>(connector ? connector->adapter() : nullptr);
  }
  // A host's banner view of `size` loaded to its first ad.
  std::shared_ptr<ZUMBannerView> loadHostBanner(const ZUMAdSize& size) {
    return loadHostBanner(ZUMBannerView::create(size));
  }
  template <class Banner>
  std::shared_ptr<Banner> loadHostBanner(std::shared_ptr<Banner> banner) {
    banner->setAdUnitID("unit-H");
    banner->setRootViewController(host);
    banner->setDelegate(hostDelegate);
    window->addSubview(banner);
    banner->loadRequest(ZUMRequest::create());
    waitFor("received");
    return banner;
  }
  std::size_t hits(const std::string& path) {
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
    return pings(path);
  }

  // The host's request gets the mediation response; the adapter's own object's request,
  // made for the entry's publisher id, gets the first-party answer.
  struct Answers {
    testenv::ScriptedResponse answer(const testenv::RecordedRequest& request) {
      std::lock_guard lock(mutex);
      if (request.query && request.query->find("unit=unit-own") != std::string::npos) return firstParty;
      return {.headers = {{"X-Qyra-Mediation", "1"}}, .body = mediation.dump(), .contentType = "application/json"};
    }
    std::mutex mutex;
    Json mediation = Json::object();
    testenv::ScriptedResponse firstParty{.body = "<html><body>Own ad</body></html>"};
  };
  std::shared_ptr<Answers> answers = std::make_shared<Answers>();
  std::shared_ptr<Host> hostDelegate = std::make_shared<Host>();
  std::shared_ptr<AppEventConnector> connector = std::make_shared<AppEventConnector>();
};

TEST_F(ZUMMAdapterVantorMorvaneAdsTest, ItIsTheAdapterClassOfTheSDKsOwnNetworkAndSetsUpAtOnce) {
  auto classObject = ZUMMAdapterClassNamed(kName);
  ASSERT_TRUE(classObject);
  EXPECT_EQ(classObject->adapterVersion(), ZUMRequest::sdkVersion());
  EXPECT_EQ(classObject->networkExtrasClass(), "ZUMExtras");
  EXPECT_TRUE(
      std::dynamic_pointer_cast<ZUMMAdapterVantorMorvaneAds>(classObject->initWithZUMMAdNetworkConnector(connector)));

  // The rewarded connector makes it and hears its set-up before setUpAdapter returns.
  platform::ErrorPtr error;
  auto rewarded = ZUMMRewardBasedVideoAdNetworkConnectorImpl::create();
  auto waterfall = std::make_shared<RewardedWaterfall>();
  rewarded->setDelegate(waterfall);
  rewarded->setAdNetworkConfig(ZUMMAdNetworkConfig::create({{"id", "own"}, {"adapters", {kName}}}, &error));
  rewarded->setUpAdapter();
  EXPECT_EQ(waterfall->log, Log{"set up"});
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMMAdapterVantorMorvaneAds>(rewarded->adapter()));
  auto adapter = ZUMMAdapterVantorMorvaneAds::create(connector);
  EXPECT_TRUE(adapter->isBannerAnimationOK(3));
  EXPECT_EQ(adapter->handlesUserClicks(), false);
  EXPECT_EQ(adapter->handlesUserImpressions(), false);
}

TEST_F(ZUMMAdapterVantorMorvaneAdsTest, EveryCallbackOfItsAdObjectsReachesTheConnectorAsTheTableSays) {
  auto adapter = ZUMMAdapterVantorMorvaneAds::create(connector);
  connector->controller = nullptr;  // its banner's load fails at once: nothing goes to the network
  adapter->getBannerWithSize(kZUMAdSizeBanner);
  adapter->stopBeingDelegate();  // the table drives the relays itself
  auto plain = std::make_shared<connectortest::LoggingConnector>();
  auto publicAdapter = ZUMMAdapterVantorMorvaneAds::create(plain);
  auto rewardedConnector = ZUMMRewardBasedVideoAdNetworkConnectorImpl::create();
  auto waterfall = std::make_shared<RewardedWaterfall>();
  rewardedConnector->setDelegate(waterfall);
  auto rewardedAdapter = ZUMMAdapterVantorMorvaneAds::create(rewardedConnector);
  // The rewarded connector takes reports from its own adapter only.
  platform::ErrorPtr error;
  rewardedConnector->setAdNetworkConfig(ZUMMAdNetworkConfig::create({{"id", "own"}, {"adapters", {kName}}}, &error));
  rewardedConnector->setUpAdapter();
  auto& own = *std::dynamic_pointer_cast<ZUMMAdapterVantorMorvaneAds>(rewardedConnector->adapter());
  waterfall->log.clear();

  auto& banner = *adapter->bannerView();
  auto interstitial = ZUMInterstitial::create();
  auto loader = ZUMAdLoader::create("unit-L", host, {"3"}, {});
  auto rewardedAd = ZUMRewardBasedVideoAd::create();
  auto customAd = ZUMNativeCustomTemplateAd::create(Json{{"custom_template_id", "7"}}, {});
  auto failure = ZUMRequestErrorFromError(ZUMMakeErrorWithCode(kZUMErrorNoFill));
  const std::string noFill = "fail com.vantor.ads 1 " + failure->localizedDescription();
  const std::string invalid = "fail com.vantor.ads 11 Invalid connector used for handling native ad.";
  const struct {
    const char* callback;
    std::function<void()> call;
    Log connector;  // what the banner/interstitial/native connector hears
    Log rewarded;   // what the rewarded connector tells its waterfall
  } rows[] = {
      {"adViewDidReceiveAd", [&] { adapter->adViewDidReceiveAd(banner); }, {"view"}, {}},
      {"adViewDidFailToReceiveAd", [&] { adapter->adViewDidFailToReceiveAdWithError(banner, failure); }, {noFill}, {}},
      {"adViewWillPresentScreen",
       [&] { adapter->adViewWillPresentScreen(banner); },
       {"click", "will present modal"},
       {}},
      {"adViewWillDismissScreen", [&] { adapter->adViewWillDismissScreen(banner); }, {"will dismiss modal"}, {}},
      {"adViewDidDismissScreen", [&] { adapter->adViewDidDismissScreen(banner); }, {"did dismiss modal"}, {}},
      {"adViewWillLeaveApplication", [&] { adapter->adViewWillLeaveApplication(banner); }, {"click", "leave"}, {}},
      {"adViewDidReceiveAppEvent", [&] { adapter->adViewDidReceiveAppEvent(banner, "e", "i"); }, {"app event e i"}, {}},
      {"adViewDidReceiveAppEvent, no info",
       [&] { adapter->adViewDidReceiveAppEvent(banner, "e", std::nullopt); },
       {"app event e "},
       {}},
      {"interstitialDidReceiveAd", [&] { adapter->interstitialDidReceiveAd(*interstitial); }, {"interstitial"}, {}},
      {"interstitialDidFailToReceiveAd",
       [&] { adapter->interstitialDidFailToReceiveAdWithError(*interstitial, failure); },
       {noFill},
       {}},
      {"interstitialWillPresentScreen",
       [&] { adapter->interstitialWillPresentScreen(*interstitial); },
       {"will present"},
       {}},
      {"interstitialWillDismissScreen",
       [&] { adapter->interstitialWillDismissScreen(*interstitial); },
       {"will dismiss"},
       {}},
      {"interstitialDidDismissScreen",
       [&] { adapter->interstitialDidDismissScreen(*interstitial); },
       {"did dismiss"},
       {}},
      {"interstitialWillLeaveApplication",
       [&] { adapter->interstitialWillLeaveApplication(*interstitial); },
       {"leave"},
       {}},
      {"interstitialDidReceiveAdClick", [&] { adapter->interstitialDidReceiveAdClick(*interstitial); }, {"click"}, {}},
      {"adLoaderDidReceiveNativeCustomTemplateAd, not a native connector",
       [&] { adapter->adLoaderDidReceiveNativeCustomTemplateAd(*loader, customAd); },
       {invalid},
       {}},
      {"adLoaderDidFailToReceiveAd",
       [&] { adapter->adLoaderDidFailToReceiveAdWithError(*loader, failure); },
       {noFill},
       {}},
      {"rewardBasedVideoAdDidReceiveAd", [&] { own.rewardBasedVideoAdDidReceiveAd(*rewardedAd); }, {}, {"received"}},
      {"rewardBasedVideoAdDidOpen", [&] { own.rewardBasedVideoAdDidOpen(*rewardedAd); }, {}, {"open"}},
      {"rewardBasedVideoAdDidStartPlaying", [&] { own.rewardBasedVideoAdDidStartPlaying(*rewardedAd); }, {}, {"start"}},
      {"rewardBasedVideoAdDidClose", [&] { own.rewardBasedVideoAdDidClose(*rewardedAd); }, {}, {"close"}},
      {"rewardBasedVideoAdWillLeaveApplication",
       [&] { own.rewardBasedVideoAdWillLeaveApplication(*rewardedAd); },
       {},
       {"leave"}},
      {"rewardBasedVideoAdDidRewardUser",
       [&] {
         own.rewardBasedVideoAdDidRewardUserWithReward(*rewardedAd, ZUMAdReward::create("coins", platform::Decimal(5)));
       },
       {},
       {"reward coins"}},
      {"rewardBasedVideoAdDidFailToLoad",
       [&] { own.rewardBasedVideoAdDidFailToLoadWithError(*rewardedAd, failure); },
       {},
       {"failed 1"}},
      {"rewardBasedVideoAdDidReceiveAdClick",
       [&] { own.rewardBasedVideoAdDidReceiveAdClick(*rewardedAd); },
       {},
       {"click"}},
      // A connector that is not the SDK's own takes no app events; the rewarded side of
      // an adapter made for a banner connector reaches no one.
      {"app event to another connector", [&] { publicAdapter->adViewDidReceiveAppEvent(banner, "e", "i"); }, {}, {}},
      {"rewarded callback without a rewarded connector",
       [&] { adapter->rewardBasedVideoAdDidOpen(*rewardedAd); },
       {},
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.callback);
    connector->log.clear();
    plain->log.clear();
    waterfall->log.clear();
    row.call();
    env.runUntilIdle();
    EXPECT_EQ(connector->log, row.connector);
    EXPECT_EQ(plain->log, Log{});
    EXPECT_EQ(waterfall->log, row.rewarded);
  }
  adapter->adViewDidReceiveAd(banner);
  EXPECT_EQ(connector->views.back(), adapter->bannerView());
}

TEST_F(ZUMMAdapterVantorMorvaneAdsTest, NativeRequestsItCannotServeFailWithCodeElevenNamingThem) {
  // A connector that is not a native one is refused first.
  auto adapter = ZUMMAdapterVantorMorvaneAds::create(connector);
  EXPECT_TRUE(adapter->getNativeAdWithAdTypes({"3"}, {}));
  ASSERT_EQ(connector->log.size(), 1u);
  EXPECT_EQ(connector->log[0].rfind("fail com.vantor.ads 11 Connector used ", 0), 0u) << connector->log[0];
  EXPECT_NE(connector->log[0].find("AppEventConnector isn't a valid connector for requesting native ad"),
            std::string::npos);
  EXPECT_EQ(adapter->adLoader(), nullptr);

  // A native connector: types without a class the adapter can take fail the attempt.
  platform::ErrorPtr error;
  auto config = ZUMMConfig::create("unit-H", {{"ad_networks", Json::array()}}, &error);
  auto entry = ZUMMAdNetworkConfig::create({{"id", "own"}, {"adapters", {kName}}}, &error);
  auto nativeConnector = ZUMMAdNetworkConnectorNativeAd::create(config, entry);
  auto waterfall = std::make_shared<connectortest::Waterfall>();
  waterfall->board = std::make_shared<connectortest::Board>();
  nativeConnector->setAdManager(waterfall);
  nativeConnector->setUpAdapter();
  auto own = std::dynamic_pointer_cast<ZUMMAdapterVantorMorvaneAds>(nativeConnector->adapter());
  ASSERT_TRUE(own);
  EXPECT_TRUE(own->getNativeAdWithAdTypes({"9", "-1"}, {}));
  env.runUntilIdle();
  EXPECT_EQ(waterfall->board->log,
            Log{"failed 11 ZUMMAdapterVantorMorvaneAds can't handle any of the requested ad types. (9, -1)"});
  EXPECT_EQ(own->adLoader(), nullptr);
  // Kinds it cannot hand over as mediated native ads fail the attempt rather than vanish.
  auto someLoader = ZUMAdLoader::create("unit-L", host, {"3"}, {});
  waterfall->board->log.clear();
  own->adLoaderDidReceiveNativeAppInstallAd(*someLoader, nullptr);
  own->adLoaderDidReceiveNativeContentAd(*someLoader, nullptr);
  env.runUntilIdle();
  EXPECT_EQ(waterfall->board->log, Log(2, "failed 11 A native ad of this kind can't be handed over."));
  // A type it serves goes to an ad loader of its own, with the options given.
  auto options = PXRBannerViewOptions::create();
  EXPECT_TRUE(own->getNativeAdWithAdTypes({"-1", "3"}, {std::any(std::shared_ptr<ZUMAdLoaderOptions>(options))}));
  ASSERT_TRUE(own->adLoader());
  EXPECT_EQ(own->adLoader()->adLoaderConfiguration()->adTypes(), std::vector<std::string>{"3"});
  EXPECT_TRUE(own->adLoader()->adLoaderConfiguration()->adConfiguration()->option<PXRBannerViewOptions>());
  EXPECT_EQ(own->adLoader()->delegate(), own);
  nativeConnector->askAdapterToStopBeingDelegate();
  EXPECT_EQ(own->adLoader()->delegate(), nullptr);
  EXPECT_TRUE(env.runUntil([&] { return !own->adLoader()->isLoading(); }));
}

// --- Whole waterfalls ------------------------------------------------------------------------

TEST_F(ZUMMAdapterVantorMorvaneAdsTest, ABannerViewWaterfallLoadsTheSDKsOwnBannerFromTheSameServer) {
  serveMediation();
  auto banner = loadHostBanner(kZUMAdSizeBanner);
  auto adapter = adapterOf(*banner->slot());
  ASSERT_TRUE(adapter);
  auto own = adapter->bannerView();
  ASSERT_TRUE(own);
  EXPECT_EQ(std::dynamic_pointer_cast<PXRBannerView>(own), nullptr);
  EXPECT_TRUE(own->isMediated());
  EXPECT_FALSE(own->slot()->reloadable());
  EXPECT_EQ(own->adUnitID(), "unit-own");
  EXPECT_EQ(own->rootViewController(), host);
  EXPECT_EQ(banner->mediatedAdView(), own);
  ASSERT_TRUE(own->slot()->ad() && own->slot()->ad()->adHTML());
  EXPECT_EQ(*own->slot()->ad()->adHTML(), "<html><body>Own ad</body></html>");
  EXPECT_EQ(pings("/ad"), 2u);
  EXPECT_EQ(hostDelegate->log, Log{"received"});
}

TEST_F(ZUMMAdapterVantorMorvaneAdsTest, TheInlinedAdChoosesTheBannersSizeAndKind) {
  const ZUMAdSize requested = kZUMAdSizeMediumRectangle;
  const struct {
    const char* name;
    Json ad;           // the entry's inlined ad (null: none)
    Json defaultSize;  // the response's "default_ad_sz" (null: none)
    ZUMAdSize expected;
    bool publisherBanner;
  } rows[] = {
      {"inlined 320x50", {{"ad_size", "320x50"}}, "468x60", kZUMAdSizeBanner, false},
      {"zero: the response's default", {{"ad_size", "0x0"}}, "468x60", ZUMAdSizeFromSize({468, 60}), false},
      {"one side zero is a size", {{"ad_size", "0x50"}}, "468x60", ZUMAdSizeFromSize({0, 50}), false},
      {"zero without a default", {{"ad_size", "0x0"}}, nullptr, requested, false},
      {"not a size string", {{"ad_size", 320}}, nullptr, requested, false},
      {"no inlined ad", nullptr, "468x60", requested, false},
      {"manual impression URLs", {{"manual_impression_urls", Json::array()}}, nullptr, requested, true},
      {"manual impression URLs null", {{"manual_impression_urls", nullptr}}, nullptr, requested, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Json entry = {{"id", "own"}, {"adapters", {kName}}};
    if (!row.ad.is_null()) entry["ad"] = row.ad;
    Json response = {{"ad_networks", {entry}}};
    if (!row.defaultSize.is_null()) response["default_ad_sz"] = row.defaultSize;
    platform::ErrorPtr error;
    auto config = ZUMMConfig::create("unit-H", response, &error);
    ASSERT_TRUE(config);
    auto connector = ZUMMAdNetworkConnectorImpl::create(config, config->adNetworkConfigs().at(0));
    auto adapter = ZUMMAdapterVantorMorvaneAds::create(connector);
    adapter->getBannerWithSize(requested);  // no root view controller: it fails at once
    ASSERT_TRUE(adapter->bannerView());
    EXPECT_TRUE(ZUMAdSizeEqualToSize(adapter->bannerView()->adSize(), row.expected))
        << ZUMAdSizeDescription(adapter->bannerView()->adSize());
    EXPECT_EQ(std::dynamic_pointer_cast<PXRBannerView>(adapter->bannerView()) != nullptr, row.publisherBanner);
  }
}

// A publisher banner pings its manual impression URLs once per ad, so each case has its
// own waterfall and URL.
TEST_F(ZUMMAdapterVantorMorvaneAdsTest,
       InlinedManualImpressionURLsGiveAPublisherBannerThatRecordsTheConnectorsImpression) {
  for (const bool stopped : {false, true}) {
    SCOPED_TRACE(stopped ? "stopped" : "running");
    const std::string path = stopped ? "/manual-after-stop" : "/manual";
    hosts.server.route(path, {.status = 200});
    serveMediation({{"ad",
                     {{"ad_html", "<html><body>Inlined</body></html>"},
                      {"ad_base_url", "https://ads.adnetwork.example/inlined"},
                      {"ad_size", "320x50"},
                      {"manual_impression_urls", {"https://ads.adnetwork.example" + path}}}}});
    hostDelegate->log.clear();
    const auto asked = pings("/ad");
    auto banner = loadHostBanner(kZUMAdSizeMediumRectangle);
    auto adapter = adapterOf(*banner->slot());
    ASSERT_TRUE(adapter);
    auto publisherBanner = std::dynamic_pointer_cast<PXRBannerView>(adapter->bannerView());
    ASSERT_TRUE(publisherBanner);
    EXPECT_TRUE(ZUMAdSizeEqualToSize(publisherBanner->adSize(), kZUMAdSizeBanner)) << "the inlined size";
    EXPECT_EQ(publisherBanner->appEventDelegate(), adapter);
    EXPECT_EQ(pings("/ad"), asked + 1) << "the inlined ad loads without asking the server";

    auto connector = banner->slot()->mediationManager()->receivedConnector();
    ASSERT_TRUE(connector);
    // Another sender's notification records nothing.
    platform::NotificationCenter::defaultCenter().post(kZUMMAdNetworkConnectorDidRecordManualImpressionNotification,
                                                       std::make_shared<int>(0));
    EXPECT_EQ(hits(path), 0u);
    if (stopped) connector->askAdapterToStopBeingDelegate();
    connector->reportManualImpression();
    EXPECT_EQ(hits(path), stopped ? 0u : 1u);
    EXPECT_EQ(publisherBanner->delegate() == nullptr, stopped);
    EXPECT_EQ(publisherBanner->appEventDelegate() == nullptr, stopped);
    banner->removeFromSuperview();
  }
}

// The host's own publisher banner, filled by the SDK's own network: an impression the
// host records reaches the network's connector, whose publisher banner pings its URLs.
TEST_F(ZUMMAdapterVantorMorvaneAdsTest, AHostsManualImpressionOfAMediatedPublisherBannerReachesTheNetwork) {
  hosts.server.route("/manual-inner", {.status = 200});
  serveMediation({{"ad",
                   {{"ad_html", "<html><body>Inlined</body></html>"},
                    {"ad_base_url", "https://ads.adnetwork.example/inlined"},
                    {"ad_size", "320x50"},
                    {"manual_impression_urls", {"https://ads.adnetwork.example/manual-inner"}}}}});
  auto banner = loadHostBanner(PXRBannerView::create(kZUMAdSizeBanner));
  ASSERT_TRUE(adapterOf(*banner->slot()));
  EXPECT_EQ(hits("/manual-inner"), 0u);
  banner->recordImpression();
  EXPECT_EQ(hits("/manual-inner"), 1u);
  banner->removeFromSuperview();
}

TEST_F(ZUMMAdapterVantorMorvaneAdsTest, HostOptionsAlsoGiveAPublisherBannerAndAnInterstitialHasItsSlotBeforeLoading) {
  // An ad loader asking for publisher banners hands its options to the connector.
  platform::ErrorPtr error;
  auto config = ZUMMConfig::create("unit-H", {{"ad_networks", Json::array()}}, &error);
  auto connector = ZUMMAdNetworkConnectorImpl::create(config, ZUMMAdNetworkConfig::create({{"id", "own"}}, &error));
  auto options = PXRBannerViewOptions::create();
  connector->setAdLoaderConfiguration(ZUMAdLoaderConfiguration::create({"3"}, {options}));
  auto adapter = ZUMMAdapterVantorMorvaneAds::create(connector);
  adapter->getBannerWithSize(kZUMAdSizeBanner);
  EXPECT_TRUE(std::dynamic_pointer_cast<PXRBannerView>(adapter->bannerView()));
  auto plain = ZUMMAdapterVantorMorvaneAds::create(this->connector);
  plain->getBannerWithSize(kZUMAdSizeBanner);
  EXPECT_FALSE(std::dynamic_pointer_cast<PXRBannerView>(plain->bannerView()));
  EXPECT_TRUE(plain->changeAdSizeTo(kZUMAdSizeLargeBanner));
  EXPECT_TRUE(ZUMAdSizeEqualToSize(plain->bannerView()->adSize(), kZUMAdSizeLargeBanner));
  EXPECT_TRUE(env.runUntil([&] { return !this->connector->log.empty(); }));
  // Its own slot at once, so that no pool entry stands in for the waterfall's interstitial.
  auto interstitial = ZUMMAdapterVantorMorvaneAds::create(this->connector);
  this->connector->log.clear();
  interstitial->getInterstitial();
  EXPECT_TRUE(interstitial->interstitial()->slot());
  EXPECT_EQ(interstitial->interstitial()->delegate(), interstitial);
  EXPECT_TRUE(env.runUntil([&] { return !this->connector->log.empty(); }));
  interstitial->stopBeingDelegate();
  EXPECT_EQ(interstitial->interstitial()->delegate(), nullptr);
}

TEST_F(ZUMMAdapterVantorMorvaneAdsTest, AnInterstitialWaterfallPresentsTheSDKsOwnInterstitial) {
  serveMediation();
  auto interstitial = ZUMInterstitial::create("unit-H");
  interstitial->setDelegate(hostDelegate);
  interstitial->loadRequest(ZUMRequest::create());
  waitFor("received");
  auto adapter = adapterOf(*interstitial->slot());
  ASSERT_TRUE(adapter && adapter->interstitial());
  auto own = adapter->interstitial();
  EXPECT_TRUE(own->isMediated());
  EXPECT_EQ(own->adUnitID(), "unit-own");
  EXPECT_EQ(own->delegate(), adapter);
  EXPECT_EQ(pings("/ad"), 2u);
  interstitial->presentFromRootViewController(host);
  waitFor("will present");
  ASSERT_TRUE(own->viewController());
  env.advance(1s);
  own->viewController()->closeButtonPressed();
  env.advance(1s);
  EXPECT_EQ(hostDelegate->log, (Log{"received", "will present", "did dismiss"}));
}

TEST_F(ZUMMAdapterVantorMorvaneAdsTest, AnAdLoaderWaterfallDeliversTheSDKsOwnCustomTemplateAd) {
  serveMediation();
  serveFirstParty(
      {.headers = {{"x-qyra-ad-format", "native"}},
       .body = Json{{"ads",
                     {{{"type", "native"},
                       {"template_id", 3},
                       {"custom_template_id", "7"},
                       {"custom_assets", {{{"name", "title"}, {"type", "string"}, {"string_value", "Own"}}}},
                       {"tracking_urls_and_actions", {{"click_actions", {{{"url", "https://landing.example/p"}}}}}}}}}}
                   .dump()});
  auto loader = ZUMAdLoader::create("unit-H", host, {"3"}, {});
  loader->setDelegate(hostDelegate);
  loader->loadRequest(ZUMRequest::create());
  ASSERT_TRUE(env.runUntil([&] { return !hostDelegate->log.empty(); }));
  EXPECT_EQ(hostDelegate->log, Log{"native 7 Own"});
  auto adapter = adapterOf(*loader->slot());
  ASSERT_TRUE(adapter && adapter->adLoader());
  EXPECT_EQ(adapter->adLoader()->adUnitID(), "unit-own");
  EXPECT_EQ(adapter->adLoader()->adLoaderConfiguration()->adTypes(), std::vector<std::string>{"3"});
  ASSERT_EQ(hostDelegate->customAds.size(), 1u);
  EXPECT_EQ(pings("/ad"), 2u);
}

// The SDK's own app-install and content ads reach the host's loader as they are, carrying
// the host's ad unit.
TEST_F(ZUMMAdapterVantorMorvaneAdsTest, AnAdLoaderWaterfallDeliversTheSDKsOwnAppInstallAndContentAds) {
  hosts.server.route("/icon.png", {.body = testenv::pngBytes(4, 4, {0, 0, 200}), .contentType = "image/png"});
  const struct {
    const char* type;
    Json ad;
    const char* heard;
  } rows[] = {
      {"2",
       {{"type", "native"},
        {"template_id", 2},
        {"headline", "Own app"},
        {"call_to_action", "Install"},
        {"app_icon", {{"url", "https://track.example/icon.png"}, {"scale", 1}}}},
       "app install Own app"},
      {"1", {{"type", "native"}, {"template_id", 1}, {"headline", "Own story"}, {"body", "Text"}}, "content Own story"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.heard);
    hostDelegate->log.clear();
    hostDelegate->nativeAds.clear();
    serveMediation();
    serveFirstParty({.headers = {{"x-qyra-ad-format", "native"}}, .body = Json{{"ads", {row.ad}}}.dump()});
    auto loader = ZUMAdLoader::create("unit-H", host, {row.type}, {});
    loader->setDelegate(hostDelegate);
    loader->loadRequest(ZUMRequest::create());
    ASSERT_TRUE(env.runUntil([&] { return !hostDelegate->log.empty(); }));
    EXPECT_EQ(hostDelegate->log, Log{row.heard});
    auto adapter = adapterOf(*loader->slot());
    ASSERT_TRUE(adapter && adapter->adLoader());
    EXPECT_EQ(adapter->adLoader()->adLoaderConfiguration()->adTypes(), std::vector<std::string>{row.type});
    ASSERT_EQ(hostDelegate->nativeAds.size(), 1u);
    EXPECT_EQ(hostDelegate->nativeAds[0]->adUnitID(), "unit-H");
  }
}

TEST_F(ZUMMAdapterVantorMorvaneAdsTest, ARewardedWaterfallLoadsARewardedAdOfItsOwnLeavingTheSharedOneAlone) {
  serveMediation();
  auto shared = ZUMRewardBasedVideoAd::sharedInstance();
  shared->setDelegate(hostDelegate);
  shared->loadRequest(ZUMRequest::create(), "unit-H");
  waitFor("received");
  auto connector = shared->connectorForAdapterClass(kName);
  ASSERT_TRUE(connector);
  auto adapter = std::dynamic_pointer_cast<ZUMMAdapterVantorMorvaneAds>(connector->adapter());
  ASSERT_TRUE(adapter && adapter->rewardBasedVideoAd());
  EXPECT_NE(adapter->rewardBasedVideoAd(), shared);
  EXPECT_EQ(adapter->rewardBasedVideoAd()->delegate(), adapter);
  EXPECT_EQ(shared->delegate(), hostDelegate) << "the shared ad keeps its host";
  EXPECT_TRUE(adapter->rewardBasedVideoAd()->isReady());
  EXPECT_EQ(pings("/ad"), 2u);
  // The host presents: its own ad plays, and the host hears it open and close.
  shared->presentFromRootViewController(host);
  waitFor("open");
  auto shown = adapter->rewardBasedVideoAd()->interstitial();
  ASSERT_TRUE(shown && shown->viewController());
  env.advance(1s);
  shown->viewController()->closeButtonPressed();
  env.advance(1s);
  waitFor("close");
  // A second request drops the first own ad's delegate.
  auto first = adapter->rewardBasedVideoAd();
  adapter->requestRewardBasedVideoAd();
  EXPECT_EQ(first->delegate(), nullptr);
  EXPECT_NE(adapter->rewardBasedVideoAd(), first);
  EXPECT_TRUE(env.runUntil([&] { return adapter->rewardBasedVideoAd()->isReady(); }));
  adapter->stopBeingDelegate();
  EXPECT_EQ(adapter->rewardBasedVideoAd()->delegate(), nullptr);
  EXPECT_EQ(hostDelegate->log, (Log{"received", "open", "close"}));
}

}  // namespace
