// The rewarded video ad on its standard path: through the SDK-core page to the loopback
// server, played in its internal interstitial by a real page that sends the video-start
// and reward messages, and every way a load fails.
#include "ZUMRewardBasedVideoAd.h"

#include <gtest/gtest.h>

#include "ZUMAdReward.h"
#include "ZUMExtras.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/presentation/ZUMPresentationFormats.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using formatstest::Log;
using Json = nlohmann::ordered_json;

using Host = formatstest::RewardedHost;
struct ClickingHost : Host, ZUMRewardBasedVideoAdClickDelegate {
  void rewardBasedVideoAdDidReceiveAdClick(ZUMRewardBasedVideoAd&) override { note("click"); }
};

constexpr const char* kRewardingAd =
    "<html><body>Ad<script>setTimeout(function () { location.href = 'tolm://page/reward?action=video_start'; }, 1000);"
    "setTimeout(function () { location.href = 'tolm://page/reward?action=grant&type=coins&amount=2.50'; }, 3000);"
    "</script></body></html>";

class ZUMRewardBasedVideoAdTest : public formatstest::FormatsTest {
 protected:
  ZUMRewardBasedVideoAdTest() { rewarded->setDelegate(listener); }
  // Loads and waits until the host hears something.
  void load(std::shared_ptr<ZUMRequest> request = ZUMRequest::create(), const std::string& unit = "unit-R") {
    const auto heard = listener->log.size();
    rewarded->loadRequest(request, unit);
    ASSERT_TRUE(env.runUntil([&] { return listener->log.size() > heard; }));
  }
  // The scripts run on the SDK-core page that asked for an ad.
  std::vector<std::string> adRequests() {
    std::vector<std::string> found;
    for (const auto& script :
         sdkcoretest::evaluatedScripts(*ZUMSDKCoreController::sharedInstance()->activeSDKCoreWebView())) {
      if (script.find("QYRA_getAd(") != std::string::npos) found.push_back(script);
    }
    return found;
  }

  std::shared_ptr<ZUMRewardBasedVideoAd> rewarded = ZUMRewardBasedVideoAd::sharedInstance();
  std::shared_ptr<Host> listener = std::make_shared<Host>();
};

TEST_F(ZUMRewardBasedVideoAdTest, AStandardResponsePlaysOnceInItsInterstitialAndTheHostHearsTheReward) {
  serveAd({}, kRewardingAd);
  load();
  ASSERT_EQ(listener->log, Log{"received"});
  EXPECT_TRUE(rewarded->isReady());
  EXPECT_EQ(ZUMApplication::sharedInstance()->currentAdRequestCount(), 0);
  const auto requests = adRequests();
  ASSERT_EQ(requests.size(), 1u);
  for (const char* sent : {R"("slotname":"unit-R")", R"("rbv":"1")", R"("format":"reward_mb")", R"("sai":"0")"}) {
    EXPECT_NE(requests[0].find(sent), std::string::npos) << sent;
  }
  auto interstitial = rewarded->interstitial();
  ASSERT_TRUE(interstitial && interstitial->isMediated());
  EXPECT_TRUE(ZUMSlotShowsRewardedAd(*interstitial->slot()));
  EXPECT_EQ(pings("/ad"), 1u);

  rewarded->presentFromRootViewController(host);
  rewarded->presentFromRootViewController(host);  // one load, one presentation
  EXPECT_FALSE(rewarded->isReady());
  env.advance(std::chrono::seconds(5));
  EXPECT_EQ(host->presentedViewController(), interstitial->viewController());
  interstitial->viewController()->closeButtonPressed();
  env.advance(std::chrono::seconds(1));
  EXPECT_EQ(listener->log, (Log{"received", "open", "start", "reward 'coins' 2.5", "close"}));

  // A load after a present starts over with a new interstitial.
  load();
  EXPECT_EQ(listener->log.back(), "received");
  EXPECT_NE(rewarded->interstitial(), interstitial);
}

TEST_F(ZUMRewardBasedVideoAdTest, ALoadDuringALoadIsIgnoredAndAnAdOfTheRequestSkipsTheAdURL) {
  platform::SystemLog::Capture capture(true);
  rewarded->loadRequest(ZUMRequest::create(), "unit-R");
  rewarded->loadRequest(ZUMRequest::create(), "unit-S");
  EXPECT_TRUE(env.runUntil([&] { return !listener->log.empty(); }));
  EXPECT_TRUE(capture.contains("Ignoring request. Another request is already in progress."));
  EXPECT_EQ(listener->log, Log{"received"});
  EXPECT_EQ(adRequests().size(), 1u);

  auto request = ZUMRequest::create();
  auto extras = ZUMExtras::create();
  extras->setAdditionalParameters(Json{
      {"_ad", {{"ad_html", "<html><body>Given</body></html>"}, {"ad_base_url", "https://ads.adnetwork.example/"}}}});
  request->registerAdNetworkExtras(extras);
  listener->log.clear();
  load(request);
  EXPECT_EQ(listener->log, Log{"received"});
  EXPECT_EQ(pings("/ad"), 1u);  // only the first load's
  EXPECT_EQ(adRequests().size(), 1u);
}

