// A real interstitial with the tests' analytics framework present: its exposure opens
// at presentation and closes at dismissal, it names its screen after the host's, and
// its tracking pings reach the network stamped with the ad-event id.
#include <gtest/gtest.h>

#include "ZUMInterstitial.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "sdk/telemetry/ZUMAnalyticsTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace analyticstest;

struct Received : ZUMInterstitialDelegate {
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial&) override {
    received = true;
    return kZUMImplemented;
  }
  bool received = false;
};

class ZUMInterstitialAnalyticsTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMMobileAds::load();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    interstitial->setDelegate(delegate);
  }
  void load(unsigned reporters, std::vector<std::pair<std::string, std::string>> headers = {}) {
    framework = std::make_unique<Framework>(reporters);
    framework->recorder->screenName = "Home";
    setDefault("/vantor/ads/zums:sai:interstitial_screen_enabled", "1");
    hosts.server.route("/ad", {.headers = std::move(headers), .body = "<html><body>Ad</body></html>"});
    interstitial->loadRequest(ZUMRequest::create());
    ASSERT_TRUE(env.runUntil([&] { return delegate->received; }));
    framework->lines->clear();  // the request's own event
  }
  void present() {
    interstitial->presentFromRootViewController(host);
    env.advance(1);
  }
  void dismiss() {
    interstitial->viewController()->closeButtonPressed();
    env.advance(1);
  }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
  std::shared_ptr<ZUMInterstitial> interstitial = ZUMInterstitial::create("unit-A");
  std::shared_ptr<Received> delegate = std::make_shared<Received>();
  std::unique_ptr<Framework> framework;
};

TEST_F(ZUMInterstitialAnalyticsTest, PresentationOpensTheExposureAndNamesTheScreenDismissalClosesIt) {
  load(Framework::kAllReporters);
  present();
  EXPECT_EQ(*framework->lines, (Lines{"begin unit-A", "screen Home/Interstitial"}));
  dismiss();
  EXPECT_EQ(*framework->lines, (Lines{"begin unit-A", "screen Home/Interstitial", "end unit-A"}));
}

TEST_F(ZUMInterstitialAnalyticsTest, WithoutAScreenReporterNothingIsNamed) {
  load(Framework::kExposure);
  present();
  dismiss();
  EXPECT_EQ(*framework->lines, (Lines{"begin unit-A", "end unit-A"}));
}

TEST_F(ZUMInterstitialAnalyticsTest, AMediatedInterstitialOpensNoExposure) {
  interstitial->setMediated();
  load(Framework::kExposure);
  present();
  dismiss();
  EXPECT_EQ(*framework->lines, Lines{});
}

TEST_F(ZUMInterstitialAnalyticsTest, TrackingPingsLeaveStampedWithTheAdEventID) {
  hosts.server.route("/imp", {.status = 204});
  hosts.server.route("/clk", {.status = 204});
  load(Framework::kNoReporters,
       {{"x-qyra-tracking-urls", "https://ads.adnetwork.example/imp?x=1"},
        {"x-qyra-click-tracking-urls", "https://ads.adnetwork.example/clk?lvn_aeid=%5Bpw_lvnaeid%5D"}});
  // After the SDK-core page's constants, which would clear it.
  setDefault("/vantor/ads/zums:sai:impression_ping_schema", nlohmann::ordered_json::array({"/imp\\?"}));
  present();
  ASSERT_TRUE(env.runUntil([&] { return hosts.server.requests("/imp").size() == 1; }));
  EXPECT_EQ(hosts.server.requests("/imp")[0].query, "x=1&lvn_aeid=event-1");

  setDefault("/vantor/ads/zums:sai:using_macro:enabled", "1");
  interstitial->slot()->ad()->pingClickURLs();
  ASSERT_TRUE(env.runUntil([&] { return hosts.server.requests("/clk").size() == 1; }));
  EXPECT_EQ(hosts.server.requests("/clk")[0].query, "lvn_aeid=event-1");
  EXPECT_EQ(*framework->lines,
            (Lines{R"(event am _ai {"_aeid":"event-1"})", R"(event am _ac {"_aeid":"event-1","_r":1})"}));
  dismiss();  // on screen, the interstitial keeps itself
}

}  // namespace
