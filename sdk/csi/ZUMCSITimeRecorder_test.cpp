#include "sdk/csi/ZUMCSITimeRecorder.h"

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sdk/csi/ZUMCSIVariableTiming.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

std::vector<std::string> keys(const ZUMCSITimeRecorder::Timings& timings) {
  std::vector<std::string> result;
  for (const auto& entry : timings) result.push_back(entry.first);
  return result;
}

class ZUMCSITimeRecorderTest : public testenv::PlatformTest {
 protected:
  // The monotonic clock starts at 0, and a timing started at 0 is never valid.
  void SetUp() override { env.advance(1); }

  std::shared_ptr<ZUMCSITimeRecorder> recorder = ZUMCSITimeRecorder::create("load_ad_ios");
};

TEST_F(ZUMCSITimeRecorderTest, EndingKeepsTheLengthOnTheMonotonicClock) {
  recorder->startTimingVariableWithName("awr_ios");
  recorder->startTimingVariableWithName("");  // nothing
  env.advance(0.25);
  EXPECT_EQ(keys(recorder->ongoingVariables()), std::vector<std::string>{"awr_ios"});
  EXPECT_EQ(recorder->durationAfterEndTimingVariableWithName("awr_ios"), 250);
  EXPECT_EQ(recorder->durationAfterEndTimingVariableWithName("never"), 0);
  recorder->endTimingVariableWithName("never");
  recorder->cancelTimingVariableWithName("never");
  recorder->startTimingVariableWithName("cancelled");
  recorder->cancelTimingVariableWithName("cancelled");
  EXPECT_TRUE(recorder->ongoingVariables().empty());
  auto completed = recorder->completedVariables();
  ASSERT_EQ(keys(completed), std::vector<std::string>{"awr_ios"});
  EXPECT_DOUBLE_EQ(completed["awr_ios"]->start(), 1.0);
  EXPECT_DOUBLE_EQ(completed["awr_ios"]->length(), 0.25);
  EXPECT_TRUE(completed["awr_ios"]->isValid());
}

// A key ended twice keeps both timings; the later one goes under the key and a number.
// Keyed timings of one name run side by side and end or cancel on their own.
TEST_F(ZUMCSITimeRecorderTest, OneNameRunsUnderSeveralKeys) {
  for (int round = 0; round < 2; ++round) {
    recorder->startTimingVariableWithName("ttc_ios");
    env.advance(0.1);
    recorder->endTimingVariableWithName("ttc_ios");
  }
  auto completed = recorder->completedVariables();
  ASSERT_EQ(completed.size(), 2u);
  const auto second = keys(completed)[1];
  EXPECT_EQ(second.rfind("ttc_ios", 0), 0u) << second;
  EXPECT_GT(second.size(), 7u);
  EXPECT_EQ(second.find_first_not_of("0123456789", 7), std::string::npos) << second;
  EXPECT_EQ(completed[second]->name(), "ttc_ios");

  recorder->startTimingVariableWithName("make_wv", "first");
  recorder->startTimingVariableWithName("make_wv", "second");
  recorder->cancelTimingVariableWithName("make_wv", "first");
  recorder->endTimingVariableWithName("make_wv", "second");
  EXPECT_TRUE(recorder->ongoingVariables().empty());
  EXPECT_EQ(recorder->completedVariables()["second"]->name(), "make_wv");
}

// The application leaving the foreground spoils what runs: the time measures the user's
// absence. What had ended stays valid.
TEST_F(ZUMCSITimeRecorderTest, ResigningActiveSpoilsRunningTimings) {
  recorder->startTimingVariableWithName("running");
  recorder->startTimingVariableWithName("ended");
  env.advance(0.5);
  recorder->endTimingVariableWithName("ended");
  env.runUntilIdle();
  testenv::AppControls::resignActive();
  env.advance(0.5);
  recorder->endTimingVariableWithName("running");
  auto completed = recorder->completedVariables();
  EXPECT_EQ(completed["running"]->start(), kZUMCSISpoiltStart);
  EXPECT_FALSE(completed["running"]->isValid());
  EXPECT_TRUE(completed["ended"]->isValid());
  EXPECT_DOUBLE_EQ(completed["ended"]->start(), 1.0);
}

