#include "platform/base/OperationQueue.h"

#include <algorithm>

#include "platform/base/DispatchQueue.h"

namespace platform {

namespace {
thread_local OperationQueue* tlsCurrentOperationQueue = nullptr;
}  // namespace

Operation::Operation(std::function<void()> block) : block_(std::move(block)) {}

OperationQueue::OperationQueue(std::string name, bool isMain) : name_(std::move(name)), isMain_(isMain) {
  if (isMain_) maxConcurrent_ = 1;
}

std::shared_ptr<OperationQueue> OperationQueue::main() {
  static auto* queue =
      new std::shared_ptr<OperationQueue>(std::make_shared<OperationQueue>("NSOperationQueue Main Queue", true));
  return *queue;
}

std::shared_ptr<OperationQueue> OperationQueue::create(std::string name) {
  return std::make_shared<OperationQueue>(std::move(name), false);
}

OperationQueue* OperationQueue::current() { return tlsCurrentOperationQueue; }

std::shared_ptr<Operation> OperationQueue::addOperation(std::function<void()> block) {
  auto operation = std::make_shared<Operation>(std::move(block));
  addOperation(operation);
  return operation;
}

void OperationQueue::addOperation(const std::shared_ptr<Operation>& operation) {
  if (!operation) return;
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(operation);
  }
  pump();
}

void OperationQueue::pump() {
  std::vector<std::shared_ptr<Operation>> toStart;
  std::shared_ptr<DispatchQueue> target;
  {
    std::lock_guard lock(mutex_);
    if (suspended_) return;
    // Serial queues hand every operation to their serial dispatch queue at once, which
    // keeps the main operation queue first in, first out with the main dispatch queue.
    while (!waiting_.empty()) {
      if (!isMain_ && maxConcurrent_ > 1 && running_ >= static_cast<std::size_t>(maxConcurrent_)) break;
      toStart.push_back(std::move(waiting_.front()));
      waiting_.pop_front();
      if (held_ > 0) --held_;
      ++running_;
      started_.push_back(toStart.back());
    }
    if (toStart.empty()) return;
    if (isMain_) {
      target = DispatchQueue::main();
    } else if (maxConcurrent_ == 1) {
      if (!serialQueue_) serialQueue_ = DispatchQueue::serial(name_);
      target = serialQueue_;
    } else {
      target = DispatchQueue::global();
    }
  }
  auto self = shared_from_this();
  for (auto& operation : toStart) {
    target->async([self, operation] {
      if (self->holdIfSuspended(operation)) return;
      OperationQueue* previous = std::exchange(tlsCurrentOperationQueue, self.get());
      if (!operation->isCancelled() && operation->block_) {
        operation->executing_ = true;
        operation->block_();
        operation->executing_ = false;
      }
      tlsCurrentOperationQueue = previous;
      self->finished(operation);
    });
  }
}

bool OperationQueue::holdIfSuspended(const std::shared_ptr<Operation>& operation) {
  std::lock_guard lock(mutex_);
  if (!suspended_ || operation->isCancelled()) return false;
  // Handed over before the queue was suspended but not started: wait for the resume.
  // Held ones come back in the order they were handed over, ahead of those added since.
  --running_;
  waiting_.insert(waiting_.begin() + static_cast<std::ptrdiff_t>(held_), operation);
  ++held_;
  return true;
}

void OperationQueue::finished(const std::shared_ptr<Operation>& operation) {
  operation->block_ = nullptr;  // drop what the block captured
  operation->finished_ = true;
  {
    std::lock_guard lock(mutex_);
    --running_;
    // Pruned once it has doubled since the last pruning: a queue handed thousands of
    // operations at once spends constant time per operation on it, not time per started one.
    if (started_.size() >= startedPruningSize_) {
      std::erase_if(started_, [](const std::weak_ptr<Operation>& weak) {
        auto operation = weak.lock();
        return !operation || operation->isFinished();
      });
      startedPruningSize_ = std::max<std::size_t>(kMinimumStartedPruningSize, 2 * started_.size());
    }
  }
  pump();
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
  {
    std::lock_guard lock(mutex_);
    if (isMain_) return;
    maxConcurrent_ = count;
  }
  pump();
}

int OperationQueue::maxConcurrentOperationCount() const {
  std::lock_guard lock(mutex_);
  return maxConcurrent_;
}

void OperationQueue::setSuspended(bool suspended) {
  {
    std::lock_guard lock(mutex_);
    suspended_ = suspended;
  }
  if (!suspended) pump();
}

bool OperationQueue::isSuspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

void OperationQueue::cancelAllOperations() {
  std::deque<std::shared_ptr<Operation>> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(waiting_);
    held_ = 0;
    for (auto& weak : started_) {
      if (auto operation = weak.lock()) operation->cancel();
    }
  }
  for (auto& operation : dropped) {
    operation->cancel();
    operation->block_ = nullptr;
    operation->finished_ = true;
  }
}

std::size_t OperationQueue::operationCount() const {
  std::lock_guard lock(mutex_);
  return waiting_.size() + running_;
}

}  // namespace platform
