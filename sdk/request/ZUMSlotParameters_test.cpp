#include <algorithm>
#include <any>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMAdSize.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdKeyDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/DeviceProfile.h"
#include "platform/ui/LocationManager.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMLocationService.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMCorrelator.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSDKCoreControllerDelegate.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotTelemetry.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

// Stands in for the SDK-core controller: gives the requester its request id and asks for
// its parameters on the main thread, as the controller does before it calls the page.
class ParameterCapture : public ZUMSDKCoreController {
 public:
  void buildAdURL(const std::shared_ptr<ZUMSDKCoreControllerDelegate>& requester) override {
    requester->setRequestID(std::to_string(++requests));
    parameters = requester->requestParameters();
  }
  void executeJavaScriptFromBlockWhenReady(ZUMSDKCoreScriptBlock, ZUMSDKCoreCompletionBlock) override {}
  void executeExportedJavaScriptCommand(const std::string&, const std::optional<ordered_json>&,
                                        ZUMSDKCoreCompletionBlock) override {}
  void postJavaScriptNotification(const std::string&, const std::optional<ordered_json>&) override {}
  std::shared_ptr<ZUMSDKCoreWebView> activeSDKCoreWebView() override { return nullptr; }
  int requests = 0;
  ordered_json parameters;
};

class Owner : public ZUMSlotDelegate {
 public:
  // A new load replaces one still waiting for the page, as a banner's refresh does.
  std::optional<bool> slotShouldPreemptInProgressRequest(ZUMSlot&) override { return true; }
  std::optional<platform::Rect> frame() override { return ownerFrame; }
  std::optional<platform::Rect> bounds() override { return ownerBounds; }
  std::optional<std::vector<std::any>> validAdSizes() override { return sizes; }
  std::optional<platform::Rect> ownerFrame;
  std::optional<platform::Rect> ownerBounds;
  std::optional<std::vector<std::any>> sizes;
};

class KeyDelegate : public ZUMSlotAdKeyDelegate {
 public:
  void cacheViewHierarchyInformationForSlot(ZUMSlot&) override { ++cached; }
  std::optional<ordered_json> viewHierarchyInformationForSlot(ZUMSlot&) override { return hierarchy; }
  int cached = 0;
  std::optional<ordered_json> hierarchy;
};

// The keys every request of the test device carries before the slot's keys: the
// device's, the network's and the request object's own, as the fixed profile gives them.
ordered_json requestBase() {
  return ordered_json::parse(R"({
    "device_model": "TestPhone", "device_submodel": "TestPhone10,4", "os_version": "12.4.1", "lat": "0",
    "screen_width": 375.0, "screen_height": 667.0, "screen_density": 2.0, "orientation": "p",
    "window_width": 375.0, "window_height": 667.0, "device_volume": 0.5,
    "can_text": "1", "can_call": "0", "app_bundle_id": "com.example.reader", "app_version": "2.1",
    "net": "wifi", "net_last": 1, "mcc": "310", "mnc": "260", "carrier_country": "us",
    "js": "qyra-sdk-i-v7.23.0", "request_origin": "pub",
    "_request_object_properties": {"class": "ZUMRequest"},
    "ios_current_boot_timestamp_ms": 3600000.0,
    "REQUEST_SIGNAL": "opaque"})");
}

class ZUMSlotParametersTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::DeviceProfile::apply(ordered_json::parse(R"({
      "advertisingIdentifier": "5D9D8B4C-1E4A-4E3B-9C59-1B7B2F0A6C11",
      "advertisingTrackingEnabled": true,
      "carrier": {"name": "Carrier", "mobileCountryCode": "310", "mobileNetworkCode": "260",
                  "isoCountryCode": "us", "allowsVOIP": true},
      "radioAccessTechnology": null, "reachability": "wifi",
      "model": "TestPhone", "systemVersion": "12.4.1", "hardwareModel": "TestPhone10,4",
      "idiom": "phone", "simulator": false, "canSendText": true,
      "audio": {"outputVolume": 0.5, "outputPortNames": ["Speaker"], "otherAudioPlaying": false}})")));
    EXPECT_TRUE(platform::Bundle::main().setInfoDictionary(
        ordered_json{{"CFBundleIdentifier", "com.example.reader"}, {"CFBundleShortVersionString", "2.1"}}));
    window = platform::Window::create({0, 0, 375, 667});
    window->makeKeyAndVisible();
    testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
    ZUMSDKCoreController::setSharedInstance(controller);
    env.runUntilIdle();
  }
  void TearDown() override {
    ZUMSDKCoreController::setSharedInstance(nullptr);
    ZUMSlotTelemetry::setShared(nullptr);
  }

  std::shared_ptr<ZUMSlot> makeSlot(std::shared_ptr<ZUMAdType> type, const platform::Rect& frame = {}) {
    auto slot = ZUMSlot::create(frame);
    slot->setAdType(std::move(type), false);
    slot->setSlotDelegate(owner);
    slot->setAdKeyDelegate(keyDelegate);
    return slot;
  }

  // The parameters of one load of `request`, as the SDK-core controller gets them.
  ordered_json load(const std::shared_ptr<ZUMSlot>& slot, std::shared_ptr<ZUMRequest> request = ZUMRequest::create()) {
    controller->parameters = nullptr;
    slot->loadRequest(request);
    env.runUntilIdle();
    return controller->parameters;
  }

  // The slot takes its statistics and the clock's reading when the load starts.
  static void expectStatistics(ordered_json& parameters) {
    ASSERT_TRUE(parameters.contains("quality_signals"));
    auto& app = parameters["quality_signals"]["app"];
    EXPECT_TRUE(app.contains("seq_num"));
    EXPECT_TRUE(app["currts"].is_number());
    app = "taken";
  }

  std::shared_ptr<platform::Window> window;
  std::shared_ptr<ParameterCapture> controller = std::make_shared<ParameterCapture>();
  std::shared_ptr<Owner> owner = std::make_shared<Owner>();
  std::shared_ptr<KeyDelegate> keyDelegate = std::make_shared<KeyDelegate>();
};

// Compares key by key, in order, so a misplaced key shows where it went wrong. The
// request signal is opaque: only its place and its form are compared.
void expectSameDictionary(const ordered_json& actual, const ordered_json& expected) {
  const std::string signalKey = ZUMRDIIMSignalParameters().value().begin().key();
  ordered_json comparable = ordered_json::object();
  for (const auto& [key, value] : actual.items()) {
    if (key == signalKey) {
      EXPECT_TRUE(value.is_string() && !value.get<std::string>().empty());
      comparable["REQUEST_SIGNAL"] = "opaque";
    } else {
      comparable[key] = value;
    }
  }
  EXPECT_EQ(comparable.dump(2), expected.dump(2));
}

TEST_F(ZUMSlotParametersTest, InterstitialReferenceDictionary) {
  auto slot = makeSlot(ZUMAdType::createForInterstitial());
  slot->setAdUnitID("unit-A/interstitial");
  slot->setCorrelator(ZUMCorrelator::create());
  slot->setManualImpressionsEnabled(true);
  keyDelegate->hierarchy = ordered_json{{"parent_view_count", 2}};
  EXPECT_TRUE(platform::UserDefaults::standard().setObject("e1,e2", "/vantor/ads/experiment_id_string"));
  EXPECT_TRUE(platform::UserDefaults::standard().setObject("1", "/vantor/ads/zums:sai:enabled"));
  EXPECT_TRUE(
      platform::UserDefaults::standard().setObject(ordered_json{"cap_a"}, "/vantor/ads/zums:sdk_core_constants:caps"));
  auto request = ZUMRequest::create();
  request->setKeywords(ordered_json{"news"});
  request->setPrivateMediationExtras(ordered_json{{"mediation", "on"}});

  ordered_json parameters = load(slot, request);
  expectStatistics(parameters);
  // The request's keywords go right after the SDK version, its extras into its own properties.
  ordered_json expected = ordered_json::object();
  const ordered_json base = requestBase();
  for (const auto& [key, value] : base.items()) {
    expected[key] = value;
    if (key == "js") expected["kw"] = ordered_json::array({"news"});
  }
  expected["_request_object_properties"] = {{"privateMediationExtras", {{"mediation", "on"}}}, {"class", "ZUMRequest"}};
  expected.update(ordered_json::parse(R"({
    "correlation_id": 0,
    "quality_signals": {"app": "taken", "request": {"mediation": "on"}},
    "slotname": "unit-A/interstitial",
    "format": "interstitial_mb",
    "request_id": "1",
    "d_imp_hdr": "1",
    "force_https": "1",
    "view_hierarchy": {"parent_view_count": 2},
    "eid": "e1,e2",
    "cre": "0",
    "sai": "1",
    "extra_caps": ["cap_a"]})"));
  expected["correlation_id"] = slot->correlator()->correlationID();
  expectSameDictionary(parameters, expected);
  EXPECT_EQ(keyDelegate->cached, 1);
}

