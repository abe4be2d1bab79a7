// The rewarded ad's own waterfall over scripted rewarded adapters, on virtual time: a
// mediation response fetched from the loopback server sets the networks up, asks them
// in order with a time-out each, records their fill statuses, pings fill and no fill,
// and relays the filled network's events. Also the early set-up from the application
// settings.
#include <gtest/gtest.h>

#include "ZUMAdReward.h"
#include "ZUMRewardBasedVideoAd.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "sdk/formats/ZUMFormatsTestSupport.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMConfiguration.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMRewardBasedVideoAdNetworkConnectorImpl.h"
#include "sdk/mediation/ZUMMRewardedTestSupport.h"
#include "sdk/telemetry/ZUMAnalyticsTestSupport.h"

namespace {

using formatstest::Log;
using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;
using rewardedtest::Answer;

using Host = formatstest::RewardedHost;

// One network entry of a response.
Json network(const std::string& id, const std::string& adapter, const std::string& allocation, Json more = {}) {
  Json entry = {{"id", id},
                {"adapters", {adapter}},
                {"allocation_id", allocation},
                {"fill_urls", {"https://ads.adnetwork.example/fill?n=@pw_adnetid@&fs=@pw_adnetstatus@"}}};
  if (more.is_object()) entry.update(more);
  return entry;
}

class ZUMRewardBasedVideoAdWaterfallTest : public formatstest::FormatsTest {
 protected:
  ZUMRewardBasedVideoAdWaterfallTest() {
    rewarded->setDelegate(listener);
    platform::URLLoading::mapHostForTesting("mediation.adnetwork.example", "127.0.0.1", hosts.server.port());
    a = rewardedtest::registerAdapter("NetA", board);
    b = rewardedtest::registerAdapter("NetB", board);
    c = rewardedtest::registerAdapter("NetC", board);
  }
  void TearDown() override {
    // Pings still on their way would outlive the test.
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
  }
  // Serves a mediation response with these networks; `timeoutMillis` per network.
  void serve(Json networks, Json settings = Json::object(), double timeoutMillis = 5000) {
    settings["ad_network_timeout_millis"] = timeoutMillis;
    if (!settings.contains("nofill_urls")) {
      settings["nofill_urls"] = {"https://ads.adnetwork.example/nofill?fs=@pw_adnetstatus@&q=@pw_qdata@"};
    }
    const Json response = {{"qdata", "q1"}, {"settings", settings}, {"ad_networks", std::move(networks)}};
    hosts.server.route(
        "/ad", {.headers = {{"X-Qyra-Mediation", "1"}}, .body = response.dump(), .contentType = "application/json"});
  }
  // Starts a load and waits for the response to be fetched: the first network is asked
  // (or the load ended) by then, at start().
  void start() {
    board->log.clear();
    listener->log.clear();
    rewarded->loadRequest(ZUMRequest::create(), "unit-R");
    ASSERT_TRUE(env.runUntil([&] { return !board->log.empty() || !listener->log.empty(); }));
    startedAt = env.now();
  }
  // Moves virtual time to `seconds` after start().
  void at(double seconds) { env.advance(startedAt + seconds - env.now()); }
  std::shared_ptr<rewardedtest::Adapter> adapter(std::size_t index) { return board->adapters.at(index); }
  std::vector<std::string> queries(const std::string& path, std::size_t count) {
    EXPECT_TRUE(env.runUntil([&] { return hosts.server.requests(path).size() >= count; })) << path;
    env.runUntilIdle();
    std::vector<std::string> result;
    for (const auto& request : hosts.server.requests(path)) result.push_back(request.query.value_or(""));
    return result;
  }

