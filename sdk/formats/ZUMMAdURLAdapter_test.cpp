// The ad-URL adapter over the real SDK-core controller and page: a page of the test's own
// answers its mediation requests, and the hidden banner or interstitial loads the answer.
#include "sdk/formats/ZUMMAdURLAdapter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMBannerView.h"
#include "ZUMExtras.h"
#include "ZUMMAdapterClass.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMLoggingConnector.h"
#include "sdk/mediation/ZUMMRequestFromMediation.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;
using namespace std::chrono_literals;

// Answers a mediation request of the right shape with an ad of the asked format; any
// other with a refusal. "silent" in the credentials: no answer at all.
constexpr const char* kAnsweringPage = R"(
QYRA_getAdapterLessMediationAd = function (request) {
  if (request.data && request.data.silent) return;
  var param = request.request_param || {};
  if (request['vantor-ad-url-mediation'] !== '1' || request.network_id !== 'net-7' || typeof param.format !== 'string') {
    send('invalidRequest', {request_id: request.request_id, errors: 'not a mediation request'});
    return;
  }
  send('loadAd', {request_id: request.request_id,
                  fetched_ad: {ad_html: '<html><body>Inlined ' + param.format + '</body></html>',
                               ad_base_url: 'https://ads.adnetwork.example/inlined'}});
};
)";

class ZUMMAdURLAdapterTest : public formatstest::FormatsTest {
 protected:
  ZUMMAdURLAdapterTest() {
    platform::ErrorPtr error;
    connector->entry = ZUMMAdNetworkConfig::create(
        {{"id", "net-7"}, {"adapters", {kZUMMAdURLAdapterClassName}}, {"data", {{"k", "v"}}}}, &error);
    connector->credentialsValue = {{"k", "v"}};
    connector->controller = host;
  }
  std::shared_ptr<ZUMMAdURLAdapter> make() { return ZUMMAdURLAdapter::create(connector); }
  void waitForReport() {
    ASSERT_TRUE(env.runUntil([&] { return !connector->log.empty(); }));
  }

  std::shared_ptr<connectortest::InternalLoggingConnector> connector =
      std::make_shared<connectortest::InternalLoggingConnector>();
};

TEST_F(ZUMMAdURLAdapterTest, OnlyTheSDKsOwnConnectorsGetOne) {
  auto classObject = ZUMMAdapterClassNamed(kZUMMAdURLAdapterClassName);
  ASSERT_TRUE(classObject);
  EXPECT_EQ(classObject->adapterVersion(), "1.0.0");
  EXPECT_EQ(classObject->networkExtrasClass(), "ZUMExtras");
  EXPECT_EQ(classObject->initWithZUMMAdNetworkConnector(std::make_shared<connectortest::LoggingConnector>()), nullptr);
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMMAdURLAdapter>(classObject->initWithZUMMAdNetworkConnector(connector)));
  EXPECT_TRUE(make()->isBannerAnimationOK(0));
}

