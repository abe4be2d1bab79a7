#include "platform/base/DispatchQueue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using DispatchQueueTest = testenv::PlatformTest;

TEST_F(DispatchQueueTest, BlocksKnowTheirQueueAndWhetherTheyRunOnTheMainThread) {
  auto serial = DispatchQueue::serial("com.vantor.morvane.test");
  std::vector<std::string> seen;
  auto record = [&](const char* who) {
    seen.push_back(std::string(who) + (isMainThread() ? " main " : " background ") +
                   (DispatchQueue::current() ? DispatchQueue::current()->label() : "none"));
  };
  serial->async([&] {
    record("serial");
    DispatchQueue::main()->async([&] { record("hop"); });
  });
  DispatchQueue::global()->async([&] { record("global"); });
  DispatchQueue::main()->async([&] { record("main"); });
  env.runUntilIdle();
  EXPECT_EQ(seen,
            (std::vector<std::string>{"main main platform.main-thread", "serial background com.vantor.morvane.test",
                                      "global background platform.global-default", "hop main platform.main-thread"}));
  EXPECT_TRUE(isMainThread());
}

TEST_F(DispatchQueueTest, SyncRunsAfterEarlierWorkOnTheCallersThread) {
  auto queue = DispatchQueue::serial("com.vantor.morvane.state");
  int value = 0;
  queue->async([&] { value = 1; });
  queue->async([&] { value *= 10; });
  const int read = queue->syncResult([&] { return value; });
  EXPECT_EQ(read, 10);
  // sync from the main thread keeps the caller's main-thread answer, as the platform does.
  queue->sync([&] {
    EXPECT_TRUE(isMainThread());
    EXPECT_TRUE(queue->isCurrent());
  });
  // A nested sync onto the running queue runs at once instead of deadlocking.
  queue->sync([&] { queue->sync([&] { value = 7; }); });
  EXPECT_EQ(value, 7);
}

TEST_F(DispatchQueueTest, DelayedBlockFiresAtItsTimeAndNotBefore) {
  std::vector<TimeInterval> fired;
  auto queue = DispatchQueue::serial("com.vantor.morvane.delay");
  DispatchQueue::main()->after(10, [&] { fired.push_back(env.now()); });
  queue->after(3600, [&] { fired.push_back(env.now()); });
  env.advance(9.99);
  EXPECT_TRUE(fired.empty());
  env.advance(3600);
  EXPECT_EQ(fired, (std::vector<TimeInterval>{10.0, 3600.0}));
}

TEST_F(DispatchQueueTest, SyncToMainFromABackgroundBlockRunsEarlierMainWorkFirst) {
  std::vector<std::string> order;
  DispatchQueue::main()->async([&] { order.push_back("earlier main"); });
  DispatchQueue::global()->async([&] {
    DispatchQueue::main()->sync([&] { order.push_back(isMainThread() ? "sync on main" : "sync off main"); });
    order.push_back(isMainThread() ? "back on main?" : "back in background");
  });
  env.runUntilIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"earlier main", "sync on main", "back in background"}));
}

TEST_F(DispatchQueueTest, MainOperationQueueAndMainQueueShareOneOrder) {
  std::vector<int> order;
  DispatchQueue::main()->async([&] { order.push_back(1); });
  OperationQueue::main()->addOperation([&] { order.push_back(2); });
  DispatchQueue::main()->async([&] { order.push_back(3); });
  OperationQueue::main()->addOperation([&] { order.push_back(4); });
  env.runUntilIdle();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(DispatchQueueTest, SuspendedOperationQueueHoldsItsOperationsUntilResumed) {
  auto queue = OperationQueue::create("com.vantor.morvane.deactivation");
  queue->setMaxConcurrentOperationCount(1);
  std::vector<int> ran;
  queue->setSuspended(true);
  queue->setSuspended(true);  // a flag, not a counter: one resume is enough
  queue->addOperation([&] { ran.push_back(1); });
  auto second = queue->addOperation([&] { ran.push_back(2); });
  queue->addOperation([&] { ran.push_back(3); });
  env.runUntilIdle();
  EXPECT_EQ(queue->operationCount(), 3u);

  second->cancel();
  queue->setSuspended(false);
  env.runUntilIdle();
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
  EXPECT_TRUE(second->isFinished());
}

TEST_F(DispatchQueueTest, SuspendingAfterHandOverStillHoldsUnstartedOperations) {
  auto queue = OperationQueue::main();
  std::vector<int> ran;
  queue->addOperation([&] { ran.push_back(1); });
  queue->setSuspended(true);
  env.runUntilIdle();
  EXPECT_TRUE(ran.empty());
  queue->cancelAllOperations();
  queue->setSuspended(false);
  env.runUntilIdle();
  EXPECT_TRUE(ran.empty());
}

TEST_F(DispatchQueueTest, OperationsHeldBySuspensionKeepTheirOrder) {
  // Handed to their dispatch queue before the suspension, 1 and 2 are held when their
  // turn comes; 3 was added during the suspension. All run in the order added.
  auto serial = OperationQueue::create("com.vantor.morvane.held");
  serial->setMaxConcurrentOperationCount(1);
  for (const auto& queue : {OperationQueue::main(), serial}) {
    std::vector<int> ran;
    queue->addOperation([&] { ran.push_back(1); });
    queue->addOperation([&] { ran.push_back(2); });
    queue->setSuspended(true);
    queue->addOperation([&] { ran.push_back(3); });
    env.runUntilIdle();
    EXPECT_TRUE(ran.empty());
    queue->setSuspended(false);
    queue->addOperation([&] { ran.push_back(4); });
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4})) << queue->name();
  }
}

