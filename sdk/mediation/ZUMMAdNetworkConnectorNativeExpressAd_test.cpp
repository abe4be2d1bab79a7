// The native express connector between a scripted waterfall over a real slot and a
// scripted native adapter: what the network's ad becomes as asset JSON, what fails an
// attempt before the adapter is asked, and the template, a real test page in a real ad
// view, that receives the JSON once before the waterfall hears the view.
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeExpressAd.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMMediatedNativeAppInstallAd.h"
#include "ZUMMediatedNativeContentAd.h"
#include "ZUMMobileAds.h"
#include "ZUMNativeAdImage.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "platform/ui/Application.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorTestSupport.h"
#include "sdk/mediation/ZUMNativeExpressTestSupport.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMAdLoaderConfiguration.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMLoadableTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;
using namespace connectortest;
using namespace expresstest;
using Connector = ZUMMAdNetworkConnectorNativeExpressAd;

class ZUMMAdNetworkConnectorNativeExpressAdTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMMobileAds::load();
    registerTestAdKinds();
    waterfall->board = board;
    waterfall->theSlot = ZUMSlot::create({0, 0, 320, 150});
  }
  // The connector of `entry` (over the template page unless it says otherwise), with the
  // ad loader configuration of the entry's ids.
  std::shared_ptr<Connector> make(Json entry) {
    entry["id"] = "n1";
    if (!entry.contains("adapters")) entry["adapters"] = {"XNative"};
    if (!entry.contains("html_template")) entry["html_template"] = platform::webtest::readPage(kTemplatePage);
    auto config = ZUMMConfig::create("unit-X", Json{{"ad_networks", {entry}}}, nullptr);
    auto networkConfig = config->adNetworkConfigs().front();
    auto connector = Connector::create(config, networkConfig);
    const Json ids = entry.value("template_ids", Json::array());
    std::vector<std::string> types;
    for (const auto& id : ids) types.push_back(id.is_string() ? id.get<std::string>() : id.dump());
    connector->setAdLoaderConfiguration(
        ZUMAdLoaderConfiguration::create(types, {ZUMNativeAdImageAdLoaderOptions::create()}));
    connector->setUpAdapter();
    connector->setAdManager(waterfall);
    return connector;
  }
  void deliver(const std::shared_ptr<ZUMMediatedNativeAd>& ad) {
    adapter->adapters->back()->report([&](auto& c, auto& a) { c.adapterDidReceiveMediatedNativeAd(a, ad); });
  }

  std::shared_ptr<Board> board = std::make_shared<Board>();
  std::shared_ptr<AdapterClass> adapter = registerAdapter("XNative", board, true, true);
  std::shared_ptr<Waterfall> waterfall = std::make_shared<Waterfall>();
  const Json goodEntry = {{"ad_base_url", "https://templates.adnetwork.example/t/"}, {"template_ids", {2, "1"}}};
};

