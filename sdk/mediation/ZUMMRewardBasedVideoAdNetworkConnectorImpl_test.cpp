// The rewarded connector between the rewarded ad and a scripted rewarded adapter: how it
// makes and sets the adapter up, what it answers about the request, and how it relays
// the adapter's reports with their pings, on the main thread.
#include "sdk/mediation/ZUMMRewardBasedVideoAdNetworkConnectorImpl.h"

#include <gtest/gtest.h>

#include "ZUMAdReward.h"
#include "ZUMExtras.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMRewardBasedVideoAdConnectorDelegate.h"
#include "sdk/mediation/ZUMMRewardedTestSupport.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;
using namespace rewardedtest;

// Everything the rewarded ad would hear, "!" marking a call off the main thread.
struct Listener : ZUMMRewardBasedVideoAdConnectorDelegate {
  void connectorDidSetUpRewardBasedVideoAd(Connector&) override { note("setUp"); }
  void connectorDidFailToSetUpRewardBasedVideoAdWithError(Connector&, const platform::ErrorPtr& e) override {
    note("setUp failed " + std::to_string(e->code()) + " " + e->localizedDescription());
  }
  void connectorDidReceiveRewardBasedVideoAd(Connector&) override { note("received"); }
  void connectorDidFailToReceiveRewardBasedVideoAdWithError(Connector&, const platform::ErrorPtr& e) override {
    note("failed " + std::to_string(e->code()));
  }
  void connectorDidReceiveClick(Connector&) override { note("click"); }
  void connectorDidRewardUserWithReward(Connector&, const std::shared_ptr<ZUMAdReward>& r) override {
    note("reward " + (r ? r->type() : "none"));
  }
  void connectorDidOpenRewardBasedVideoAd(Connector&) override { note("open"); }
  void connectorDidStartPlayingRewardBasedVideoAd(Connector&) override { note("start"); }
  void connectorDidCloseRewardBasedVideoAd(Connector&) override { note("close"); }
  void connectorWillLeaveApplication(Connector&) override { note("leave"); }
  void note(std::string what) { log.push_back(platform::isMainThread() ? what : what + "!"); }
  Log log;
};

std::shared_ptr<ZUMMAdNetworkConfig> entry(const Json& dictionary) {
  platform::ErrorPtr error;
  auto config = ZUMMAdNetworkConfig::create(dictionary, &error);
  EXPECT_TRUE(config) << dictionary.dump();
  return config;
}

class ZUMMRewardBasedVideoAdNetworkConnectorTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMMobileAds::load();
    platform::URLLoading::mapHostForTesting("mediation.adnetwork.example", "127.0.0.1", server.port());
    platform::URLLoading::mapHostForTesting("ads.adnetwork.example", "127.0.0.1", server.port());
    connector->setDelegate(listener);
  }
  void TearDown() override {
    // Pings still on their way would outlive the test.
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
    platform::URLLoading::removeHostMappingsForTesting();
  }
  std::shared_ptr<Adapter> setUpWith(const Json& dictionary) {
    connector->setAdNetworkConfig(entry(dictionary));
    connector->setUpAdapter();
    env.runUntilIdle();
    return board->adapters.empty() ? nullptr : board->adapters.back();
  }
  // The queries the server got at `path`, once `count` have come.
  std::vector<std::string> queries(const std::string& path, std::size_t count) {
    EXPECT_TRUE(env.runUntil([&] { return server.requests(path).size() >= count; })) << path;
    std::vector<std::string> result;
    for (const auto& request : server.requests(path)) result.push_back(request.query.value_or(""));
    return result;
  }

  testenv::LoopbackServer server;
  std::shared_ptr<Board> board = std::make_shared<Board>();
  std::shared_ptr<Script> script = registerAdapter("RewardedA", board);
  std::shared_ptr<Listener> listener = std::make_shared<Listener>();
  std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnectorImpl> connector =
      ZUMMRewardBasedVideoAdNetworkConnectorImpl::create();
};

