#include "sdk/mediation/ZUMMAdapterCustomEvents.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMCustomEventExtras.h"
#include "ZUMCustomEventRequest.h"
#include "ZUMMediatedNativeAd.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/View.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorTestSupport.h"
#include "sdk/mediation/ZUMMLoggingConnector.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;

using connectortest::LoggingConnector;

// What the app's custom events were asked, across all objects made.
struct Asked {
  Log log;
  std::shared_ptr<ZUMCustomEventRequest> request;
  int made = 0;
};
std::shared_ptr<Asked> asked;

struct BannerEvent : ZUMCustomEventBanner {
  BannerEvent() { ++asked->made; }
  void requestBannerAd(const ZUMAdSize& size, const std::optional<std::string>& parameter,
                       const std::optional<std::string>& label,
                       const std::shared_ptr<ZUMCustomEventRequest>& request) override {
    asked->log.push_back("banner " + ZUMAdSizeDescription(size) + " " + parameter.value_or("-") + " " +
                         label.value_or("-") + (delegateValue.lock() ? "" : " (no delegate)"));
    asked->request = request;
  }
  std::weak_ptr<ZUMCustomEventBannerDelegate> delegate() const override { return delegateValue; }
  void setDelegate(std::weak_ptr<ZUMCustomEventBannerDelegate> d) override { delegateValue = std::move(d); }
  std::weak_ptr<ZUMCustomEventBannerDelegate> delegateValue;
};
struct InterstitialEvent : ZUMCustomEventInterstitial {
  InterstitialEvent() { ++asked->made; }
  void requestInterstitialAdWithParameter(const std::optional<std::string>& parameter,
                                          const std::optional<std::string>& label,
                                          const std::shared_ptr<ZUMCustomEventRequest>& request) override {
    asked->log.push_back("interstitial " + parameter.value_or("-") + " " + label.value_or("-") +
                         (delegateValue.lock() ? "" : " (no delegate)"));
    asked->request = request;
  }
  void presentFromRootViewController(const std::shared_ptr<platform::ViewController>&) override {
    asked->log.push_back("present");
  }
  std::weak_ptr<ZUMCustomEventInterstitialDelegate> delegate() const override { return delegateValue; }
  void setDelegate(std::weak_ptr<ZUMCustomEventInterstitialDelegate> d) override { delegateValue = std::move(d); }
  std::weak_ptr<ZUMCustomEventInterstitialDelegate> delegateValue;
};
struct NativeEvent : ZUMCustomEventNativeAd {
  NativeEvent() { ++asked->made; }
  void requestNativeAdWithParameter(const std::optional<std::string>& parameter,
                                    const std::shared_ptr<ZUMCustomEventRequest>& request,
                                    const std::vector<std::string>& adTypes, const std::vector<std::any>& options,
                                    const std::shared_ptr<platform::ViewController>&) override {
    std::string types;
    for (const auto& type : adTypes) types += " " + type;
    asked->log.push_back("native " + parameter.value_or("-") + types + " options " + std::to_string(options.size()) +
                         (delegateValue.lock() ? "" : " (no delegate)"));
    asked->request = request;
  }
  bool handlesUserClicks() override { return true; }
  bool handlesUserImpressions() override { return false; }
  std::weak_ptr<ZUMCustomEventNativeAdDelegate> delegate() const override { return delegateValue; }
  void setDelegate(std::weak_ptr<ZUMCustomEventNativeAdDelegate> d) override { delegateValue = std::move(d); }
  std::weak_ptr<ZUMCustomEventNativeAdDelegate> delegateValue;
};
struct NetworkAd : ZUMMediatedNativeAd {
  std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() override { return nullptr; }
  std::optional<Json> extraAssets() const override { return Json::object(); }
};

class ZUMMAdapterCustomEventsTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMMobileAds::load();  // registers the adapter class
    asked = std::make_shared<Asked>();
    ZUMRegisterCustomEventClass("TestBannerEvent", [] { return std::make_shared<BannerEvent>(); });
    ZUMRegisterCustomEventClass("TestInterstitialEvent", [] { return std::make_shared<InterstitialEvent>(); });
    ZUMRegisterCustomEventClass("TestNativeEvent", [] { return std::make_shared<NativeEvent>(); });
    connector->credentialsValue = {{"class_name", "TestBannerEvent"}, {"parameter", "p1"}, {"label", "L"}};
  }
  void TearDown() override { asked.reset(); }
  std::shared_ptr<LoggingConnector> connector = std::make_shared<LoggingConnector>();
  std::shared_ptr<ZUMMAdapterCustomEvents> adapter = ZUMMAdapterCustomEvents::create(connector);
};

