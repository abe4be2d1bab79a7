// Dispatch queues after the platform's: the main queue (its blocks run on the main run
// loop, in the common modes), one global concurrent queue, and serial and concurrent
// queues with a label. Blocks submitted to one serial queue run one at a time, in order.
//
// Two executors stand behind this interface (see Executor.h): threads, and a
// deterministic executor for tests that runs every queue's blocks on the test's thread
// in submission order, driven by the main run loop.
//
// All operations may be called from any thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/base/Clock.h"

namespace platform {

class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
 public:
  enum class Kind { Main, Global, Serial, Concurrent };

  static std::shared_ptr<DispatchQueue> main();
  static std::shared_ptr<DispatchQueue> global();
  // A new serial queue, labelled with the SDK's own label ("com.vantor.morvane.logging").
  static std::shared_ptr<DispatchQueue> serial(std::string label);
  // A new concurrent queue with a label: its blocks may run at the same time, as the
  // global queue's do.
  static std::shared_ptr<DispatchQueue> concurrent(std::string label);
  // The queue whose block is running on this thread, or nullptr.
  static DispatchQueue* current();

  // Submits a block and returns at once.
  void async(std::function<void()> block);
  // Runs the block on the calling thread after the queue's earlier blocks, and returns
  // when it has run (a synchronous dispatch onto the main queue from another thread
  // runs on the main thread). A synchronous dispatch onto the queue that is already
  // running the caller runs the block at once instead of deadlocking.
  void sync(const std::function<void()>& block);
  // sync() returning the block's value.
  template <class F>
  auto syncResult(F&& f) -> std::invoke_result_t<F> {
    using R = std::invoke_result_t<F>;
    if constexpr (std::is_void_v<R>) {
      sync(std::forward<F>(f));
    } else {
      std::optional<R> result;
      sync([&] { result.emplace(f()); });
      return std::move(*result);
    }
  }
  // Submits a block after a delay on the monotonic clock (a timer of the main run loop
  // in the common modes, so virtual time drives it in tests).
  void after(TimeInterval delay, std::function<void()> block);

  const std::string& label() const { return label_; }
  Kind kind() const { return kind_; }
  bool isCurrent() const { return current() == this; }
  bool isConcurrent() const { return kind_ == Kind::Global || kind_ == Kind::Concurrent; }

  DispatchQueue(Kind kind, std::string label);
  ~DispatchQueue();

 private:
  friend class ThreadedExecutor;
  friend class DeterministicExecutor;

  // Submits the block and blocks the calling thread until it has run.
  void asyncAndWait(const std::function<void()>& block);

  // Serial queues under the threaded executor.
  struct SerialState;
  std::unique_ptr<SerialState> serial_;

  const Kind kind_;
  const std::string label_;
};

// std::call_once under the platform's name, for singletons made once.
using OnceFlag = std::once_flag;
template <class F>
void dispatchOnce(OnceFlag& flag, F&& f) {
  std::call_once(flag, std::forward<F>(f));
}

}  // namespace platform
