#include "sdk/mediation/ZUMMRequestFromMediation.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMCustomEventExtras.h"
#include "ZUMCustomEventRequest.h"
#include "ZUMExtras.h"
#include "ZUMRequest.h"
#include "platform/base/SystemLog.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMLocation.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorTestSupport.h"
#include "sdk/mediation/ZUMMediationAdRequestInternal.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "sdk/request/ZUMAd.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

// A connector's answers about the publisher's request, as the test sets them.
struct PlainAnswers : virtual ZUMMediationAdRequest {
  std::optional<std::string> publisherId() const override { return std::nullopt; }
  Json credentials() const override { return credentialsValue; }
  bool testMode() const override { return test; }
  std::shared_ptr<ZUMAdNetworkExtras> networkExtras() const override { return extrasValue; }
  std::optional<bool> childDirectedTreatment() const override { return childDirected; }
  ZUMGender userGender() const override { return kZUMGenderFemale; }
  std::optional<platform::TimeInterval> userBirthday() const override { return 86400.0; }
  bool userHasLocation() const override { return hasLocation; }
  double userLatitude() const override { return hasLocation ? 48.5 : 0; }
  double userLongitude() const override { return hasLocation ? 7.25 : 0; }
  double userLocationAccuracyInMeters() const override { return hasLocation ? 30 : 0; }
  std::optional<std::string> userLocationDescription() const override { return description; }
  std::optional<std::vector<std::string>> userKeywords() const override { return std::vector<std::string>{"k1", "k2"}; }

  Json credentialsValue = Json::object();
  bool test = false;
  std::shared_ptr<ZUMAdNetworkExtras> extrasValue;
  std::optional<bool> childDirected;
  bool hasLocation = false;
  std::optional<std::string> description;
};

struct InternalAnswers : PlainAnswers, ZUMMediationAdRequestInternal {
  std::optional<Json> inlineAd() const override { return inlined; }
  std::optional<Json> extras() const override { return entryExtras; }
  std::vector<std::vector<std::string>> adapterNames() const override { return names; }
  std::string currentAdapterName() const override { return current; }
  std::optional<std::string> userRequestAgent() const override { return "agent/1"; }

  std::optional<Json> inlined;
  std::optional<Json> entryExtras;
  std::vector<std::vector<std::string>> names;
  std::string current;
};

Json parametersOf(const ZUMRequest& request) {
  auto extras = request.adNetworkExtrasFor<ZUMExtras>();
  return extras ? extras->additionalParameters().value_or(Json()) : Json();
}

class ZUMMRequestFromMediationTest : public testenv::PlatformTest {};