TEST_F(ZUMSlotParametersTest, BannerWithTwoSizesReferenceDictionary) {
  auto slot = makeSlot(ZUMAdType::create(kZUMAdSizeBanner), {0, 0, 320, 50});
  slot->setAdUnitID("unit-B/banner");
  auto container = platform::View::create({0, 100, 375, 300});
  window->addSubview(container);
  container->addSubview(slot->adView());
  slot->adView()->setFrame({27.5, 10, 320, 50});
  owner->sizes =
      std::vector<std::any>{ZUMValueFromAdSize(kZUMAdSizeBanner), ZUMValueFromAdSize(kZUMAdSizeMediumRectangle)};
  owner->ownerFrame = platform::Rect{347.5, 160, -320, -50};  // read standardised
  owner->ownerBounds = platform::Rect{0, 0, 320, 50};

  ordered_json parameters = load(slot);
  expectStatistics(parameters);
  ordered_json expected = requestBase();
  expected.update(ordered_json::parse(R"({
    "quality_signals": {"app": "taken"},
    "slotname": "unit-B/banner",
    "sz": "320x50|300x250",
    "sz_array": ["320x50", "300x250"],
    "ad_frame": {"x": 27.5, "y": 110.0, "width": 320.0, "height": 50.0},
    "ad_bounds": {"x": 0.0, "y": 0.0, "width": 320.0, "height": 50.0},
    "request_id": "1",
    "ad_pos": {"x": 27.5, "y": 110.0, "width": 320.0, "height": 50.0, "visible": 1},
    "force_https": "1",
    "cre": "0",
    "sai": "0"})"));
  expectSameDictionary(parameters, expected);
}

TEST_F(ZUMSlotParametersTest, FluidBannerReferenceDictionary) {
  auto slot = makeSlot(ZUMAdType::create(kZUMAdSizeFluid), {0, 0, 375, 120});
  // The owner answers no geometry: the ad view's own frame and bounds are sent.
  ordered_json parameters = load(slot);
  expectStatistics(parameters);
  ordered_json expected = requestBase();
  expected.update(ordered_json::parse(R"({
    "quality_signals": {"app": "taken"},
    "format": "320x50_mb",
    "fluid": "height",
    "ad_frame": {"x": 0.0, "y": 0.0, "width": 375.0, "height": 120.0},
    "ad_bounds": {"x": 0.0, "y": 0.0, "width": 375.0, "height": 120.0},
    "request_id": "1",
    "force_https": "1",
    "cre": "0",
    "sai": "0"})"));
  expectSameDictionary(parameters, expected);
}

TEST_F(ZUMSlotParametersTest, FullWidthBannerReferenceDictionary) {
  auto slot = makeSlot(ZUMAdType::create(kZUMAdSizeSmartBannerPortrait), {0, 0, 375, 50});
  owner->ownerFrame = platform::Rect{0, 617, 375, 50};
  owner->ownerBounds = platform::Rect{0, 0, 375, 50};
  owner->sizes = std::vector<std::any>{ZUMValueFromAdSize(kZUMAdSizeSmartBannerPortrait), std::string("320x50"),
                                       ZUMValueFromAdSize(kZUMAdSizeFluid)};
  ordered_json parameters = load(slot);
  expectStatistics(parameters);
  ordered_json expected = requestBase();
  expected.update(ordered_json::parse(R"({
    "quality_signals": {"app": "taken"},
    "sz": "375x50|375x0",
    "sz_array": ["375x50", "fluid"],
    "ad_frame": {"x": 0.0, "y": 617.0, "width": 375.0, "height": 50.0},
    "ad_bounds": {"x": 0.0, "y": 0.0, "width": 375.0, "height": 50.0},
    "smart_w": "full",
    "smart_h": "auto",
    "request_id": "1",
    "force_https": "1",
    "cre": "0",
    "sai": "0"})"));
  expectSameDictionary(parameters, expected);
}