  std::shared_ptr<ZUMRewardBasedVideoAd> rewarded = ZUMRewardBasedVideoAd::sharedInstance();
  std::shared_ptr<Host> listener = std::make_shared<Host>();
  std::shared_ptr<rewardedtest::Board> board = std::make_shared<rewardedtest::Board>();
  std::shared_ptr<rewardedtest::Script> a, b, c;
  platform::TimeInterval startedAt = 0;
};

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, TheFirstNetworkToFillWinsAndTheFillStatusRunsUpToIt) {
  a->load = Answer::kFail;
  serve({network("n1", "NetA", "al-1"), network("n2", "NetB", "al-2"), network("n3", "NetC", "al-3")});
  start();
  EXPECT_EQ(board->log, (Log{"NetA setUp", "NetB setUp", "NetC setUp", "NetA request", "NetB request"}));
  EXPECT_EQ(listener->log, Log{"received"});
  EXPECT_TRUE(rewarded->isReady());
  EXPECT_EQ(rewarded->adNetworkClassName(), "NetB");
  EXPECT_EQ(queries("/fill", 1), std::vector<std::string>{"n=n2&fs=al-1.1.0_al-2.0.0"});
  EXPECT_EQ(hosts.server.requests("/nofill").size(), 0u);

  // The filled network presents once; its events reach the host on the main thread,
  // another network's do not.
  rewarded->presentFromRootViewController(host);
  rewarded->presentFromRootViewController(host);
  EXPECT_FALSE(rewarded->isReady());
  EXPECT_EQ(std::count(board->log.begin(), board->log.end(), "NetB present after pings"), 1);
  adapter(0)->report([](auto& c, auto& a) { c.adapterDidOpenRewardBasedVideoAd(a); });
  adapter(0)->report([](auto& c, auto& a) { c.adapterDidRewardUserWithReward(a, nullptr); });
  auto filled = adapter(1);
  platform::DispatchQueue::global()->async([filled] {
    filled->report([](auto& c, auto& a) { c.adapterDidOpenRewardBasedVideoAd(a); });
    filled->report([](auto& c, auto& a) { c.adapterDidStartPlayingRewardBasedVideoAd(a); });
    filled->report([](auto& c, auto& a) { c.adapterDidGetAdClick(a); });
    filled->report([](auto& c, auto& a) { c.adapterWillLeaveApplication(a); });
    filled->report([](auto& c, auto& a) { c.adapterDidCloseRewardBasedVideoAd(a); });
  });
  env.runUntilIdle();
  EXPECT_EQ(listener->log, (Log{"received", "open", "start", "leave", "close"}));
}

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, ExhaustionPingsNoFillOnceAndFailsWithCode9) {
  a->load = Answer::kFail;
  b->setUp = Answer::kFail;
  c->load = Answer::kFail;
  c->loadErrorCode = kZUMErrorInternalError;
  serve({network("n1", "NetA", "al-1"), network("n2", "NetB", "al-2"), network("n3", "NetC", "al-3"),
         network("n4", "Missing", "al-4")});
  start();
  EXPECT_EQ(listener->log, Log{"failed 9 No ad returned from any ad server."});
  EXPECT_EQ(queries("/nofill", 1), std::vector<std::string>{"fs=al-1.1.0_al-2.3.0_al-3.6.0_al-4.3.0&q=q1"});
  at(30);
  EXPECT_EQ(hosts.server.requests("/nofill").size(), 1u);
  EXPECT_EQ(listener->log.size(), 1u);
  EXPECT_FALSE(rewarded->connectorForAdapterClass("NetB"));  // a failed set-up is not kept
  EXPECT_TRUE(rewarded->connectorForAdapterClass("NetA"));
  EXPECT_FALSE(rewarded->isReady());
  rewarded->presentFromRootViewController(host);
  EXPECT_EQ(board->log.back(), "NetC request");
}

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, ANetworkStillSettingUpAtItsTurnIsAskedWhenSetUpEnds) {
  a->setUp = Answer::kLater;
  serve({network("n1", "NetA", "al-1"), network("n2", "NetB", "al-2")});
  start();
  EXPECT_EQ(board->log, (Log{"NetA setUp", "NetB setUp"}));
  at(1.9);
  EXPECT_EQ(board->log.size(), 2u);
  at(2.1);
  EXPECT_EQ(board->log.back(), "NetA request");
  EXPECT_EQ(listener->log, Log{"received"});
}

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, ANetworkWhoseSetUpFailsAtItsTurnIsSkipped) {
  a->setUp = Answer::kFailLater;
  serve({network("n1", "NetA", "al-1"), network("n2", "NetB", "al-2")});
  start();
  at(2.1);
  EXPECT_EQ(board->log, (Log{"NetA setUp", "NetB setUp", "NetB request"}));
  EXPECT_EQ(listener->log, Log{"received"});
  EXPECT_EQ(queries("/fill", 1), std::vector<std::string>{"n=n2&fs=al-1.3.0_al-2.0.0"});
}