TEST_F(DispatchQueueTest, EarlierBlocksRunBySyncStillAnswerOffTheMainThread) {
  auto queue = DispatchQueue::serial("com.vantor.morvane.state");
  bool earlierOnMain = true;
  queue->async([&] { earlierOnMain = isMainThread(); });
  queue->sync([&] { EXPECT_TRUE(isMainThread()); });
  EXPECT_FALSE(earlierOnMain);
}

// Real threads: a serial queue keeps its order and its sync sees every earlier write.
TEST(DispatchQueueThreaded, SerialQueueOrderAndSyncUnderThreads) {
  testenv::TestEnvironment env({ExecutorKind::Threaded, false});
  auto queue = DispatchQueue::serial("com.vantor.morvane.stress");
  std::vector<int> values;  // touched only on the queue
  std::atomic<int> producersDone{0};
  constexpr int kProducers = 4;
  constexpr int kPerProducer = 500;
  for (int p = 0; p < kProducers; ++p) {
    DispatchQueue::global()->async([&, p] {
      for (int i = 0; i < kPerProducer; ++i) queue->async([&, p, i] { values.push_back(p * kPerProducer + i); });
      // Every block this producer queued ran before its sync returns.
      const auto count = queue->syncResult([&] {
        int mine = 0;
        for (int v : values) mine += (v / kPerProducer == p);
        return mine;
      });
      EXPECT_EQ(count, kPerProducer);
      ++producersDone;
    });
  }
  ASSERT_TRUE(env.runUntil([&] { return producersDone == kProducers; }));
  const auto all = queue->syncResult([&] { return values; });
  ASSERT_EQ(all.size(), static_cast<size_t>(kProducers * kPerProducer));
  std::vector<int> last(kProducers, -1);
  for (int v : all) {
    EXPECT_GT(v % kPerProducer, last[v / kPerProducer]);  // per-producer order kept
    last[v / kPerProducer] = v % kPerProducer;
  }
}

// A labelled concurrent queue runs a block while an earlier one still waits for it.
TEST(DispatchQueueThreaded, ConcurrentQueueRunsBlocksAtTheSameTime) {
  testenv::TestEnvironment env({ExecutorKind::Threaded, false});
  auto queue = DispatchQueue::concurrent("com.vantor.morvane.concurrent");
  std::mutex mutex;
  std::condition_variable cv;
  bool secondRan = false;
  std::atomic<int> finished{0};
  std::atomic<bool> firstSawSecond{false};
  queue->async([&] {
    std::unique_lock lock(mutex);
    firstSawSecond = cv.wait_for(lock, testenv::kRealLimit, [&] { return secondRan; });
    ++finished;
  });
  queue->async([&] {
    EXPECT_EQ(DispatchQueue::current(), queue.get());
    {
      std::lock_guard lock(mutex);
      secondRan = true;
    }
    cv.notify_all();
    ++finished;
  });
  ASSERT_TRUE(env.runUntil([&] { return finished == 2; }));
  EXPECT_TRUE(firstSawSecond);
}

TEST(DispatchQueueThreaded, MainQueueWorkFromOtherThreadsRunsOnTheMainLoop) {
  testenv::TestEnvironment env({ExecutorKind::Threaded, false});
  std::atomic<int> onMain{0};
  std::atomic<int> offMain{0};
  for (int i = 0; i < 50; ++i) {
    DispatchQueue::global()->async(
        [&] { DispatchQueue::main()->sync([&] { (isMainThread() ? onMain : offMain)++; }); });
  }
  ASSERT_TRUE(env.runUntil([&] { return onMain + offMain == 50; }));
  EXPECT_EQ(offMain, 0);
}

// Under the deterministic executor a real I/O thread's sync waits for the test's thread,
// so one serial queue never runs two blocks at once.
TEST_F(DispatchQueueTest, SyncFromAnotherRealThreadWaitsForTheTestThread) {
  auto queue = DispatchQueue::serial("com.vantor.morvane.io");
  std::atomic<bool> done{false};
  std::thread::id ranOn;
  std::thread io([&] {
    queue->sync([&] { ranOn = std::this_thread::get_id(); });
    done = true;
  });
  ASSERT_TRUE(env.runUntil([&] { return done.load(); }));
  io.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

}  // namespace
}  // namespace platform
