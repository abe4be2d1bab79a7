#include "sdk/foundation/ZUMScheduler.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "sdk/foundation/ZUMScheduledBlockTimer.h"
#include "testing/TestEnvironment.h"

namespace {

using ZUMSchedulerTest = testenv::PlatformTest;

TEST_F(ZUMSchedulerTest, EachTickRunsEveryTaskOnItsQueue) {
  auto scheduler = ZUMScheduler::create(2);
  auto main = platform::DispatchQueue::main();
  auto serial = platform::DispatchQueue::serial("com.vantor.morvane.test");
  int mainRuns = 0, serialRuns = 0;
  bool serialOnItsQueue = true, mainOnMain = true;
  EXPECT_EQ(scheduler->taskIDScheduledOnQueue(main,
                                              [&] {
                                                ++mainRuns;
                                                mainOnMain = mainOnMain && platform::isMainThread();
                                              }),
            1);
  EXPECT_EQ(scheduler->taskIDScheduledOnQueue(nullptr, [] {}), -1);
  EXPECT_EQ(scheduler->taskIDScheduledOnQueue(main, nullptr), -1);
  EXPECT_EQ(scheduler->taskIDScheduledOnQueue(serial,
                                              [&] {
                                                ++serialRuns;
                                                serialOnItsQueue = serialOnItsQueue && serial->isCurrent() &&
                                                                   !platform::isMainThread();
                                              }),
            2);
  env.advance(10);
  EXPECT_EQ(mainRuns, 0) << "nothing ticks before start";

  scheduler->start();
  scheduler->start();  // once only
  env.advance(10.1);
  EXPECT_EQ(mainRuns + serialRuns, 10);
  EXPECT_TRUE(mainOnMain && serialOnItsQueue);
  scheduler->stop();
  scheduler->start();  // a stopped scheduler stays stopped
  env.advance(10);
  EXPECT_EQ(mainRuns, 5);
}

TEST_F(ZUMSchedulerTest, TimerKeepsTickingWhileTracking) {
  auto scheduler = ZUMScheduler::create(0.4);
  int runs = 0;
  scheduler->taskIDScheduledOnQueue(platform::DispatchQueue::main(), [&] { ++runs; });
  scheduler->start();
  // While the user scrolls (tracking mode) the ticks go on.
  platform::RunLoop::main().runMode(platform::kTrackingRunLoopMode, env.now() + 1.0);
  env.runUntilIdle();
  EXPECT_EQ(runs, 2);
}

TEST_F(ZUMSchedulerTest, HostileIntervalsNeitherSpinNorCrash) {
  for (double bad : {0.0, std::nan(""), -std::numeric_limits<double>::infinity()}) {
    auto scheduler = ZUMScheduler::create(bad);
    EXPECT_EQ(scheduler->interval(), kZUMSchedulerMinimumInterval) << bad;
    int runs = 0;
    scheduler->taskIDScheduledOnQueue(platform::DispatchQueue::main(), [&] { ++runs; });
    scheduler->start();
    env.advance(1.05);
    EXPECT_EQ(runs, 10) << bad;
    scheduler->stop();
  }
  auto never = ZUMScheduler::create(std::numeric_limits<double>::infinity());
  int runs = 0;
  never->taskIDScheduledOnQueue(platform::DispatchQueue::main(), [&] { ++runs; });
  never->start();
  env.advance(1e6);
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(never->timer()->tolerance(), 0);
}

TEST_F(ZUMSchedulerTest, DroppingTheSchedulerEndsItsTicks) {
  int runs = 0;
  auto scheduler = ZUMScheduler::create(1);
  scheduler->taskIDScheduledOnQueue(platform::DispatchQueue::main(), [&] { ++runs; });
  scheduler->start();
  auto timer = scheduler->timer();
  env.advance(1.5);
  scheduler.reset();
  EXPECT_FALSE(timer->isValid());
  env.advance(5);
  EXPECT_EQ(runs, 1);
}

TEST_F(ZUMSchedulerTest, BlockTimerAppliesOnlyAPositiveTolerance) {
  for (double tolerance : {-1.0, std::nan("")}) {
    auto timer = ZUMScheduledBlockTimer(
        true, [] {}, 1, tolerance);
    EXPECT_EQ(timer->tolerance(), 0) << tolerance;
    timer->invalidate();
  }
  EXPECT_EQ(ZUMScheduledBlockTimer(true, nullptr, 1, 0), nullptr);
}

}  // namespace
