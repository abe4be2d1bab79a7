#include "sdk/csi/ZUMCSI.h"

#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/Locale.h"
#include "platform/base/Random.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Device.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/csi/ZUMCSIReporter.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "testing/AppControls.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

// A seed after which the first draw of Random::uniform(1000) is `draw`.
std::uint64_t seedForDraw(std::uint32_t draw) {
  for (std::uint64_t seed = 1;; ++seed) {
    platform::Random::seed(seed);
    if (platform::Random::uniform(1000) == draw) return seed;
  }
}

class ZUMCSITest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::mapHostForTesting("csi.adnetwork.example", "127.0.0.1", server.port());
    server.route("/csi", {.status = 204});
    defaults().setObject(nlohmann::ordered_json("1"), kZUMCSIReportingProbabilityKey);
    env.advance(1);  // timings started at 0 are never valid
  }
  void TearDown() override {
    // A load still on its way when the test ends would outlive it.
    EXPECT_TRUE(env.runUntil([] { return ZUMCSIReporter::beaconsInFlight() == 0; }));
    platform::URLLoading::removeHostMappingsForTesting();
  }

  static platform::UserDefaults& defaults() { return platform::UserDefaults::standard(); }
  // Waits for the `count`th beacon and returns it.
  testenv::RecordedRequest beacon(std::size_t count) {
    EXPECT_TRUE(env.runUntil([&] { return server.requests("/csi").size() >= count; }));
    auto beacons = server.requests("/csi");
    EXPECT_EQ(beacons.size(), count);
    return beacons.size() >= count ? beacons[count - 1] : testenv::RecordedRequest{};
  }
  static std::optional<std::string> value(const testenv::RecordedRequest& request, const char* key) {
    return ZUMQueryValueForKey(platform::URL::fromString("https://x.example/?" + request.query.value_or("")), key);
  }
  // A timing of `seconds` under `name`.
  void time(ZUMCSITimeRecorder& recorder, const std::string& name, double seconds) {
    recorder.startTimingVariableWithName(name);
    env.advance(seconds);
    recorder.endTimingVariableWithName(name);
    env.runUntilIdle();
  }

  testenv::LoopbackServer server;
};

TEST_F(ZUMCSITest, ABeaconCarriesTheActionItsParametersAndTimings) {
  auto& device = platform::Device::current();
  device.setHardwareModel("TestPad7,5");
  device.setSystemVersion("11.2.1");
  platform::Locale::setCurrentLocaleIdentifier("en_GB");
  platform::Bundle::main().setObjectForInfoDictionaryKey("CFBundleName", nlohmann::ordered_json("Reader"));
  platform::Bundle::main().setObjectForInfoDictionaryKey("CFBundleVersion", nlohmann::ordered_json("2.1"));
  auto csi = ZUMCSI::create();
  auto recorder = csi->timeRecorderForAction("load_ad_ios");
  ASSERT_TRUE(recorder);
  // Four timings ended just around 812 ms.
  for (const char* name : {"a", "b", "c", "d"}) recorder->startTimingVariableWithName(name);
  const struct {
    const char* name;
    double at;
  } ends[] = {{"a", 0.8114}, {"b", 0.8116}, {"c", 0.8124}, {"d", 0.8126}};
  for (const auto& end : ends) {
    env.advance(1 + end.at - env.now());
    recorder->endTimingVariableWithName(end.name);
    env.runUntilIdle();
  }
  recorder->addExperimentID("e7");
  csi->sendReport();
  auto sent = beacon(1);
  EXPECT_EQ(sent.method, "GET");
  const std::map<std::string, std::optional<std::string>> expected{
      {"s", "kvel_sdk"},       {"v", "3"},
      {"action", "load_ad_ios"}, {"sdkVersion", kZUMSDKVersion},
      {"e", std::string(kZUMSDKVersion) + ",e7"}, {"it", "a.811,b.812,c.812,d.813"},
  };
  for (const auto& [key, text] : expected) EXPECT_EQ(value(sent, key.c_str()), text) << key;
  EXPECT_EQ(sent.header("User-Agent"), "VantorCsi/1.0 (TestPad/7.5; U; CPU iOS 11_2_1; en-GB) Reader/2.1");

  // The timings went with the beacon: a report right after sends nothing; the next
  // beacon carries only what completed since.
  csi->sendReport();
  env.runUntilIdle();
  time(*recorder, "later", 0.1);
  csi->sendReport();
  EXPECT_EQ(value(beacon(2), "it"), "later.100");
}

