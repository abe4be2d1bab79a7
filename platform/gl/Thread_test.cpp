#include "platform/base/Thread.h"

#include <atomic>
#include <mutex>
#include <pthread.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/gl/DisplayLink.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using ThreadTest = testenv::PlatformTest;

std::string kernelThreadName() {
  char name[16] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  return name;
}

std::shared_ptr<Thread> startLoopThread(const std::string& name) {
  auto thread = Thread::create(name, [] { Thread::runCurrentRunLoop(); });
  thread->start();
  return thread;
}

// What ran where, written on the thread and read by the test after a wait.
struct Log {
  std::mutex mutex;
  std::vector<std::string> events;
  void add(std::string event) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(event));
  }
  std::vector<std::string> read() {
    std::lock_guard lock(mutex);
    return events;
  }
};

TEST_F(ThreadTest, PerformsRunOnTheNamedThreadInOrderAndWaitingReturnsAfterTheBlock) {
  Log log;
  auto thread = Thread::create("example.render.thread", [] { Thread::runCurrentRunLoop(); });
  // Performed before the thread exists: kept for its loop.
  EXPECT_TRUE(thread->perform([&] { log.add("early"); }));
  thread->start();
  thread->start();  // later calls do nothing
  EXPECT_TRUE(thread->state() == Thread::State::Executing);
  EXPECT_TRUE(thread->perform([&] { log.add("later"); }));
  const bool ran = thread->perform(
      [&] {
        log.add("waited on " + kernelThreadName() + " as " + Thread::current()->name() +
                (isMainThread() ? " (main)" : ""));
      },
      Thread::Wait::UntilDone);

  EXPECT_TRUE(ran);
  EXPECT_EQ(log.read(),
            (std::vector<std::string>{"early", "later", "waited on example.render. as example.render.thread"}));
  EXPECT_EQ(Thread::current(), nullptr);
  thread->stopRunLoop();
  thread->join();
}

TEST_F(ThreadTest, StoppingTheLoopEndsTheThreadAndLaterPerformsAreRefusedWithoutWaiting) {
  std::atomic<bool> entryReturned{false};
  auto thread = Thread::create("example.stop", [&] {
    Thread::runCurrentRunLoop();
    entryReturned = true;
  });
  thread->join();         // before start: nothing to wait for
  thread->stopRunLoop();  // asked before the loop runs: its first run ends at once
  thread->start();
  thread->join();

  EXPECT_TRUE(entryReturned);
  EXPECT_EQ(thread->state(), Thread::State::Finished);
  EXPECT_FALSE(thread->perform([] {}, Thread::Wait::UntilDone));
  EXPECT_FALSE(thread->perform([] {}, Thread::Wait::No));
}

TEST_F(ThreadTest, AWaiterIsReleasedWhenTheThreadEndsWithItsBlockUnrun) {
  // An entry that never runs its loop: the block dies with the thread's loop.
  auto thread = Thread::create("example.noloop", [] {});
  std::atomic<bool> ran{false};
  thread->start();
  EXPECT_FALSE(thread->perform([&] { ran = true; }, Thread::Wait::UntilDone));
  EXPECT_FALSE(ran);
  thread->join();
}

TEST_F(ThreadTest, WaitingOnTheThreadItselfRunsTheBlockAtOnce) {
  std::vector<std::string> order;
  auto thread = startLoopThread("example.self");
  ASSERT_TRUE(thread->perform(
      [&] {
        order.push_back("outer");
        static_cast<void>(Thread::current()->perform([&] { order.push_back("inner"); }, Thread::Wait::UntilDone));
        order.push_back("after inner");
      },
      Thread::Wait::UntilDone));
  EXPECT_EQ(order, (std::vector<std::string>{"outer", "inner", "after inner"}));
  thread->stopRunLoop();
  thread->join();
}

// --- Display links ---------------------------------------------------------------------

struct Ticks {
  std::mutex mutex;
  std::vector<TimeInterval> timestamps;
  std::vector<TimeInterval> clockAtTick;
  std::vector<std::string> threads;
  void add(const DisplayLink& link) {
    std::lock_guard lock(mutex);
    timestamps.push_back(link.timestamp());
    clockAtTick.push_back(clock().monotonicNow());
    threads.push_back(Thread::current() ? Thread::current()->name() : "main");
  }
  std::size_t count() {
    std::lock_guard lock(mutex);
    return timestamps.size();
  }
};