// A set-up that fails while its network waits in the queue is skipped at its turn with
// status 3: its connector has no adapter to ask.
TEST_F(ZUMRewardBasedVideoAdWaterfallTest, ANetworkWhoseSetUpFailsInTheQueueIsNeverAsked) {
  a->load = Answer::kFailLater;
  a->delay = 3;
  b->setUp = Answer::kNever;
  serve({network("n1", "NetA", "al-1"), network("n2", "NetB", "al-2")});
  start();
  at(1);
  adapter(1)->report([](auto& c, auto& a) {
    c.adapterDidFailToSetUpRewardBasedVideoAdWithError(a, ZUMMakeErrorWithCode(kZUMErrorInternalError));
  });
  at(4);
  EXPECT_EQ(board->log, (Log{"NetA setUp", "NetB setUp", "NetA request"}));
  EXPECT_EQ(listener->log, Log{"failed 9 No ad returned from any ad server."});
  EXPECT_EQ(queries("/nofill", 1), std::vector<std::string>{"fs=al-1.1.3000_al-2.3.0&q=q1"});
}

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, ALateFillAfterTheTimeOutIsIgnoredAndTimeOutsStayWithinBounds) {
  const struct {
    double millis;
    double seconds;
  } rows[] = {{5000, 5}, {0, 10}, {-3, 10}, {100, 1}, {1e12, 60}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.millis);
    a->load = Answer::kLater;
    a->delay = row.seconds + 0.5;
    b->load = Answer::kNever;
    serve({network("n1", "NetA", "al-1"), network("n2", "NetB", "al-2")}, Json::object(), row.millis);
    start();
    at(row.seconds - 0.1);
    EXPECT_EQ(board->log.back(), "NetA request");
    at(row.seconds + 0.1);
    EXPECT_EQ(board->log.back(), "NetB request");
    at(2 * row.seconds - 0.1);
    EXPECT_TRUE(listener->log.empty());  // A's fill came after its time-out
    at(2 * row.seconds + 0.1);
    EXPECT_EQ(listener->log, Log{"failed 9 No ad returned from any ad server."});
  }
  EXPECT_EQ(queries("/nofill", 5).back(), "fs=al-1.2.60000_al-2.2.60000&q=q1");
}

