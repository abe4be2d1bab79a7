#include "sdk/foundation/ZUMTiming.h"

#include <gtest/gtest.h>

#include "testing/TestEnvironment.h"

namespace {

using ZUMTimingTest = testenv::PlatformTest;

TEST_F(ZUMTimingTest, MeasuresVirtualTimeInMillisecondsAndRestartForgetsTheEarlierEnd) {
  auto timing = ZUMTiming::create("adapter");
  timing->end();
  EXPECT_FALSE(timing->duration().has_value());  // no start
  timing->start();
  env.advance(1.25);
  timing->end();
  EXPECT_GT(*timing->startTime(), 0u);  // the monotonic millisecond clock is never 0
  EXPECT_EQ(timing->duration(), 1250u);
  timing->start();
  EXPECT_FALSE(timing->duration().has_value());
  env.advance(0.5);
  timing->end();
  EXPECT_EQ(timing->duration(), 500u);
}

}  // namespace
