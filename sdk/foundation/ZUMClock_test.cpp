#include "sdk/foundation/ZUMClock.h"

#include <limits>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/base/Clock.h"
#include "testing/TestEnvironment.h"

namespace {

using ZUMClockTest = testenv::PlatformTest;

TEST_F(ZUMClockTest, MillisecondsCountFromTheFirstCallAndAreNeverZero) {
  EXPECT_EQ(ZUMMonotonicTimeInMilliseconds(), 1u);
  env.clock().advanceBy(0.0009);
  EXPECT_EQ(ZUMMonotonicTimeInMilliseconds(), 1u);
  env.clock().advanceBy(1.5);
  uint64_t fromThread = 0;
  std::thread([&] { fromThread = ZUMMonotonicTimeInMilliseconds(); }).join();
  EXPECT_EQ(fromThread, 1501u);
  EXPECT_DOUBLE_EQ(ZUMTimeIntervalSinceBoot(), env.clock().timeSinceBoot());
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

}  // namespace
