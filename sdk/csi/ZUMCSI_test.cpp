#include "sdk/csi/ZUMCSI.h"

#include <cmath>
#include <optional>
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
#include "sdk/csi/ZUMCSIVariableTiming.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "testing/AppControls.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

// Seeds the random source so that its next Random::uniform(1000) is `draw`.
void seedForDraw(std::uint32_t draw) {
  std::uint64_t seed = 1;
  for (platform::Random::seed(seed); platform::Random::uniform(1000) != draw;) platform::Random::seed(++seed);
  platform::Random::seed(seed);
}

void setDefault(const char* key, Json value) {
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(std::move(value), key));
}

class ZUMCSITest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::mapHostForTesting("csi.adnetwork.example", "127.0.0.1", server.port());
    server.route("/csi", {.status = 204});
    setDefault(kZUMCSIReportingProbabilityKey, "1");
    csi = ZUMCSI::create();
    recorder = csi->timeRecorderForAction("load_ad_ios");
    ASSERT_TRUE(recorder);
    env.advance(1);  // timings started at 0 are never valid
  }
  void TearDown() override {
    // A load still on its way when the test ends would outlive it.
    EXPECT_TRUE(env.runUntil([] { return ZUMCSIReporter::beaconsInFlight() == 0; }));
    platform::URLLoading::removeHostMappingsForTesting();
  }

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
  void time(const std::string& name, double seconds) {
    recorder->startTimingVariableWithName(name);
    env.advance(seconds);
    recorder->endTimingVariableWithName(name);
    env.runUntilIdle();
  }

  testenv::LoopbackServer server;
  std::shared_ptr<ZUMCSI> csi;
  std::shared_ptr<ZUMCSITimeRecorder> recorder;
};

// The timings leave with their beacon: a report right after sends nothing, and the next
// beacon carries only what completed since.
TEST_F(ZUMCSITest, ABeaconCarriesTheActionItsParametersAndTimings) {
  auto& device = platform::Device::current();
  device.setHardwareModel("TestPad7,5");
  device.setSystemVersion("11.2.1");
  platform::Locale::setCurrentLocaleIdentifier("en_GB");
  platform::Bundle::main().setObjectForInfoDictionaryKey("CFBundleName", Json("Reader"));
  platform::Bundle::main().setObjectForInfoDictionaryKey("CFBundleVersion", Json("2.1"));
  // Both end within half a millisecond of 812 ms, one on each side.
  for (const char* name : {"a", "b"}) recorder->startTimingVariableWithName(name);
  for (const auto& [name, at] : {std::pair{"a", 0.8116}, {"b", 0.8124}}) {
    env.advance(1 + at - env.now());
    recorder->endTimingVariableWithName(name);
    env.runUntilIdle();
  }
  recorder->addExperimentID("e7");
  csi->sendReport();
  auto sent = beacon(1);
  EXPECT_EQ(sent.method, "GET");
  for (const auto& [key, text] :
       std::initializer_list<std::pair<const char*, std::string>>{{"s", "kvel_sdk"},
                                                                  {"v", "3"},
                                                                  {"action", "load_ad_ios"},
                                                                  {"sdkVersion", kZUMSDKVersion},
                                                                  {"e", std::string(kZUMSDKVersion) + ",e7"},
                                                                  {"it", "a.812,b.812"}}) {
    EXPECT_EQ(value(sent, key), text) << key;
  }
  EXPECT_EQ(sent.header("User-Agent"), "VantorCsi/1.0 (TestPad/7.5; U; CPU iOS 11_2_1; en-GB) Reader/2.1");

  csi->sendReport();
  env.runUntilIdle();
  time("later", 0.1);
  csi->sendReport();
  EXPECT_EQ(value(beacon(2), "it"), "later.100");
}

// The hardware model as the beacon names it.
TEST_F(ZUMCSITest, DeviceVersionString) {
  const struct {
    const char* machine;
    const char* named;
  } rows[] = {{"Board", "Board"}, {"x9,0,3", "x/9.0.3"}, {"", "Unknown"}};
  for (const auto& row : rows) {
    platform::Device::current().setHardwareModel(row.machine);
    EXPECT_EQ(ZUMCSIConfiguration::deviceVersionString(), row.named) << row.machine;
  }
}

TEST_F(ZUMCSITest, ASimulatorIsNamedSo) {
  platform::Device::current().setSimulator(true);
  EXPECT_EQ(ZUMCSIConfiguration::deviceVersionString(), "Simulator");
}