// The hardware model as the beacon names it.
TEST_F(ZUMCSITest, DeviceVersionString) {
  const struct {
    const char* machine;
    const char* named;
  } rows[] = {
      {"TestPhone10,3", "TestPhone/10.3"}, {"TestPad7,5", "TestPad/7.5"}, {"Board", "Board"},
      {"x1,2,3", "x/1.2.3"},              {"", "Unknown"},               {"9", "/9"},
  };
  for (const auto& row : rows) {
    platform::Device::current().setHardwareModel(row.machine);
    EXPECT_EQ(ZUMCSIConfiguration::deviceVersionString(), row.named) << row.machine;
  }
}

TEST_F(ZUMCSITest, ASimulatorIsNamedSo) {
  platform::Device::current().setSimulator(true);
  EXPECT_EQ(ZUMCSIConfiguration::deviceVersionString(), "Simulator");
}

// Draws 0 to 999: a probability keeps the draws below it × 1000 cut to a whole number.
TEST_F(ZUMCSITest, SamplingKeepsTheDrawsBelowTheProbability) {
  const struct {
    double probability;
    std::uint32_t draw;
    bool reports;
  } rows[] = {
      {0.05, 49, true},    {0.05, 50, false},      {0.0505, 49, true},  {0.0505, 50, false},
      {0.051, 50, true},   {1, 999, true},         {0, 0, false},       {-3, 0, false},
      {std::nan(""), 0, false}, {1e300, 999, true}, {INFINITY, 999, true}, {-INFINITY, 0, false},
  };
  auto configuration = ZUMCSIConfiguration::create("kvel_sdk");
  for (const auto& row : rows) {
    platform::Random::seed(seedForDraw(row.draw));
    configuration->setReportingProbability(row.probability);
    EXPECT_EQ(configuration->reportingEnabled(), row.reports) << row.probability << " draw " << row.draw;
  }
}

// The server stores its settings as strings; numbers do too. A word is no number: like
// anything else unreadable it counts as absent (the default 0.05).
TEST_F(ZUMCSITest, TheUserDefaultsSetTheProbabilityAndTheEndpoint) {
  const nlohmann::ordered_json absent;
  const struct {
    nlohmann::ordered_json probability;
    std::uint32_t draw;
    bool reports;
  } rows[] = {
      {"0.5", 499, true}, {"0.5", 500, false}, {0.5, 499, true}, {"1", 999, true}, {"0", 0, false},
      {"abc", 49, true},  {"abc", 50, false}, {absent, 49, true},  {absent, 50, false}, {nlohmann::ordered_json::array({1}), 49, true},
      {nlohmann::ordered_json::array({1}), 50, false}, {true, 999, true},
  };
  for (const auto& row : rows) {
    defaults().setObject(row.probability, kZUMCSIReportingProbabilityKey);  // null removes it
    platform::Random::seed(seedForDraw(row.draw));
    EXPECT_EQ(ZUMCSI::create()->timeRecorderForAction("load_ad_ios") != nullptr, row.reports)
        << row.probability.dump() << " draw " << row.draw;
  }

  const struct {
    nlohmann::ordered_json url;
    const char* server;
  } urls[] = {
      {"https://beacons.adnetwork.example/latency?x=1", "https://beacons.adnetwork.example/latency?x=1"},
      {"not a url", kZUMCSIDefaultServer},
      {"ftp://beacons.adnetwork.example/csi", kZUMCSIDefaultServer},
      {"https:1e999", kZUMCSIDefaultServer},
      {"HTTP://beacons.adnetwork.example/csi", "HTTP://beacons.adnetwork.example/csi"},
      {42, kZUMCSIDefaultServer},
      {absent, kZUMCSIDefaultServer},
  };
  for (const auto& row : urls) {
    defaults().setObject(row.url, kZUMCSIReportingURLKey);
    EXPECT_EQ(ZUMCSIConfiguration::defaultConfiguration()->server(), row.server) << row.url.dump();
  }
}

