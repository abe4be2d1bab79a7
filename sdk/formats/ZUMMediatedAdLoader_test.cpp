// Other networks' ads through an ad loader: the mediated banner wrapper's sizing and
// app-event replay, then full waterfalls on the loopback server in which scripted
// adapters of another network deliver a banner and a native custom template ad to the
// loader's delegate, and go on reporting to the ad the host holds.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "PXRBannerAdLoaderDelegate.h"
#include "PXRBannerView.h"
#include "PXRBannerViewOptions.h"
#include "ZUMAdLoader.h"
#include "ZUMAdSizeDelegate.h"
#include "ZUMAppEventDelegate.h"
#include "ZUMBannerViewDelegate.h"
#include "ZUMMediatedNativeAdNotificationSource.h"
#include "ZUMMediatedNativeAppInstallAd.h"
#include "ZUMMediatedNativeContentAd.h"
#include "ZUMNativeAdDelegate.h"
#include "ZUMNativeAdImage.h"
#include "ZUMNativeAppInstallAd.h"
#include "ZUMNativeContentAd.h"
#include "ZUMNativeCustomTemplateAd.h"
#include "ZUMVideoController.h"
#include "platform/base/DispatchQueue.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorTestSupport.h"
#include "sdk/mediation/ZUMMediatedBannerAd.h"
#include "sdk/mediation/ZUMMediatedBannerFormats.h"
#include "sdk/native/ZUMMediatedNativeAdImpl.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/TestImages.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;
using connectortest::Adapter;
using connectortest::Board;

// The host: a loader delegate for publisher banners and custom template ads, the
// banner's and the native ad's delegate, and the banner options' app-event delegate.
// Everything it hears goes into the board, "!" off the main thread.
struct Host : PXRBannerAdLoaderDelegate,
              ZUMNativeCustomTemplateAdLoaderDelegate,
              ZUMNativeAppInstallAdLoaderDelegate,
              ZUMNativeContentAdLoaderDelegate,
              ZUMVideoControllerDelegate,
              ZUMAppEventDelegate,
              ZUMBannerViewDelegate,
              ZUMAdSizeDelegate,
              ZUMNativeAdDelegate {
  std::vector<ZUMAdSize> validBannerSizesForAdLoader(ZUMAdLoader&) override {
    return {kZUMAdSizeBanner, kZUMAdSizeLargeBanner, kZUMAdSizeMediumRectangle};
  }
  void adLoaderDidReceivePXRBannerView(ZUMAdLoader&, const std::shared_ptr<PXRBannerView>& b) override {
    banners.push_back(b);
    board->note("host banner");
  }
  std::optional<Json> nativeCustomTemplateIDsForAdLoader(ZUMAdLoader&) override { return Json{"77"}; }
  void adLoaderDidReceiveNativeCustomTemplateAd(ZUMAdLoader&,
                                                const std::shared_ptr<ZUMNativeCustomTemplateAd>& a) override {
    ads.push_back(a);
    board->note("host template " + a->templateID());
  }
  void adLoaderDidReceiveNativeAppInstallAd(ZUMAdLoader&, const std::shared_ptr<ZUMNativeAppInstallAd>& a) override {
    kinds.push_back(a);
    board->note("host app install " + a->headline().value_or("-"));
  }
  void adLoaderDidReceiveNativeContentAd(ZUMAdLoader&, const std::shared_ptr<ZUMNativeContentAd>& a) override {
    kinds.push_back(a);
    board->note("host content " + a->headline().value_or("-"));
  }
  ZUMImplemented videoControllerDidPlayVideo(ZUMVideoController&) override { return note("video play"); }
  ZUMImplemented videoControllerDidEndVideoPlayback(ZUMVideoController&) override { return note("video end"); }
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr& e) override {
    board->note("host failed " + std::to_string(e->code()));
  }
  ZUMImplemented adViewDidReceiveAppEvent(ZUMBannerView&, const std::string& name,
                                          const std::optional<std::string>& info) override {
    return note("app event " + name + " " + info.value_or("-"));
  }
  ZUMImplemented adViewWillLeaveApplication(ZUMBannerView&) override { return note("banner leave"); }
  ZUMImplemented nativeAdWillPresentScreen(ZUMNativeAd&) override { return note("native present"); }
  ZUMImplemented nativeAdWillLeaveApplication(ZUMNativeAd&) override { return note("native leave"); }
  ZUMImplemented note(const std::string& what) {
    board->note("host " + what);
    return kZUMImplemented;
  }
  std::shared_ptr<Board> board;
  std::vector<std::shared_ptr<PXRBannerView>> banners;
  std::vector<std::shared_ptr<ZUMNativeCustomTemplateAd>> ads;
  std::vector<std::shared_ptr<ZUMNativeAdvancedAd>> kinds;
};

