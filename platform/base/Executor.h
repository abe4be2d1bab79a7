// What runs the blocks of non-main dispatch queues. The threaded executor is the
// production one; tests use the deterministic executor, which runs every queue's
// blocks on the thread of the main run loop in submission order (see DispatchQueue.h).
// Chosen once, at start-up or in test set-up, before any block is submitted.
#pragma once

#include <cstddef>

namespace platform {

enum class ExecutorKind { Threaded, Deterministic };

void setExecutorKind(ExecutorKind kind);
ExecutorKind executorKind();

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
