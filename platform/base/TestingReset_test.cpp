#include "platform/base/TestingReset.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/NotificationCenter.h"

namespace platform {
namespace {

TEST(TestingResetTest, ResetsRunLatestFirstOncePerKeyAndMayRegisterMore) {
  static std::vector<std::string> order;  // outlives the test: the resets stay registered
  order.clear();
  // Keys of their own each time, so the test passes repeated in one process too.
  auto* keys = new int[3];
  registerTestingReset(&keys[0], [] { order.push_back("early"); });
  registerTestingReset(&keys[1], [keys] {
    order.push_back("late");
    registerTestingReset(&keys[2], [] { order.push_back("made by a reset"); });
  });
  registerTestingReset(&keys[1], [] { order.push_back("second under one key"); });
  // Earlier registrations (other tests', earlier rounds') run after these.
  const auto firstOf = [](std::size_t n) {
    return std::vector<std::string>(order.begin(), order.begin() + std::min(n, order.size()));
  };
  runTestingResets();
  EXPECT_EQ(firstOf(2), (std::vector<std::string>{"late", "early"}));
  order.clear();
  runTestingResets();
  EXPECT_EQ(firstOf(3), (std::vector<std::string>{"made by a reset", "late", "early"}));
}

TEST(TestingResetTest, SharedObjectsAreRemadeOrRetiredAndOnceFlagsRearm) {
  static auto* made = new int(0);
  static auto* fresh = new ResettableShared<int>([] { return std::make_shared<int>(++*made); });
  static auto* kept = new ResettableShared<int>([] { return std::make_shared<int>(7); }, OnTestingReset::Keep);
  static auto* once = new ResettableOnceFlag();
  static std::atomic<int> flag{3};
  EXPECT_TRUE(resetBetweenTests(flag, 3));
  flag = 9;
  int calls = 0;
  const auto first = fresh->get();
  std::weak_ptr<int> oldFresh = first;
  std::weak_ptr<int> oldKept = kept->get();
  once->call([&] { ++calls; });
  once->call([&] { ++calls; });
  EXPECT_EQ(calls, 1);

  runTestingResets();
  EXPECT_FALSE(oldKept.expired()) << "retired, never destroyed";
  EXPECT_NE(kept->get(), oldKept.lock());
  EXPECT_FALSE(oldFresh.expired()) << "still held by the test";
  EXPECT_EQ(*fresh->get(), *first + 1);
  once->call([&] { ++calls; });
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(flag, 3);
}

TEST(TestingResetTest, ObserversOfTheDefaultCenterEndWithTheTest) {
  int seen = 0;
  NotificationCenter::defaultCenter().addObserver("test.reset", nullptr, nullptr, [&](const Notification&) { ++seen; });
  NotificationCenter::defaultCenter().post("test.reset");
  runTestingResets();
  NotificationCenter::defaultCenter().post("test.reset");
  EXPECT_EQ(seen, 1);
}

}  // namespace
}  // namespace platform
