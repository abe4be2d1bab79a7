#include "platform/web/TimeBudget.h"

#include <gtest/gtest.h>

#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using TimeBudgetTest = testenv::PlatformTest;

// Charges leave the sum once they are a whole window old; nothing and less than nothing
// are not charges.
TEST_F(TimeBudgetTest, ChargesCountForOneWindowOfTheClock) {
  TimeBudget budget;
  budget.charge(1.0);
  budget.charge(0);
  budget.charge(-3);
  env.advance(10);
  budget.charge(2.5);
  const struct {
    double advance;
    double spent;
  } steps[] = {{0, 3.5}, {19.9, 3.5}, {0.1, 2.5}, {9.9, 2.5}, {0.1, 0}};
  for (const auto& step : steps) {
    env.advance(step.advance);
    EXPECT_DOUBLE_EQ(budget.spent(30), step.spent) << "after " << step.advance;
  }
  budget.charge(0.25);
  EXPECT_DOUBLE_EQ(budget.spent(30), 0.25);
  budget.reset();
  EXPECT_DOUBLE_EQ(budget.spent(30), 0);
}

}  // namespace
}  // namespace platform