TEST_F(ZUMMAdNetworkConnectorNativeExpressAdTest, TheAssetJSONTakesOnlyWhatTheWinningKindGives) {
  auto connector = make(goodEntry);
  const struct {
    const char* name;
    std::shared_ptr<ZUMMediatedNativeAd> ad;
    Json assets;  // null: no JSON
  } rows[] = {
      {"app install, everything",
       fullAppInstallAd(),
       {{"icon", "https://img.adnetwork.example/icon.png"},
        {"star_rating", "4.5"},
        {"store", "Store"},
        {"price", "Free"},
        {"extras", {{"rating_count", 12}}},
        {"headline", "Headline"},
        {"body", "Body"},
        {"images", {"https://img.adnetwork.example/1.png", "https://img.adnetwork.example/2.png"}},
        {"call_to_action", "Install"}}},
      {"app install, text only", adOf<AppInstallAd>({.headline = "H", .body = "B"}), nullptr},
      {"content, no image objects",
       adOf<ContentAd>({.headline = "H", .advertiser = "Adv", .images = {nullptr, urlless()}}),
       {{"advertiser", "Adv"}, {"headline", "H"}}},
      {"content, logo and extras",
       adOf<ContentAd>({.logo = image("logo"), .extras = Json::object()}),
       {{"icon", "https://img.adnetwork.example/logo.png"}}},
      {"both: content wins",
       adOf<BothKindsAd>(
           {.headline = "H", .icon = image("icon"), .store = "Store", .logo = image("logo"), .advertiser = "Adv"}),
       {{"icon", "https://img.adnetwork.example/logo.png"}, {"advertiser", "Adv"}, {"headline", "H"}}},
      {"both: content has none of its own", adOf<BothKindsAd>({.headline = "H", .store = "Store"}), nullptr},
      {"neither kind", std::make_shared<PlainAd>(), nullptr},
      {"not UTF-8",
       adOf<AppInstallAd>({.headline = "H\xff", .price = "1"}),
       {{"price", "1"}, {"headline", "H\xef\xbf\xbd"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto text = connector->assetsFromMediatedNativeAd(*row.ad);
    ASSERT_EQ(text.has_value(), !row.assets.is_null());
    if (!text) continue;
    EXPECT_NE(text->find("\n  "), std::string::npos) << "pretty";
    EXPECT_EQ(Json::parse(*text), (Json{{"template_id", {2, "1"}}, {"assets", row.assets}}));
  }
}

TEST_F(ZUMMAdNetworkConnectorNativeExpressAdTest,
       AnAttemptWithoutTemplateWebBaseOrAdTypesFailsBeforeTheAdapterIsAsked) {
  const struct {
    const char* name;
    Json entry;
    std::string heard;
  } rows[] = {
      {"no template",
       {{"html_template", nullptr}, {"ad_base_url", "https://t.example/"}, {"template_ids", {1}}},
       "failed 11 Native express entry has no HTML template."},
      {"file base", {{"ad_base_url", "file:///etc/"}, {"template_ids", {1}}}, "failed 11 " + kNotWeb},
      {"script base", {{"ad_base_url", "javascript:alert(1)"}, {"template_ids", {1}}}, "failed 11 " + kNotWeb},
      {"no host", {{"ad_base_url", "https:///x"}, {"template_ids", {1}}}, "failed 11 " + kNotWeb},
      {"no base", {{"template_ids", {1}}}, "failed 11 " + kNotWeb},
      {"no ad types",
       {{"ad_base_url", "http://t.example/"}, {"template_ids", {"9"}}},
       "failed 11 Native express entry's template ids give no ad types."},
      {"no native ads",
       {{"ad_base_url", "http://t.example/"}, {"template_ids", {1}}, {"adapters", {"XPlain"}}},
       "failed 11 XPlain adapter doesn't implement protocol for fetching native ad."},
      {"asked", {{"ad_base_url", "http://t.example/"}, {"template_ids", {1, "2"}}}, "XNative native 1 2 options 1"},
  };
  registerAdapter("XPlain", board);
  auto adType = ZUMAdType::create(kZUMAdSizeBanner);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    board->log.clear();
    auto connector = make(row.entry);
    connector->getAdFromAdapterWithType(adType);
    EXPECT_EQ(connector->adType(), adType);
    EXPECT_EQ(board->log, Log{row.heard});
    EXPECT_FALSE(connector->adView()) << "nothing loaded";
  }
}

TEST_F(ZUMMAdNetworkConnectorNativeExpressAdTest, AnAdWithoutItsKindsAssetsFailsWithTheConversionError) {
  auto connector = make(goodEntry);
  connector->getAdFromAdapterWithType(nullptr);
  deliver(adOf<AppInstallAd>({.headline = "H", .body = "B"}));
  ASSERT_EQ(waterfall->errors.size(), 1u);
  const auto& error = waterfall->errors[0];
  EXPECT_EQ(error->domain(), "adapter:didReceiveMediatedNativeAd:");
  EXPECT_EQ(error->code(), 0);
  EXPECT_EQ(error->localizedDescription(), "Unable to convert native ad assets to JSON.");
  deliver(fullAppInstallAd());  // the attempt is over
  EXPECT_FALSE(connector->adView());
}

TEST_F(ZUMMAdNetworkConnectorNativeExpressAdTest, TheTemplateGetsTheJSONOnceThenTheWaterfallGetsItsAdViewOnce) {
  auto connector = make(goodEntry);
  connector->getAdFromAdapterWithType(nullptr);
  auto networkAd = fullAppInstallAd();
  const std::weak_ptr<ZUMMediatedNativeAd> heldAd = networkAd;
  deliver(networkAd);
  networkAd.reset();
  EXPECT_FALSE(heldAd.expired()) << "the network's ad lives as long as its template";
  auto stranger = std::make_shared<Adapter>("Stranger", connector, board, true);
  stranger->report([&](auto& c, auto& a) { c.adapterDidReceiveMediatedNativeAd(a, fullAppInstallAd()); });
  ASSERT_TRUE(connector->adView());
  ASSERT_TRUE(env.runUntil([&] { return board->log.size() == 2; }));
  env.runUntilIdle();
  EXPECT_EQ(board->log, (Log{"XNative native 2 1 options 1", "view"}));
  const Json received = receivedByTemplate(*connector->adView());
  ASSERT_EQ(received.size(), 1u) << received.dump();
  EXPECT_EQ(received[0]["name"], "onNativeExpressAssets");
  EXPECT_EQ(received[0]["payload"], Json::parse(*connector->assetsFromMediatedNativeAd(*fullAppInstallAd())));
  EXPECT_EQ(connector->adView()->URL()->absoluteString(), "https://templates.adnetwork.example/t/");
  EXPECT_EQ(connector->adView()->orientation(), platform::Application::shared().statusBarOrientation()) << "an ad page";

  deliver(fullAppInstallAd());  // later answers change nothing
  adapter->adapters->back()->report([](auto& c, auto& a) { c.adapterDidFailAd(a, ZUMMakeErrorWithCode(3)); });
  connector->adView()->webViewDidFailLoadWithError(*connector->adView()->webView(), ZUMMakeErrorWithCode(2));
  env.runUntilIdle();
  EXPECT_EQ(board->log.size(), 2u);
  EXPECT_EQ(receivedByTemplate(*connector->adView()).size(), 1u);
}

TEST_F(ZUMMAdNetworkConnectorNativeExpressAdTest, ATemplateThatFailsToLoadFailsTheAttemptOnce) {
  auto connector = make(goodEntry);
  connector->getAdFromAdapterWithType(nullptr);
  deliver(fullAppInstallAd());
  auto adView = connector->adView();
  adView->webViewDidFailLoadWithError(*adView->webView(), platform::Error::create("NSURLErrorDomain", -1004));
  adView->webViewDidFailLoadWithError(*adView->webView(), platform::Error::create("NSURLErrorDomain", -1004));
  env.runUntilIdle();
  ASSERT_EQ(board->log.size(), 2u) << "no view after the failure";
  EXPECT_EQ(board->log[1].rfind("failed 2 ", 0), 0u) << board->log[1];
}

}  // namespace
