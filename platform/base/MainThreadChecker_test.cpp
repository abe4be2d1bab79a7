#include "platform/base/MainThreadChecker.h"

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/OperationQueue.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using MainThreadCheckerTest = testenv::PlatformTest;

void mainThreadOnlyEntryPoint() { assertMainThread(); }

TEST_F(MainThreadCheckerTest, PassesOnTheMainThreadAndItsQueues) {
  mainThreadOnlyEntryPoint();
  int ran = 0;
  DispatchQueue::main()->async([&] {
    mainThreadOnlyEntryPoint();
    ++ran;
  });
  OperationQueue::main()->addOperation([&] {
    mainThreadOnlyEntryPoint();
    ++ran;
  });
  env.runUntilIdle();
  EXPECT_EQ(ran, 2);
}

#ifndef NDEBUG
TEST_F(MainThreadCheckerTest, StopsACallFromAnotherQueueNamingTheCaller) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        DispatchQueue::serial("com.vantor.morvane.test")->async([] { mainThreadOnlyEntryPoint(); });
        env.runUntilIdle();
      },
      "mainThreadOnlyEntryPoint.*called off the main thread");
  EXPECT_DEATH(
      {
        DispatchQueue::global()->async([] { mainThreadOnlyEntryPoint(); });
        env.runUntilIdle();
      },
      "called off the main thread");
}
#endif

}  // namespace
}  // namespace platform