// A custom template ad of the other network.
struct NetworkTemplateAd : ZUMMediatedNativeCustomTemplateAd {
  std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() override { return nullptr; }
  std::optional<Json> extraAssets() const override { return std::nullopt; }
  std::string templateID() const override { return "77"; }
  std::vector<std::string> availableAssetKeys() const override { return {"title"}; }
  std::optional<std::string> stringForKey(const std::string&) const override { return "Network title"; }
  std::shared_ptr<ZUMNativeAdImage> imageForKey(const std::string&) const override { return nullptr; }
  void performClickOnAssetWithKey(const std::string& key) override { board->note("network click " + key); }
  std::shared_ptr<Board> board;
};

// App-install and content ads of the other network, with video.
struct NetworkAd : virtual ZUMMediatedNativeAd {
  std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() override { return nullptr; }
  std::optional<Json> extraAssets() const override { return std::nullopt; }
};
struct NetworkAppInstallAd : NetworkAd, ZUMMediatedNativeAppInstallAd {
  std::optional<std::string> headline() const override { return "Network app"; }
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const override { return {}; }
  std::optional<std::string> body() const override { return std::nullopt; }
  std::shared_ptr<ZUMNativeAdImage> icon() const override { return icon_; }
  std::optional<std::string> callToAction() const override { return "Install"; }
  std::optional<std::string> starRating() const override { return "4"; }
  std::optional<std::string> store() const override { return std::nullopt; }
  std::optional<std::string> price() const override { return std::nullopt; }
  std::optional<bool> hasVideoContent() const override { return true; }
  std::shared_ptr<ZUMNativeAdImage> icon_;
};
struct NetworkContentAd : NetworkAd, ZUMMediatedNativeContentAd {
  std::optional<std::string> headline() const override { return "Network story"; }
  std::optional<std::string> body() const override { return "Body"; }
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const override { return {}; }
  std::shared_ptr<ZUMNativeAdImage> logo() const override { return nullptr; }
  std::optional<std::string> callToAction() const override { return std::nullopt; }
  std::optional<std::string> advertiser() const override { return std::nullopt; }
  std::optional<bool> hasVideoContent() const override { return true; }
};

class ZUMMediatedAdLoaderTest : public formatstest::FormatsTest {
 protected:
  ZUMMediatedAdLoaderTest() {
    platform::URLLoading::mapHostForTesting("mediation.adnetwork.example", "127.0.0.1", hosts.server.port());
    bannerClass = connectortest::registerAdapter("MlBanner", board);
    nativeClass = connectortest::registerAdapter("MlNative", board, true, true);
    hostDelegate->board = board;
    options->setAppEventDelegate(hostDelegate);
  }
  ~ZUMMediatedAdLoaderTest() override {
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
  }
  std::shared_ptr<ZUMAdLoader> makeLoader(const std::vector<std::string>& types) {
    auto loader = ZUMAdLoader::create("unit-L", host, types, {options});
    loader->setDelegate(hostDelegate);
    return loader;
  }
  // A mediation response of one network entry, pinging clicks at /click.
  void serveMediation(Json entry) {
    const Json settings = {{"click_urls", {"https://ads.adnetwork.example/click"}}};
    hosts.server.route("/ad", {.headers = {{"X-Qyra-Mediation", "1"}},
                               .body = Json{{"ad_networks", {std::move(entry)}}, {"settings", settings}}.dump(),
                               .contentType = "application/json"});
  }
  void waitFor(const std::string& line) {
    EXPECT_TRUE(env.runUntil([&] { return std::count(board->log.begin(), board->log.end(), line) > 0; })) << line;
  }
  template <class Report>
  void report(connectortest::AdapterClass& adapterClass, Report call) {
    adapterClass.adapters->back()->report(call);
    env.runUntilIdle();
  }
  Log takeLog() { return std::exchange(board->log, {}); }

