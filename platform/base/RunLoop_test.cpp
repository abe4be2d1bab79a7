#include "platform/base/RunLoop.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/base/DispatchQueue.h"
#include "platform/base/Timer.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using RunLoopTest = testenv::PlatformTest;

TEST_F(RunLoopTest, TrackingModeRunsCommonModeWorkAndHoldsDefaultModeWork) {
  std::vector<std::string> events;
  auto& loop = RunLoop::main();
  loop.perform({std::string(kDefaultRunLoopMode)}, [&] { events.push_back("default block"); });
  loop.perform([&] { events.push_back("common block"); });
  auto common = Timer::createOneShot(1, [&](Timer&) { events.push_back("common timer"); });
  auto defaultOnly = Timer::createOneShot(1, [&](Timer&) { events.push_back("default timer"); });
  loop.addTimer(common, kCommonRunLoopModes);
  loop.addTimer(defaultOnly, kDefaultRunLoopMode);

  // A scroll in progress: the loop runs in the tracking mode for two seconds.
  loop.runMode(kTrackingRunLoopMode, env.now() + 2);
  EXPECT_EQ(events, (std::vector<std::string>{"common block", "common timer"}));

  env.runUntilIdle();
  EXPECT_EQ(events, (std::vector<std::string>{"common block", "common timer", "default timer",
                                              "default block"}));
}

TEST_F(RunLoopTest, TimersFireInFireDateOrderAndNotBefore) {
  std::vector<std::pair<std::string, TimeInterval>> fired;
  auto record = [&](std::string name) {
    return [&, name](Timer&) { fired.emplace_back(name, env.now()); };
  };
  auto late = Timer::startOneShot(10, record("10s"));
  auto early = Timer::startOneShot(3, record("3s"));
  auto ticking = Timer::startRepeating(4, record("tick"));

  env.advance(2.999);
  EXPECT_TRUE(fired.empty());
  env.advance(10);
  EXPECT_EQ(fired, (std::vector<std::pair<std::string, TimeInterval>>{
                       {"3s", 3.0}, {"tick", 4.0}, {"tick", 8.0}, {"10s", 10.0}, {"tick", 12.0}}));
  EXPECT_FALSE(late->isValid());  // one-shot timers end after firing
  EXPECT_TRUE(ticking->isValid());
}

TEST_F(RunLoopTest, InvalidatingATimerInsideAnotherTimersFireIsSafe) {
  int secondFired = 0;
  std::shared_ptr<Timer> second;
  // Same fire date, added later: the first one fires first and stops the other.
  auto first = Timer::startOneShot(1, [&](Timer& self) {
    second->invalidate();
    second.reset();  // drop the last owner while the loop is iterating
    self.invalidate();
  });
  second = Timer::createOneShot(1, [&](Timer&) { ++secondFired; });
  RunLoop::main().addTimer(second, kDefaultRunLoopMode);
  env.advance(5);
  EXPECT_EQ(secondFired, 0);
  EXPECT_FALSE(first->isValid());
}

TEST_F(RunLoopTest, RepeatingTimerSkipsMissedFiresAndCanStopItself) {
  int fires = 0;
  auto timer = Timer::startRepeating(1, [&](Timer& self) {
    if (++fires == 3) self.invalidate();
  });
  // A long stall (the clock jumps without the loop running) costs one fire, not many.
  env.clock().advanceBy(10.5);
  env.runUntilIdle();
  EXPECT_EQ(fires, 1);
  EXPECT_DOUBLE_EQ(timer->fireDate(), 11.0);
  env.advance(100);
  EXPECT_EQ(fires, 3);
}

TEST_F(RunLoopTest, FireRunsTheBlockAndEndsOnlyOneShotTimers) {
  int fires = 0;
  auto repeating = Timer::startRepeating(60, [&](Timer&) { ++fires; });
  auto once = Timer::startOneShot(60, [&](Timer&) { ++fires; });
  repeating->fire();
  once->fire();
  once->fire();
  EXPECT_EQ(fires, 2);
  EXPECT_TRUE(repeating->isValid());
  EXPECT_FALSE(once->isValid());
}

TEST_F(RunLoopTest, ARunNestedInATimersBlockDoesNotFireThatTimerAgain) {
  auto& loop = RunLoop::main();
  int fires = 0;
  auto timer = Timer::startOneShot(1, [&](Timer&) {
    // Bounded, so that the fault shows as a count rather than endless recursion.
    if (++fires < 3) loop.runMode(kDefaultRunLoopMode, env.now() + 1);
  });
  env.advance(1);
  EXPECT_EQ(fires, 1);
  EXPECT_DOUBLE_EQ(env.now(), 2.0);  // the nested run waited its second out
}

TEST_F(RunLoopTest, ARunNestedInABlockKeepsTheMainQueueFirstInFirstOut) {
  auto& loop = RunLoop::main();
  std::vector<std::string> order;
  DispatchQueue::main()->async([&] {
    order.push_back("A");
    DispatchQueue::main()->async([&] { order.push_back("C"); });
    loop.runMode(kDefaultRunLoopMode, env.now());
    order.push_back("A done");
  });
  DispatchQueue::main()->async([&] { order.push_back("B"); });
  env.runUntilIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "C", "A done"}));
}

TEST_F(RunLoopTest, AFireDateThatIsNotANumberNeverFallsDue) {
  int fires = 0;
  auto timer = Timer::startOneShot(1, [&](Timer&) { ++fires; });
  timer->setFireDate(std::numeric_limits<double>::quiet_NaN());
  env.advance(10);  // must come back
  EXPECT_EQ(fires, 0);
  EXPECT_TRUE(timer->isValid());
}

TEST_F(RunLoopTest, StopEndsTheInnermostRun) {
  auto& loop = RunLoop::main();
  bool after = false;
  loop.perform([&] { loop.stop(); });
  DispatchQueue::main()->after(5, [&] { after = true; });
  EXPECT_EQ(loop.runMode(kDefaultRunLoopMode, kDistantFuture), RunLoop::RunResult::Stopped);
  EXPECT_FALSE(after);
  EXPECT_EQ(loop.runMode(kDefaultRunLoopMode, kDistantFuture), RunLoop::RunResult::Finished);
  EXPECT_TRUE(after);
  EXPECT_DOUBLE_EQ(env.now(), 5.0);
}

}  // namespace
}  // namespace platform