// Draws 0 to 999: a probability keeps the draws below it × 1000 cut to a whole number,
// clamped to [0, 1]. The server stores its settings as strings; anything unusable counts
// as absent (the default 0.05). A sampled-out registry gives no recorder.
TEST_F(ZUMCSITest, TheUserDefaultsSetTheProbabilityAndTheEndpoint) {
  const Json absent;  // null removes the key
  const struct {
    Json probability;
    std::uint32_t draw;
    bool reports;
  } rows[] = {
      {absent, 49, true}, {absent, 50, false}, {"0.0505", 50, false}, {0.051, 50, true},
      {"1", 999, true},   {"0", 0, false},     {-3, 0, false},        {1e300, 999, true},
      {"abc", 49, true},  {0.251, 250, true},  {0.251, 251, false},
  };
  for (const auto& row : rows) {
    setDefault(kZUMCSIReportingProbabilityKey, row.probability);
    seedForDraw(row.draw);
    EXPECT_EQ(ZUMCSI::create()->timeRecorderForAction("load_ad_ios") != nullptr, row.reports)
        << row.probability.dump() << " draw " << row.draw;
  }
  seedForDraw(0);
  csi->configuration()->setReportingProbability(std::nan(""));
  EXPECT_FALSE(csi->configuration()->reportingEnabled());

  for (const auto& [url, endpoint] : std::initializer_list<std::pair<Json, const char*>>{
           {"https://b.example/latency?x=1", "https://b.example/latency?x=1"},
           {"HTTP://b.example/csi", "HTTP://b.example/csi"},
           {"ftp://b.example/csi", kZUMCSIDefaultServer},
           {"https:1e999", kZUMCSIDefaultServer},
           {absent, kZUMCSIDefaultServer}}) {
    setDefault(kZUMCSIReportingURLKey, url);
    EXPECT_EQ(ZUMCSIConfiguration::defaultConfiguration()->server(), endpoint) << url.dump();
  }
}

// A timing that was running when the user left is never sent, and does not stay behind
// either: it can never be sent, so it would only pile up.
TEST_F(ZUMCSITest, ATimingRunningWhenTheApplicationResignsIsNeverSent) {
  recorder->startTimingVariableWithName("spoilt");
  time("kept", 0.25);
  testenv::AppControls::resignActive();
  env.advance(1);
  recorder->endTimingVariableWithName("spoilt");
  ASSERT_TRUE(recorder->completedVariables().contains("spoilt"));
  EXPECT_EQ(recorder->completedVariables()["spoilt"]->start(), kZUMCSISpoiltStart);
  csi->sendReport();
  EXPECT_EQ(value(beacon(1), "it"), "kept.250");
  EXPECT_TRUE(recorder->completedVariables().empty());
}

TEST_F(ZUMCSITest, OneRecorderPerActionAndTimestampsByLabel) {
  EXPECT_EQ(csi->timeRecorderForAction("load_ad_ios"), recorder);
  EXPECT_NE(csi->timeRecorderForAction("load_med"), recorder);
  // The query id reaches a recorder at its next lookup.
  csi->setBRVQueryID("q-1");
  csi->timeRecorderForAction("load_ad_ios");
  EXPECT_EQ(recorder->customizedParameters()["bqi"], "q-1");

  csi->recordTimestampForLabel("native:view_create");
  csi->setTimestamp(42, "native:view_show");
  EXPECT_EQ(csi->timestampForLabel("native:view_create"), 1'800'000'001'000);
  EXPECT_EQ(csi->timestampForLabel("native:view_show"), 42);
  csi->sendReport();  // drops them
  EXPECT_EQ(csi->timestampForLabel("native:view_show"), 0);
}

// The beacon keeps the endpoint's own query; custom parameters come after the fixed ones,
// so they win. A reporter that does not report takes nothing; one that does lives until
// its beacon has completed, whose completion hears the response or the error.
TEST_F(ZUMCSITest, TheReporter) {
  auto configuration = ZUMCSIConfiguration::create("kvel_sdk");
  auto reporter = ZUMCSIReporter::create(configuration);
  EXPECT_EQ(ZUMCSIReporter::create(nullptr), nullptr);
  EXPECT_EQ(reporter->URLForTimeRecorder(*recorder), std::nullopt) << "no timing";
  time("wv", 0.1);
  configuration->setServiceName("other_sdk");
  configuration->setVersion(4);
  configuration->setServer("https://csi.adnetwork.example/csi?x=1");
  recorder->setCustomizedParameterValue("custom", "action");
  const auto url = reporter->URLForTimeRecorder(*recorder);
  ASSERT_TRUE(url);
  EXPECT_EQ(url->query().value_or("").rfind("x=1&s=other_sdk&v=4&action=custom&", 0), 0u) << url->absoluteString();

  time("wv", 0.3);
  std::vector<int> statuses;  // -1: an error
  auto hear = [&](const auto& response, const auto& error) {
    statuses.push_back(response && !error ? response->statusCode() : -1);
  };
  configuration->setReportingEnabled(false);
  reporter->reportTimeRecorder(recorder, hear);
  EXPECT_EQ(recorder->completedVariables().size(), 1u);
  configuration->setReportingEnabled(true);
  ZUMCSIReporter::create(configuration)->reportTimeRecorder(recorder, hear);
  ASSERT_TRUE(env.runUntil([&] { return statuses.size() == 1; }));
  platform::URLLoading::removeHostMappingsForTesting();
  time("wv", 0.3);
  reporter->reportTimeRecorder(recorder, hear);
  ASSERT_TRUE(env.runUntil([&] { return statuses.size() == 2; }));
  EXPECT_EQ(statuses, (std::vector<int>{204, -1}));
}

// Real threads asking for one action at once share one recorder.
TEST(ZUMCSIThreadedTest, ThreadsAskingForOneActionGetOneRecorder) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  setDefault(kZUMCSIReportingProbabilityKey, "1");
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
    for (int t = 1; t < kThreads; ++t) EXPECT_EQ(got[t], got[0]) << "thread " << t;
  }
}

}  // namespace
