#include "sdk/request/ZUMCorrelator.h"

#include <gtest/gtest.h>

#include "platform/base/Random.h"
#include "testing/TestEnvironment.h"

namespace {

using ZUMCorrelatorTest = testenv::PlatformTest;

TEST_F(ZUMCorrelatorTest, IdsStayInRangeAndEveryResetChangesTheId) {
  platform::Random::seed(7);
  auto correlator = ZUMCorrelator::create();
  std::uint32_t previous = correlator->correlationID();
  for (int i = 0; i < 2000; ++i) {
    ASSERT_GE(previous, 2u);
    ASSERT_LE(previous, 4294967294u);
    correlator->reset();  // seen by the next read on this thread, without running the loop
    const std::uint32_t next = correlator->correlationID();
    ASSERT_NE(next, previous);
    previous = next;
  }
  // Two correlators do not share an id by construction.
  EXPECT_NE(ZUMCorrelator::create()->correlationID(), ZUMCorrelator::create()->correlationID());
}

TEST_F(ZUMCorrelatorTest, AResetQueuedForADestroyedCorrelatorDoesNothing) {
  auto correlator = ZUMCorrelator::create();
  correlator->reset();
  correlator.reset();
  env.runUntilIdle();
}

}  // namespace
