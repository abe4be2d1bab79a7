#include "platform/base/RunLoop.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

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
  EXPECT_EQ(events, (std::vector<std::string>{"common block", "common timer", "default timer", "default block"}));
}

TEST_F(RunLoopTest, TimersFireInFireDateOrderAndNotBefore) {
  std::vector<std::pair<std::string, TimeInterval>> fired;
  auto record = [&](std::string name) { return [&, name](Timer&) { fired.emplace_back(name, env.now()); }; };
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

// Stands for GLib's context: events come from the test, and a wait returns when woken.
class FakeEventSource : public RunLoopEventSource {
 public:
  bool dispatchReady() override {
    ++dispatches;
    return runReady();
  }
  bool waitAndDispatch(std::chrono::nanoseconds limit) override {
    ++waits;
    longestWait = std::max(longestWait, limit);
    if (onWait) std::exchange(onWait, nullptr)();
    {
      std::unique_lock lock(mutex);
      woken.wait_for(lock, limit, [&] { return wakeUps > 0; });
      wakeUps = 0;
    }
    return runReady();
  }
  bool runReady() {
    auto events = std::exchange(ready, {});
    for (auto& event : events) event();
    return !events.empty();
  }
  bool waitAndDispatchWatching(std::chrono::nanoseconds limit, const std::vector<int>& descriptors) override {
    watched = descriptors;
    return waitAndDispatch(limit);
  }
  std::vector<int> watched;
  void wakeUp() override {
    std::lock_guard lock(mutex);
    ++wakeUps;
    woken.notify_all();
  }
  std::vector<std::function<void()>> ready;
  std::function<void()> onWait;
  int dispatches = 0;
  int waits = 0;
  std::chrono::nanoseconds longestWait{0};
  std::mutex mutex;
  std::condition_variable woken;
  int wakeUps = 0;
};

TEST_F(RunLoopTest, AnEventSourceIsServedEachPassAndWaitedInUntilWorkArrives) {
  auto source = std::make_shared<FakeEventSource>();
  auto& loop = RunLoop::main();
  loop.setEventSource(source);
  std::vector<std::string> events;
  // Its ready events run before the blocks of the same pass, and the blocks they post too.
  source->ready.push_back([&] {
    events.push_back("event");
    loop.perform([&] { events.push_back("posted by the event"); });
  });
  loop.perform([&] { events.push_back("block"); });
  env.runUntilIdle();
  EXPECT_EQ(events, (std::vector<std::string>{"event", "block", "posted by the event"}));

  // A real wait happens in the source; work posted from another thread ends it. (The
  // blocks above left the loop marked as woken: a wait of no time clears that.)
  loop.waitForWork(std::chrono::milliseconds(0));
  source->onWait = [&] { std::thread([&] { loop.perform([] {}); }).join(); };
  EXPECT_TRUE(loop.waitForWork(testenv::kRealLimit));
  EXPECT_LE(source->longestWait, testenv::kRealLimit);
  // Nothing comes: the wait ends at its limit.
  EXPECT_FALSE(loop.waitForWork(std::chrono::milliseconds(5)));
  EXPECT_GE(source->waits, 2);

  loop.setEventSource(nullptr);
  const int dispatches = source->dispatches;
  env.runUntilIdle();
  EXPECT_EQ(source->dispatches, dispatches);
}

// Stands for content processes: each wait serves one reply owed.
class FakeReplySource : public RunLoopEventSource {
 public:
  bool dispatchReady() override {
    ++readyDispatches;
    return false;
  }
  bool waitAndDispatch(std::chrono::nanoseconds) override {
    if (owed == 0) return false;
    --owed;
    served();
    return true;
  }
  void wakeUp() override {}
  bool isBusy() const override { return owed > 0; }
  std::optional<Readable> readable() const override { return watch; }
  int owed = 0;
  int readyDispatches = 0;
  std::function<void()> served;
  std::optional<Readable> watch;
};

// An event the source dispatched while the loop waited (a GLib event that posts nothing
// to the loop) ends a run that returns after a handled source, well before its deadline.
TEST(RunLoopRealTimeTest, ARunReturnsAfterAnEventItsSourceDispatched) {
  testenv::TestEnvironment env({.virtualTime = false});
  auto& loop = RunLoop::main();
  auto source = std::make_shared<FakeEventSource>();
  loop.setEventSource(source);
  loop.waitForWork(std::chrono::milliseconds(0));
  int handled = 0;
  source->onWait = [&] {
    source->ready.push_back([&] { ++handled; });
    source->wakeUp();
  };
  EXPECT_EQ(loop.runMode(kDefaultRunLoopMode, clock().monotonicNow() + 30, true), RunLoop::RunResult::HandledSource);
  EXPECT_EQ(handled, 1);
  loop.setEventSource(nullptr);
}

// On the real clock, with an event source (GLib's) and a reply owed, the loop waits once
// in the event source with the replies' descriptors watched, for as long as the replies'
// deadline allows; only a reply source that cannot be watched makes it look in slices.
TEST(RunLoopRealTimeTest, AnEventSourceWatchesTheRepliesDescriptorsInOneWait) {
  testenv::TestEnvironment env({.virtualTime = false});
  auto& loop = RunLoop::main();
  auto source = std::make_shared<FakeEventSource>();
  auto replies = std::make_shared<FakeReplySource>();
  loop.setEventSource(source);
  loop.setReplySource(replies);
  loop.waitForWork(std::chrono::milliseconds(0));
  replies->owed = 1;
  replies->watch = RunLoopEventSource::Readable{{7, 9}, std::chrono::hours(2)};
  // The reply comes during the wait: its source's dispatch wakes the loop.
  source->onWait = [&] { loop.wakeUp(); };
  EXPECT_TRUE(loop.waitForWork(std::chrono::hours(1)));
  EXPECT_EQ(source->watched, (std::vector<int>{7, 9}));
  EXPECT_GT(source->longestWait, std::chrono::minutes(30));
  EXPECT_GE(replies->readyDispatches, 1);

  // The deadline of a reply bounds the wait.
  replies->watch = RunLoopEventSource::Readable{{7}, std::chrono::milliseconds(0)};
  source->longestWait = {};
  EXPECT_FALSE(loop.waitForWork(std::chrono::milliseconds(20)));
  EXPECT_EQ(source->longestWait, std::chrono::milliseconds(0));

  replies->watch.reset();
  source->longestWait = {};
  EXPECT_FALSE(loop.waitForWork(std::chrono::milliseconds(20)));
  EXPECT_LE(source->longestWait, std::chrono::milliseconds(5));
  loop.setReplySource(nullptr);
  loop.setEventSource(nullptr);
}

// Under virtual time a reply owed is served when nothing else is ready, and the clock
// waits for it: the order never depends on how fast the other side answers.
TEST_F(RunLoopTest, RepliesOwedAreServedWhenIdleAndHoldTheVirtualClock) {
  auto replies = std::make_shared<FakeReplySource>();
  auto& loop = RunLoop::main();
  loop.setReplySource(replies);
  const auto start = env.now();
  std::vector<std::string> events;
  replies->served = [&] { events.push_back("reply at " + std::to_string(static_cast<int>(env.now() - start))); };
  replies->owed = 2;
  loop.perform([&] { events.push_back("block"); });
  auto timer = Timer::startOneShot(1, [&](Timer&) {
    events.push_back("timer");
    replies->owed = 1;
  });
  env.advance(2);
  EXPECT_EQ(events, (std::vector<std::string>{"block", "reply at 0", "reply at 0", "timer", "reply at 1"}));
  EXPECT_EQ(replies->readyDispatches, 0);

  // A run with nothing else to do ends only once nothing is owed either.
  replies->owed = 2;
  EXPECT_EQ(loop.runMode(kDefaultRunLoopMode, kDistantFuture), RunLoop::RunResult::Finished);
  EXPECT_EQ(replies->owed, 0);
  replies->owed = 1;
  EXPECT_TRUE(loop.waitForWork(std::chrono::milliseconds(0)));
  EXPECT_EQ(replies->owed, 0);
  EXPECT_FALSE(loop.serveOwedReply());
  loop.setReplySource(nullptr);
}

}  // namespace
}  // namespace platform