TEST_F(ZUMMAdURLAdapterTest, RequestParametersAreExactlySevenWithTheFormatsMarks) {
  platform::ErrorPtr error;
  const struct {
    std::optional<ZUMAdSize> banner;  // none: an interstitial
    Json marks;                       // what the format adds to the publisher's parameters
  } rows[] = {
      {kZUMAdSizeBanner,
       {{"format", "banner"},
        {"ad_frame", {{"x", 0}, {"y", 0}, {"width", 320}, {"height", 50}}},
        {"ad_bounds", {{"x", 0}, {"y", 0}, {"width", 320}, {"height", 50}}}}},
      {ZUMAdSize{{0, 90}, kZUMAdSizeFlagFullWidth}, {{"format", "banner"}, {"smart_w", "full"}}},
      {kZUMAdSizeSmartBannerPortrait, {{"format", "banner"}, {"smart_w", "full"}, {"smart_h", "auto"}}},
      {std::nullopt, {{"format", "interstitial_mb"}}},
  };
  const Json publisher = ZUMRequestWithMediationAdRequest(*connector)->parameters();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.marks.dump());
    auto adapter = make();
    if (row.banner) {
      adapter->getBannerWithSize(*row.banner);
    } else {
      adapter->getInterstitial();
    }
    const Json sent = adapter->requestParameters();  // before the SDK core gave an id
    std::vector<std::string> keys;
    for (const auto& item : sent.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"request_param", "lat", "adid", "data", "network_id", "request_id",
                                              "vantor-ad-url-mediation"}));
    for (const auto& mark : row.marks.items()) {
      if (mark.key() == "ad_frame" || mark.key() == "ad_bounds") {
        EXPECT_EQ(sent["request_param"][mark.key()], mark.value()) << mark.key();
      } else {
        EXPECT_EQ(sent["request_param"].value(mark.key(), ""), mark.value()) << mark.key();
      }
    }
    EXPECT_EQ(sent["request_param"].contains("smart_w"), row.marks.contains("smart_w"));
    EXPECT_EQ(sent["request_param"].contains("smart_h"), row.marks.contains("smart_h"));
    EXPECT_EQ(sent["request_param"].value("pw", ""), publisher.value("pw", "")) << "the publisher's parameters";
    EXPECT_EQ(sent["lat"], ZUMDevice::sharedInstance()->limitAdTrackingString());
    EXPECT_EQ(sent["adid"], ZUMDevice::sharedInstance()->rawDeviceIdentifier().value_or(""));
    EXPECT_EQ(sent["data"], (Json{{"k", "v"}}));
    EXPECT_EQ(sent["network_id"], "net-7");
    EXPECT_EQ(sent["request_id"], "");
    EXPECT_EQ(sent["vantor-ad-url-mediation"], "1");
    EXPECT_EQ(adapter->requestedAdType(), row.banner ? 1 : 2);
    adapter->setRequestID("r-9");
    EXPECT_EQ(adapter->requestParameters()["request_id"], "r-9");
    adapter->stopBeingDelegate();
  }
  // Without an entry or credentials: empty values, never absent keys.
  connector->entry.reset();
  connector->credentialsValue = "not a dictionary";
  auto adapter = make();
  const Json sent = adapter->requestParameters();
  EXPECT_EQ(sent["network_id"], "");
  EXPECT_EQ(sent["data"], Json::object());
  EXPECT_FALSE(sent["request_param"].contains("format"));
  EXPECT_EQ(adapter->requestedAdType(), 0);
}