TEST_F(ZUMMRequestFromMediationTest, CustomEventRequestsCarryTheExtrasOfTheEntrysLabelOnly) {
  auto customExtras = ZUMCustomEventExtras::create();
  customExtras->setExtrasForLabel(Json{{"p", "1"}}, "A");
  auto plainExtras = ZUMExtras::create();
  plainExtras->setAdditionalParameters(Json{{"p", "2"}});
  const struct {
    std::shared_ptr<ZUMAdNetworkExtras> extras;
    Json credentials;
    std::optional<Json> parameters;
  } rows[] = {
      {customExtras, {{"label", "A"}}, Json{{"p", "1"}}}, {customExtras, {{"label", "B"}}, std::nullopt},
      {customExtras, Json::object(), std::nullopt},       {customExtras, {{"label", 5}}, std::nullopt},
      {plainExtras, {{"label", "A"}}, std::nullopt},      {nullptr, {{"label", "A"}}, std::nullopt},
  };
  for (const auto& row : rows) {
    PlainAnswers answers;
    answers.extrasValue = row.extras;
    answers.credentialsValue = row.credentials;
    auto request = ZUMCustomEventRequest::create(answers);
    EXPECT_EQ(request->additionalParameters(), row.parameters) << row.credentials.dump();
    EXPECT_EQ(request->userGender(), kZUMGenderFemale);
    EXPECT_EQ(request->userBirthday(), 86400.0);
    EXPECT_EQ(request->userKeywords(), (std::vector<std::string>{"k1", "k2"}));
  }
  // The snapshot is a copy: later changes of the app's extras do not reach it.
  PlainAnswers answers;
  answers.extrasValue = customExtras;
  answers.credentialsValue = {{"label", "A"}};
  answers.test = true;
  answers.hasLocation = true;
  answers.description = "Quay";
  auto request = ZUMCustomEventRequest::create(answers);
  customExtras->removeAllExtras();
  EXPECT_EQ(request->additionalParameters(), (Json{{"p", "1"}}));
  EXPECT_TRUE(request->isTesting());
  EXPECT_TRUE(request->userHasLocation());
  EXPECT_EQ(request->userLatitude(), 48.5);
  EXPECT_EQ(request->userLongitude(), 7.25);
  EXPECT_EQ(request->userLocationAccuracyInMeters(), 30);
  EXPECT_EQ(request->userLocationDescription(), "Quay");
  answers.hasLocation = false;
  request = ZUMCustomEventRequest::create(answers);
  EXPECT_FALSE(request->userHasLocation());
  EXPECT_EQ(request->userLatitude(), 0.0);
  EXPECT_EQ(request->userLongitude(), 0.0);
  EXPECT_EQ(request->userLocationAccuracyInMeters(), 0.0);
}

TEST_F(ZUMMRequestFromMediationTest, CustomEventExtrasNeedALabelAndANilDictionaryRemovesTheLabel) {
  platform::SystemLog::Capture capture(true);
  auto extras = ZUMCustomEventExtras::create();
  extras->setExtrasForLabel(Json{{"x", 1}}, std::nullopt);
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Must specify a label for extras."));
  EXPECT_EQ(extras->allExtras(), Json::object());
  extras->setExtrasForLabel(Json{{"x", 1}}, "A");
  extras->setExtrasForLabel(Json{{"y", 2}}, "B");
  EXPECT_EQ(extras->allExtras(), (Json{{"A", {{"x", 1}}}, {"B", {{"y", 2}}}}));
  extras->setExtrasForLabel(std::nullopt, "A");
  extras->setExtrasForLabel(Json::array({1}), "B");
  EXPECT_EQ(extras->allExtras(), Json::object());
  EXPECT_EQ(extras->extrasForLabel("A"), std::nullopt);
}

