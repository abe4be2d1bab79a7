// The Fennick loggers of real ad trees: an interstitial below its slot, the slot's ad
// view below the slot, loaded through the SDK-core page from the loopback server, with
// the channel's own script reading back what it received.
#include <algorithm>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "PXRInterstitial.h"
#include "ZUMBannerView.h"
#include "ZUMInterstitial.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMFennickTestSupport.h"
#include "sdk/telemetry/ZUMLoggingHierarchy.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using fennicktest::paramsOf;
using fennicktest::received;

struct Counter : ZUMInterstitialDelegate {
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial&) override {
    ++received;
    return kZUMImplemented;
  }
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial&, const ZUMRequestErrorPtr&) override {
    ++received;
    return kZUMImplemented;
  }
  int received = 0;
};

Json interstitialEvent(const std::string& key) { return Json{{"interstitial", {{key, 1}}}}; }

class ZUMFennickLoggingTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMMobileAds::load();
    hosts.server.route("/ad", {.body = "<html><body>Ad</body></html>"});
    window->setRootViewController(host);
    window->makeKeyAndVisible();
  }
  // The configuration stored by an earlier launch, delivered again by the SDK-core page.
  std::shared_ptr<ZUMFennick> startChannel(const Json& config) {
    fennicktest::storeConfig(config);
    hosts.servePage(sdkcoretest::pageWith("SDK_CONSTANTS['zums:fennick_config'] = '" + config.dump() + "';"));
    auto fennick = ZUMFennick::sharedInstance();
    EXPECT_TRUE(env.runUntil([&] { return fennick->isLoaded(); }));
    // Made once the channel is configured, as a host's objects are after start-up.
    interstitial = ZUMInterstitial::create("unit-A");
    interstitial->setDelegate(counter);
    return fennick;
  }
  void load(int times) {
    interstitial->loadRequest(ZUMRequest::create());
    ASSERT_TRUE(env.runUntil([&] { return counter->received == times; }));
  }

  fennicktest::ScriptHost script;
  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
  std::shared_ptr<ZUMInterstitial> interstitial;
  std::shared_ptr<Counter> counter = std::make_shared<Counter>();
};

TEST_F(ZUMFennickLoggingTest, AnInterstitialLogsThroughItsSlotsLoggerAndFollowsItToTheNextLoad) {
  auto fennick = startChannel(fennicktest::enabledConfig());
  load(1);
  auto slot = interstitial->slot();
  auto first = slot->logger();
  ASSERT_TRUE(first);
  EXPECT_EQ(std::static_pointer_cast<ZUMAdView>(slot->adView())->logger(), first);
  EXPECT_EQ(ZUMLoggingHierarchy::sharedInstance()->loggerForObject(interstitial), first);
  const std::string firstID = first->fennickID();
  first.reset();
  Json params = paramsOf(received(*fennick), firstID);
  ASSERT_GE(params.size(), 7u) << params.dump();
  EXPECT_TRUE(params[0].contains("env"));
  EXPECT_TRUE(params[1].contains("fennick"));
  EXPECT_EQ(params[2], Json::parse(R"({"interstitial":{"ad_unit_id":"unit-A","class":"ZUMInterstitial"}})"));
  EXPECT_EQ(params[3], interstitialEvent("loading_started"));
  EXPECT_EQ(params[4], Json::parse(R"({"slot":{"ad_context":{"ad_unit_id":"unit-A"}}})"));
  EXPECT_EQ(params[5], Json::parse(R"({"slot":{"loading_started":1}})"));
  EXPECT_EQ(params.back(), interstitialEvent("loading_succeeded"));
  EXPECT_EQ(params[params.size() - 2], Json::parse(R"({"slot":{"loading_succeeded":1}})"));

  load(2);  // the next load renews the logger; the old one ends
  auto second = slot->logger();
  ASSERT_TRUE(second);
  EXPECT_NE(second->fennickID(), firstID);
  EXPECT_EQ(std::static_pointer_cast<ZUMAdView>(slot->adView())->logger(), second);
  interstitial->presentFromRootViewController(host);
  env.advance(1);
  interstitial->viewController()->closeButtonPressed();
  env.advance(1);
  const Json all = received(*fennick);
  EXPECT_EQ(paramsOf(all, firstID).back(), Json::parse(R"({"fennick":{"finish":1}})"));
  params = paramsOf(all, second->fennickID());
  ASSERT_GE(params.size(), 4u) << params.dump();
  EXPECT_EQ(params[2]["interstitial"]["ad_unit_id"], "unit-A");
  EXPECT_EQ(params[3], interstitialEvent("loading_started"));
  const auto at = [&](const Json& event) { return std::find(params.begin(), params.end(), event) - params.begin(); };
  EXPECT_LT(at(interstitialEvent("loading_succeeded")), at(interstitialEvent("presented")));
  EXPECT_LT(at(interstitialEvent("presented")), at(interstitialEvent("dismissed")));
  EXPECT_LT(at(interstitialEvent("dismissed")), static_cast<std::ptrdiff_t>(params.size()));

  const auto entries = ZUMLoggingHierarchy::sharedInstance()->entryCount();
  interstitial.reset();  // it leaves the hierarchy
  env.runUntilIdle();
  EXPECT_EQ(ZUMLoggingHierarchy::sharedInstance()->entryCount(), entries - 1);
}