TEST_F(ZUMRewardBasedVideoAdTest, EachFailureReachesTheHostWithItsCodeAndText) {
  const char* invalidResponse = "failed 11 Invalid ad response.";
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string unit;
    std::string heard;
  } rows[] = {
      {"refused", {}, "", "failed 0 Request object configured wrong."},
      {"native", {{"x-qyra-ad-format", "native"}}, "unit-R", invalidResponse},
      {"custom rendering", {{"x-qyra-custom-rendering-allowed", "1"}}, "unit-R", invalidResponse},
      {"fetch fails", {}, "unit-R", "failed 3 Request Error: Server error processing the request."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    serveAd(row.headers);
    if (std::string(row.what) == "fetch fails") hosts.server.route("/ad", testenv::ScriptedResponse{.status = 500});
    listener->log.clear();
    load(ZUMRequest::create(), row.unit);
    EXPECT_EQ(listener->log, Log{row.heard});
    EXPECT_FALSE(rewarded->isReady());
    EXPECT_FALSE(rewarded->isRequestInProgress());
    EXPECT_EQ(ZUMApplication::sharedInstance()->currentAdRequestCount(), 0);
  }
}

TEST_F(ZUMRewardBasedVideoAdTest, AnAnswerWithErrorsGivesCode0) {
  hosts.servePage(sdkcoretest::pageWith(
      "QYRA_getAd = function (r) { send('loadAdURL', {request_id: r.request_id, errors: 'bad'}); };"));
  load();
  EXPECT_EQ(listener->log,
            Log{"failed 0 Request Error: Invalid ad request parameter(s). Check the Xcode console for details."});
}

TEST_F(ZUMRewardBasedVideoAdTest, AnSDKCorePageThatCannotLoadGivesCode2) {
  platform::URLLoading::mapHostForTesting("static.adnetwork.example", "127.0.0.1", 1);  // nothing listens there
  load();
  EXPECT_EQ(listener->log, Log{"failed 2 No network connection."});
}

TEST_F(ZUMRewardBasedVideoAdTest, APageThatNeverAnswersFailsTheLoadWithCode5) {
  hosts.servePage(sdkcoretest::pageWith("QYRA_getAd = function (r) {};"));
  rewarded->loadRequest(ZUMRequest::create(), "unit-R");
  ASSERT_TRUE(env.runUntil([&] { return adRequests().size() == 1; }));
  env.advance(std::chrono::seconds(11));
  ASSERT_EQ(listener->log.size(), 1u);
  EXPECT_EQ(listener->log[0].rfind("failed 5 ", 0), 0u) << listener->log[0];
  EXPECT_FALSE(rewarded->isRequestInProgress());
}

// The internal interstitial's callbacks, as the table maps them; another interstitial's
// are not the host's business, and clicks reach only a delegate that takes clicks.
TEST_F(ZUMRewardBasedVideoAdTest, TheInterstitialsCallbacksMapToTheHostsOnTheMainThread) {
  load();
  auto clicking = std::make_shared<ClickingHost>();
  for (const auto& delegate : {std::static_pointer_cast<Host>(listener), std::static_pointer_cast<Host>(clicking)}) {
    rewarded->setDelegate(delegate);
    delegate->log.clear();
    auto& own = *rewarded->interstitial();
    auto other = ZUMInterstitial::create("unit-X");
    for (ZUMInterstitial* sender : {other.get(), &own}) {
      rewarded->interstitialWillPresentScreen(*sender);
      rewarded->interstitialWillDismissScreen(*sender);
      rewarded->interstitialDidDismissScreen(*sender);
      rewarded->interstitialWillLeaveApplication(*sender);
      rewarded->interstitialDidStartPlayingRewardBasedVideoAd(*sender);
      rewarded->interstitialDidRewardUserWithReward(*sender, ZUMAdReward::create("gems", platform::Decimal(4)));
      platform::DispatchQueue::global()->async([&] { rewarded->interstitialDidReceiveAdClick(*sender); });
      env.runUntilIdle();
    }
    Log expected{"open", "close", "leave", "start", "reward 'gems' 4"};
    if (delegate == clicking) expected.push_back("click");
    EXPECT_EQ(delegate->log, expected);
  }
}

TEST_F(ZUMRewardBasedVideoAdTest, TheStartUpHookMakesTheSharedAd) {
  std::weak_ptr<ZUMRewardBasedVideoAd> made = rewarded;
  rewarded.reset();
  ZUMCurrentStartupHooks().createRewardedAd();
  EXPECT_EQ(ZUMRewardBasedVideoAd::sharedInstance(), made.lock());
  EXPECT_TRUE(made.lock()->isObservingApplicationConfiguration());
}

}  // namespace
