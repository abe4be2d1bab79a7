#include "sdk/foundation/ZUMScheduler.h"

#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "sdk/foundation/ZUMScheduledBlockTimer.h"
#include "testing/TestEnvironment.h"

namespace {

using ZUMSchedulerTest = testenv::PlatformTest;

TEST_F(ZUMSchedulerTest, TaskIDsCountFromOneAndMissingPartsGiveMinusOne) {
  auto scheduler = ZUMScheduler::create(1);
  auto main = platform::DispatchQueue::main();
  EXPECT_EQ(scheduler->taskIDScheduledOnQueue(main, [] {}), 1);
  EXPECT_EQ(scheduler->taskIDScheduledOnQueue(nullptr, [] {}), -1);
  EXPECT_EQ(scheduler->taskIDScheduledOnQueue(main, nullptr), -1);
  EXPECT_EQ(scheduler->taskIDScheduledOnQueue(main, [] {}), 2);

  int ticks = 0;
  auto other = ZUMScheduler::create(1);
  EXPECT_EQ(other->taskIDScheduledOnQueue(main, [&] { ++ticks; }), 1);
  other->start();
  env.advance(3.5);
  EXPECT_EQ(ticks, 3) << "a refused task must not run";
}

TEST_F(ZUMSchedulerTest, EachTickRunsEveryTaskOnItsQueue) {
  auto scheduler = ZUMScheduler::create(2);
  auto serial = platform::DispatchQueue::serial("com.vantor.morvane.test");
  int mainRuns = 0, serialRuns = 0;
  bool serialOnItsQueue = true, mainOnMain = true;
  scheduler->taskIDScheduledOnQueue(platform::DispatchQueue::main(), [&] {
    ++mainRuns;
    mainOnMain = mainOnMain && platform::isMainThread();
  });
  scheduler->taskIDScheduledOnQueue(serial, [&] {
    ++serialRuns;
    serialOnItsQueue = serialOnItsQueue && serial->isCurrent() && !platform::isMainThread();
  });
  env.advance(10);
  EXPECT_EQ(mainRuns, 0) << "nothing ticks before start";

  scheduler->start();
  scheduler->start();  // once only
  env.advance(1.9);
  EXPECT_EQ(mainRuns, 0);
  env.advance(0.2);
  EXPECT_EQ(mainRuns, 1);
  EXPECT_EQ(serialRuns, 1);
  env.advance(8);
  EXPECT_EQ(mainRuns, 5);
  EXPECT_EQ(serialRuns, 5);
  EXPECT_TRUE(mainOnMain);
  EXPECT_TRUE(serialOnItsQueue);

  // Tasks added while running join the next tick.
  int late = 0;
  EXPECT_EQ(scheduler->taskIDScheduledOnQueue(serial, [&] { ++late; }), 3);
  env.advance(2);
  EXPECT_EQ(late, 1);

  scheduler->stop();
  EXPECT_EQ(scheduler->timer(), nullptr);
  scheduler->start();  // a stopped scheduler stays stopped
  env.advance(10);
  EXPECT_EQ(mainRuns, 6);
  EXPECT_EQ(late, 1);
}

TEST_F(ZUMSchedulerTest, TimerRunsInTheCommonModesWithATenthOfTheIntervalAsTolerance) {
  auto scheduler = ZUMScheduler::create(0.4);
  int runs = 0;
  scheduler->taskIDScheduledOnQueue(platform::DispatchQueue::main(), [&] { ++runs; });
  EXPECT_EQ(scheduler->timer(), nullptr);
  scheduler->start();
  auto timer = scheduler->timer();
  ASSERT_TRUE(timer);
  EXPECT_TRUE(timer->repeats());
  EXPECT_DOUBLE_EQ(timer->timeInterval(), 0.4);
  EXPECT_DOUBLE_EQ(timer->tolerance(), 0.04);

  // While the user scrolls (tracking mode) the ticks go on.
  auto& loop = platform::RunLoop::main();
  loop.runMode(platform::kTrackingRunLoopMode, env.now() + 1.0);
  env.runUntilIdle();
  EXPECT_EQ(runs, 2);
}

TEST_F(ZUMSchedulerTest, HostileIntervalsNeitherSpinNorCrash) {
  for (double bad : {0.0, -3.0, std::nan(""), -std::numeric_limits<double>::infinity(), 1e-9}) {
    auto scheduler = ZUMScheduler::create(bad);
    EXPECT_EQ(scheduler->interval(), kZUMSchedulerMinimumInterval) << bad;
    int runs = 0;
    scheduler->taskIDScheduledOnQueue(platform::DispatchQueue::main(), [&] { ++runs; });
    scheduler->start();
    env.advance(1.05);
    EXPECT_EQ(runs, 10) << bad;
    EXPECT_DOUBLE_EQ(scheduler->timer()->tolerance(), kZUMSchedulerMinimumInterval / 10);
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
  EXPECT_EQ(runs, 1);
  scheduler.reset();
  EXPECT_FALSE(timer->isValid());
  env.advance(5);
  EXPECT_EQ(runs, 1);
}

TEST_F(ZUMSchedulerTest, BlockTimerAppliesOnlyAPositiveTolerance) {
  int fires = 0;
  auto oneShot = ZUMScheduledBlockTimer(false, [&] { ++fires; }, 5, 0.01);
  ASSERT_TRUE(oneShot);
  EXPECT_FALSE(oneShot->repeats());
  EXPECT_DOUBLE_EQ(oneShot->tolerance(), 0.01);
  env.advance(4.9);
  EXPECT_EQ(fires, 0);
  env.advance(0.2);
  EXPECT_EQ(fires, 1);
  EXPECT_FALSE(oneShot->isValid());

  for (double tolerance : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    auto timer = ZUMScheduledBlockTimer(true, [] {}, 1, tolerance);
    EXPECT_EQ(timer->tolerance(), 0) << tolerance;
    timer->invalidate();
  }
  EXPECT_EQ(ZUMScheduledBlockTimer(true, nullptr, 1, 0), nullptr);

  // The caller may fire it early; a repeating timer keeps its schedule.
  auto repeating = ZUMScheduledBlockTimer(true, [&] { ++fires; }, 10, 1);
  repeating->fire();
  EXPECT_EQ(fires, 2);
  env.advance(10.5);
  EXPECT_EQ(fires, 3);
  repeating->invalidate();
  env.advance(30);
  EXPECT_EQ(fires, 3);
}

}  // namespace