// One connector serves both entries of its class, asked with the first entry both times;
// the first attempt's time-out does not end the second attempt.
TEST_F(ZUMRewardBasedVideoAdWaterfallTest, TwoEntriesOfOneClassAreTwoAttemptsEachWithItsOwnTimeOut) {
  a->load = Answer::kFailLater;
  a->delay = 1;
  serve({network("n1", "NetA", "al-1"), network("n2", "NetA", "al-2", {{"data", {{"pubid", "p2"}}}})});
  start();
  at(0.5);
  a->load = Answer::kNever;
  at(5.5);  // the first attempt's time-out falls at 5 s
  EXPECT_EQ(board->log, (Log{"NetA setUp", "NetA request", "NetA request"}));
  EXPECT_TRUE(listener->log.empty());
  const auto connector = rewarded->connectorForAdapterClass("NetA");
  EXPECT_EQ(connector->adNetworkConfig()->networkID(), "n1");
  EXPECT_FALSE(connector->publisherId());
  at(6.1);
  EXPECT_EQ(listener->log, Log{"failed 9 No ad returned from any ad server."});
}

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, ASetUpOlderThanTheTimeOutIsDroppedAtTheNextLoad) {
  a->setUp = Answer::kNever;
  serve({network("n1", "NetA", "al-1")});
  start();
  at(5.1);
  EXPECT_EQ(listener->log, Log{"failed 9 No ad returned from any ad server."});
  auto first = rewarded->connectorForAdapterClass("NetA");
  start();
  EXPECT_EQ(board->log, (Log{"NetA stop", "NetA setUp"}));
  EXPECT_NE(rewarded->connectorForAdapterClass("NetA"), first);
  EXPECT_FALSE(first->delegate());
}

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, AServerRewardAlwaysReplacesTheNetworksAndTheUserIsEncoded) {
  const struct {
    Json rewards;
    bool networkGives;
    std::string heard;
  } rows[] = {
      {Json{{{"rb_type", "gems"}, {"rb_amount", 3}}}, true, "reward 'gems' 3"},
      {Json{{{"rb_type", "gems"}, {"rb_amount", 3}}}, false, "reward 'gems' 3"},
      {Json::array(), true, "reward 'coins' 5"},
      {nullptr, false, "reward '' 1"},
  };
  rewarded->setUserIdentifier("user 1&x=2");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.heard);
    Json settings = Json::object();
    if (!row.rewards.is_null()) settings["rewards"] = row.rewards;
    serve({network("n1", "NetA", "al-1",
                   {{"video_complete_urls", {"https://ads.adnetwork.example/done?u=@pw_rwd_userid@&i=@pw_rwd_itm@"}}})},
          settings);
    start();
    rewarded->presentFromRootViewController(host);
    const bool gives = row.networkGives;
    adapter(0)->report([](auto& c, auto& a) { c.adapterDidRewardUserWithReward(a, nullptr); });
    if (gives) {
      listener->log.clear();
      adapter(0)->report([](auto& c, auto& a) {
        c.adapterDidRewardUserWithReward(a, ZUMAdReward::create("coins", platform::Decimal(5)));
      });
    }
    env.runUntilIdle();
    EXPECT_EQ(listener->log.back(), row.heard);
  }
  const auto done = queries("/done", 6);
  EXPECT_EQ(done.front(), "u=user%201%26x%3D2&i=gems");
}

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, TheExposureOpensAndClosesOnceAroundOpenAndClose) {
  analyticstest::Framework framework;
  serve({network("n1", "NetA", "al-1")});
  start();
  rewarded->presentFromRootViewController(host);
  for (auto report : {+[](ZUMMRewardBasedVideoAdNetworkConnector&c, rewardedtest::Adapter&a) {
                        c.adapterDidOpenRewardBasedVideoAd(a);
                      },
                      +[](ZUMMRewardBasedVideoAdNetworkConnector&c, rewardedtest::Adapter&a) {
                        c.adapterDidOpenRewardBasedVideoAd(a);
                      },
                      +[](ZUMMRewardBasedVideoAdNetworkConnector&c, rewardedtest::Adapter&a) {
                        c.adapterDidCloseRewardBasedVideoAd(a);
                      },
                      +[](ZUMMRewardBasedVideoAdNetworkConnector&c, rewardedtest::Adapter&a) {
                        c.adapterDidCloseRewardBasedVideoAd(a);
                      }}) {
    adapter(0)->report(report);
  }
  env.runUntilIdle();
  Log exposures;
  for (const auto& line : *framework.lines) {
    if (line.rfind("begin", 0) == 0 || line.rfind("end", 0) == 0) exposures.push_back(line);
  }
  EXPECT_EQ(exposures, (Log{"begin unit-R", "end unit-R"}));
  EXPECT_EQ(listener->log, (Log{"received", "open", "open", "close", "close"}));
}

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, ResponsesThatAreNoUsableConfigurationFailTheLoad) {
  const struct {
    std::string body;
    std::int64_t code;
  } rows[] = {
      {"[1, 2]", kZUMErrorInvalidResponse},
      {"not json", 3840},  // the decoder's own error passes through
      {"\"text\"", 3840},
      {R"({"ad_networks": 5})", kZUMErrorInvalidMediationResponse},
      {R"({"ad_networks": [{"adapters": ["NetA"]}]})", kZUMErrorInvalidMediationResponse},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.body);
    hosts.server.route("/ad",
                       {.headers = {{"X-Qyra-Mediation", "1"}}, .body = row.body, .contentType = "application/json"});
    start();
    ASSERT_EQ(listener->log.size(), 1u);
    EXPECT_EQ(listener->log[0].rfind("failed " + std::to_string(row.code) + " ", 0), 0u) << listener->log[0];
  }
}

// --- Early set-up from the application settings ----------------------------------------------------

constexpr const char* kEarlySetUp = "/vantor/ads/zums:rbv_cld_early_set_up";

