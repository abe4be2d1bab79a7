// What runs the blocks of non-main dispatch queues. The threaded executor is the
// production one; tests use the deterministic executor, which runs every queue's
// blocks on the thread of the main run loop in submission order (see DispatchQueue.h).
// Chosen once, at start-up or in test set-up, before any block is submitted.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace platform {

class DispatchQueue;

enum class ExecutorKind { Threaded, Deterministic };

void setExecutorKind(ExecutorKind kind);
ExecutorKind executorKind();

// The interface both executors implement (ThreadedExecutor, DeterministicExecutor in
// DispatchQueue.cpp); DispatchQueue asks the chosen one and never branches on the kind.
class Executor {
 public:
  virtual ~Executor() = default;
  // Submits a block of `queue`, which is not the main queue.
  virtual void async(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block) = 0;
  // Runs `block` after the earlier blocks of `queue` (not the main queue, not the
  // current one), on the caller's thread.
  virtual void sync(DispatchQueue& queue, const std::function<void()>& block) = 0;
  // Whether a caller off the main thread may run main-queue work itself instead of
  // waiting for the main thread.
  virtual bool runsMainQueueOnCaller() const = 0;
};

// The executor setExecutorKind() chose.
Executor& executor();

namespace detail {
// Runs the deterministic executor's queued blocks (up to those queued when called).
// The main run loop calls it on each pass. Returns whether anything ran.
bool runDeterministicBlocks();
// Forgets every queued block (test set-up).
void resetExecutorForTesting();
}  // namespace detail

}  // namespace platform

namespace platform::detail {
// Sets whether the calling thread counts as the main thread; returns the previous value.
// The executors use it around the blocks they run.
bool setOnMainThread(bool onMain);
// Whether the calling thread is the real thread bindMainThread() was called on (the
// deterministic executor runs every queue there; other real threads must wait for it).
bool onBoundThread();
}  // namespace platform::detail