TEST_F(ZUMCSITest, AnEndpointWithAQueryKeepsIt) {
  defaults().setObject(nlohmann::ordered_json(server.baseURL() + "/latency?x=1"), kZUMCSIReportingURLKey);
  server.route("/latency", {.status = 204});
  auto csi = ZUMCSI::create();
  time(*csi->timeRecorderForAction("load_med"), "med", 0.2);
  csi->sendReport();
  ASSERT_TRUE(env.runUntil([&] { return server.requests("/latency").size() == 1; }));
  const auto query = server.requests("/latency")[0].query.value_or("");
  EXPECT_EQ(query.rfind("x=1&", 0), 0u) << query;
  EXPECT_NE(query.find("action=load_med"), std::string::npos) << query;
}

TEST_F(ZUMCSITest, ASampledOutRegistryGivesNoRecorder) {
  defaults().setObject(nlohmann::ordered_json("0"), kZUMCSIReportingProbabilityKey);
  auto csi = ZUMCSI::create();
  EXPECT_EQ(csi->timeRecorderForAction("load_ad_ios"), nullptr);
}

// A timing that was running when the user left is never sent, and does not stay behind
// either: it can never be sent, so it would only pile up.
TEST_F(ZUMCSITest, ATimingRunningWhenTheApplicationResignsIsNeverSent) {
  auto csi = ZUMCSI::create();
  auto recorder = csi->timeRecorderForAction("load_ad_ios");
  recorder->startTimingVariableWithName("spoilt");
  time(*recorder, "kept", 0.25);
  testenv::AppControls::resignActive();
  env.advance(1);
  recorder->endTimingVariableWithName("spoilt");
  csi->sendReport();
  EXPECT_EQ(value(beacon(1), "it"), "kept.250");
  EXPECT_TRUE(recorder->completedVariables().empty());

  // Only invalid timings: the beacon goes with an empty "it".
  testenv::AppControls::becomeActive();
  recorder->startTimingVariableWithName("spoilt");
  testenv::AppControls::resignActive();
  recorder->endTimingVariableWithName("spoilt");
  csi->sendReport();
  auto empty = beacon(2);
  EXPECT_NE(("&" + empty.query.value_or("") + "&").find("&it&"), std::string::npos) << *empty.query;
  EXPECT_TRUE(recorder->completedVariables().empty());
}

TEST_F(ZUMCSITest, RecordersAndTimestamps) {
  auto csi = ZUMCSI::create();
  auto recorder = csi->timeRecorderForAction("load_ad_ios");
  EXPECT_EQ(csi->timeRecorderForAction("load_ad_ios"), recorder);
  EXPECT_NE(csi->timeRecorderForAction("load_med"), recorder);
  EXPECT_EQ(recorder->experimentIDs(), std::vector<std::string>{kZUMSDKVersion});
  EXPECT_FALSE(recorder->customizedParameters().contains("bqi"));
  // The query id reaches a recorder at its next lookup.
  csi->setBRVQueryID("q-1");
  csi->timeRecorderForAction("load_ad_ios");
  EXPECT_EQ(recorder->customizedParameters()["bqi"], "q-1");

  csi->recordTimestampForLabel("native:view_create");
  csi->setTimestamp(42, "native:view_show");
  EXPECT_EQ(csi->timestampForLabel("native:view_create"), 1'800'000'001'000);
  EXPECT_EQ(csi->timestampForLabel("native:view_show"), 42);
  EXPECT_EQ(csi->timestampForLabel("native:view_load"), 0);
  csi->sendReport();
  EXPECT_EQ(csi->timestampForLabel("native:view_show"), 0);
  EXPECT_EQ(ZUMCSI::sharedInstance(), ZUMCSI::sharedInstance());
}

