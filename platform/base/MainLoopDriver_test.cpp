#include "platform/base/MainLoopDriver.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/DispatchQueue.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using MainLoopDriverTest = testenv::PlatformTest;
using Log = std::vector<std::string>;

// Durations move time as seconds do: just before the due time nothing fires, at it the
// block runs.
TEST_F(MainLoopDriverTest, AdvanceTakesChronoDurations) {
  using namespace std::chrono_literals;
  Log log;
  DispatchQueue::main()->after(1.5, [&] { log.push_back("due at 1.5 s"); });
  const TimeInterval start = env.now();
  env.advance(1499ms);
  EXPECT_TRUE(log.empty());
  env.advance(1ms);
  EXPECT_EQ(log, Log{"due at 1.5 s"});
  MainLoopDriver::advance(2min);
  virtualClock()->advanceBy(30s);
  EXPECT_DOUBLE_EQ(env.now() - start, 1.5 + 120 + 30);
}

// Delayed blocks fall due in order, up to and including the deadline, and the work they
// queue runs in the same advance; what falls due later waits.
TEST_F(MainLoopDriverTest, AdvanceFiresWhatFallsDueByTheDeadlineAndWhatThatQueues) {
  Log log;
  const TimeInterval start = env.now();
  auto main = DispatchQueue::main();
  auto serial = DispatchQueue::serial("com.example.driver");
  main->after(1, [&] {
    log.push_back("1s");
    serial->async([&] { log.push_back("queued at 1s"); });
  });
  main->after(5, [&] {
    log.push_back("5s");
    serial->async([&] { main->async([&] { log.push_back("queued by way of another queue at 5s"); }); });
  });
  main->after(5.001, [&] { log.push_back("later"); });

  MainLoopDriver::advance(5);
  EXPECT_EQ(log, (Log{"1s", "queued at 1s", "5s", "queued by way of another queue at 5s"}));
  EXPECT_DOUBLE_EQ(env.now() - start, 5);
}

// Idle means every queue is drained, however blocks chain between them, and the clock
// stays where it was: a block due a moment later does not run.
TEST_F(MainLoopDriverTest, RunUntilIdleDrainsChainedWorkWithoutMovingTheClock) {
  Log log;
  const TimeInterval start = env.now();
  auto main = DispatchQueue::main();
  auto serial = DispatchQueue::serial("com.example.driver");
  main->after(0.001, [&] { log.push_back("due later"); });
  main->async([&] {
    log.push_back("main");
    serial->async([&] {
      log.push_back("serial");
      main->async([&] { log.push_back("back on main"); });
    });
  });

  MainLoopDriver::runUntilIdle();
  EXPECT_EQ(log, (Log{"main", "serial", "back on main"}));
  EXPECT_EQ(env.now(), start);
}

// Work posted from another thread ends the wait; a condition that never holds gives up at
// the real-time limit, having run what was ready, and neither moves the clock.
TEST_F(MainLoopDriverTest, RunUntilWaitsForOtherThreadsWithinItsRealLimit) {
  const TimeInterval start = env.now();
  bool answered = false;
  std::thread io([&] { DispatchQueue::main()->async([&] { answered = true; }); });
  EXPECT_TRUE(MainLoopDriver::runUntil([&] { return answered; }));
  io.join();

  Log log;
  DispatchQueue::main()->async([&] { log.push_back("ready"); });
  DispatchQueue::main()->after(1, [&] { log.push_back("due later"); });
  EXPECT_FALSE(MainLoopDriver::runUntil([] { return false; }, std::chrono::milliseconds(0)));
  EXPECT_EQ(log, Log{"ready"});
  EXPECT_EQ(env.now(), start);
}

}  // namespace
}  // namespace platform
