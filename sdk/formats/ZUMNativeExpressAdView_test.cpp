// The native express view around its banner: its initialisers, the requests it sends, the
// banner callbacks renamed for its host, its event in its tree's real Fennick logger, the
// ad loader configuration it makes of an entry, and a whole waterfall: the view loads
// through its banner's real slot and the SDK-core page from the loopback server, scripted
// native adapters answer, and the entry's template, a real test page, shows the ad.
#include "ZUMNativeExpressAdView.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMBannerView.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "platform/ui/Application.h"
#include "platform/ui/Coder.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeExpressAd.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorTestSupport.h"
#include "sdk/mediation/ZUMNativeExpressTestSupport.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/request/ZUMAdConfiguration.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMFennickTestSupport.h"
#include "sdk/telemetry/ZUMLoggingHierarchy.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;
using connectortest::Adapter;
using connectortest::Board;

// What the host hears, "!" marking a call off the main thread.
struct Host : ZUMNativeExpressAdViewDelegate {
  ZUMImplemented nativeExpressAdViewDidReceiveAd(ZUMNativeExpressAdView&) override { return note("received"); }
  ZUMImplemented nativeExpressAdViewDidFailToReceiveAdWithError(ZUMNativeExpressAdView&,
                                                                const ZUMRequestErrorPtr& e) override {
    return note("failed " + std::to_string(e->code()));
  }
  ZUMImplemented nativeExpressAdViewWillPresentScreen(ZUMNativeExpressAdView&) override { return note("willPresent"); }
  ZUMImplemented nativeExpressAdViewWillDismissScreen(ZUMNativeExpressAdView&) override { return note("willDismiss"); }
  ZUMImplemented nativeExpressAdViewDidDismissScreen(ZUMNativeExpressAdView&) override { return note("didDismiss"); }
  ZUMImplemented nativeExpressAdViewWillLeaveApplication(ZUMNativeExpressAdView&) override { return note("leave"); }
  ZUMImplemented note(const std::string& what) {
    board->note("host " + what);
    return kZUMImplemented;
  }
  std::shared_ptr<Board> board;
};

class ZUMNativeExpressAdViewTest : public formatstest::FormatsTest {
 protected:
  ZUMNativeExpressAdViewTest() {
    expresstest::registerTestAdKinds();
    platform::URLLoading::mapHostForTesting("mediation.adnetwork.example", "127.0.0.1", hosts.server.port());
    hostDelegate->board = board;
  }
  ~ZUMNativeExpressAdViewTest() override {
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
  }
  std::shared_ptr<ZUMNativeExpressAdView> placed(const std::string& unit = "unit-N") {
    auto view = ZUMNativeExpressAdView::create(ZUMAdSizeFromSize({320, 150}));
    view->setAdUnitID(unit);
    view->setRootViewController(host);
    view->setDelegate(hostDelegate);
    window->addSubview(view);
    return view;
  }
  void waitFor(const std::string& line) {
    EXPECT_TRUE(env.runUntil([&] { return std::count(board->log.begin(), board->log.end(), line) > 0; })) << line;
  }
  static std::shared_ptr<ZUMMAdNetworkConfig> entry(const Json& fields) {
    platform::ErrorPtr error;
    Json dictionary = fields;
    dictionary["id"] = "n1";
    return ZUMMAdNetworkConfig::create(dictionary, &error);
  }

  std::shared_ptr<Board> board = std::make_shared<Board>();
  std::shared_ptr<Host> hostDelegate = std::make_shared<Host>();
};

