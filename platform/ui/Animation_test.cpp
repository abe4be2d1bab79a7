#include "platform/ui/Animation.h"

#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using AnimationTest = testenv::PlatformTest;

TEST_F(AnimationTest, ValuesChangeAtOnceAndCompletionsFollowTheClock) {
  std::vector<int> done;
  int value = 0;
  Animation::animate(
      0.4, [&] { value = 1; }, [&](bool finished) { done.push_back(finished ? 4 : -4); });
  Animation::animate(
      0.2, 0.1, [&] { value = 2; }, [&](bool) { done.push_back(3); });
  Animation::animate(
      std::numeric_limits<double>::quiet_NaN(), [] {}, [&](bool) { done.push_back(0); });
  EXPECT_EQ(value, 2);
  EXPECT_TRUE(done.empty()) << "never inside the call";
  env.runUntilIdle();
  EXPECT_EQ(done, std::vector<int>{0});
  env.advance(0.31);
  EXPECT_EQ(done, (std::vector<int>{0, 3}));
  env.advance(0.1);
  EXPECT_EQ(done, (std::vector<int>{0, 3, 4}));
  EXPECT_EQ(Animation::runningCount(), 0);

  Animation::performWithoutAnimation([&] {
    Animation::animate(
        10, [] {}, [&](bool) { done.push_back(10); });
  });
  EXPECT_TRUE(Animation::areAnimationsEnabled());
  env.runUntilIdle();
  EXPECT_EQ(done.back(), 10);
}

}  // namespace
}  // namespace platform