TEST_F(ZUMFennickLoggingTest, AnInterstitialsFirstEventNamesItsOwnClass) {
  auto fennick = startChannel(fennicktest::enabledConfig());
  interstitial = PXRInterstitial::create("unit-P");
  interstitial->setDelegate(counter);
  load(1);
  const Json params = paramsOf(received(*fennick), interstitial->slot()->logger()->fennickID());
  ASSERT_GE(params.size(), 3u) << params.dump();
  EXPECT_EQ(params[2], Json::parse(R"({"interstitial":{"ad_unit_id":"unit-P","class":"PXRInterstitial"}})"));
}

TEST_F(ZUMFennickLoggingTest, AFailedLoadIsLoggedWithItsError) {
  auto fennick = startChannel(fennicktest::enabledConfig());
  hosts.server.route("/ad", {.status = 500, .body = "down"});
  load(1);
  const Json params = paramsOf(received(*fennick), interstitial->slot()->logger()->fennickID());
  ASSERT_FALSE(params.empty());
  const Json& failed = params.back()["interstitial"]["loading_failed"];
  EXPECT_TRUE(failed["error_message"].is_string()) << params.back().dump();
  EXPECT_EQ(failed["error_code"], kZUMErrorServerError) << "a 500 answer";
}

TEST_F(ZUMFennickLoggingTest, WithTheChannelDisabledAWholeInterstitialLoadSendsNothing) {
  auto config = fennicktest::enabledConfig();
  config["enabled"] = false;  // the script still runs: nothing may reach it
  auto fennick = startChannel(config);
  load(1);
  EXPECT_FALSE(interstitial->slot()->logger());
  EXPECT_FALSE(std::static_pointer_cast<ZUMAdView>(interstitial->slot()->adView())->logger());
  interstitial->presentFromRootViewController(host);
  env.advance(1);
  interstitial->viewController()->closeButtonPressed();
  env.advance(1);
  interstitial.reset();
  env.runUntilIdle();
  for (const auto& command : received(*fennick))
    EXPECT_FALSE(command.contains("id")) << command.dump();  // beacons only
}

struct BannerCounter : ZUMBannerViewDelegate {
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView&) override {
    ++received;
    return kZUMImplemented;
  }
  int received = 0;
};

// A banner is no root: it logs below its slot, through the slot's logger, and follows it.
TEST_F(ZUMFennickLoggingTest, ABannerLogsThroughItsSlotsLogger) {
  auto fennick = startChannel(fennicktest::enabledConfig());
  auto banner = ZUMBannerView::create(kZUMAdSizeBanner);
  auto bannerCounter = std::make_shared<BannerCounter>();
  banner->setAdUnitID("unit-B");
  banner->setRootViewController(host);
  banner->setDelegate(bannerCounter);
  window->addSubview(banner);
  for (int load = 1; load <= 2; ++load) {
    banner->loadRequest(ZUMRequest::create());
    ASSERT_TRUE(env.runUntil([&] { return bannerCounter->received == load; }));
    auto logger = banner->slot()->logger();
    ASSERT_TRUE(logger);
    EXPECT_EQ(ZUMLoggingHierarchy::sharedInstance()->loggerForObject(banner), logger);
    const Json params = paramsOf(received(*fennick), logger->fennickID());
    ASSERT_GE(params.size(), 4u) << params.dump();
    EXPECT_EQ(params[2], Json::parse(R"({"bannerview":{"ad_unit_id":"unit-B","class":"ZUMBannerView"}})"));
    EXPECT_EQ(params[3], Json::parse(R"({"bannerview":{"loading_started":{"size":{"width":320.0,"height":50.0}}}})"));
    EXPECT_EQ(params.back(), Json::parse(R"({"bannerview":{"loading_succeeded":1}})"));
    EXPECT_EQ(std::count(params.begin(), params.end(), params[3]), 1) << "each event once";
  }
  hosts.server.route("/ad", {.status = 500, .body = "down"});
  banner->loadRequest(ZUMRequest::create());
  ASSERT_TRUE(env.runUntil([&] { return banner->slot()->state() == ZUMSlot::State::kFailed; }));
  env.runUntilIdle();
  const Json params = paramsOf(received(*fennick), banner->slot()->logger()->fennickID());
  ASSERT_FALSE(params.empty());
  EXPECT_EQ(params.back()["bannerview"]["loading_failed"]["error_code"], kZUMErrorServerError) << params.back().dump();
}

}  // namespace