  std::shared_ptr<Board> board = std::make_shared<Board>();
  std::shared_ptr<connectortest::AdapterClass> bannerClass;
  std::shared_ptr<connectortest::AdapterClass> nativeClass;
  std::shared_ptr<Host> hostDelegate = std::make_shared<Host>();
  std::shared_ptr<PXRBannerViewOptions> options = PXRBannerViewOptions::create();
};

TEST_F(ZUMMediatedAdLoaderTest, ABannerWrapperSizesByTheResponseElseTheViewAndReplaysAppEventsOnce) {
  const struct {
    const char* name;
    Json slotSizes;
    Json defaultSize;
    ZUMAdSize expected;
  } rows[] = {
      {"the entry's size", Json::array({"320x50"}), "300x250", kZUMAdSizeBanner},
      {"the response's default", nullptr, "300x250", kZUMAdSizeMediumRectangle},
      {"a zero entry size: the view's", Json::array({"0x0"}), "300x250", kZUMAdSizeLargeBanner},
      {"no size at all: the view's", nullptr, nullptr, kZUMAdSizeLargeBanner},
  };
  options->setEnableManualImpressions(true);
  options->setAdSizeDelegate(hostDelegate);
  auto loader = makeLoader({"-1"});
  // The waterfall that found the banner, before the loader's banner takes it over.
  auto waterfall = std::make_shared<connectortest::Waterfall>();
  waterfall->board = board;
  waterfall->theSlot = ZUMSlot::create();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    takeLog();
    Json entry = {{"id", "n1"}, {"adapters", {"MlBanner"}}};
    if (!row.slotSizes.is_null()) entry["slot_sizes"] = row.slotSizes;
    Json response = {{"ad_networks", {entry}}};
    if (!row.defaultSize.is_null()) response["default_slot_sz"] = row.defaultSize;
    platform::ErrorPtr error;
    auto config = ZUMMConfig::create("unit-L", response, &error);
    ASSERT_TRUE(config);
    auto connector = ZUMMAdNetworkConnectorBanner::create(config, config->adNetworkConfigs().at(0));
    connector->setUpAdapter();
    connector->setAdManager(waterfall);
    for (const char* name : {"first", "second"}) {
      connector->adapterDidReceiveAppEvent(*bannerClass->adapters->back(), name, "info");
    }
    auto view = platform::View::create({0, 0, 320, 100});
    auto wrapper = ZUMMediatedBannerAd::create(view, connector);
    auto banner = std::dynamic_pointer_cast<PXRBannerView>(wrapper->loadableAdForAdLoader(*loader));
    ASSERT_TRUE(banner);
    EXPECT_TRUE(ZUMAdSizeEqualToSize(banner->adSize(), row.expected)) << ZUMAdSizeDescription(banner->adSize());
    EXPECT_EQ(banner->adUnitID(), "unit-L");
    EXPECT_TRUE(banner->enableManualImpressions());
    EXPECT_EQ(banner->validAdSizes().value_or(std::vector<std::any>{}).size(), 3u);
    EXPECT_EQ(banner->appEventDelegate(), hostDelegate);
    EXPECT_EQ(banner->adSizeDelegate(), hostDelegate);
    EXPECT_EQ(banner->slot()->state(), ZUMSlot::State::kValidAd);
    EXPECT_EQ(banner->slot()->mediationConnector(), connector);
    EXPECT_EQ(view->superview(), banner);
    env.runUntilIdle();
    EXPECT_EQ(takeLog(), (Log{"host app event first info", "host app event second info"}));
    // A second banner finds the queue empty.
    auto second = wrapper->loadableAdForAdLoader(*loader);
    EXPECT_TRUE(second);
    env.runUntilIdle();
    EXPECT_EQ(takeLog(), Log{});
  }
}

