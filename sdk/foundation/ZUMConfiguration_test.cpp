#include "sdk/foundation/ZUMConfiguration.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "testing/TestEnvironment.h"

using nlohmann::ordered_json;

namespace {

class RecordingDelegate : public ZUMConfigurationDelegate {
 public:
  void configurationDidChange(ZUMConfiguration& configuration) override {
    snapshots.push_back(configuration.dictionary());
  }
  std::vector<ordered_json> snapshots;
};

class ZUMConfigurationTest : public testenv::PlatformTest {
 protected:
  std::shared_ptr<ZUMConfiguration> configuration = ZUMConfiguration::create();
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  void SetUp() override { configuration->setDelegate(delegate); }
};

TEST_F(ZUMConfigurationTest, LowerPriorityIsRefusedEqualAndHigherReplace) {
  configuration->setObject("server", "k", 500);
  configuration->setObject("lower", "k", 499);
  EXPECT_EQ(configuration->objectForKey("k"), ordered_json("server"));
  configuration->setObject("host", "k", 999);
  configuration->setObject("server again", "k", 500);
  EXPECT_EQ(configuration->objectForKey("k"), ordered_json("host"));
  // A null value removes only under the same rule.
  configuration->setObject(nullptr, "k", 500);
  EXPECT_TRUE(configuration->objectForKey("k").has_value());
  configuration->setObject(nullptr, "k", 999);
  EXPECT_FALSE(configuration->priorityForKey("k").has_value());
}

TEST_F(ZUMConfigurationTest, MergeIsAsynchronousAndNotifiesOncePerMerge) {
  configuration->setObject("id-1", "last_requested_ad_unit_id", 999);
  env.runUntilIdle();
  ASSERT_EQ(delegate->snapshots.size(), 1u);

  ordered_json settings = {{"a", 1}, {"b", {{"nested", true}}}, {"last_requested_ad_unit_id", "server"}};
  configuration->addEntriesFromDictionary(settings, 500);
  env.runUntilIdle();
  ASSERT_EQ(delegate->snapshots.size(), 2u);
  // The notice sees the whole merge; the higher-priority entry was kept.
  EXPECT_EQ(delegate->snapshots[1],
            (ordered_json{{"last_requested_ad_unit_id", "id-1"}, {"a", 1}, {"b", {{"nested", true}}}}));
  // The same values again, or a merge whose every entry is refused: no notice.
  configuration->addEntriesFromDictionary(settings, 500);
  configuration->addEntriesFromDictionary({{"last_requested_ad_unit_id", "x"}}, 1);
  env.runUntilIdle();
  EXPECT_EQ(delegate->snapshots.size(), 2u);
}

TEST_F(ZUMConfigurationTest, ReadsSeeEarlierWritesAndHostileMergesAreHarmless) {
  configuration->addEntriesFromDictionary({{"list", {1, 2}}}, 500);
  // No turn of the loop: the synchronous read waits for the queued merge.
  EXPECT_EQ(configuration->objectForKey("list"), (ordered_json{1, 2}));
  configuration->addEntriesFromDictionary(ordered_json::array({1, 2}), 500);
  delegate.reset();
  configuration->setObject(nullptr, "list", 500);
  configuration->setObject(1, "k", 500);
  env.runUntilIdle();
  EXPECT_EQ(configuration->dictionary(), (ordered_json{{"k", 1}}));
}

TEST_F(ZUMConfigurationTest, AMergeOfManyKeysKeepsTheFirstStoredOrder) {
  ordered_json first = ordered_json::object();
  for (int i = 0; i < 40; ++i) first["k" + std::to_string(i)] = i;
  configuration->addEntriesFromDictionary(first, 500);
  configuration->setObject("host", "k7", 999);
  // Replaced in place, removed (refused for the higher-priority key), new at the end.
  configuration->addEntriesFromDictionary(
      {{"k3", "three"}, {"k0", nullptr}, {"new", 1}, {"k39", nullptr}, {"k7", nullptr}, {"k38", 38}}, 500);
  ordered_json expected = first;
  expected.erase("k0");
  expected.erase("k39");
  expected["k3"] = "three";
  expected["k7"] = "host";
  expected["new"] = 1;
  EXPECT_EQ(configuration->dictionary(), expected);
  EXPECT_FALSE(configuration->priorityForKey("k0"));
  EXPECT_EQ(configuration->priorityForKey("k7"), 999);
}

}  // namespace