// Hosts hand over any double and servers write switches of any type: each is read
// typed, and what cannot be read takes the built-in default.
TEST_F(ZUMSlotParametersTest, HostileSizesAndSwitchesAreReadTyped) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto slot = makeSlot(ZUMAdType::create(kZUMAdSizeBanner));
  owner->sizes = std::vector<std::any>{ZUMValueFromAdSize(kZUMAdSizeInvalid),
                                       ZUMValueFromAdSize(ZUMAdSize{{nan, 50}, kZUMAdSizeFlagCustom}),
                                       ZUMValueFromAdSize(ZUMAdSize{{-300, 250}, kZUMAdSizeFlagCustom}),
                                       ZUMValueFromAdSize(ZUMAdSize{{1e300, 50}, kZUMAdSizeFlagCustom}),
                                       ordered_json(320),
                                       std::any()};
  owner->ownerFrame = platform::Rect{nan, 0, std::numeric_limits<double>::infinity(), 50};
  keyDelegate->hierarchy = ordered_json("not a dictionary");
  auto& defaults = platform::UserDefaults::standard();
  EXPECT_TRUE(defaults.setObject(ordered_json{{"on", true}}, "/vantor/ads/use_https"));  // wrong type: absent
  EXPECT_TRUE(defaults.setObject("YES", "/vantor/ads/zums:sai:enabled"));
  EXPECT_TRUE(defaults.setObject(1, "/vantor/ads/prefetch_enabled"));
  EXPECT_TRUE(defaults.setObject(ordered_json::array(), "/vantor/ads/experiment_id_string"));

  ordered_json parameters = load(slot);
  EXPECT_FALSE(parameters.contains("sz"));
  EXPECT_FALSE(parameters.contains("sz_array"));
  EXPECT_FALSE(parameters.contains("format"));
  EXPECT_EQ(parameters["ad_frame"], ordered_json::parse(R"({"x": 0.0, "y": 0.0, "width": 0.0, "height": 50.0})"));
  EXPECT_FALSE(parameters.contains("view_hierarchy"));
  EXPECT_FALSE(parameters.contains("eid"));
  EXPECT_EQ(parameters["force_https"], "1");
  EXPECT_EQ(parameters["sai"], "1");
  EXPECT_EQ(parameters["_forcePrefetch"], "1");

  EXPECT_TRUE(defaults.setObject("0", "/vantor/ads/use_https"));
  EXPECT_TRUE(defaults.setObject("false", "/vantor/ads/zums:sai:enabled"));
  parameters = load(slot);
  EXPECT_FALSE(parameters.contains("force_https"));
  EXPECT_EQ(parameters["sai"], "0");
}

TEST_F(ZUMSlotParametersTest, CollectedLocationReplacesTheRequestsLocationInPlace) {
  platform::LocationManager::registerClass();
  EXPECT_TRUE(platform::DeviceProfile::apply(ordered_json::parse(R"({"location": {"servicesEnabled": true,
      "authorizationStatus": 4, "latitude": 48.5, "longitude": 2.25, "accuracy": 10}})")));
  auto service = ZUMLocationService::sharedInstance();
  service->setFeatureEnabled(true);
  service->updateLocation();
  env.runUntilIdle();
  ASSERT_NE(service->location(), nullptr);
  auto slot = makeSlot(ZUMAdType::createForInterstitial());
  auto request = ZUMRequest::create();
  request->setLocationWithLatitude(10, 20, 5);

  const ordered_json parameters = slot->requestParametersForRequest(request);
  const ordered_json uule = parameters["uule"];
  EXPECT_EQ(uule["lat"], 485000000);
  EXPECT_EQ(uule["long"], 22500000);
  EXPECT_EQ(uule["radius"], 10000);
  // Still where the request put it: before the request's own trailing keys.
  std::vector<std::string> keys;
  for (const auto& item : parameters.items()) keys.push_back(item.key());
  const auto at = [&](const std::string& key) { return std::find(keys.begin(), keys.end(), key) - keys.begin(); };
  EXPECT_LT(at("uule"), at("request_origin"));
}