TEST_F(ZUMMRequestFromMediationTest, TheRequestCarriesTheTargetingAndOnlyAnInternalRequestsMediationValues) {
  auto publisherExtras = ZUMExtras::create();
  publisherExtras->setAdditionalParameters(Json{{"_mediationRequestUrl", "https://u.example/r"}, {"q", "v"}});
  const Json inlined = {{"ad_html", "<p>ad</p>"}, {"ad_base_url", "https://ads.example/"}};
  const struct {
    const char* name;
    bool internal;
    std::shared_ptr<ZUMAdNetworkExtras> extras;
    Json credentials;
    std::vector<std::vector<std::string>> names;
    std::string current;
    Json parameters;
    std::optional<Json> mediationExtras;
  } rows[] = {
      {"not internal",
       false,
       publisherExtras,
       {{"mad_hac", "h1"}},
       {{"X"}},
       "X",
       {{"_mediationRequestUrl", "https://u.example/r"},
        {"q", "v"},
        {"_requestUrl", "https://u.example/r"},
        {"mad_hac", "h1"},
        {"pw", "1"}},
       std::nullopt},
      {"internal",
       true,
       publisherExtras,
       Json::object(),
       {{"X", "Y"}, {"Z"}},
       "Y",
       {{"_mediationRequestUrl", "https://u.example/r"},
        {"q", "v"},
        {"_requestUrl", "https://u.example/r"},
        {"pw", "1"},
        {"a", "b"}},
       Json{{"man", {{"X", "Y"}, {"Z"}}}, {"mcan", "Y"}}},
      {"no extras, no names",
       true,
       nullptr,
       {{"mad_hac", 3}},
       {},
       "Y",
       {{"pw", "1"}, {"a", "b"}},
       Json{{"man", {"Y"}}, {"mcan", "Y"}}},
      {"no adapter name",
       true,
       ZUMCustomEventExtras::create(),
       Json::object(),
       {{"X"}},
       "",
       {{"pw", "1"}, {"a", "b"}},
       std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    InternalAnswers internal;
    PlainAnswers plain;
    PlainAnswers& answers = row.internal ? static_cast<PlainAnswers&>(internal) : plain;
    answers.extrasValue = row.extras;
    answers.credentialsValue = row.credentials;
    answers.childDirected = true;
    internal.entryExtras = Json{{"a", "b"}, {"n", 5}};
    internal.inlined = inlined;
    internal.names = row.names;
    internal.current = row.current;
    auto request = ZUMRequestWithMediationAdRequest(answers);
    EXPECT_EQ(parametersOf(*request), row.parameters);
    EXPECT_EQ(request->privateMediationExtras(), row.mediationExtras);
    EXPECT_EQ(request->requestAgent(), row.internal ? std::optional<std::string>("agent/1") : std::nullopt);
    auto extras = request->adNetworkExtrasFor<ZUMExtras>();
    ASSERT_TRUE(extras);
    EXPECT_NE(extras, row.extras);
    EXPECT_EQ(extras->hasAd(), row.internal);
    if (row.internal) {
      EXPECT_EQ(extras->ad()->adHTML(), "<p>ad</p>");
    }
    EXPECT_EQ(request->childDirectedTreatment(), true);
    EXPECT_EQ(request->gender(), kZUMGenderFemale);
    EXPECT_EQ(request->birthday(), 86400.0);
    EXPECT_EQ(request->keywords(), Json::array({"k1", "k2"}));
    EXPECT_EQ(request->testDevices(), std::nullopt);
  }
  // Entry extras and an inlined ad that are no dictionaries add nothing.
  InternalAnswers odd;
  odd.entryExtras = Json::array({"x"});
  odd.inlined = Json::array({"y"});
  auto request = ZUMRequestWithMediationAdRequest(odd);
  EXPECT_EQ(parametersOf(*request), (Json{{"pw", "1"}}));
  EXPECT_FALSE(request->adNetworkExtrasFor<ZUMExtras>()->hasAd());
  // The publisher's extras hold what they held.
  EXPECT_EQ(publisherExtras->additionalParameters(),
            (Json{{"_mediationRequestUrl", "https://u.example/r"}, {"q", "v"}}));
  EXPECT_FALSE(publisherExtras->hasAd());
}

TEST_F(ZUMMRequestFromMediationTest, TestModeLocationAndTheNilCasesOfTheTwoSteps) {
  PlainAnswers answers;
  answers.test = true;
  answers.hasLocation = true;
  auto request = ZUMRequestWithMediationAdRequest(answers);
  EXPECT_EQ(request->testDevices(),
            Json::array({"Simulator", "Simulator", ZUMDevice::sharedInstance()->deviceIdentifier()}));
  ASSERT_TRUE(request->location());
  EXPECT_EQ(request->location()->latitude(), 48.5);
  EXPECT_EQ(request->location()->longitude(), 7.25);
  EXPECT_EQ(request->location()->accuracy(), 30);
  EXPECT_EQ(request->childDirectedTreatment(), std::nullopt);

  answers.hasLocation = false;
  answers.description = "Harbour Row";
  request = ZUMRequestWithMediationAdRequest(answers);
  ASSERT_TRUE(request->location());
  EXPECT_EQ(request->location()->locationDescription(), "Harbour Row");
  answers.description.reset();
  EXPECT_FALSE(ZUMRequestWithMediationAdRequest(answers)->location());

  auto bare = ZUMRequest::create();
  ZUMRequestConfigureNetworkExtrasWithMediationAdRequest(*bare, nullptr);
  ZUMRequestAddAdapterListWithMediationAdRequest(*bare, nullptr);
  EXPECT_FALSE(bare->adNetworkExtrasFor<ZUMExtras>());
  EXPECT_EQ(bare->privateMediationExtras(), std::nullopt);
}

}  // namespace