TEST_F(ZUMMediatedAdLoaderTest, ABannerWrapperWithoutViewOrFormatsOrOptionsMakesWhatItCan) {
  platform::ErrorPtr error;
  auto config =
      ZUMMConfig::create("unit-L", Json{{"ad_networks", {{{"id", "n1"}, {"adapters", {"MlBanner"}}}}}}, &error);
  ASSERT_TRUE(config);
  auto connector = ZUMMAdNetworkConnectorBanner::create(config, config->adNetworkConfigs().at(0));
  auto view = platform::View::create({0, 0, 320, 50});
  auto loader = makeLoader({"-1"});
  EXPECT_FALSE(ZUMMediatedBannerAd::create(nullptr, connector)->loadableAdForAdLoader(*loader));
  auto formats = ZUMMediatedBannerFormats::shared();
  ZUMMediatedBannerFormats::setShared(nullptr);
  EXPECT_FALSE(ZUMMediatedBannerAd::create(view, connector)->loadableAdForAdLoader(*loader));
  ZUMMediatedBannerFormats::setShared(formats);
  // A loader without banner options: no manual impressions, nobody hears app events.
  auto plain = ZUMAdLoader::create("unit-L", host, {"-1"}, {});
  plain->setDelegate(hostDelegate);
  auto banner = std::dynamic_pointer_cast<PXRBannerView>(
      ZUMMediatedBannerAd::create(view, connector)->loadableAdForAdLoader(*plain));
  ASSERT_TRUE(banner);
  EXPECT_FALSE(banner->enableManualImpressions());
  EXPECT_EQ(banner->appEventDelegate(), nullptr);
}

TEST_F(ZUMMediatedAdLoaderTest, AnotherNetworksBannerReachesTheLoadersDelegateAndKeepsReportingToIt) {
  serveMediation({{"id", "n1"}, {"adapters", {"MlBanner"}}, {"response_type", "banner"}, {"slot_sizes", {"320x50"}}});
  auto loader = makeLoader({"-1"});
  loader->loadRequest(ZUMRequest::create());
  waitFor("MlBanner banner 320x50");
  report(*bannerClass, [](ZUMMAdNetworkConnector& c, Adapter& a) {
    (void)dynamic_cast<ZUMMInternalAdNetworkConnector&>(c).adapterDidReceiveAppEvent(a, "queued", "early");
  });
  auto view = platform::View::create({0, 0, 320, 50});
  report(*bannerClass, [&](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidReceiveAdView(a, view); });
  waitFor("host banner");
  EXPECT_EQ(takeLog(), (Log{"MlBanner banner 320x50", "host app event queued early", "host banner"}));
  ASSERT_EQ(hostDelegate->banners.size(), 1u);
  auto banner = hostDelegate->banners[0];
  banner->setDelegate(hostDelegate);
  EXPECT_EQ(banner->mediatedAdView(), view);
  EXPECT_EQ(banner->adNetworkClassName(), "MlBanner");

  // The loader goes away: the network still reports to the banner the host holds.
  loader.reset();
  env.runUntilIdle();
  report(*bannerClass, [](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterWillLeaveApplication(a); });
  waitFor("host banner leave");
  EXPECT_EQ(takeLog(), Log{"host banner leave"}) << "the network's adapter was not stopped";
  EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
  EXPECT_EQ(pings("/click"), 1u);
}