TEST_F(ZUMMRewardBasedVideoAdNetworkConnectorTest, SetUpMakesTheAdapterOnlyWhereTheClassAllowsIt) {
  registerAdapter("UserIDOnly", board,
                  {.protocols = {kZUMMRewardBasedVideoAdNetworkAdapterProtocol},
                   .operations = {kZUMMSetUpWithUserIDOperation},
                   .initialisers = {kZUMMInitWithRewardBasedVideoAdNetworkConnector}});
  registerAdapter("NoSetUp", board, {.initialisers = {kZUMMInitWithRewardBasedVideoAdNetworkConnector}});
  registerAdapter("NoRewardedInit", board,
                  {.protocols = {kZUMMRewardBasedVideoAdNetworkAdapterProtocol},
                   .initialisers = {kZUMMInitWithAdNetworkConnector}});
  const char* noAdapter = "setUp failed 7 Couldn't instantiate adapter. Adapter class empty or invalid.";
  const struct {
    const char* adapter;  // nullptr: no config at all
    Log board;
    Log heard;
    bool keepsAdapter;
  } rows[] = {
      {nullptr, {}, {"setUp failed 7 No network config to initialize adapter."}, false},
      {"RewardedA", {"RewardedA setUp"}, {"setUp"}, true},
      {"UserIDOnly", {"UserIDOnly setUpWithUserID ''"}, {}, true},
      {"NoSetUp", {}, {noAdapter}, false},
      {"NoRewardedInit", {}, {noAdapter}, false},
      {"Unregistered", {}, {noAdapter}, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.adapter ? row.adapter : "no config");
    board->log.clear();
    listener->log.clear();
    connector = ZUMMRewardBasedVideoAdNetworkConnectorImpl::create();
    connector->setDelegate(listener);
    if (row.adapter) {
      setUpWith({{"id", "n1"}, {"adapters", {row.adapter}}});
    } else {
      connector->setUpAdapter();
    }
    EXPECT_EQ(board->log, row.board);
    EXPECT_EQ(listener->log, row.heard);
    EXPECT_EQ(connector->adapter() != nullptr, row.keepsAdapter);
  }
}

TEST_F(ZUMMRewardBasedVideoAdNetworkConnectorTest, AnswersAboutTheRequestFollowTheFirstConfigAndItsLocationSwitch) {
  registerAdapter("RewardedB", board);
  auto request = ZUMRequest::create();
  request->setLocationWithLatitude(12.5, -3.25, 40);
  request->setKeywords(Json{"boats", 7, "kites"});
  request->setRequestAgent("agent-1");
  auto extras = ZUMExtras::create();
  request->registerAdNetworkExtras(extras);
  connector->setRequest(request);
  connector->setAdNetworkConfig(entry(
      {{"id", "n1"}, {"adapters", {"RewardedA"}}, {"data", {{"pubid", "pid-1"}, {"pentwick_share_location", "0"}}}}));
  connector->setAdNetworkConfig(entry(
      {{"id", "n2"}, {"adapters", {"RewardedB"}}, {"data", {{"pubid", "pid-2"}, {"pentwick_share_location", "1"}}}}));
  EXPECT_EQ(connector->adNetworkConfig()->networkID(), "n1");  // another class's config is ignored
  EXPECT_EQ(connector->publisherId(), "pid-1");
  EXPECT_EQ(connector->credentials(), (Json{{"pubid", "pid-1"}}));
  EXPECT_EQ(connector->currentAdapterName(), "RewardedA");
  EXPECT_FALSE(connector->userHasLocation());
  EXPECT_EQ(connector->userLatitude(), 0);
  EXPECT_EQ(connector->userLongitude(), 0);
  EXPECT_FALSE(connector->userLocationDescription());
  EXPECT_TRUE(connector->adapterNames().empty());
  connector->setMediationConfig(
      ZUMMConfig::create("unit-A", {{"ad_networks", {{{"id", "n"}, {"adapters", {"X", "Y"}}}}}}, nullptr));
  EXPECT_EQ(connector->adapterNames(), (std::vector<std::vector<std::string>>{{"X", "Y"}}));
  EXPECT_EQ(connector->userKeywords(), (std::vector<std::string>{"boats", "kites"}));
  EXPECT_EQ(connector->userRequestAgent(), "agent-1");
  EXPECT_EQ(connector->networkExtras(), extras);
  connector->setRequest(nullptr);
  EXPECT_FALSE(connector->testMode());
  EXPECT_FALSE(connector->networkExtras());
  connector->setRequest(request);

  // The same class may replace the config; shared, the location is answered.
  connector->setAdNetworkConfig(
      entry({{"id", "n3"}, {"adapters", {"RewardedA"}}, {"data", {{"pentwick_share_location", "1"}}}}));
  EXPECT_EQ(connector->adNetworkConfig()->networkID(), "n3");
  EXPECT_TRUE(connector->userHasLocation());
  EXPECT_EQ(connector->userLatitude(), 12.5);
  EXPECT_EQ(connector->userLongitude(), -3.25);
  EXPECT_EQ(connector->userLocationAccuracyInMeters(), 40);
  EXPECT_EQ(connector->credentials(), Json::object());
  EXPECT_FALSE(connector->inlineAd());  // the entry carries no ad
}

TEST_F(ZUMMRewardBasedVideoAdNetworkConnectorTest, SeveralConfigsOfOneClassSetUpOneAdapterWithTheirCredentials) {
  connector->setAdNetworkConfigsFromAppConfiguration({
      entry({{"id", "{TBD}"}, {"adapters", {"Unregistered"}}, {"data", {{"key", "x"}}}}),
      entry({{"id", "{TBD}"}, {"adapters", {"RewardedA"}}}),  // no credentials
      entry({{"id", "{TBD}"}, {"adapters", {"RewardedA"}}, {"data", {{"pubid", "p1"}}}}),
      entry({{"id", "{TBD}"}, {"adapters", {"RewardedA"}}, {"data", {{"pubid", "p2"}}}}),
  });
  connector->setUpAdapter();
  ASSERT_EQ(board->adapters.size(), 1u);
  EXPECT_EQ(board->adapters[0]->credentialsList, (Json{{{"pubid", "p1"}}, {{"pubid", "p2"}}}));
  EXPECT_EQ(board->log, Log{"RewardedA setUp"});
  EXPECT_EQ(listener->log, Log{"setUp"});
}

