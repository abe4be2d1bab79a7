#include "platform/base/DispatchQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/base/Executor.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"

namespace platform {

namespace {

std::atomic<ExecutorKind> gExecutorKind{ExecutorKind::Threaded};
thread_local DispatchQueue* tlsCurrentQueue = nullptr;

// Marks the calling thread as running `queue` (and as main or not) for one block.
class QueueScope {
 public:
  QueueScope(DispatchQueue* queue, std::optional<bool> onMain) : previousQueue_(tlsCurrentQueue) {
    tlsCurrentQueue = queue;
    if (onMain) previousMain_ = detail::setOnMainThread(*onMain);
  }
  ~QueueScope() {
    tlsCurrentQueue = previousQueue_;
    if (previousMain_) detail::setOnMainThread(*previousMain_);
  }
  QueueScope(const QueueScope&) = delete;
  QueueScope& operator=(const QueueScope&) = delete;

 private:
  DispatchQueue* previousQueue_;
  std::optional<bool> previousMain_;
};

// Worker threads for the threaded executor. Never destroyed, so that blocks still
// queued at exit cannot touch a destroyed pool.
class ThreadPool {
 public:
  static ThreadPool& shared() {
    static ThreadPool* pool = new ThreadPool(std::max(2u, std::thread::hardware_concurrency()));
    return *pool;
  }

  void submit(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    ready_.notify_one();
  }

 private:
  explicit ThreadPool(unsigned count) {
    for (unsigned i = 0; i < count; ++i) std::thread([this] { work(); }).detach();
  }

  void work() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !tasks_.empty(); });
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> tasks_;
};

void runAs(DispatchQueue* queue, const std::function<void()>& block) {
  QueueScope scope(queue, queue->kind() == DispatchQueue::Kind::Main);
  block();
}

}  // namespace

struct DispatchQueue::SerialState {
  std::mutex mutex;
  std::deque<std::function<void()>> items;
  bool draining = false;
};

// Production: concurrent queues on the worker pool; a serial queue drains its own list
// on one worker at a time.
class ThreadedExecutor final : public Executor {
 public:
  void async(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block) override {
    if (queue->isConcurrent()) {
      ThreadPool::shared().submit([queue, block = std::move(block)] { runAs(queue.get(), block); });
      return;
    }
    auto& serial = *queue->serial_;
    bool startDrain = false;
    {
      std::lock_guard lock(serial.mutex);
      serial.items.push_back(std::move(block));
      startDrain = !std::exchange(serial.draining, true);
    }
    if (startDrain) ThreadPool::shared().submit([queue] { drain(queue); });
  }

  void sync(DispatchQueue& queue, const std::function<void()>& block) override {
    if (queue.isConcurrent()) {
      QueueScope scope(&queue, std::nullopt);
      block();
      return;
    }
    if (takeOverIdle(queue, block)) return;
    runHoldingTheQueue(queue, block);
  }

  bool runsMainQueueOnCaller() const override { return false; }

 private:
  static void drain(const std::shared_ptr<DispatchQueue>& queue) {
    auto& serial = *queue->serial_;
    for (;;) {
      std::function<void()> next;
      {
        std::lock_guard lock(serial.mutex);
        if (serial.items.empty()) {
          serial.draining = false;
          return;
        }
        next = std::move(serial.items.front());
        serial.items.pop_front();
      }
      runAs(queue.get(), next);
    }
  }

  // Fast path: an idle serial queue is taken over by the caller. Whether it was idle.
  bool takeOverIdle(DispatchQueue& queue, const std::function<void()>& block) {
    auto& serial = *queue.serial_;
    {
      std::lock_guard lock(serial.mutex);
      if (serial.draining || !serial.items.empty()) return false;
      serial.draining = true;
    }
    {
      QueueScope scope(&queue, std::nullopt);
      block();
    }
    bool restart = false;
    {
      std::lock_guard lock(serial.mutex);
      serial.draining = false;
      restart = !serial.items.empty();
    }
    // Blocks queued meanwhile: hand them to a worker by queueing a no-op.
    if (restart) async(queue.shared_from_this(), [] {});
    return true;
  }

  // Busy: queue a barrier that holds the queue while the caller runs the block. The
  // barrier's state is shared, since the worker wakes after the caller has returned.
  void runHoldingTheQueue(DispatchQueue& queue, const std::function<void()>& block) {
    struct Barrier {
      std::mutex mutex;
      std::condition_variable cv;
      bool started = false;
      bool finished = false;
    };
    auto barrier = std::make_shared<Barrier>();
    async(queue.shared_from_this(), [barrier] {
      std::unique_lock lock(barrier->mutex);
      barrier->started = true;
      barrier->cv.notify_all();
      barrier->cv.wait(lock, [&] { return barrier->finished; });
    });
    {
      std::unique_lock lock(barrier->mutex);
      barrier->cv.wait(lock, [&] { return barrier->started; });
    }
    {
      QueueScope scope(&queue, std::nullopt);
      block();
    }
    std::lock_guard lock(barrier->mutex);
    barrier->finished = true;
    barrier->cv.notify_all();
  }
};

// Tests: one first-in, first-out list of the blocks of every non-main queue, which the
// main run loop runs on the test's thread.
class DeterministicExecutor final : public Executor {
 public:
  void async(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block) override {
    {
      std::lock_guard lock(mutex_);
      items_.push_back({queue, std::move(block)});
    }
    RunLoop::main().wakeUp();
  }