TEST_F(ZUMMAdapterCustomEventsTest, SetUpFailuresAreReportedOnceAndLoggedAndKeepNothing) {
  const struct {
    Json credentials;
    const char* format;
    std::string message;
    bool logged;
  } rows[] = {
      {{{"parameter", "p"}}, "banner", "No class name for the Custom Event.", false},
      {{{"class_name", 7}}, "interstitial", "No class name for the Custom Event.", false},
      {{{"class_name", "NoSuchEvent"}}, "banner", "Cannot find Custom Event class named NoSuchEvent.", true},
      {{{"class_name", "TestPlainClass"}}, "native", "Cannot find Custom Event class named TestPlainClass.", true},
      {{{"class_name", "TestInterstitialEvent"}},
       "banner",
       "Custom Event class TestInterstitialEvent does not conform to the ZUMCustomEventBanner protocol.",
       true},
      {{{"class_name", "TestBannerEvent"}},
       "interstitial",
       "Custom Event class TestBannerEvent does not conform to the ZUMCustomEventInterstitial protocol.",
       true},
      {{{"class_name", "TestBannerEvent"}},
       "native",
       "Custom event class TestBannerEvent doesn't implement method "
       "requestNativeAdWithParameter:request:adTypes:options:rootViewController:.",
       true},
  };
  platform::ClassRegistry::shared().registerClass<int>("TestPlainClass", [] { return std::make_shared<int>(1); });
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    platform::SystemLog::Capture capture(true);
    // Only the native format needs the native connector; a fresh adapter for each row.
    auto config = ZUMMConfig::create(
        "unit-E",
        {{"ad_networks", {{{"id", "n"}, {"adapters", {"ZUMMAdapterCustomEvents"}}, {"data", row.credentials}}}}},
        nullptr);
    auto nativeConnector = ZUMMAdNetworkConnectorNativeAd::create(config, config->adNetworkConfigs().front());
    connector->credentialsValue = row.credentials;
    connector->log.clear();
    auto rowAdapter = ZUMMAdapterCustomEvents::create(connector);
    if (std::string(row.format) == "banner") rowAdapter->getBannerWithSize(kZUMAdSizeBanner);
    if (std::string(row.format) == "interstitial") rowAdapter->getInterstitial();
    if (std::string(row.format) == "native") {
      auto board = std::make_shared<connectortest::Board>();
      auto waterfall = std::make_shared<connectortest::Waterfall>();
      waterfall->board = board;
      nativeConnector->setAdManager(waterfall);
      nativeConnector->setUpAdapter();
      ASSERT_TRUE(nativeConnector->adapter());
      EXPECT_TRUE(nativeConnector->adapter()->getNativeAdWithAdTypes({"1"}, {}));
      env.runUntilIdle();
      EXPECT_EQ(board->log, (Log{"failed 1 " + row.message}));
    } else {
      EXPECT_EQ(connector->log, (Log{"fail ad_mediation 1 " + row.message}));
    }
    env.runUntilIdle();
    EXPECT_EQ(capture.contains(row.message), row.logged);
    EXPECT_EQ(rowAdapter->handlesUserClicks(), false);
  }
  EXPECT_TRUE(asked->log.empty());
  EXPECT_EQ(asked->made, 3);  // made, found wanting, and let go
}