TEST_F(ZUMMRewardBasedVideoAdNetworkConnectorTest, ReportsReachTheDelegateOnTheMainThreadWithTheirPings) {
  auto mediation = ZUMMConfig::create("unit-A", {{"qdata", "q1"}, {"ad_networks", Json::array()}}, nullptr);
  connector->setMediationConfig(mediation);
  auto adapter = setUpWith({{"id", "n1"},
                            {"allocation_id", "al-1"},
                            {"adapters", {"RewardedA"}},
                            {"video_start_urls", {"https://ads.adnetwork.example/start?n=@pw_adnetid@"}},
                            {"fill_urls", {"https://ads.adnetwork.example/fill?fs=@pw_adnetstatus@"}}});
  ASSERT_TRUE(adapter);
  listener->log.clear();
  // Reports from the adapter's own threads.
  auto global = platform::DispatchQueue::global();
  global->async([adapter] { adapter->report([](auto& c, auto& a) { c.adapterDidGetAdClick(a); }); });
  global->async(
      [adapter] { adapter->report([](auto& c, auto& a) { c.adapterDidStartPlayingRewardBasedVideoAd(a); }); });
  global->async([adapter] { adapter->report([](auto& c, auto& a) { c.adapterDidOpenRewardBasedVideoAd(a); }); });
  global->async([adapter] { adapter->report([](auto& c, auto& a) { c.adapterDidCloseRewardBasedVideoAd(a); }); });
  global->async([adapter] { adapter->report([](auto& c, auto& a) { c.adapterWillLeaveApplication(a); }); });
  global->async([adapter] {
    adapter->report([](auto& c, auto& a) {
      c.adapterDidRewardUserWithReward(a, ZUMAdReward::create("coins", platform::Decimal(5)));
    });
  });
  global->async([adapter] {
    adapter->report(
        [](auto& c, auto& a) { c.adapterDidFailToLoadRewardBasedVideoAdwithError(a, ZUMMakeErrorWithCode(5)); });
  });
  env.runUntilIdle();
  EXPECT_EQ(listener->log, (Log{"click", "start", "open", "close", "leave", "reward coins", "failed 5"}));
  const auto clicks = queries("/clk", 1);
  EXPECT_NE(clicks[0].find("ad_network_id=n1"), std::string::npos) << clicks[0];
  EXPECT_NE(clicks[0].find("qdata=q1"), std::string::npos) << clicks[0];
  EXPECT_EQ(queries("/start", 1), std::vector<std::string>{"n=n1"});
  connector->pingFillURLsWithFillStatus("al-1.0.12");
  EXPECT_EQ(queries("/fill", 1), std::vector<std::string>{"fs=al-1.0.12"});

  // A report of an adapter the connector does not hold is dropped.
  auto stranger = std::make_shared<Adapter>("Stranger", connector, script, board);
  stranger->report([](auto& c, auto& a) { c.adapterDidReceiveRewardBasedVideoAd(a); });
  env.runUntilIdle();
  EXPECT_EQ(listener->log.back(), "failed 5");
}

TEST_F(ZUMMRewardBasedVideoAdNetworkConnectorTest, PresentingPingsTheImpressionFirstAndRewardsFillTheirMacros) {
  auto adapter = setUpWith({{"id", "n1"},
                            {"adapters", {"RewardedA"}},
                            {"video_complete_urls",
                             {"https://ads.adnetwork.example/done?u=@pw_rwd_userid@&i=@pw_rwd_itm@&a=@pw_rwd_amt@",
                              "https://ads.adnetwork.example/done?t=@pw_tmstmp@"}}});
  ASSERT_TRUE(adapter);
  connector->presentRewardBasedVideoAdFromRootViewController(nullptr);
  EXPECT_EQ(board->log.back(), "RewardedA present after pings");
  EXPECT_EQ(queries("/imp", 1).size(), 1u);

  const auto reward = ZUMAdReward::create("gems", platform::Decimal::fromString("2.5"));
  connector->pingRewardedUserURLsWithReward(*reward, std::nullopt);
  connector->pingRewardedUserURLsWithReward(*reward, "user 1&admin=1");
  const auto done = queries("/done", 4);
  EXPECT_EQ(std::count(done.begin(), done.end(), "u=&i=gems&a=2.5"), 1);
  EXPECT_EQ(std::count(done.begin(), done.end(), "u=user%201%26admin%3D1&i=gems&a=2.5"), 1);
  char expected[64];
  std::snprintf(expected, sizeof expected, "t=%lf", platform::clock().wallNow());
  EXPECT_EQ(std::count(done.begin(), done.end(), expected), 2);
}

}  // namespace