TEST_F(ZUMSlotParametersTest, StatisticsOfEarlierAdsTravelOnceAndAreNotLostByADroppedLoad) {
  auto hub = ZUMApplication::sharedInstance();
  hub->addPendingAdStatistics(ZUMAdStatistics::create(ordered_json{{"ad", 1}}));
  auto slot = makeSlot(ZUMAdType::createForInterstitial());
  ordered_json parameters = load(slot);
  EXPECT_EQ(parameters["quality_signals"]["ads"], ordered_json::parse(R"([{"ad": 1}])"));
  ASSERT_EQ(slot->pendingAdStatistics().size(), 1u);
  EXPECT_TRUE(hub->pendingAdStatistics().empty());  // taken by the slot

  // The first load is still waiting for the page when a second one replaces it: the
  // statistics it took go with the second request instead of vanishing.
  hub->addPendingAdStatistics(ZUMAdStatistics::create(ordered_json{{"ad", 2}}));
  parameters = slot->requestParametersForRequest(ZUMRequest::create());
  EXPECT_EQ(parameters["quality_signals"]["ads"], ordered_json::parse(R"([{"ad": 2}, {"ad": 1}])"));

  // With nothing pending and no statistics at all, there are no quality signals.
  auto bare = makeSlot(ZUMAdType::createForInterstitial());
  EXPECT_FALSE(bare->requestParametersForRequest(ZUMRequest::create()).contains("quality_signals"));
}

TEST_F(ZUMSlotParametersTest, ContentFingerprintCrashReportingAndAnalytics) {
  struct Telemetry : ZUMSlotTelemetry {
    std::shared_ptr<ZUMCSITimeRecorder> makeTimeRecorder(const std::string&) override { return nullptr; }
    void reportTimeRecorder(const std::shared_ptr<ZUMCSITimeRecorder>&) override {}
    std::optional<std::string> contentFingerprint() override { return fingerprint; }
    bool crashReportingEnabled() override { return true; }
    bool addAnalyticsIdentifiers(ordered_json& parameters) override {
      parameters["kqp_app_id"] = "app";
      parameters["lvn_aeid"] = "event-9";
      return true;
    }
    void logAnalyticsEvent(const std::string& name, const std::string& id) override {
      logged.push_back(name + ":" + id);
    }
    std::optional<std::string> fingerprint = "fp-1";
    std::vector<std::string> logged;
  };
  auto telemetry = std::make_shared<Telemetry>();
  ZUMSlotTelemetry::setShared(telemetry);
  auto& fingerprint = telemetry->fingerprint;
  auto& logged = telemetry->logged;
  auto slot = makeSlot(ZUMAdType::createForInterstitial());

  ordered_json parameters = slot->requestParametersForRequest(ZUMRequest::create());
  EXPECT_EQ(parameters["content_info"], ordered_json::parse(R"({"fingerprint": "fp-1", "v": 1})"));
  EXPECT_FALSE(parameters.contains("cre"));
  EXPECT_EQ(parameters["kqp_app_id"], "app");
  EXPECT_EQ(logged, std::vector<std::string>{"_aq:event-9"});
  EXPECT_EQ(platform::UserDefaults::standard().stringForKey("/vantor/ads/content_url_fingerprint"), "fp-1");

  // No fingerprint now: the one stored by an earlier request is sent.
  fingerprint.reset();
  parameters = slot->requestParametersForRequest(ZUMRequest::create());
  EXPECT_EQ(parameters["content_info"]["fingerprint"], "fp-1");
  platform::UserDefaults::standard().removeObjectForKey("/vantor/ads/content_url_fingerprint");
  EXPECT_FALSE(slot->requestParametersForRequest(ZUMRequest::create()).contains("content_info"));
}

}  // namespace
