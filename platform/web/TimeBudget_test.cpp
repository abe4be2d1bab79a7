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
  budget.charge(0.1);
  budget.charge(0);
  budget.charge(-3);
  env.advance(10);
  budget.charge(0.2);
  // Exactly nothing once all are let go, whatever the sums rounded to on the way.
  const struct {
    double advance;
    double spent;
  } steps[] = {{0, 0.3}, {19.9, 0.3}, {0.1, 0.2}, {9.9, 0.2}, {0.1, 0}};
  for (const auto& step : steps) {
    env.advance(step.advance);
    EXPECT_DOUBLE_EQ(budget.spent(30), step.spent) << "after " << step.advance;
  }
  budget.charge(0.25);
  EXPECT_DOUBLE_EQ(budget.spent(30), 0.25);
  budget.reset();
  budget.charge(0.5);
  EXPECT_DOUBLE_EQ(budget.spent(30), 0.5);
}

}  // namespace
}  // namespace platform