TEST_F(ZUMNativeExpressAdViewTest, EachInitialiserWrapsABannerOfItsFrameAndSize) {
  const auto archived = platform::Coder::create(
      R"({"class": "ZUMNativeExpressAdView", "frame": {"x": 3, "y": 4, "width": 468, "height": 60}})");
  const struct {
    const char* name;
    std::shared_ptr<ZUMNativeExpressAdView> view;
    platform::Rect frame;
    platform::Size adSize;
  } rows[] = {
      {"frame", ZUMNativeExpressAdView::create(platform::Rect{10, 20, 320, 150}), {10, 20, 320, 150}, {320, 150}},
      {"size", ZUMNativeExpressAdView::create(kZUMAdSizeMediumRectangle), {0, 0, 300, 250}, {300, 250}},
      {"size and origin", ZUMNativeExpressAdView::create(kZUMAdSizeBanner, {5, 7}), {5, 7, 320, 50}, {320, 50}},
      {"frame and size",
       ZUMNativeExpressAdView::create(platform::Rect{1, 2, 320, 50}, kZUMAdSizeBanner),
       {1, 2, 320, 50},
       {320, 50}},
      {"archive: a plain banner", std::dynamic_pointer_cast<ZUMNativeExpressAdView>(archived->decodeView()), {}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(row.view);
    auto banner = row.view->bannerView();
    EXPECT_EQ(row.view->frame(), row.frame);
    EXPECT_EQ(banner->frame(), (platform::Rect{{0, 0}, row.frame.size}));
    EXPECT_EQ(row.view->adSize().size, row.adSize);
    EXPECT_EQ(banner->superview().get(), row.view.get());
    EXPECT_EQ(banner->delegate(), row.view);
    EXPECT_EQ(banner->slot()->adResponseDelegate(), row.view);
    EXPECT_TRUE(row.view->clipsToBounds());
    EXPECT_EQ(row.view->backgroundColor(), platform::Color::clear());
    EXPECT_EQ(row.view->intrinsicContentSize(), banner->intrinsicContentSize());
  }
}

TEST_F(ZUMNativeExpressAdViewTest, ALoadSendsACopyWithNativeExpressOnAndNoRequestStaysNone) {
  auto view = placed();
  auto request = ZUMRequest::create();
  request->setKeywords({"chairs"});
  view->loadRequest(request);
  auto loading = view->bannerView()->slot()->loadingRequest();
  ASSERT_TRUE(loading);
  EXPECT_NE(loading, request);
  EXPECT_TRUE(loading->nativeExpressEnabled());
  EXPECT_EQ(loading->keywords(), request->keywords());
  EXPECT_FALSE(request->nativeExpressEnabled()) << "the host's request is not changed";
  waitFor("host received");
  view->loadRequest(nullptr);
  EXPECT_FALSE(view->bannerView()->slot()->loadingRequest()->nativeExpressEnabled()) << "the slot's own empty request";
  waitFor("host received");

  view->setAdOptions({ZUMNativeAdImageAdLoaderOptions::create()});
  ASSERT_TRUE(view->bannerView()->adConfiguration());
  EXPECT_TRUE(view->bannerView()->adConfiguration()->option<ZUMNativeAdImageAdLoaderOptions>());
  board->log.clear();
  view->setAutoloadEnabled(true);
  EXPECT_TRUE(view->isAutoloadEnabled());
  waitFor("host received");
}

TEST_F(ZUMNativeExpressAdViewTest, EachBannerCallbackReachesTheHostOnceRenamedOnlyWhenItAnswers) {
  auto view = placed();
  auto banner = view->bannerView();
  auto& slot = *banner->slot();
  banner->slotWillPresentScreen(slot);
  banner->slotWillDismissScreen(slot);
  banner->slotDidDismissScreen(slot);
  banner->slotWillLeaveApplication(slot);
  banner->slotDidFailToLoadAdContentWithError(slot, ZUMMakeErrorWithCode(kZUMErrorNoFill));
  banner->slotFinishedLoadingAdContent(slot);
  env.runUntilIdle();
  EXPECT_EQ(board->log, (Log{"host willPresent", "host willDismiss", "host didDismiss", "host leave", "host failed 1",
                             "host received"}));
  view->setDelegate(std::make_shared<ZUMNativeExpressAdViewDelegate>());  // answers none
  EXPECT_FALSE(view->adViewDidReceiveAd(*banner));
  EXPECT_FALSE(view->adViewWillLeaveApplication(*banner));
  view->setDelegate(nullptr);
  EXPECT_FALSE(view->adViewWillPresentScreen(*banner));
}

TEST_F(ZUMNativeExpressAdViewTest, TheViewsEventReachesEachLoggerItsTreeGets) {
  fennicktest::ScriptHost script;
  fennicktest::storeConfig(fennicktest::enabledConfig());
  hosts.servePage(
      sdkcoretest::pageWith("SDK_CONSTANTS['zums:fennick_config'] = '" + fennicktest::enabledConfig().dump() + "';"));
  auto fennick = ZUMFennick::sharedInstance();
  ASSERT_TRUE(env.runUntil([&] { return fennick->isLoaded(); }));
  auto view = placed("unit-L");
  std::vector<std::string> ids;
  for (int load = 1; load <= 2; ++load) {
    view->loadRequest(ZUMRequest::create());
    waitFor("host received");
    board->log.clear();
    ids.push_back(view->bannerView()->slot()->logger()->fennickID());
  }
  const Json event = Json::parse(R"({"native_express_adview": {"ad_unit_id": "unit-L"}})");
  ASSERT_NE(ids[0], ids[1]);
  for (const auto& id : ids) {
    const Json params = fennicktest::paramsOf(fennicktest::received(*fennick), id);
    EXPECT_EQ(std::count(params.begin(), params.end(), event), 1) << params.dump();
  }
  auto banner = view->bannerView();
  const auto entries = ZUMLoggingHierarchy::sharedInstance()->entryCount();
  view->removeFromSuperview();
  view.reset();  // it leaves the hierarchy; its banner stays below the slot
  env.runUntilIdle();
  EXPECT_EQ(ZUMLoggingHierarchy::sharedInstance()->entryCount(), entries - 1);
}

TEST_F(ZUMNativeExpressAdViewTest, AnEntryGivesAnAdLoaderConfigurationOfItsTemplateIdsAndOneImageOption) {
  auto view = placed();
  const struct {
    const char* name;
    Json fields;
    std::vector<std::string> adTypes;  // none: no configuration
    bool multiple;
    std::int64_t orientation;
  } rows[] = {
      {"no options", {{"template_ids", {1, "2"}}}, {"1", "2"}, false, 0},
      {"several images", {{"template_ids", {2}}, {"ad_loader_options", {{"multiple_images", true}}}}, {"2"}, true, 0},
      {"portrait",
       {{"template_ids", {2}}, {"ad_loader_options", {{"native_image_orientation", "portrait"}}}},
       {"2"},
       false,
       2},
      {"the server's landscape",
       {{"template_ids", {2}}, {"ad_loader_options", {{"native_image_orientation", "horizonal"}}}},
       {"2"},
       false,
       3},
      {"horizontal is not it",
       {{"template_ids", {2}}, {"ad_loader_options", {{"native_image_orientation", "horizontal"}}}},
       {"2"},
       false,
       0},
      {"ids of no kind", {{"template_ids", {true, nullptr, Json::object(), 2.5}}}, {}, false, 0},
      {"an unknown kind", {{"template_ids", {1, 9}}}, {}, false, 0},
      {"no ids", Json::object(), {}, false, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto configuration = view->adLoaderConfigurationForAd(nullptr, entry(row.fields));
    ASSERT_TRUE(configuration.has_value()) << "always answered";
    ASSERT_EQ(*configuration != nullptr, !row.adTypes.empty());
    if (!*configuration) continue;
    EXPECT_EQ((*configuration)->adTypes(), row.adTypes);
    const auto& options = (*configuration)->options();
    ASSERT_EQ(options->size(), 1u);
    auto image = std::dynamic_pointer_cast<ZUMNativeAdImageAdLoaderOptions>(options->front());
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->disableImageLoading());
    EXPECT_EQ(image->shouldRequestMultipleImages(), row.multiple);
    EXPECT_EQ(image->preferredImageOrientation(), row.orientation);
  }
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMMAdNetworkConnectorNativeExpressAd>(view->mediationConnectorForConfiguration(
      ZUMMConfig::create("unit-N", Json{{"ad_networks", Json::array()}}, nullptr), entry({}))));
}

