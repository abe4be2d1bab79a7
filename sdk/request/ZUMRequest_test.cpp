#include "ZUMRequest.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "PXRRequest.h"
#include "ZUMExtras.h"
#include "platform/base/Clock.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/AdvertisingIdentifierManager.h"
#include "platform/ui/Device.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMLocation.h"
#include "testing/TestEnvironment.h"

using json = nlohmann::ordered_json;

namespace {

class ZUMRequestTest : public testenv::PlatformTest {
 protected:
  std::vector<std::string> keys(const json& parameters) {
    std::vector<std::string> result;
    for (const auto& [key, value] : parameters.items()) result.push_back(key);
    return result;
  }
  std::size_t position(const json& parameters, const std::string& key) {
    auto all = keys(parameters);
    return static_cast<std::size_t>(std::find(all.begin(), all.end(), key) - all.begin());
  }
};

TEST_F(ZUMRequestTest, FirstUseRunsTheHubsEarlyActivitiesAndAFreshRequestSendsOnlyItsDefaults) {
  EXPECT_FALSE(ZUMApplication::sharedInstance()->hasRunEarlyActivities());
  auto request = ZUMRequest::create();
  env.runUntilIdle();
  EXPECT_TRUE(ZUMApplication::sharedInstance()->hasRunEarlyActivities());

  const json parameters = request->threadSafeParameters();
  EXPECT_EQ(parameters["js"], "qyra-sdk-i-v7.23.0");
  EXPECT_EQ(parameters["request_origin"], "pub");
  EXPECT_EQ(parameters["_request_object_properties"], (json{{"class", "ZUMRequest"}}));
  ASSERT_TRUE(parameters["ios_current_boot_timestamp_ms"].is_number_float());
  EXPECT_DOUBLE_EQ(parameters["ios_current_boot_timestamp_ms"].get<double>(),
                   platform::clock().timeSinceBoot() * 1000.0);
  for (const char* absent : {"adtest", "kw", "url", "cust_gender", "cust_age", "extras", "uule", "ene", "dcs", "dcr",
                             "tag_for_child_directed_treatment", "custom_targeting", "native_templates"}) {
    EXPECT_FALSE(parameters.contains(absent)) << absent;
  }
  // Device keys, then network keys, then the request's own in their fixed order.
  // An absent key sits past the end, so this also pins that each is sent.
  const char* order[] = {
      "os_version", "net", "js", "request_origin", "_request_object_properties", "ios_current_boot_timestamp_ms"};
  for (std::size_t i = 1; i < std::size(order); ++i)
    EXPECT_LT(position(parameters, order[i - 1]), position(parameters, order[i])) << order[i];

  EXPECT_EQ(ZUMRequest::extendedSDKVersionNumber(), "qyra-sdk-i-v7.23.0-rc.1+0");
  for (auto [name, type] : {std::pair{"morvane", 2}, {"vrk", 3}, {"quistel", 1}, {"Morvane", 0}})
    EXPECT_EQ(ZUMRequest::requestTypeFromString(name), type) << name;
}

TEST_F(ZUMRequestTest, TargetingValuesAreSentAsStringsAndOnlyWhenMeaningful) {
  auto request = ZUMRequest::create();
  request->setGender(3);
  request->setContentURL(" \n\t\u00a0");
  request->tagForChildDirectedTreatment(false);
  json parameters = request->threadSafeParameters();
  EXPECT_FALSE(parameters.contains("cust_gender"));
  EXPECT_FALSE(parameters.contains("url"));
  EXPECT_EQ(parameters["tag_for_child_directed_treatment"], "0");
  EXPECT_EQ(request->description().find("gender"), std::string::npos);

  request->setGender(kZUMGenderFemale);
  request->setContentURL("\u2028 http://x.test/a \n");
  request->setBirthdayWithMonth(2, 29, 2000);
  request->setKeywords(json{"a", 1});
  request->setRequestAgent("agent");
  request->setLocationWithLatitude(10.5, -20.25, 30);
  request->setCustomTargeting(json::object());
  request->setNativeExpressEnabled(true);
  parameters = request->threadSafeParameters();
  EXPECT_EQ(parameters["cust_gender"], "2");
  EXPECT_EQ(parameters["url"], "http://x.test/a");
  EXPECT_EQ(parameters["cust_age"], "20000229");
  EXPECT_EQ(parameters["kw"], (json{"a", 1}));
  EXPECT_EQ(parameters["request_agent"], "agent");
  EXPECT_EQ(parameters["uule"]["lat"], 105000000);
  EXPECT_FALSE(parameters.contains("custom_targeting"));  // empty
  EXPECT_EQ(parameters["ene"], 1);
  EXPECT_TRUE(parameters["ene"].is_number_integer());
  const std::string text = request->description();
  EXPECT_EQ(text.rfind("<ZUMRequest 0x", 0), 0u) << text;
  EXPECT_NE(text.find("\ngender:Female\nbirthday:2000-02-29 00:00:00 +0000\nlocation:"), std::string::npos) << text;

  // The calendar rolls components over; absurd ones leave no birthday.
  request->setBirthdayWithMonth(13, 0, 1999);
  EXPECT_EQ(request->birthdayString(), "19991231");
  request->setBirthdayWithMonth(INT64_MAX, 1, 1);
  EXPECT_FALSE(request->birthdayString());
  request->setBirthday(std::numeric_limits<double>::quiet_NaN());
  EXPECT_FALSE(request->birthday());

  // A location made from a description alone has no request form.
  request->setLocationWithDescription("Paris");
  EXPECT_FALSE(request->threadSafeParameters().contains("uule"));
}

TEST_F(ZUMRequestTest, DescriptionSurvivesTextThatIsNotUTF8) {
  auto request = ZUMRequest::create();
  request->setKeywords(json{std::string("caf\xE9")});
  auto extras = ZUMExtras::create();
  extras->setAdditionalParameters(json{{"k", std::string("\xFF\xFE")}});
  request->registerAdNetworkExtras(extras);
  std::string text;
  EXPECT_NO_THROW(text = request->description());
  EXPECT_NE(text.find("\nkeywords:"), std::string::npos) << text;
  EXPECT_NE(text.find("\nadditionalParameters:"), std::string::npos) << text;
}

TEST_F(ZUMRequestTest, TestDevicesMatchOnlyNonEmptyStringsEqualToThisDevice) {
  platform::AdvertisingIdentifierManager::shared().setAdvertisingIdentifier("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  const std::string current = ZUMDevice::sharedInstance()->deviceIdentifier();
  ASSERT_FALSE(current.empty());
  auto request = ZUMRequest::create();
  request->setTestDevices(json{7, current});
  EXPECT_TRUE(request->isATestDevice());
  EXPECT_EQ(request->threadSafeParameters()["adtest"], "on");

  request->setTestDevices(json{""});
  EXPECT_FALSE(request->isATestDevice());
  platform::AdvertisingIdentifierManager::shared().setAdvertisingTrackingEnabled(false);
  EXPECT_FALSE(request->isATestDevice());
  request->setTestDevices(json{"x", current});
  EXPECT_FALSE(request->isATestDevice());
}

TEST_F(ZUMRequestTest, OnTheSimulatorTheSimulatorIdentifierMarksATestDevice) {
  platform::Device::current().setSimulator(true);
  auto request = ZUMRequest::create();
  request->setTestDevices(json{kZUMSimulatorID});
  const json parameters = request->threadSafeParameters();
  EXPECT_EQ(parameters["simulator"], "1");
  EXPECT_EQ(parameters["adtest"], "on");
}

TEST_F(ZUMRequestTest, FormatParametersGiveTemplatesVersionAndResponseTypeKeys) {
  auto request = ZUMRequest::create();
  request->setFormatParameters(json::parse(R"([
      {"format": "app_install", "custom_template_ids": ["1", "2"], "allowed_response_types": ["t1"]},
      "not a dictionary",
      {"format": 5, "custom_template_ids": []},
      {"format": true},
      {"format": "content", "allowed_response_types": ["t1", "t2", 3]}])"));
  json parameters = request->threadSafeParameters();
  EXPECT_FALSE(parameters.contains("native_templates"));
  EXPECT_FALSE(parameters.contains("native_version"));
  EXPECT_EQ(parameters["native_custom_templates"], "1,2");
  EXPECT_EQ(parameters["t1"], true);
  EXPECT_EQ(parameters["t2"], true);
  EXPECT_FALSE(parameters.contains("3"));

  request->setResponseType(2);
  parameters = request->threadSafeParameters();
  EXPECT_EQ(parameters["native_templates"], "app_install,5,content");  // numbers name formats too
  EXPECT_EQ(parameters["native_version"], 2);
  EXPECT_EQ(parameters["_request_object_properties"]["formatParameters"], *request->formatParameters());
}

TEST_F(ZUMRequestTest, ARequestRebuiltFromItsParametersEqualsTheFirst) {
  auto first = ZUMRequest::create();
  first->setTestDevices(json{"a", "b"});
  first->setFormatParameters(json::parse(R"([{"format": "f"}])"));
  first->setPrivateMediationExtras(json{{"k", "v"}});
  first->setGender(kZUMGenderMale);
  first->setBirthdayWithMonth(7, 4, 1976);
  first->setLocationWithLatitude(1, 2, 3);
  first->setKeywords(json{"kw"});
  first->tagForChildDirectedTreatment(true);
  first->setCustomTargeting(json{{"ct", "1"}});
  first->setNativeExpressEnabled(true);
  first->setContentURL(" http://c.test ");
  first->setRequestAgent("agent");
  first->setAdConfigurationParameters(json{{"o", 1}});
  first->setOrigin("pool");
  first->setResponseType(3);
  auto extras = ZUMExtras::create();
  extras->setAdditionalParameters(json{{"x", "y"}});
  first->registerAdNetworkExtras(extras);

  // Every value is sent, so equal parameters mean nothing was lost; the origin is the host's again.
  const json sent = first->threadSafeParameters();
  auto rebuilt = ZUMRequest::createWithParameters(sent);
  EXPECT_EQ(rebuilt->className(), "ZUMRequest");
  EXPECT_EQ(rebuilt->origin(), "pub");
  EXPECT_EQ(rebuilt->responseType(), 3);
  EXPECT_EQ(rebuilt->contentURL(), "http://c.test");
  json expected = sent;
  expected["request_origin"] = "pub";
  EXPECT_EQ(rebuilt->threadSafeParameters(), expected);

  // The response type survives only with format names to send it.
  first->setFormatParameters(std::nullopt);
  EXPECT_EQ(ZUMRequest::createWithParameters(first->threadSafeParameters())->responseType(), 0);
}

TEST_F(ZUMRequestTest, RebuildingTakesTheNamedRequestClassAndSkipsValuesOfTheWrongKind) {
  auto publisher = PXRRequest::create();
  publisher->setPublisherProvidedID("  user 1 \n");
  publisher->setCategoryExclusions(json{"cars"});
  auto rebuilt = ZUMRequest::createWithParameters(publisher->threadSafeParameters());
  auto asPublisher = std::dynamic_pointer_cast<PXRRequest>(rebuilt);
  ASSERT_TRUE(asPublisher);
  EXPECT_EQ(asPublisher->publisherProvidedID(), "user 1");
  EXPECT_EQ(asPublisher->categoryExclusions(), json{"cars"});

  const json hostile = json::parse(R"({
      "_request_object_properties": {"class": "ZUMExtras", "testDevices": "x", "formatParameters": {}},
      "cust_gender": 1, "cust_age": "19991350", "uule": {"lat": "1", "long": 2}, "kw": "k",
      "tag_for_child_directed_treatment": 1, "options": [], "url": 5, "native_version": 1e300,
      "request_agent": null, "custom_targeting": "t", "ene": "1", "extras": ["e"]})");
  auto plain = ZUMRequest::createWithParameters(hostile);
  EXPECT_EQ(plain->className(), "ZUMRequest");
  // Nothing of the wrong kind was taken: the request sends what a fresh one does.
  EXPECT_EQ(plain->threadSafeParameters(), ZUMRequest::create()->threadSafeParameters());
  EXPECT_FALSE(plain->testDevices());
  EXPECT_EQ(plain->responseType(), INT64_MAX);
  EXPECT_EQ(ZUMRequest::createWithParameters(json("not a dictionary"))->className(), "ZUMRequest");
}

class OtherExtras : public ZUMAdNetworkExtras {
 public:
  std::string className() const override { return "OtherExtras"; }
};

TEST_F(ZUMRequestTest, NetworkExtrasAreKeptPerClassAndUseOnceExtrasGoAfterTheirFirstUse) {
  auto request = ZUMRequest::create();
  EXPECT_TRUE(request->cacheable());
  request->registerAdNetworkExtras(nullptr);
  EXPECT_FALSE(request->networkExtrasAdditionalParameters());

  auto first = ZUMExtras::create();
  first->setAdditionalParameters(json{{"a", 1}});
  auto second = ZUMExtras::create();
  second->setAdditionalParameters(json{{"_useOnce", "1"}, {"b", 2}});
  request->registerAdNetworkExtras(first);
  request->registerAdNetworkExtras(second);
  EXPECT_EQ(request->adNetworkExtrasFor<ZUMExtras>(), second);
  EXPECT_TRUE(request->cacheable());

  // A copy shares the extras object in a map of its own.
  auto copy = request->copy();
  EXPECT_EQ(copy->adNetworkExtrasFor<ZUMExtras>(), second);

  // Building parameters does not use the extras up; reading them does.
  EXPECT_EQ(request->threadSafeParameters()["extras"], *second->additionalParameters());
  EXPECT_EQ(request->networkExtrasAdditionalParameters(), second->additionalParameters());
  EXPECT_FALSE(request->adNetworkExtrasFor(ZUMExtras::kClassName));
  EXPECT_FALSE(request->networkExtrasAdditionalParameters());
  EXPECT_EQ(copy->adNetworkExtrasFor<ZUMExtras>(), second);

  // An ad makes the request uncacheable, as does extras of any other class.
  second->setAdditionalParameters(json{{"_ad", json::object()}});
  EXPECT_FALSE(copy->cacheable());
  request->registerAdNetworkExtras(std::make_shared<OtherExtras>());
  EXPECT_FALSE(request->cacheable());
  request->removeAdNetworkExtrasFor("OtherExtras");
  EXPECT_TRUE(request->cacheable());
}

TEST_F(ZUMRequestTest, ParametersAddTheRequestSignalUnlessItIsSwitchedOff) {
  auto request = ZUMRequest::create();
  json withSignal = request->parameters();
  json without = request->threadSafeParameters();
  ASSERT_EQ(withSignal.size(), without.size() + 1);
  const std::string signalKey = keys(withSignal).back();
  EXPECT_FALSE(without.contains(signalKey));
  EXPECT_FALSE(withSignal[signalKey].get<std::string>().empty());

  EXPECT_TRUE(platform::UserDefaults::standard().setObject("0", "/vantor/ads/zums:rdiim_signal"));
  EXPECT_FALSE(ZUMRDIIMSignalParameters());
  EXPECT_FALSE(request->parameters().contains(signalKey));
}

TEST_F(ZUMRequestTest, BannerViewNotesMarkEveryLaterRequest) {
  auto request = ZUMRequest::create();
  ZUMNoteResizeUsed();
  json parameters = request->threadSafeParameters();
  EXPECT_EQ(parameters["dcr"], "1");
  EXPECT_FALSE(parameters.contains("dcs"));
  ZUMNoteValidAdSizesSetterUsed();
  EXPECT_EQ(PXRRequest::create()->threadSafeParameters()["dcs"], "1");
}

}  // namespace
