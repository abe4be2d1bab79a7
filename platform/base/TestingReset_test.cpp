#include "platform/base/TestingReset.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/NotificationCenter.h"

namespace platform {
namespace {

TEST(TestingResetTest, ResetsRunLatestFirstOncePerKeyAndMayRegisterMore) {
  static std::vector<std::string> order;  // outlives the test: the resets stay registered
  static int early = 0, late = 0, dedup = 0;
  order.clear();
  registerTestingReset(&early, [] { order.push_back("early"); });
  registerTestingReset(&late, [] {
    order.push_back("late");
    registerTestingReset(&dedup, [] { order.push_back("made by a reset"); });
  });
  registerTestingReset(&late, [] { order.push_back("second under one key"); });
  runTestingResets();
  EXPECT_EQ(order, (std::vector<std::string>{"late", "early"}));
  order.clear();
  runTestingResets();
  EXPECT_EQ(order, (std::vector<std::string>{"made by a reset", "late", "early"}));
}

TEST(TestingResetTest, SharedObjectsAreRemadeOrRetiredAndOnceFlagsRearm) {
  static auto* made = new int(0);
  static auto* fresh = new ResettableShared<int>([] { return std::make_shared<int>(++*made); });
  static auto* kept = new ResettableShared<int>([] { return std::make_shared<int>(7); }, OnTestingReset::Keep);
  static auto* once = new ResettableOnceFlag();
  int calls = 0;
  const auto first = fresh->get();
  EXPECT_EQ(fresh->get(), first);
  std::weak_ptr<int> oldFresh = first;
  std::weak_ptr<int> oldKept = kept->get();
  once->call([&] { ++calls; });
  once->call([&] { ++calls; });
  EXPECT_EQ(calls, 1);

  runTestingResets();
  EXPECT_FALSE(oldKept.expired()) << "retired, never destroyed";
  EXPECT_NE(kept->get(), oldKept.lock());
  EXPECT_FALSE(oldFresh.expired()) << "still held by the test";
  EXPECT_NE(fresh->get(), first);
  EXPECT_EQ(*fresh->get(), *first + 1);
  once->call([&] { ++calls; });
  EXPECT_EQ(calls, 2);
}

TEST(TestingResetTest, ObserversOfTheDefaultCenterEndWithTheTest) {
  int seen = 0;
  NotificationCenter::defaultCenter().addObserver("test.reset", nullptr, nullptr,
                                                  [&](const Notification&) { ++seen; });
  NotificationCenter::defaultCenter().post("test.reset");
  runTestingResets();
  NotificationCenter::defaultCenter().post("test.reset");
  EXPECT_EQ(seen, 1);
}

}  // namespace
}  // namespace platform
