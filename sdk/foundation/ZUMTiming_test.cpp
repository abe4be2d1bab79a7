#include "sdk/foundation/ZUMTiming.h"

#include <gtest/gtest.h>

#include "testing/TestEnvironment.h"

namespace {

using ZUMTimingTest = testenv::PlatformTest;

TEST_F(ZUMTimingTest, MeasuresVirtualTimeInMilliseconds) {
  auto timing = ZUMTiming::create("fetch (0x1)");
  EXPECT_EQ(timing->category(), "fetch (0x1)");
  EXPECT_FALSE(timing->duration().has_value());
  timing->start();
  env.advance(1.25);
  timing->end();
  ASSERT_TRUE(timing->startTime().has_value());
  EXPECT_GT(*timing->startTime(), 0u);  // the monotonic millisecond clock is never 0
  EXPECT_EQ(timing->duration(), 1250u);
  EXPECT_EQ(*timing->endTime() - *timing->startTime(), 1250u);
}

TEST_F(ZUMTimingTest, RestartForgetsTheEarlierEnd) {
  auto timing = ZUMTiming::create("adapter");
  timing->end();
  EXPECT_FALSE(timing->duration().has_value());  // no start
  timing->start();
  env.advance(2);
  timing->end();
  EXPECT_EQ(timing->duration(), 2000u);
  timing->start();
  EXPECT_FALSE(timing->duration().has_value());
  env.advance(0.5);
  timing->end();
  EXPECT_EQ(timing->duration(), 500u);
}

}  // namespace