TEST_F(ZUMNativeExpressAdViewTest, AWaterfallsSecondNetworkShowsItsAdInTheTemplateWhichGetsTheJSONOnce) {
  auto first = connectortest::registerAdapter("XpA", board, true, true);
  auto second = connectortest::registerAdapter("XpB", board, true, true);
  Json networks = Json::array();
  for (const char* name : {"XpA", "XpB"}) {
    networks.push_back({{"id", name},
                        {"adapters", {name}},
                        {"template_ids", {2}},
                        {"html_template", platform::webtest::readPage(expresstest::kTemplatePage)},
                        {"ad_base_url", "https://templates.adnetwork.example/"},
                        {"fill_urls", {std::string("https://ads.adnetwork.example/fill/") + name}}});
  }
  hosts.server.route("/ad", {.headers = {{"X-Qyra-Mediation", "1"}},
                             .body = Json{{"ad_networks", networks}}.dump(),
                             .contentType = "application/json"});
  auto view = placed();
  view->loadRequest(ZUMRequest::create());
  waitFor("XpA native 2 options 1");
  first->adapters->back()->report(
      [](auto& c, auto& a) { c.adapterDidFailAd(a, ZUMMakeErrorWithCode(kZUMErrorNoFill)); });
  waitFor("XpB native 2 options 1");
  second->adapters->back()->report(
      [](auto& c, auto& a) { c.adapterDidReceiveMediatedNativeAd(a, expresstest::fullAppInstallAd()); });
  waitFor("host received");
  env.runUntilIdle();
  EXPECT_EQ(std::count(board->log.begin(), board->log.end(), "host received"), 1) << "once";
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(view->bannerView()->mediatedAdView());
  ASSERT_TRUE(adView);
  EXPECT_EQ(adView->superview(), view->bannerView());
  Json assets = Json::array();  // the banner's video controller speaks to the page too
  for (const auto& message : expresstest::receivedByTemplate(*adView)) {
    if (message["name"] == "onNativeExpressAssets") assets.push_back(message["payload"]);
  }
  ASSERT_EQ(assets.size(), 1u) << assets.dump();
  EXPECT_EQ(assets[0]["assets"]["headline"], "Headline");
  EXPECT_EQ(assets[0]["template_id"], Json::array({2}));
  EXPECT_EQ(view->adNetworkClassName(), "XpB");
  EXPECT_TRUE(env.runUntil([&] { return pings("/fill/XpB") == 1; }));
  EXPECT_EQ(pings("/fill/XpA"), 0u);

  // The template is an ad page: a tap that opens the store leaves the app for the slot.
  adView->setTouched(true);
  std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())
      ->engine()
      ->stringByEvaluatingJavaScriptFromString(
          "location.href = 'tolm://page/open?a=app&u=' + encodeURIComponent('https://landing.adnetwork.example/x')");
  waitFor("host leave");
  EXPECT_EQ(platform::Application::shared().openedURLs().back().absoluteString(),
            "https://landing.adnetwork.example/x");
}

}  // namespace