TEST_F(ZUMMAdURLAdapterTest, ItsOwnFailuresAndTheSDKCoresAreReportedOnceUntilItStops) {
  const std::string domain = std::string("fail ") + kZUMMAdURLAdapterErrorDomain;
  auto lost = ZUMMakeErrorWithCode(kZUMErrorTimeout);
  const struct {
    const char* format;
    std::function<void(ZUMMAdURLAdapter&)> call;
    std::string expected;  // "" : nothing
  } rows[] = {
      {"banner", [](ZUMMAdURLAdapter& a) { a.getBannerWithSize(kZUMAdSizeBanner); },
       domain + " 0 Adapter already initialized. Create a new instance."},
      {"banner", [](ZUMMAdURLAdapter& a) { a.getInterstitial(); },
       domain + " 0 Adapter already initialized. Create a new instance."},
      {"interstitial", [](ZUMMAdURLAdapter& a) { a.getBannerWithSize(kZUMAdSizeBanner); },
       domain + " 0 Adapter already initialized. Create a new instance."},
      {"banner", [](ZUMMAdURLAdapter& a) { a.loadAd(nullptr, std::nullopt); }, domain + " 3 Received empty ad."},
      {"interstitial", [](ZUMMAdURLAdapter& a) { a.loadAd(nullptr, Json::object()); },
       domain + " 3 Received empty ad."},
      {"banner", [](ZUMMAdURLAdapter& a) { a.loadAdURLWithParameters(Json::object()); },
       domain + " 1 Adapter can't load ad URL."},
      {"interstitial", [](ZUMMAdURLAdapter& a) { a.invalidJavaScriptRequest(); },
       domain + " 4 Failed to load ad. Check network connection."},
      {"banner", [](ZUMMAdURLAdapter& a) { a.failedJavaScriptFile(); },
       domain + " 5 Failed to load ad. Check network connection."},
      {"interstitial", [&](ZUMMAdURLAdapter& a) { a.SDKCoreRequestDidFailWithError(lost); },
       "fail com.vantor.ads 5 " + lost->localizedDescription()},
      {"none", [](ZUMMAdURLAdapter& a) { a.loadAd(ZUMAd::create(), std::nullopt); },
       domain +
           " 2 Received an ad load request with uninitialized banner ad and interstitial objects. Request ID: r-1"},
      {"none", [](ZUMMAdURLAdapter& a) { a.invalidJavaScriptRequest(); }, ""},
      {"none", [](ZUMMAdURLAdapter& a) { a.loadAdURLWithParameters(Json::object()); }, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    for (const bool stopped : {false, true}) {
      auto adapter = make();
      // The built-in page refuses these requests: the adapter is taken off the SDK
      // core's hands first, so only the row's call is heard.
      if (std::string(row.format) == "banner") adapter->getBannerWithSize(kZUMAdSizeBanner);
      if (std::string(row.format) == "interstitial") adapter->getInterstitial();
      adapter->setRequestID("r-1");
      if (stopped) adapter->stopBeingDelegate();
      connector->log.clear();
      connector->errors.clear();
      row.call(*adapter);
      const bool silenced = stopped && row.expected.find(" 0 ") == std::string::npos;
      EXPECT_EQ(connector->log, row.expected.empty() || silenced ? Log{} : Log{row.expected}) << "stopped " << stopped;
      adapter->stopBeingDelegate();
      env.advance(15s);  // what the SDK core still says reaches no one
    }
  }
  // The SDK core's own error passes unchanged.
  auto adapter = make();
  adapter->getInterstitial();
  adapter->stopBeingDelegate();
  auto other = make();
  other->getBannerWithSize(kZUMAdSizeBanner);
  connector->errors.clear();
  other->SDKCoreRequestDidFailWithError(lost);
  ASSERT_EQ(connector->errors.size(), 1u);
  EXPECT_EQ(connector->errors[0], lost);
  other->stopBeingDelegate();
}

TEST_F(ZUMMAdURLAdapterTest, TheBannersAndTheInterstitialsReportsAreRelayedUnchanged) {
  auto banner = make();
  banner->getBannerWithSize(kZUMAdSizeBanner);
  auto interstitial = make();
  interstitial->getInterstitial();
  auto& view = *banner->banner();
  auto& ad = *interstitial->interstitial();
  auto error = ZUMRequestErrorFromError(ZUMMakeErrorWithCode(kZUMErrorNoFill));
  connector->log.clear();
  const struct {
    std::function<void()> call;
    const char* heard;
  } rows[] = {
      {[&] { banner->adViewDidReceiveAd(view); }, "view"},
      {[&] { banner->adViewDidFailToReceiveAdWithError(view, error); }, "fail com.vantor.ads 1 "},
      {[&] { banner->adViewWillPresentScreen(view); }, "will present modal"},
      {[&] { banner->adViewWillDismissScreen(view); }, "will dismiss modal"},
      {[&] { banner->adViewDidDismissScreen(view); }, "did dismiss modal"},
      {[&] { banner->adViewWillLeaveApplication(view); }, "leave"},
      {[&] { interstitial->interstitialDidReceiveAd(ad); }, "interstitial"},
      {[&] { interstitial->interstitialDidFailToReceiveAdWithError(ad, error); }, "fail com.vantor.ads 1 "},
      {[&] { interstitial->interstitialWillPresentScreen(ad); }, "will present"},
      {[&] { interstitial->interstitialWillDismissScreen(ad); }, "will dismiss"},
      {[&] { interstitial->interstitialDidDismissScreen(ad); }, "did dismiss"},
      {[&] { interstitial->interstitialWillLeaveApplication(ad); }, "leave"},
      {[&] { interstitial->interstitialDidReceiveAdClick(ad); }, "click"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.heard);
    connector->log.clear();
    connector->errors.clear();
    connector->views.clear();
    row.call();
    ASSERT_EQ(connector->log.size(), 1u);
    EXPECT_EQ(connector->log[0].substr(0, std::string(row.heard).size()), row.heard);
  }
  banner->adViewDidReceiveAd(view);
  EXPECT_EQ(connector->views.back(), banner->banner());
  banner->adViewDidFailToReceiveAdWithError(view, error);
  EXPECT_EQ(connector->errors.back(), error);
  // Stopped: the banner and the interstitial no longer have it as their delegate.
  banner->stopBeingDelegate();
  interstitial->stopBeingDelegate();
  EXPECT_EQ(view.delegate(), nullptr);
  EXPECT_EQ(ad.delegate(), nullptr);
  EXPECT_TRUE(banner->changeAdSizeTo(kZUMAdSizeLargeBanner));
  EXPECT_TRUE(ZUMAdSizeEqualToSize(view.adSize(), kZUMAdSizeLargeBanner));
}

TEST_F(ZUMMAdURLAdapterTest, TheHiddenBannerOrInterstitialShowsTheAdThePageAnswers) {
  hosts.servePage(sdkcoretest::pageWith(kAnsweringPage));
  auto banner = make();
  banner->getBannerWithSize(kZUMAdSizeBanner);
  EXPECT_TRUE(banner->banner()->isMediated());
  EXPECT_FALSE(banner->banner()->slot()->reloadable());
  EXPECT_EQ(banner->banner()->rootViewController(), host);
  waitForReport();
  EXPECT_EQ(connector->log, Log{"view"});
  EXPECT_EQ(connector->views[0], banner->banner());
  auto shown = banner->banner()->slot()->ad();
  ASSERT_TRUE(shown && shown->adHTML());
  EXPECT_EQ(*shown->adHTML(), "<html><body>Inlined banner</body></html>");

  connector->log.clear();
  auto interstitial = make();
  interstitial->getInterstitial();
  EXPECT_TRUE(interstitial->interstitial()->isMediated());
  waitForReport();
  EXPECT_EQ(connector->log, Log{"interstitial"});
  EXPECT_EQ(pings("/ad"), 0u) << "the ad server is never asked: the page answered";
  connector->log.clear();
  interstitial->presentInterstitialFromRootViewController(host);
  waitForReport();
  EXPECT_EQ(connector->log.front(), "will present");
  env.advance(1s);
  interstitial->interstitial()->viewController()->closeButtonPressed();
  env.advance(1s);
  EXPECT_EQ(connector->log.back(), "did dismiss");

  // A page that never answers: the SDK core gives up after its time-out and the
  // adapter passes its error on.
  connector->log.clear();
  connector->credentialsValue = {{"silent", true}};
  auto waiting = make();
  waiting->getBannerWithSize(kZUMAdSizeBanner);
  env.advance(9s);
  EXPECT_TRUE(connector->log.empty());
  env.advance(2s);
  waitForReport();
  EXPECT_EQ(connector->log,
            Log{"fail com.vantor.ads 5 " + ZUMMakeErrorWithCode(kZUMErrorTimeout)->localizedDescription()});
}

// The built-in page takes the unit from the entry's credentials and asks the ad server
// for a mediated ad; without one it refuses, which the adapter reports as code 4.
TEST_F(ZUMMAdURLAdapterTest, TheBuiltInPageServesAnEntryWhoseCredentialsNameTheUnit) {
  connector->credentialsValue = {{"slotname", "unit/mediated-3"}};
  auto banner = make();
  banner->getBannerWithSize(kZUMAdSizeBanner);
  waitForReport();
  EXPECT_EQ(connector->log, Log{"view"});
  const auto asked = hosts.server.requests("/ad");
  ASSERT_EQ(asked.size(), 1u);
  const std::string query = asked[0].query.value_or("");
  EXPECT_EQ(query.rfind("unit=unit%2Fmediated-3&format=banner", 0), 0u) << query;
  EXPECT_NE(query.find("&mediation=1"), std::string::npos) << query;
  banner->stopBeingDelegate();

  // No unit, or an ad server that fails: refused.
  hosts.server.route("/ad", {.status = 404, .body = "gone"});
  for (const Json& credentials : {Json{{"slotname", 7}}, Json{{"slotname", "unit-x"}}}) {
    SCOPED_TRACE(credentials.dump());
    connector->log.clear();
    connector->credentialsValue = credentials;
    auto refused = make();
    refused->getInterstitial();
    waitForReport();
    EXPECT_EQ(connector->log, Log{std::string("fail ") + kZUMMAdURLAdapterErrorDomain +
                                  " 4 Failed to load ad. Check network connection."});
    refused->stopBeingDelegate();
  }
  EXPECT_EQ(hosts.server.requests("/ad").size(), 2u) << "only the entry with a unit asks the ad server";
}

}  // namespace
