#include "sdk/foundation/ZUMSlotStatistics.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

using ZUMSlotStatisticsTest = testenv::PlatformTest;

TEST_F(ZUMSlotStatisticsTest, RecordsExitCodesDurationsAndFillStates) {
  auto stats = ZUMSlotStatistics::create();
  stats->startTimingAdapter();
  env.advance(0.3);
  stats->endTimingAdapterWithExitCode(1);
  stats->endTimingAdapterWithFillStatus(1, "alloc-a");
  stats->startTimingAdapter();
  env.advance(1.5);
  stats->endTimingAdapterWithExitCode(3);
  stats->endTimingAdapterWithFillStatus(2, "alloc-b");

  EXPECT_EQ(stats->adapterDurationsParameter(), "300,1500");
  EXPECT_EQ(stats->adapterFillStatusParameter(), "alloc-a.1.300_alloc-b.2.1500");
  EXPECT_EQ(stats->adapterFillStatusParameterOrderedByAllocationIDs({"alloc-b", "unknown", "alloc-a"}),
            "alloc-b.2.1500_alloc-a.1.300");

  stats->resetTimingAdapters();
  EXPECT_EQ(stats->adapterFillStatusParameter(), "alloc-a.1.300_alloc-b.2.1500");
}

TEST_F(ZUMSlotStatisticsTest, RepeatedAllocationIDsEachTakeTheirOwnEntry) {
  auto stats = ZUMSlotStatistics::create();
  stats->endTimingAdapterWithFillStatus(3, "x");  // never started: duration 0
  stats->endTimingAdapterWithFillStatus(6, "x");
  EXPECT_EQ(stats->adapterFillStatusParameterOrderedByAllocationIDs({"x", "x", "x"}), "x.3.0_x.6.0");
}

TEST_F(ZUMSlotStatisticsTest, ChangesUnderHoldsAreSavedOnceWhenTheLastHoldGoes) {
  auto stats = ZUMSlotStatistics::create();
  stats->setIdentifier("unit-2");
  const auto saves = stats->saveCount();
  {
    ZUMSlotStatistics::SaveHold outer(stats);
    {
      ZUMSlotStatistics::SaveHold inner(stats);
      stats->endTimingAdapterWithExitCode(1);
      stats->endTimingAdapterWithExitCode(2);
    }
    EXPECT_EQ(stats->saveCount(), saves);
  }
  EXPECT_EQ(stats->saveCount(), saves + 1);
  { ZUMSlotStatistics::SaveHold idle(stats); }  // nothing changed under it
  EXPECT_EQ(stats->saveCount(), saves + 1);
  auto reader = ZUMSlotStatistics::create();
  reader->setIdentifier("unit-2");
  EXPECT_EQ(reader->adapterExitCodesParameter(), "1,2");
}

TEST_F(ZUMSlotStatisticsTest, PersistsPerIdentifierAndSurvivesDamagedDefaults) {
  auto first = ZUMSlotStatistics::create();
  first->endTimingAdapterWithExitCode(2);  // gathered before the identifier
  first->setIdentifier("unit-1");
  first->endTimingAdapterWithExitCode(4);

  auto second = ZUMSlotStatistics::create();
  second->setIdentifier("unit-1");
  EXPECT_EQ(second->adapterExitCodesParameter(), "2,4");

  // Whatever a stored value holds, reading and appending never fail.
  auto& defaults = platform::UserDefaults::standard();
  EXPECT_TRUE(defaults.setObject("not a dictionary", "zums:slot_statistics:bad-1"));
  EXPECT_TRUE(defaults.setObject(ordered_json{{"adapter_exit", "text"},
                                              {"adapter_duration", {1, "2", {{"x", 1}}, 2.0}},
                                              {"adapter_fill_status", {7, {{"fill_status_exit", 1}}, "s"}}},
                                 "zums:slot_statistics:bad-2"));
  auto bad1 = ZUMSlotStatistics::create();
  bad1->setIdentifier("bad-1");
  EXPECT_EQ(bad1->statistics(), ordered_json::object());
  auto bad2 = ZUMSlotStatistics::create();
  bad2->setIdentifier("bad-2");
  EXPECT_EQ(bad2->adapterDurationsParameter(), "1,2,2");
  bad2->endTimingAdapterWithExitCode(0);
  bad2->endTimingAdapterWithFillStatus(0, "a");
  EXPECT_EQ(bad2->adapterExitCodesParameter(), "0");
  EXPECT_EQ(bad2->adapterFillStatusParameter(), "a.0.0");
}

}  // namespace