TEST_F(ZUMMediatedAdLoaderTest, AnotherNetworksTemplateAdReachesTheLoadersDelegateAndPostsItsEvents) {
  serveMediation({{"id", "n1"}, {"adapters", {"MlNative"}}});
  auto loader = makeLoader({"3"});
  loader->loadRequest(ZUMRequest::create());
  waitFor("MlNative native 3 options 1");
  auto network = std::make_shared<NetworkTemplateAd>();
  network->board = board;
  report(*nativeClass, [&](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidReceiveMediatedNativeAd(a, network); });
  waitFor("host template 77");
  ASSERT_EQ(hostDelegate->ads.size(), 1u);
  auto ad = hostDelegate->ads[0];
  ad->setDelegate(hostDelegate);
  EXPECT_EQ(ad->stringForKey("title"), "Network title");
  EXPECT_EQ(ad->adNetworkClassName(), "MlNative");
  ASSERT_TRUE(ad->mediatedNativeAd());
  EXPECT_TRUE(ad->mediatedNativeAd()->adapterHandlesUserClicks());
  takeLog();

  // The adapter records its clicks: the host's click reaches the network, and the
  // network's own click notification sends the click ping.
  ad->performClickOnAssetWithKey("title");
  EXPECT_EQ(takeLog(), Log{"network click title"});
  EXPECT_EQ(pings("/click"), 0u);
  const std::shared_ptr<ZUMMediatedNativeAd> object = network;
  platform::DispatchQueue::global()->async([object] {
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidRecordClick(object);
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillPresentScreen(object);
    ZUMMediatedNativeAdNotificationSource::mediatedNativeAdWillLeaveApplication(object);
  });
  waitFor("host native leave");
  EXPECT_EQ(takeLog(), (Log{"host native present", "host native leave"}));
  EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
  EXPECT_EQ(pings("/click"), 1u);
}

}  // namespace

namespace {

TEST_F(ZUMMediatedAdLoaderTest, AnotherNetworksAppInstallAndContentAdsArriveAndTheHostHearsTheirVideo) {
  serveMediation({{"id", "n1"}, {"adapters", {"MlNative"}}});
  hosts.server.route("/icon.png", {.body = testenv::pngBytes(2, 2), .contentType = "image/png"});
  auto appInstall = std::make_shared<NetworkAppInstallAd>();
  appInstall->icon_ =
      ZUMNativeAdImage::createWithURL(*platform::URL::fromString("https://ads.adnetwork.example/icon.png"), 1);
  const struct {
    const char* name;
    std::shared_ptr<ZUMMediatedNativeAd> network;
    std::string delivered;
  } rows[] = {
      {"app install", appInstall, "host app install Network app"},
      {"content", std::make_shared<NetworkContentAd>(), "host content Network story"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    hostDelegate->kinds.clear();
    auto loader = makeLoader({"2", "1"});
    loader->loadRequest(ZUMRequest::create());
    waitFor("MlNative native 2 1 options 1");
    report(*nativeClass,
           [&](ZUMMAdNetworkConnector& c, Adapter& a) { c.adapterDidReceiveMediatedNativeAd(a, row.network); });
    waitFor(row.delivered);
    ASSERT_EQ(hostDelegate->kinds.size(), 1u);
    auto ad = hostDelegate->kinds[0];
    EXPECT_EQ(ad->adNetworkClassName(), "MlNative");
    ad->videoController()->setDelegate(hostDelegate);
    EXPECT_TRUE(ad->videoController()->hasVideoContent());
    takeLog();
    const auto network = row.network;
    platform::DispatchQueue::global()->async([network] {
      ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidPlayVideo(network);
      ZUMMediatedNativeAdNotificationSource::mediatedNativeAdDidEndVideoPlayback(network);
    });
    waitFor("host video end");
    EXPECT_EQ(takeLog(), (Log{"host video play", "host video end"})) << "on the main thread";
  }
}

}  // namespace
