#include "ZUMAdReward.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/SystemLog.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;
using formatstest::Log;

std::string describe(const std::shared_ptr<ZUMAdReward>& reward) {
  return reward ? reward->type() + " " + reward->amount().stringValue() : "none";
}

TEST(ZUMAdRewardTest, OnlyAStringTypeAndAFiniteNumberMakeAReward) {
  testenv::TestEnvironment env;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const struct {
    Json dictionary;
    const char* reward;
  } rows[] = {
      {{{"rb_type", "coins"}, {"rb_amount", 10}}, "coins 10"},
      {{{"rb_type", "coins"}, {"rb_amount", 2.5}}, "coins 2.5"},
      {{{"rb_type", "coins"}, {"rb_amount", 0.1}}, "coins 0.1"},  // the server's 0.1, not the double's tail
      {{{"rb_type", ""}, {"rb_amount", -3}}, " -3"},
      {{{"rb_type", "gems"}, {"rb_amount", 18446744073709551615u}}, "gems 18446744073709551615"},
      {{{"rb_type", "coins"}, {"rb_amount", "10"}}, "none"},
      {{{"rb_type", "coins"}, {"rb_amount", true}}, "none"},
      {{{"rb_type", "coins"}, {"rb_amount", nan}}, "none"},
      {{{"rb_type", "coins"}, {"rb_amount", -infinity}}, "none"},
      {{{"rb_type", "coins"}, {"rb_amount", 1e300}}, "none"},  // beyond what a decimal holds
      {{{"rb_type", "coins"}}, "none"},
      {{{"rb_amount", 10}}, "none"},
      {{{"rb_type", 7}, {"rb_amount", 10}}, "none"},
      {{{"rb_type", nullptr}, {"rb_amount", 10}}, "none"},
      {Json("coins"), "none"},
      {Json(), "none"},  // a reward made of nothing, as plain init
  };
  platform::SystemLog::Capture capture(true);
  for (const auto& row : rows) {
    EXPECT_EQ(describe(ZUMAdReward::createWithRewardDictionary(row.dictionary)), row.reward) << row.dictionary.dump();
  }
  const auto exact = ZUMAdReward::createWithRewardDictionary({{"rb_type", "coins"}, {"rb_amount", 2.5}});
  EXPECT_EQ(exact->amount(), *platform::Decimal::fromString("2.50"));

  EXPECT_EQ(describe(ZUMAdReward::create("coins", platform::Decimal::fromString("19.99"))), "coins 19.99");
  EXPECT_EQ(ZUMAdReward::create(std::nullopt, platform::Decimal(1)), nullptr);
  EXPECT_EQ(ZUMAdReward::create("coins", std::nullopt), nullptr);
  env.runUntilIdle();  // the log writes on its own queue
  EXPECT_TRUE(capture.contains("Reward refused: its type is missing or not a string."));
  EXPECT_TRUE(capture.contains("Reward refused: its amount is missing or not a finite number."));
}

TEST(ZUMAdRewardTest, AnAdTakesTheRewardOfItsFirstRewardsEntry) {
  testenv::TestEnvironment env;
  ZUMMobileAds::load();
  const struct {
    Json rewards;
    const char* reward;
  } rows[] = {
      {Json::array({{{"rb_type", "coins"}, {"rb_amount", 10}}, {{"rb_type", "gems"}, {"rb_amount", 1}}}), "coins 10"},
      {Json::array({{{"rb_type", "coins"}, {"rb_amount", "10"}}, {{"rb_type", "gems"}, {"rb_amount", 1}}}), "none"},
  };
  for (const auto& row : rows) {
    auto ad = ZUMAd::createWithDictionary(Json{{"rewards", row.rewards}});
    EXPECT_EQ(describe(ad->reward()), row.reward) << row.rewards.dump();
  }
}

// A host that takes rewards, besides the plain interstitial callbacks.
struct RewardedHost : formatstest::HostDelegate, ZUMInterstitialRewardBasedVideoAdDelegate {
  ZUMImplemented interstitialDidStartPlayingRewardBasedVideoAd(ZUMInterstitial&) override {
    return note("video started");
  }
  ZUMImplemented interstitialDidRewardUserWithReward(ZUMInterstitial&,
                                                     const std::shared_ptr<ZUMAdReward>& reward) override {
    return note("reward " + describe(reward));
  }
};

