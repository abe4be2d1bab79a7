#include "platform/base/DispatchQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <optional>
#include <thread>
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
  QueueScope(DispatchQueue* queue, std::optional<bool> onMain)
      : previousQueue_(tlsCurrentQueue) {
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

// The deterministic executor's single first-in, first-out list of blocks of every
// non-main queue; the main run loop runs it on the test's thread.
struct DeterministicState {
  struct Item {
    std::shared_ptr<DispatchQueue> queue;
    std::function<void()> block;
  };
  std::mutex mutex;
  std::deque<Item> items;
};

DeterministicState& deterministic() {
  static DeterministicState* state = new DeterministicState();
  return *state;
}

void runAs(DispatchQueue* queue, const std::function<void()>& block) {
  QueueScope scope(queue, queue->kind() == DispatchQueue::Kind::Main);
  block();
}

}  // namespace

void setExecutorKind(ExecutorKind kind) { gExecutorKind = kind; }
ExecutorKind executorKind() { return gExecutorKind; }

namespace detail {

bool runDeterministicBlocks() {
  auto& state = deterministic();
  std::size_t count;
  {
    std::lock_guard lock(state.mutex);
    count = state.items.size();
  }
  std::size_t ran = 0;
  for (; ran < count; ++ran) {
    DeterministicState::Item item;
    {
      std::lock_guard lock(state.mutex);
      if (state.items.empty()) break;
      item = std::move(state.items.front());
      state.items.pop_front();
    }
    runAs(item.queue.get(), item.block);
  }
  return ran > 0;
}

void resetExecutorForTesting() {
  std::deque<DeterministicState::Item> dropped;
  auto& state = deterministic();
  std::lock_guard lock(state.mutex);
  dropped.swap(state.items);
}

}  // namespace detail

struct DispatchQueue::SerialState {
  std::mutex mutex;
  std::deque<std::function<void()>> items;
  bool draining = false;
};

DispatchQueue::DispatchQueue(Kind kind, std::string label)
    : serial_(kind == Kind::Serial ? std::make_unique<SerialState>() : nullptr),
      kind_(kind),
      label_(std::move(label)) {}

DispatchQueue::~DispatchQueue() = default;

std::shared_ptr<DispatchQueue> DispatchQueue::main() {
  static auto* queue = new std::shared_ptr<DispatchQueue>(
      std::make_shared<DispatchQueue>(Kind::Main, "com.apple.main-thread"));
  return *queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::global() {
  static auto* queue = new std::shared_ptr<DispatchQueue>(
      std::make_shared<DispatchQueue>(Kind::Global, "com.apple.root.default-qos"));
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
  if (executorKind() == ExecutorKind::Deterministic) {
    {
      auto& state = deterministic();
      std::lock_guard lock(state.mutex);
      state.items.push_back({self, std::move(block)});
    }
    RunLoop::main().wakeUp();
    return;
  }
  if (isConcurrent()) {
    ThreadPool::shared().submit([self, block = std::move(block)] { runAs(self.get(), block); });
    return;
  }
  bool startDrain = false;
  {
    std::lock_guard lock(serial_->mutex);
    serial_->items.push_back(std::move(block));
    startDrain = !std::exchange(serial_->draining, true);
  }
  if (startDrain) {
    ThreadPool::shared().submit([self] {
      for (;;) {
        std::function<void()> next;
        {
          std::lock_guard lock(self->serial_->mutex);
          if (self->serial_->items.empty()) {
            self->serial_->draining = false;
            return;
          }
          next = std::move(self->serial_->items.front());
          self->serial_->items.pop_front();
        }
        runAs(self.get(), next);
      }
    });
  }
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
  if (kind_ == Kind::Main) {
    if (isMainThread() || (executorKind() == ExecutorKind::Deterministic && detail::onBoundThread())) {
      // On the test's thread under the deterministic executor, "waiting for the main
      // thread" means running the main queue's earlier blocks first.
      if (!isMainThread()) RunLoop::main().runPerformsQueuedBefore(kDefaultRunLoopMode);
      runAs(this, block);
      return;
    }
    asyncAndWait(block);
    return;
  }
  if (executorKind() == ExecutorKind::Deterministic && !detail::onBoundThread()) {
    // Another real thread (an I/O thread) waits for the test's thread to run the block.
    asyncAndWait(block);
    return;
  }
  if (executorKind() == ExecutorKind::Deterministic) {
    // Run this queue's earlier blocks in order, then the block, on the caller's thread.
    std::vector<std::function<void()>> earlier;
    {
      auto& state = deterministic();
      std::lock_guard lock(state.mutex);
      for (auto it = state.items.begin(); it != state.items.end();) {
        if (it->queue.get() == this && kind_ == Kind::Serial) {
          earlier.push_back(std::move(it->block));
          it = state.items.erase(it);
        } else {
          ++it;
        }
      }
    }
    // The earlier blocks answer as blocks of a background queue; the caller's own block
    // keeps the caller's main-thread answer.
    for (auto& b : earlier) runAs(this, b);
    QueueScope scope(this, std::nullopt);
    block();
    return;
  }
  if (isConcurrent()) {
    QueueScope scope(this, std::nullopt);
    block();
    return;
  }
  {
    // Fast path: an idle serial queue is taken over by the caller.
    std::unique_lock lock(serial_->mutex);
    if (!serial_->draining && serial_->items.empty()) {
      serial_->draining = true;
      lock.unlock();
      {
        QueueScope scope(this, std::nullopt);
        block();
      }
      bool restart = false;
      {
        std::lock_guard relock(serial_->mutex);
        serial_->draining = false;
        restart = !serial_->items.empty();
      }
      if (restart) {
        // Blocks queued meanwhile: hand them to a worker by re-queueing a no-op.
        async([] {});
      }
      return;
    }
  }
  // Busy: queue a barrier that holds the queue while the caller runs the block. The
  // barrier's state is shared, since the worker wakes after the caller has returned.
  struct Barrier {
    std::mutex mutex;
    std::condition_variable cv;
    bool started = false;
    bool finished = false;
  };
  auto barrier = std::make_shared<Barrier>();
  async([barrier] {
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
    QueueScope scope(this, std::nullopt);
    block();
  }
  std::lock_guard lock(barrier->mutex);
  barrier->finished = true;
  barrier->cv.notify_all();
}

void DispatchQueue::after(TimeInterval delay, std::function<void()> block) {
  if (!block) return;
  auto self = shared_from_this();
  auto timer = Timer::create(delay, false, [self, block = std::move(block)](Timer&) {
    if (self->kind_ == Kind::Main) {
      runAs(self.get(), block);
    } else {
      self->async(block);
    }
  });
  RunLoop::main().addTimer(timer, kCommonRunLoopModes);
}

}  // namespace platform