  void sync(DispatchQueue& queue, const std::function<void()>& block) override {
    if (!detail::onBoundThread()) {
      // Another real thread (an I/O thread) waits for the test's thread to run the block.
      queue.asyncAndWait(block);
      return;
    }
    // Run this queue's earlier blocks in order, then the block, on the caller's thread.
    std::vector<std::function<void()>> earlier;
    {
      std::lock_guard lock(mutex_);
      for (auto it = items_.begin(); it != items_.end();) {
        if (it->queue.get() == &queue && queue.kind() == DispatchQueue::Kind::Serial) {
          earlier.push_back(std::move(it->block));
          it = items_.erase(it);
        } else {
          ++it;
        }
      }
    }
    // The earlier blocks answer as blocks of a background queue; the caller's own block
    // keeps the caller's main-thread answer.
    for (auto& b : earlier) runAs(&queue, b);
    QueueScope scope(&queue, std::nullopt);
    block();
  }

  // On the test's thread, "waiting for the main thread" means running the main queue's
  // earlier blocks first.
  bool runsMainQueueOnCaller() const override { return detail::onBoundThread(); }

  // Runs the blocks queued when called, in order. Whether anything ran.
  bool runQueued() {
    std::size_t count;
    {
      std::lock_guard lock(mutex_);
      count = items_.size();
    }
    std::size_t ran = 0;
    for (; ran < count; ++ran) {
      Item item;
      {
        std::lock_guard lock(mutex_);
        if (items_.empty()) break;
        item = std::move(items_.front());
        items_.pop_front();
      }
      runAs(item.queue.get(), item.block);
    }
    return ran > 0;
  }

  void reset() {
    std::deque<Item> dropped;  // destroyed after the lock is released
    std::lock_guard lock(mutex_);
    dropped.swap(items_);
  }

 private:
  struct Item {
    std::shared_ptr<DispatchQueue> queue;
    std::function<void()> block;
  };
  std::mutex mutex_;
  std::deque<Item> items_;
};

namespace {

// Both live for ever, so blocks still queued at exit never touch a destroyed executor.
ThreadedExecutor& threadedExecutor() {
  static auto* executor = new ThreadedExecutor();
  return *executor;
}

DeterministicExecutor& deterministicExecutor() {
  static auto* executor = new DeterministicExecutor();
  return *executor;
}

}  // namespace

void setExecutorKind(ExecutorKind kind) { gExecutorKind = kind; }
ExecutorKind executorKind() { return gExecutorKind; }

Executor& executor() {
  if (executorKind() == ExecutorKind::Deterministic) return deterministicExecutor();
  return threadedExecutor();
}

namespace detail {

bool runDeterministicBlocks() { return deterministicExecutor().runQueued(); }

void resetExecutorForTesting() { deterministicExecutor().reset(); }

}  // namespace detail

DispatchQueue::DispatchQueue(Kind kind, std::string label)
    : serial_(kind == Kind::Serial ? std::make_unique<SerialState>() : nullptr),
      kind_(kind),
      label_(std::move(label)) {}

DispatchQueue::~DispatchQueue() = default;

std::shared_ptr<DispatchQueue> DispatchQueue::main() {
  static auto* queue =
      new std::shared_ptr<DispatchQueue>(std::make_shared<DispatchQueue>(Kind::Main, "platform.main-thread"));
  return *queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::global() {
  static auto* queue =
      new std::shared_ptr<DispatchQueue>(std::make_shared<DispatchQueue>(Kind::Global, "platform.global-default"));
  return *queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::serial(std::string label) {
  return std::make_shared<DispatchQueue>(Kind::Serial, std::move(label));
}

std::shared_ptr<DispatchQueue> DispatchQueue::concurrent(std::string label) {
  return std::make_shared<DispatchQueue>(Kind::Concurrent, std::move(label));
}

DispatchQueue* DispatchQueue::current() {
  if (tlsCurrentQueue) return tlsCurrentQueue;
  return isMainThread() ? main().get() : nullptr;
}

void DispatchQueue::async(std::function<void()> block) {
  if (!block) return;
  auto self = shared_from_this();
  if (kind_ == Kind::Main) {
    RunLoop::main().perform([self, block = std::move(block)] { runAs(self.get(), block); });
    return;
  }
  executor().async(self, std::move(block));
}

void DispatchQueue::asyncAndWait(const std::function<void()>& block) {
  // Shared, since the waiter may return before the block's thread lets go of it.
  struct Done {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
  };
  auto state = std::make_shared<Done>();
  async([state, &block] {
    block();
    std::lock_guard lock(state->mutex);
    state->done = true;
    state->cv.notify_all();
  });
  std::unique_lock lock(state->mutex);
  state->cv.wait(lock, [&] { return state->done; });
}

void DispatchQueue::sync(const std::function<void()>& block) {
  if (!block) return;
  if (isCurrent()) {
    // The platform would deadlock here; running at once is the only useful answer.
    block();
    return;
  }
  if (kind_ != Kind::Main) {
    executor().sync(*this, block);
    return;
  }
  if (isMainThread() || executor().runsMainQueueOnCaller()) {
    // On the test's thread under the deterministic executor, "waiting for the main
    // thread" means running the main queue's earlier blocks first.
    if (!isMainThread()) RunLoop::main().runPerformsQueuedBefore(kDefaultRunLoopMode);
    runAs(this, block);
    return;
  }
  asyncAndWait(block);
}

void DispatchQueue::after(TimeInterval delay, std::function<void()> block) {
  if (!block) return;
  auto self = shared_from_this();
  auto timer = Timer::createOneShot(delay, [self, block = std::move(block)](Timer&) {
    if (self->kind_ == Kind::Main) {
      runAs(self.get(), block);
    } else {
      self->async(block);
    }
  });
  RunLoop::main().addTimer(timer, kCommonRunLoopModes);
}

}  // namespace platform
