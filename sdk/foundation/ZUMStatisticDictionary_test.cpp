#include "sdk/foundation/ZUMStatisticDictionary.h"

#include <limits>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

class CountingDelegate : public ZUMStatisticDictionaryDelegate {
 public:
  void statisticDictionaryDidChange(ZUMStatisticDictionary& statistics) override {
    snapshots.push_back(statistics.dictionary());
  }
  std::vector<ordered_json> snapshots;
};

class ZUMStatisticDictionaryTest : public testenv::PlatformTest {
 protected:
  std::shared_ptr<CountingDelegate> delegate = std::make_shared<CountingDelegate>();
  std::shared_ptr<ZUMStatisticDictionary> statistics = ZUMStatisticDictionary::create(delegate);
};

TEST_F(ZUMStatisticDictionaryTest, IncrementCountsMissingAndWrongTypedValuesAsZero) {
  statistics->setObject("text", "s", false);
  statistics->setObject(2.5, "f", false);
  statistics->setObject(std::numeric_limits<std::int64_t>::max(), "max", false);
  statistics->setObject(std::uint64_t{7}, "u", false);
  for (const char* key : {"missing", "s", "f", "max", "u", "missing"}) statistics->incrementNumberForKey(key, false);
  EXPECT_EQ(statistics->dictionary(),
            (ordered_json{
                {"s", 1}, {"f", 3.5}, {"max", std::numeric_limits<std::int64_t>::max()}, {"u", 8}, {"missing", 2}}));
}

TEST_F(ZUMStatisticDictionaryTest, ArraysAreBoundedDroppingTheOldest) {
  for (int i = 1; i <= 5; ++i) statistics->addObject(i, "list", false);
  statistics->setMaxSize(3, "list");  // trims at once
  statistics->addObject(6, "list", false);
  EXPECT_EQ(statistics->objectForKey("list"), (ordered_json{4, 5, 6}));
  // Hostile sizes: negative keeps nothing; huge keeps everything.
  statistics->setMaxSize(-5, "list");
  EXPECT_EQ(statistics->objectForKey("list"), ordered_json::array());
  // A value that is not an array is replaced; null is not appended.
  statistics->setObject("scalar", "s", false);
  statistics->addObject(1, "s", false);
  statistics->addObject(nullptr, "s", false);
  EXPECT_EQ(statistics->objectForKey("s"), (ordered_json{1}));
  statistics->setObject(nullptr, "s", false);  // null removes
  EXPECT_FALSE(statistics->objectForKey("s"));
}

TEST_F(ZUMStatisticDictionaryTest, NoticesAreCoalescedPerTurnOfTheQueue) {
  statistics->setObject(1, "a", true);
  statistics->incrementNumberForKey("b", true);
  statistics->addObject("x", "c", true);
  statistics->setObject(9, "quiet", false);
  env.runUntilIdle();
  // The one notice came after every write queued with it.
  EXPECT_EQ(delegate->snapshots, (std::vector<ordered_json>{{{"a", 1}, {"b", 1}, {"c", {"x"}}, {"quiet", 9}}}));

  statistics->incrementNumberForKey("b", true);
  env.runUntilIdle();
  EXPECT_EQ(delegate->snapshots.size(), 2u);
}

TEST_F(ZUMStatisticDictionaryTest, ANotifyingWriteAfterTheNoticeWasQueuedGetsItsOwnNotice) {
  statistics->setObject(1, "a", true);
  // Runs the first write (which queues the notice) but not the notice itself.
  statistics->objectForKey("a");
  statistics->setObject(2, "a", true);
  env.runUntilIdle();
  EXPECT_EQ(delegate->snapshots, (std::vector<ordered_json>{{{"a", 1}}, {{"a", 2}}}));
  statistics->setObject(3, "a");  // the short form notifies too
  env.runUntilIdle();
  EXPECT_EQ(delegate->snapshots.size(), 3u);
}

}  // namespace