TEST_F(ZUMCSITimeRecorderTest, CompletedTimingsAddedRemovedAndTaken) {
  auto timing = ZUMCSIVariableTiming::create("nwl_ios", 2.0);
  timing->setLength(0.3);
  recorder->addCompletedVariable(timing);
  recorder->addCompletedVariable(ZUMCSIVariableTiming::create("other", 2.0), "spare");
  recorder->addCompletedVariable(nullptr);
  EXPECT_EQ(keys(recorder->completedVariables()), (std::vector<std::string>{"nwl_ios", "spare"}));
  recorder->addCompletedVariable(timing, "spare");  // replaces
  EXPECT_EQ(recorder->completedVariables()["spare"], timing);
  recorder->removeCompletedVariableForKey("spare");
  EXPECT_EQ(keys(recorder->takeCompletedVariables()), std::vector<std::string>{"nwl_ios"});
  EXPECT_TRUE(recorder->completedVariables().empty());
  EXPECT_TRUE(timing->isValid());
  timing->setStart(kZUMCSISpoiltStart);
  EXPECT_FALSE(timing->isValid());
}

TEST_F(ZUMCSITimeRecorderTest, ExperimentIDsAndParameters) {
  for (const char* id : {"e1", "e2", "e1", "e3"}) recorder->addExperimentID(id);
  recorder->removeExperimentID("e1");
  EXPECT_EQ(recorder->experimentIDs(), (std::vector<std::string>{"e2", "e3"}));
  recorder->setCustomizedParameterValue("1", "is_mediation");
  recorder->setCustomizedParameterValue("2", "is_mediation");
  recorder->setCustomizedParameterValue("x", "");
  EXPECT_EQ(recorder->customizedParameters(), (std::map<std::string, std::string>{{"is_mediation", "2"}}));
  recorder->setAction("load_med");
  EXPECT_EQ(recorder->action(), "load_med");
}

TEST(ZUMCSIMillisecondsTest, RoundsAndSaturates) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  const struct {
    double seconds;
    std::int64_t milliseconds;
  } rows[] = {
      {0.8114, 811}, {0.8116, 812}, {0.8124, 812}, {0.8126, 813}, {0, 0}, {-0.0004, 0}, {-1.5, -1500},
      {std::nan(""), 0}, {1e300, kMax}, {INFINITY, kMax}, {-INFINITY, kMin}, {9e15, 9'000'000'000'000'000'000},
      {9.3e15, kMax},
  };
  for (const auto& row : rows) EXPECT_EQ(ZUMCSIMillisecondsFromSeconds(row.seconds), row.milliseconds) << row.seconds;
}

// Real threads add experiment ids and parameters while another reads them, as a beacon
// does: nothing is lost and nothing breaks.
TEST(ZUMCSITimeRecorderThreadedTest, ParametersChangeWhileABeaconReadsThem) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  auto recorder = ZUMCSITimeRecorder::create("load_ad_ios");
  constexpr int kWriters = 4;
  constexpr int kEach = 200;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done) {
      for (const auto& id : recorder->experimentIDs()) EXPECT_FALSE(id.empty());
      for (const auto& entry : recorder->customizedParameters()) EXPECT_FALSE(entry.second.empty());
    }
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&recorder, w] {
      for (int i = 0; i < kEach; ++i) {
        const auto text = std::to_string(w) + "-" + std::to_string(i);
        recorder->addExperimentID(text);
        recorder->setCustomizedParameterValue(text, text);
      }
    });
  }
  for (auto& writer : writers) writer.join();
  done = true;
  reader.join();
  EXPECT_EQ(recorder->experimentIDs().size(), static_cast<std::size_t>(kWriters * kEach));
  EXPECT_EQ(recorder->customizedParameters().size(), static_cast<std::size_t>(kWriters * kEach));
}

}  // namespace