TEST_F(ThreadTest, ADisplayLinkTicksAtEveryVsyncOnItsThreadAndPausesAndResumes) {
  Ticks ticks;
  auto thread = startLoopThread("example.link");
  auto link = DisplayLink::create([&](DisplayLink& l) { ticks.add(l); });
  ASSERT_TRUE(thread->perform([&] { EXPECT_TRUE(link->addToRunLoop(RunLoop::current(), kCommonRunLoopModes)); },
                              Thread::Wait::UntilDone));

  env.advance(1s);
  EXPECT_EQ(ticks.count(), 0u) << "a link starts paused";
  EXPECT_EQ(RunLoop::main().nextFireDate(kDefaultRunLoopMode), kDistantFuture) << "and wakes no loop";

  link->setPaused(false);
  env.advance(1s);
  ASSERT_EQ(ticks.count(), 60u);
  for (std::size_t i = 0; i < 60; ++i) {
    const TimeInterval vsync = 1.0 + static_cast<double>(i + 1) / 60;
    EXPECT_NEAR(ticks.timestamps[i], vsync, 1e-9) << i;
    EXPECT_NEAR(ticks.clockAtTick[i], vsync, 1e-9) << i;
    EXPECT_EQ(ticks.threads[i], "example.link") << i;
  }
  EXPECT_NEAR(link->targetTimestamp() - link->timestamp(), 1.0 / 60, 1e-12);

  link->setPaused(true);
  env.advance(500ms);
  EXPECT_EQ(ticks.count(), 60u);

  link->setPaused(false);
  env.advance(500ms);
  EXPECT_EQ(ticks.count(), 90u);
  EXPECT_NEAR(ticks.timestamps.back(), 3.0, 1e-9);

  link->invalidate();
  env.advance(1s);
  EXPECT_EQ(ticks.count(), 90u);
  EXPECT_EQ(RunLoop::main().nextFireDate(kDefaultRunLoopMode), std::nullopt);
  thread->stopRunLoop();
  thread->join();
}

TEST_F(ThreadTest, ALinkPausedOrInvalidatedInItsCallbackTicksNoMore) {
  const struct {
    const char* name;
    bool invalidate;
  } rows[] = {{"paused", false}, {"invalidated", true}};
  for (const auto& row : rows) {
    std::atomic<int> count{0};
    auto thread = startLoopThread("example.once");
    auto link = DisplayLink::create([&, invalidate = row.invalidate](DisplayLink& l) {
      ++count;
      if (invalidate) {
        l.invalidate();
      } else {
        l.setPaused(true);
      }
    });
    ASSERT_TRUE(thread->perform([&] { ASSERT_TRUE(link->addToRunLoop(RunLoop::current(), kDefaultRunLoopMode)); },
                                Thread::Wait::UntilDone));
    link->setPaused(false);
    env.advance(1s);
    EXPECT_EQ(count, 1) << row.name;
    EXPECT_EQ(link->isValid(), !row.invalidate) << row.name;
    thread->stopRunLoop();
    thread->join();
  }
}

TEST_F(ThreadTest, ALinkOnTheMainLoopTicksThereAndOtherLoopsAreRefused) {
  Ticks ticks;
  auto link = DisplayLink::create([&](DisplayLink& l) { ticks.add(l); });
  ASSERT_TRUE(link->addToRunLoop(RunLoop::main(), kCommonRunLoopModes));
  link->setPaused(false);
  env.advance(100ms);
  EXPECT_EQ(ticks.count(), 6u);
  EXPECT_EQ(ticks.threads.front(), "main");

  auto thread = startLoopThread("example.other");
  SystemLog::Capture log(true);
  ASSERT_TRUE(thread->perform([&] { EXPECT_FALSE(link->addToRunLoop(RunLoop::current(), kDefaultRunLoopMode)); },
                              Thread::Wait::UntilDone));
  RunLoop unowned;  // no platform thread runs it
  EXPECT_FALSE(DisplayLink::create([](DisplayLink&) {})->addToRunLoop(unowned, kDefaultRunLoopMode));
  EXPECT_TRUE(log.contains("already added to another run loop"));
  EXPECT_TRUE(log.contains("main run loop or a platform thread"));
  thread->stopRunLoop();
  thread->join();
}

TEST_F(ThreadTest, TicksOfAThreadThatEndedAreDroppedAndTheMainLoopGoesOn) {
  std::atomic<int> count{0};
  auto thread = startLoopThread("example.gone");
  auto link = DisplayLink::create([&](DisplayLink&) { ++count; });
  ASSERT_TRUE(thread->perform([&] { ASSERT_TRUE(link->addToRunLoop(RunLoop::current(), kDefaultRunLoopMode)); },
                              Thread::Wait::UntilDone));
  link->setPaused(false);
  thread->stopRunLoop();
  thread->join();
  env.advance(1s);
  EXPECT_EQ(count, 0);
  EXPECT_FALSE(link->isValid());
}

// On the system clock a link on another thread is timed by that thread's own loop, which
// sleeps while the link is paused: resuming it from the main thread must wake that loop.
TEST(DisplayLinkOnTheSystemClockTest, AResumedLinkWakesItsThreadAndTicksThere) {
  testenv::TestEnvironment env({.executor = ExecutorKind::Threaded, .virtualTime = false});
  std::atomic<int> count{0};
  std::atomic<bool> elsewhere{false};
  auto thread = startLoopThread("example.real");
  auto link = DisplayLink::create([&](DisplayLink&) {
    if (Thread::current() != thread) elsewhere = true;
    ++count;
  });
  ASSERT_TRUE(thread->perform([&] { ASSERT_TRUE(link->addToRunLoop(RunLoop::current(), kDefaultRunLoopMode)); },
                              Thread::Wait::UntilDone));
  link->setPaused(false);
  EXPECT_TRUE(env.runUntil([&] { return count >= 3; }));
  EXPECT_FALSE(elsewhere);
  link->invalidate();
  thread->stopRunLoop();
  thread->join();
}

}  // namespace
}  // namespace platform
