#include "sdk/foundation/ZUMClock.h"

#include <memory>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "platform/base/Clock.h"
#include "testing/TestEnvironment.h"

namespace {

using ZUMClockTest = testenv::PlatformTest;

TEST_F(ZUMClockTest, MillisecondsCountFromTheFirstCallAndAreNeverZero) {
  const uint64_t first = ZUMMonotonicTimeInMilliseconds();
  EXPECT_EQ(first, 1u);
  env.clock().advanceBy(0.0009);
  EXPECT_EQ(ZUMMonotonicTimeInMilliseconds(), 1u);
  env.clock().advanceBy(1.5);
  EXPECT_EQ(ZUMMonotonicTimeInMilliseconds(), 1501u);

  uint64_t fromThread = 0;
  std::thread([&] { fromThread = ZUMMonotonicTimeInMilliseconds(); }).join();
  EXPECT_EQ(fromThread, 1501u);
}

TEST_F(ZUMClockTest, AClockThatGoesBackOrBreaksNeverGivesZeroNorLess) {
  env.clock().advanceBy(10);
  ASSERT_EQ(ZUMMonotonicTimeInMilliseconds(), 1u);
  env.clock().advanceBy(2);
  ASSERT_EQ(ZUMMonotonicTimeInMilliseconds(), 2001u);

  // A clock whose monotonic time lies before the first reading.
  platform::setClock(std::make_shared<platform::VirtualClock>());
  EXPECT_EQ(ZUMMonotonicTimeInMilliseconds(), 2001u);

  struct BrokenClock final : platform::Clock {
    platform::TimeInterval wallNow() const override { return 0; }
    platform::TimeInterval monotonicNow() const override { return std::numeric_limits<double>::quiet_NaN(); }
    platform::TimeInterval timeSinceBoot() const override { return -std::numeric_limits<double>::infinity(); }
  };
  platform::setClock(std::make_shared<BrokenClock>());
  EXPECT_EQ(ZUMMonotonicTimeInMilliseconds(), 2001u);
  EXPECT_EQ(ZUMTimeIntervalSinceBoot(), 0.0);
  platform::setClock(nullptr);
}

TEST_F(ZUMClockTest, TimeSinceBootFollowsThePlatformClock) {
  const double boot = env.clock().timeSinceBoot();
  EXPECT_GT(boot, 0);
  EXPECT_DOUBLE_EQ(ZUMTimeIntervalSinceBoot(), boot);
  env.clock().advanceBy(12.345678);
  EXPECT_DOUBLE_EQ(ZUMTimeIntervalSinceBoot(), boot + 12.345678);
}

}  // namespace