// Custom parameters come after the fixed ones, so they win; a reporter that does not
// report takes nothing; one that does lives until its beacon has completed.
TEST_F(ZUMCSITest, TheReporter) {
  auto recorder = ZUMCSITimeRecorder::create("make_wv");
  auto configuration = ZUMCSIConfiguration::create("kvel_sdk");
  auto reporter = ZUMCSIReporter::create(configuration);
  EXPECT_EQ(ZUMCSIReporter::create(nullptr), nullptr);
  EXPECT_EQ(reporter->URLForTimeRecorder(*recorder), std::nullopt) << "no timing";
  auto other = ZUMCSITimeRecorder::create("make_wv");
  time(*other, "wv", 0.1);
  configuration->setServiceName("other_sdk");
  configuration->setVersion(4);
  const auto url = reporter->URLForTimeRecorder(*other);
  EXPECT_EQ(ZUMQueryValueForKey(url, "s"), "other_sdk");
  EXPECT_EQ(ZUMQueryValueForKey(url, "v"), "4");
  recorder->setCustomizedParameterValue("custom", "s");
  time(*recorder, "wv", 0.3);
  int completions = 0;
  configuration->setReportingEnabled(false);
  reporter->reportTimeRecorder(recorder, [&](const auto&, const auto&) { ++completions; });
  EXPECT_EQ(recorder->completedVariables().size(), 1u);

  configuration->setReportingEnabled(true);
  std::optional<int> status;
  ZUMCSIReporter::create(configuration)->reportTimeRecorder(recorder, [&](const auto& response, const auto& error) {
    ++completions;
    status = response && !error ? response->statusCode() : -1;
  });
  ASSERT_TRUE(env.runUntil([&] { return status.has_value(); }));
  EXPECT_EQ(status, 204);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(value(server.requests("/csi")[0], "s"), "custom");

  // A beacon that cannot be delivered reports its error.
  platform::URLLoading::removeHostMappingsForTesting();
  time(*recorder, "wv", 0.3);
  platform::ErrorPtr failure;
  reporter->reportTimeRecorder(recorder, [&](const auto&, const auto& error) { failure = error; });
  ASSERT_TRUE(env.runUntil([&] { return failure != nullptr; }));
}

// Real threads asking for one action at once share one recorder.
TEST(ZUMCSIThreadedTest, ThreadsAskingForOneActionGetOneRecorder) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  platform::UserDefaults::standard().setObject(nlohmann::ordered_json("1"), kZUMCSIReportingProbabilityKey);
  constexpr int kThreads = 6;
  constexpr int kActions = 100;
  for (int round = 0; round < 5; ++round) {
    auto csi = ZUMCSI::create();
    std::vector<std::vector<std::shared_ptr<ZUMCSITimeRecorder>>> got(kThreads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (++ready; ready < kThreads;) std::this_thread::yield();
        for (int a = 0; a < kActions; ++a) got[t].push_back(csi->timeRecorderForAction("action-" + std::to_string(a)));
      });
    }
    for (auto& thread : threads) thread.join();
    for (int a = 0; a < kActions; ++a) {
      std::set<ZUMCSITimeRecorder*> distinct;
      for (int t = 0; t < kThreads; ++t) distinct.insert(got[t][a].get());
      EXPECT_EQ(distinct.size(), 1u) << "action-" << a;
    }
  }
}

}  // namespace
