// Operation queues after the platform's: operations run in the order they were added,
// at most maxConcurrentOperationCount at a time (1 makes the queue serial). A suspended
// queue starts nothing new until resumed; suspension is a flag, not a counter.
// The main operation queue runs its operations on the main run loop, first in, first
// out with the main dispatch queue. Thread-safe.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class DispatchQueue;

class Operation {
 public:
  explicit Operation(std::function<void()> block);

  // A cancelled operation that has not started never runs; one that runs can read it.
  void cancel() { cancelled_ = true; }
  bool isCancelled() const { return cancelled_; }
  bool isExecuting() const { return executing_; }
  bool isFinished() const { return finished_; }

 private:
  friend class OperationQueue;
  std::function<void()> block_;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> executing_{false};
  std::atomic<bool> finished_{false};
};

class OperationQueue : public std::enable_shared_from_this<OperationQueue> {
 public:
  static constexpr int kDefaultMaxConcurrentOperationCount = -1;

  static std::shared_ptr<OperationQueue> main();
  static std::shared_ptr<OperationQueue> create(std::string name = {});
  // The queue whose operation is running on this thread, or nullptr.
  static OperationQueue* current();

  std::shared_ptr<Operation> addOperation(std::function<void()> block);
  void addOperation(const std::shared_ptr<Operation>& operation);

  void setMaxConcurrentOperationCount(int count);
  int maxConcurrentOperationCount() const;
  void setSuspended(bool suspended);
  bool isSuspended() const;
  // Cancels every operation not finished yet; those not started are removed.
  void cancelAllOperations();
  // Operations added and not finished (waiting or running).
  std::size_t operationCount() const;
  const std::string& name() const { return name_; }

  OperationQueue(std::string name, bool isMain);

 private:
  void pump();
  void finished(const std::shared_ptr<Operation>& operation);
  bool holdIfSuspended(const std::shared_ptr<Operation>& operation);

  const std::string name_;
  const bool isMain_;
  mutable std::mutex mutex_;
  std::deque<std::shared_ptr<Operation>> waiting_;
  // How many operations at the front of waiting_ were handed over and then held by a
  // suspension; they were added before every other waiting operation.
  std::size_t held_ = 0;
  std::size_t running_ = 0;  // handed to a dispatch queue, not finished
  std::vector<std::weak_ptr<Operation>> started_;
  static constexpr std::size_t kMinimumStartedPruningSize = 16;
  std::size_t startedPruningSize_ = kMinimumStartedPruningSize;
  int maxConcurrent_ = kDefaultMaxConcurrentOperationCount;
  bool suspended_ = false;
  std::shared_ptr<DispatchQueue> serialQueue_;
};

}  // namespace platform