// The SDK's own banner connector over a real slot: the inlined ad of its entry keeps the
// slot's ad's request and redirects, plus one marked 399 redirect from the slot ad's base
// URL to the inlined ad's, which needs that base URL.
TEST_F(ZUMMRequestFromMediationTest, TheRealConnectorsInlinedAdKeepsTheSlotAdsRequestAndRedirects) {
  auto config =
      ZUMMConfig::create("unit-R",
                         {{"ad_networks",
                           {{{"id", "n"},
                             {"adapters", {"ZUMMAdapterCustomEvents"}},
                             {"ad", {{"ad_html", "<p>inlined</p>"}, {"ad_base_url", "https://inlined.example/ad"}}}}}}},
                         nullptr);
  ASSERT_TRUE(config);
  const platform::URLRequest original(*platform::URL::fromString("https://ads.example/first"));
  auto earlier = ZUMURLConnectionRedirect::create(
      platform::HTTPURLResponse(*platform::URL::fromString("https://ads.example/first"), 302, {}),
      platform::URLRequest(*platform::URL::fromString("https://ads.example/second")));
  const struct {
    const char* name;
    bool slotAd;
    std::optional<std::string> baseURL;
    std::size_t redirects;
  } rows[] = {
      {"a slot ad with a base URL", true, "https://ads.example/second", 2},
      {"a slot ad without one", true, std::nullopt, 1},
      {"no slot ad", false, std::nullopt, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto waterfall = std::make_shared<connectortest::Waterfall>();
    waterfall->board = std::make_shared<connectortest::Board>();
    waterfall->theSlot = ZUMSlot::create({0, 0, 320, 50});
    if (row.slotAd) {
      auto slotAd = ZUMAd::create();
      slotAd->setOriginalRequest(original);
      slotAd->addRedirect(earlier);
      if (row.baseURL) slotAd->setAdBaseURL(platform::URL::fromString(*row.baseURL));
      slotAd->setResponseHeaders(Json{{"X-Served-By", "edge-4"}, {"X-Count", 3}});
      waterfall->theSlot->setAd(slotAd);
    }
    auto connector = ZUMMAdNetworkConnectorBanner::create(config, config->adNetworkConfigs().front());
    connector->setAdManager(waterfall);
    auto ad = ZUMRequestWithMediationAdRequest(*connector)->adNetworkExtrasFor<ZUMExtras>()->ad();
    ASSERT_TRUE(ad);
    EXPECT_EQ(ad->adHTML(), "<p>inlined</p>");
    EXPECT_EQ(ad->originalRequest().has_value(), row.slotAd);
    ASSERT_EQ(ad->redirects().size(), row.redirects);
    if (row.redirects > 0) {
      EXPECT_EQ(ad->redirects()[0], earlier);
    }
    if (row.redirects < 2) continue;
    const auto& inlined = *ad->redirects()[1];
    EXPECT_EQ(inlined.response().statusCode(), 399);
    EXPECT_EQ(inlined.response().url().absoluteString(), *row.baseURL);
    EXPECT_EQ(inlined.response().valueForHTTPHeaderField("X-Served-By"), "edge-4");
    EXPECT_EQ(inlined.response().valueForHTTPHeaderField("X-Count"), std::nullopt);  // only text headers
    ASSERT_TRUE(inlined.request().url());
    EXPECT_EQ(inlined.request().url()->absoluteString(), "https://inlined.example/ad");
    EXPECT_EQ(inlined.request().valueForHTTPHeaderField(kZUMMInlinedAnnotationHeader), "inlined in mediation response");
  }
}