Json rewardedUnit(Json networks, const char* format = "rewarded") {
  return {{"format", format}, {"mediation_config", {{"ad_networks", std::move(networks)}}}};
}

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, EarlySetUpWaitsForTheSwitchAndRefreshedSettingsAndTakesRewardedEntries) {
  auto configuration = ZUMApplication::sharedInstance()->configuration();
  const Json networks = {{{"adapters", {"NetA"}}, {"data", {{"pubid", "p1"}}}},
                         {{"id", "x"}, {"adapters", {"NetA"}}, {"data", {{"pubid", "p2"}}}},
                         {{"adapters", {"NetB"}}, {"data", {{"pubid", "p3"}}}},
                         "not an entry",
                         {{"adapters", {"Missing"}}}};
  const struct {
    const char* what;
    const char* theSwitch;
    Json settings;
    Log setUp;
  } rows[] = {
      {"switch off",
       "0",
       {{"app_config_refreshed_since_app_start", true}, {"ad_unit_id_settings", {rewardedUnit(networks)}}},
       {}},
      {"not refreshed", "1", {{"app_config_refreshed_since_app_start", false}}, {}},
      {"no rewarded unit",
       "1",
       {{"app_config_refreshed_since_app_start", true},
        {"ad_unit_id_settings", {rewardedUnit(networks, "banner"), "junk"}}},
       {}},
      {"rewarded",
       "1",
       {{"ad_unit_id_settings", {rewardedUnit(Json::array()), rewardedUnit(networks)}}},
       {"NetA setUp", "NetB setUp"}},
  };
  env.runUntilIdle();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(platform::UserDefaults::standard().setObject(row.theSwitch, kEarlySetUp));
    configuration->addEntriesFromDictionary(row.settings, ZUMConfiguration::kSDKPriority);
    env.runUntilIdle();
    EXPECT_EQ(board->log, row.setUp);
    EXPECT_EQ(rewarded->isObservingApplicationConfiguration(), row.setUp.empty());
  }
  ASSERT_EQ(board->adapters.size(), 2u);
  EXPECT_EQ(board->adapters[0]->credentialsList, (Json{{{"pubid", "p1"}}, {{"pubid", "p2"}}}));
  const auto& configs = rewarded->connectorForAdapterClass("NetA")->adNetworkConfigsFromAppConfiguration();
  ASSERT_EQ(configs.size(), 2u);
  EXPECT_EQ(configs[0]->networkID(), "{TBD}");
  EXPECT_EQ(configs[1]->networkID(), "x");

  // Set up early, the network is asked at once by the first load.
  serve({network("n1", "NetA", "al-1")});
  start();
  EXPECT_EQ(board->log, Log{"NetA request"});
  EXPECT_EQ(rewarded->connectorForAdapterClass("NetA")->adNetworkConfig()->networkID(), "n1");
}

// The settings come the way they do in an application: asked for by the configure call,
// fetched by the SDK-core page from the loopback server; the switch comes with the
// page's constants.
TEST_F(ZUMRewardBasedVideoAdWaterfallTest, EarlySetUpTakesTheSettingsTheSDKCorePageDelivers) {
  hosts.servePage(sdkcoretest::pageWith("SDK_CONSTANTS['zums:rbv_cld_early_set_up'] = '1';"));
  const Json settings = {
      {"status", 1}, {"ad_unit_id_settings", {rewardedUnit({{{"adapters", {"NetC"}}, {"data", {{"pubid", "p9"}}}}})}}};
  hosts.server.route("/app_settings", testenv::ScriptedResponse{.status = 200, .body = settings.dump()});
  ZUMMobileAds::configureWithApplicationID("app-1");
  // The page's constants and settings come over the loopback server and on the page's
  // timers: wait for each step's real I/O, then let virtual time move on.
  for (int step = 0; step < 100 && board->log.empty(); ++step) {
    (void)env.runUntil([&] { return !board->log.empty(); }, std::chrono::milliseconds(50));
    env.advance(100ms);
  }
  EXPECT_EQ(board->log, Log{"NetC setUp"});
  EXPECT_EQ(board->adapters.at(0)->credentialsList, (Json{{{"pubid", "p9"}}}));
  EXPECT_FALSE(rewarded->isObservingApplicationConfiguration());
}

TEST_F(ZUMRewardBasedVideoAdWaterfallTest, TheFirstLoadEndsTheObservation) {
  ASSERT_TRUE(platform::UserDefaults::standard().setObject("1", kEarlySetUp));
  serve({network("n1", "NetB", "al-1")});
  start();
  EXPECT_FALSE(rewarded->isObservingApplicationConfiguration());
  board->log.clear();
  ZUMApplication::sharedInstance()->configuration()->addEntriesFromDictionary(
      {{"app_config_refreshed_since_app_start", true},
       {"ad_unit_id_settings", {rewardedUnit({{{"adapters", {"NetA"}}}})}}},
      ZUMConfiguration::kSDKPriority);
  env.runUntilIdle();
  EXPECT_EQ(board->log, Log{});
}

}  // namespace