TEST_F(ZUMMAdapterCustomEventsTest, CustomEventsGetTheEntrysValuesAndAReadOnlyRequestAndTheirReportsAreRelayed) {
  auto extras = ZUMCustomEventExtras::create();
  extras->setExtrasForLabel(Json{{"k", "v"}}, "L");
  connector->extras = extras;
  adapter->getBannerWithSize(kZUMAdSizeBanner);
  ASSERT_TRUE(asked->request);
  EXPECT_EQ(asked->request->additionalParameters(), (Json{{"k", "v"}}));
  EXPECT_TRUE(asked->request->isTesting());
  EXPECT_EQ(asked->request->userGender(), kZUMGenderMale);
  connector->credentialsValue = {{"class_name", "TestInterstitialEvent"}};
  adapter->getInterstitial();
  adapter->presentInterstitialFromRootViewController(nullptr);
  EXPECT_EQ(asked->log, (Log{"banner 320x50 p1 L", "interstitial - -", "present"}));
  EXPECT_TRUE(adapter->isBannerAnimationOK(0));
  auto classObject = ZUMMAdapterClassNamed(kZUMMAdapterCustomEventsClassName);
  ASSERT_TRUE(classObject);
  EXPECT_EQ(classObject->adapterVersion(), ZUMRequest::sdkVersion());
  EXPECT_EQ(classObject->networkExtrasClass(), "ZUMCustomEventExtras");

  BannerEvent banner;
  InterstitialEvent interstitial;
  auto error = platform::Error::create("app.example", 42);
  auto view = platform::View::create({0, 0, 320, 50});
  const std::string failed = "fail app.example 42 " + error->localizedDescription();
  adapter->customEventBannerDidReceiveAd(banner, view);
  adapter->customEventBannerDidFailAd(banner, error);
  adapter->customEventBannerWasClicked(banner);
  adapter->customEventBannerClickDidOccurInAd(banner, view);
  adapter->customEventBannerWillPresentModal(banner);
  adapter->customEventBannerWillDismissModal(banner);
  adapter->customEventBannerDidDismissModal(banner);
  adapter->customEventBannerWillLeaveApplication(banner);
  adapter->customEventInterstitialDidReceiveAd(interstitial);
  adapter->customEventInterstitialDidReceiveAdObject(interstitial, nullptr);
  adapter->customEventInterstitialDidFailAd(interstitial, error);
  adapter->customEventInterstitialWasClicked(interstitial);
  adapter->customEventInterstitialWillPresent(interstitial);
  adapter->customEventInterstitialWillDismiss(interstitial);
  adapter->customEventInterstitialDidDismiss(interstitial);
  adapter->customEventInterstitialWillLeaveApplication(interstitial);
  NativeEvent native;
  adapter->customEventNativeAdDidFailToLoadWithError(native, error);
  adapter->customEventNativeAdDidReceiveMediatedNativeAd(native, std::make_shared<NetworkAd>());
  EXPECT_EQ(connector->log,
            (Log{"view", failed, "click", "click", "will present modal", "will dismiss modal", "did dismiss modal",
                 "leave", "interstitial", "interstitial", failed, "click", "will present", "will dismiss",
                 "did dismiss", "leave", failed,
                 "fail com.vantor.ads 11 Native ad response received for connector which can't processed native ad."}));
  // The custom event's own errors pass unchanged.
  EXPECT_EQ(connector->errors.at(0), error);
  EXPECT_EQ(connector->errors.at(2), error);

  // After stopBeingDelegate nothing reaches the connector, and the custom events lost
  // their delegate.
  connector->log.clear();
  adapter->stopBeingDelegate();
  adapter->customEventBannerWasClicked(banner);
  adapter->customEventInterstitialDidReceiveAd(interstitial);
  adapter->customEventNativeAdDidReceiveMediatedNativeAd(native, nullptr);
  EXPECT_TRUE(connector->log.empty());
  adapter->getBannerWithSize(kZUMAdSizeBanner);
  EXPECT_EQ(asked->log.size(), 3u);
}

TEST_F(ZUMMAdapterCustomEventsTest, NativeCustomEventsServeOnlyANativeConnector) {
  connector->credentialsValue = {{"class_name", "TestNativeEvent"}};
  EXPECT_TRUE(adapter->getNativeAdWithAdTypes({"1"}, {}));
  EXPECT_EQ(connector->log,
            (Log{"fail ad_mediation 1 Connector used ZUMMAdNetworkConnectorNativeAd isn't a valid connector for "
                 "requesting native ad"}));
  EXPECT_EQ(asked->made, 0);

  auto board = std::make_shared<connectortest::Board>();
  auto waterfall = std::make_shared<connectortest::Waterfall>();
  waterfall->board = board;
  waterfall->theSlot = ZUMSlot::create({0, 0, 320, 50});
  auto config = ZUMMConfig::create("unit-E",
                                   {{"ad_networks",
                                     {{{"id", "n"},
                                       {"adapters", {"ZUMMAdapterCustomEvents"}},
                                       {"data", {{"class_name", "TestNativeEvent"}, {"parameter", "np"}}}}}}},
                                   nullptr);
  auto nativeConnector = ZUMMAdNetworkConnectorNativeAd::create(config, config->adNetworkConfigs().front());
  nativeConnector->setAdManager(waterfall);
  nativeConnector->setUpAdapter();
  auto nativeAdapter = std::dynamic_pointer_cast<ZUMMAdapterCustomEvents>(nativeConnector->adapter());
  ASSERT_TRUE(nativeAdapter);
  EXPECT_TRUE(nativeAdapter->getNativeAdWithAdTypes({"1", "2"}, {std::any(1)}));
  EXPECT_EQ(asked->log, (Log{"native np 1 2 options 1"}));
  EXPECT_EQ(nativeAdapter->handlesUserClicks(), true);
  EXPECT_EQ(nativeAdapter->handlesUserImpressions(), false);
  NativeEvent native;
  nativeAdapter->customEventNativeAdDidReceiveMediatedNativeAd(native, std::make_shared<NetworkAd>());
  env.runUntilIdle();
  EXPECT_EQ(board->log, (Log{"mediated ad"}));
}

}  // namespace