// The SDK-core page hands unit "unit-R" its ad itself, with a reward of 3 gems; other
// units get the ad URL as usual.
constexpr const char* kRewardedAdPage = R"(
var builtInGetAd = QYRA_getAd;
QYRA_getAd = function (request) {
  if (request.slotname !== 'unit-R') return builtInGetAd(request);
  send('loadAd', {request_id: request.request_id, fetched_ad: JSON.stringify({
    ad_html: '<html><body>Rewarded</body></html>', ad_base_url: AD_SERVER + '/rewarded/',
    rewards: [{rb_type: 'gems', rb_amount: 3}]})});
};
)";

class ZUMInterstitialRewardTest : public formatstest::FormatsTest {
 protected:
  ZUMInterstitialRewardTest() { hosts.servePage(sdkcoretest::pageWith(kRewardedAdPage)); }
  // Makes the ad's page navigate to `url`, as its own script would.
  void pageSends(ZUMInterstitial& interstitial, const std::string& url) {
    auto adView = std::static_pointer_cast<ZUMAdView>(interstitial.slot()->adView());
    adView->webView()->evaluateJavaScriptFromString("location.href = '" + url + "';");
    env.advance(std::chrono::seconds(1));
  }
};

// The page's own script tells of the video's start and grants the reward a second later.
TEST_F(ZUMInterstitialRewardTest, ThePagesVideoStartAndGrantReachTheHostOnce) {
  serveAd({},
          "<html><body><script>location.href = 'tolm://page/reward?action=video_start';"
          "setTimeout(function () { location.href = 'tolm://page/reward?action=grant&type=coins&amount=2.50'; },"
          " 1000);</script></body></html>");
  auto interstitial = ZUMInterstitial::create("unit-A");
  auto delegate = std::make_shared<RewardedHost>();
  interstitial->setDelegate(delegate);
  load(*interstitial, *delegate);
  env.advance(std::chrono::seconds(5));
  EXPECT_EQ(delegate->log, (Log{"received", "video started", "reward coins 2.5"}));
}

TEST_F(ZUMInterstitialRewardTest, TheAdsRewardWinsOverTheMessagesAndNoValidRewardGivesNone) {
  const struct {
    const char* unit;
    const char* grant;
    bool takesRewards;
    Log heard;
  } rows[] = {
      {"unit-A", "type=coins&amount=2.50", true, {"reward coins 2.5"}},
      {"unit-A", "type=coins&amount=nan", true, {}},
      {"unit-A", "type=coins&amount=%2Binf", true, {}},
      {"unit-A", "amount=3", true, {}},
      {"unit-A", "type=coins", true, {}},
      {"unit-R", "type=coins&amount=2.50", true, {"reward gems 3"}},
      {"unit-R", "type=coins&amount=nan", true, {"reward gems 3"}},
      {"unit-R", "type=coins&amount=2.50", false, {}},
  };
  for (const auto& row : rows) {
    const std::string where = std::string(row.unit) + " " + row.grant;
    auto interstitial = ZUMInterstitial::create(row.unit);
    std::shared_ptr<formatstest::HostDelegate> delegate =
        row.takesRewards ? std::make_shared<RewardedHost>() : std::make_shared<formatstest::HostDelegate>();
    interstitial->setDelegate(delegate);
    load(*interstitial, *delegate);
    ASSERT_EQ(delegate->log, Log{"received"}) << where;
    delegate->log.clear();
    platform::SystemLog::Capture capture(true);
    pageSends(*interstitial, "tolm://page/reward?action=video_start");
    pageSends(*interstitial, std::string("tolm://page/reward?action=grant&") + row.grant);
    Log expected = row.takesRewards ? Log{"video started"} : Log{};
    expected.insert(expected.end(), row.heard.begin(), row.heard.end());
    EXPECT_EQ(delegate->log, expected) << where;
    if (row.takesRewards && row.heard.empty()) {
      EXPECT_TRUE(capture.contains("Reward not given: neither the ad nor the page's message holds a valid reward."))
          << where;
    }
  }
}

}  // namespace
