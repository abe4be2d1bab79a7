#include "sdk/csi/ZUMCSITimeRecorder.h"

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sdk/csi/ZUMCSIVariableTiming.h"
#include "testing/TestEnvironment.h"

namespace {

class ZUMCSITimeRecorderTest : public testenv::PlatformTest {
 protected:
  // The monotonic clock starts at 0, and a timing started at 0 is never valid.
  void SetUp() override { env.advance(1); }

  std::shared_ptr<ZUMCSITimeRecorder> recorder = ZUMCSITimeRecorder::create("load_ad_ios");
};

// Ending what does not run gives 0. A key ended twice keeps both timings: the later one
// goes under the key and a number. Keyed timings of one name end or cancel on their own.
TEST_F(ZUMCSITimeRecorderTest, StartEndAndCancelByKey) {
  for (const char* name : {"awr_ios", "", "cancelled"}) recorder->startTimingVariableWithName(name);
  env.advance(0.25);
  recorder->cancelTimingVariableWithName("cancelled");
  EXPECT_EQ(recorder->durationAfterEndTimingVariableWithName("awr_ios"), 250);
  EXPECT_EQ(recorder->durationAfterEndTimingVariableWithName("never"), 0);
  recorder->startTimingVariableWithName("awr_ios");
  recorder->endTimingVariableWithName("awr_ios");
  recorder->startTimingVariableWithName("make_wv", "first");
  recorder->startTimingVariableWithName("make_wv", "second");
  recorder->cancelTimingVariableWithName("make_wv", "first");
  recorder->endTimingVariableWithName("make_wv", "second");
  EXPECT_TRUE(recorder->ongoingVariables().empty());
  auto completed = recorder->completedVariables();
  ASSERT_EQ(completed.size(), 3u);
  const auto again = std::next(completed.begin())->first;
  EXPECT_TRUE(again.size() > 7 && again.starts_with("awr_ios") &&
              again.find_first_not_of("0123456789", 7) == again.npos)
      << again;
  EXPECT_EQ(completed["second"]->name(), "make_wv");
}

// Timings made elsewhere are kept under their name or a key (replacing), removed, and
// taken all at once. A timing is valid once it has started and ended.
TEST_F(ZUMCSITimeRecorderTest, CompletedTimingsAddedRemovedAndTaken) {
  auto timing = ZUMCSIVariableTiming::create("nwl_ios", 2.0);
  timing->setLength(0.3);
  recorder->addCompletedVariable(timing);
  recorder->addCompletedVariable(nullptr);
  recorder->addCompletedVariable(ZUMCSIVariableTiming::create("other", 2.0), "spare");
  recorder->addCompletedVariable(timing, "spare");
  EXPECT_EQ(recorder->completedVariables(), (ZUMCSITimeRecorder::Timings{{"nwl_ios", timing}, {"spare", timing}}));
  recorder->removeCompletedVariableForKey("spare");
  EXPECT_EQ(recorder->takeCompletedVariables(), (ZUMCSITimeRecorder::Timings{{"nwl_ios", timing}}));
  EXPECT_TRUE(timing->isValid());
  timing->setStart(kZUMCSISpoiltStart);
  EXPECT_FALSE(timing->isValid());
}

TEST_F(ZUMCSITimeRecorderTest, ExperimentIDsAndParameters) {
  for (const char* id : {"e1", "e2", "e1", "e3"}) recorder->addExperimentID(id);
  recorder->removeExperimentID("e1");
  EXPECT_EQ(recorder->experimentIDs(), (std::vector<std::string>{"e2", "e3"}));
  recorder->setCustomizedParameterValue("1", "is_mediation");
  recorder->setCustomizedParameterValue("x", "");
  EXPECT_EQ(recorder->customizedParameters(), (std::map<std::string, std::string>{{"is_mediation", "1"}}));
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
      {0.8116, 812},     {0.8124, 812},  {-1.5, -1500},
      {std::nan(""), 0}, {1e300, kMax},  {INFINITY, kMax},
      {-INFINITY, kMin}, {9.3e15, kMax}, {9e15, 9'000'000'000'000'000'000},
      {-9.3e15, kMin},
  };
  for (const auto& row : rows) EXPECT_EQ(ZUMCSIMillisecondsFromSeconds(row.seconds), row.milliseconds) << row.seconds;
}

// Real threads add experiment ids and parameters while a beacon reads them: nothing is
// lost and nothing breaks.
TEST(ZUMCSITimeRecorderThreadedTest, ParametersChangeWhileABeaconReadsThem) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  auto recorder = ZUMCSITimeRecorder::create("load_ad_ios");
  constexpr int kWriters = 4;
  constexpr int kEach = 200;
  std::atomic<int> finished{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&recorder, &finished, w] {
      for (int i = 0; i < kEach; ++i) {
        const auto text = std::to_string(w) + "-" + std::to_string(i);
        recorder->addExperimentID(text);
        recorder->setCustomizedParameterValue(text, text);
      }
      ++finished;
    });
  }
  while (finished < kWriters) {  // reading as a beacon does, while they write
    for (const auto& id : recorder->experimentIDs()) EXPECT_FALSE(id.empty());
    for (const auto& entry : recorder->customizedParameters()) EXPECT_FALSE(entry.second.empty());
  }
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(recorder->experimentIDs().size(), static_cast<std::size_t>(kWriters * kEach));
  EXPECT_EQ(recorder->customizedParameters().size(), static_cast<std::size_t>(kWriters * kEach));
}

}  // namespace
