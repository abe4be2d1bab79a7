#include "platform/base/Thread.h"

#include <algorithm>
#include <pthread.h>
#include <utility>

#include "platform/base/RunLoop.h"

namespace platform {

namespace {

thread_local std::weak_ptr<Thread> tlsThread;

// Threads started whose entry has not returned: to find a loop's thread, and to end them
// all. Locked after a Thread's join mutex and before its mutex.
std::mutex& registryMutex() {
  static auto* mutex = new std::mutex;  // never destroyed: threads may end during exit
  return *mutex;
}
std::vector<Thread*>& registry() {
  static auto* threads = new std::vector<Thread*>;
  return *threads;
}

const std::vector<std::string>& commonModes() {
  static const std::vector<std::string> modes{std::string(kCommonRunLoopModes)};
  return modes;
}

// One waited-for block: whether it ran, or was dropped unrun.
struct Completion {
  enum class Outcome { Pending, Ran, Dropped };
  std::mutex mutex;
  std::condition_variable changed;
  Outcome outcome = Outcome::Pending;

  void finish(Outcome result) {
    {
      std::lock_guard lock(mutex);
      if (outcome != Outcome::Pending) return;
      outcome = result;
    }
    changed.notify_all();
  }
  bool wait(std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(mutex);
    changed.wait_until(lock, until, [&] { return outcome != Outcome::Pending; });
    return outcome == Outcome::Ran;
  }
};

// Lives as long as the last copy of the block: a block destroyed unrun (its loop ended
// or was reset) releases its waiter.
struct DropGuard {
  explicit DropGuard(std::shared_ptr<Completion> c) : completion(std::move(c)) {}
  ~DropGuard() { completion->finish(Completion::Outcome::Dropped); }
  DropGuard(const DropGuard&) = delete;
  DropGuard& operator=(const DropGuard&) = delete;
  const std::shared_ptr<Completion> completion;
};

}  // namespace

std::shared_ptr<Thread> Thread::create(std::string name, Entry entry) {
  return std::shared_ptr<Thread>(new Thread(std::move(name), std::move(entry)));
}

Thread::~Thread() {
  std::lock_guard lock(joinMutex_);
  if (!thread_.joinable()) return;
  // The last owner may be the thread itself, as its entry returns.
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

Thread::State Thread::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void Thread::start() {
  // Held until the thread exists, so that stopAndJoinAll(), finding this one listed,
  // waits for it.
  std::lock_guard joinLock(joinMutex_);
  {
    std::lock_guard registryLock(registryMutex());
    std::lock_guard lock(mutex_);
    if (state_ != State::NotStarted) return;
    state_ = State::Executing;
    registry().push_back(this);
  }
  thread_ = std::thread(&Thread::main, shared_from_this());
}

void Thread::main(std::shared_ptr<Thread> self) {
  // The kernel keeps 15 bytes of a thread's name.
  pthread_setname_np(pthread_self(), self->name_.substr(0, 15).c_str());
  tlsThread = self;
  self->publishLoop(&RunLoop::current());
  Entry entry = std::exchange(self->entry_, nullptr);
  if (entry) entry();
  entry = nullptr;
  self->publishLoop(nullptr);
  // Blocks still queued die with this thread's run loop, after this returns, which
  // releases their waiters.
}

void Thread::publishLoop(RunLoop* loop) {
  std::lock_guard registryLock(registryMutex());
  std::lock_guard lock(mutex_);
  loop_ = loop;
  auto& threads = registry();
  if (!loop) {
    threads.erase(std::remove(threads.begin(), threads.end(), this), threads.end());
    state_ = State::Finished;
    return;
  }
  for (auto& item : queued_) loop->perform(std::move(item.modes), std::move(item.block));
  queued_.clear();
  if (std::exchange(stopPending_, false)) loop->stop();
}

bool Thread::post(std::vector<std::string> modes, std::function<void()> block) {
  std::lock_guard lock(mutex_);
  if (state_ == State::Finished) return false;
  if (loop_) {
    loop_->perform(std::move(modes), std::move(block));
  } else {
    queued_.push_back({std::move(modes), std::move(block)});
  }
  return true;
}

bool Thread::perform(std::function<void()> block, Wait wait) { return perform(commonModes(), std::move(block), wait); }

bool Thread::perform(std::vector<std::string> modes, std::function<void()> block, Wait wait) {
  if (!block) return false;
  if (wait == Wait::No) return post(std::move(modes), std::move(block));
  return performAndWait(std::move(modes), std::move(block), std::chrono::steady_clock::time_point::max());
}

bool Thread::performWaitingAtMost(std::vector<std::string> modes, std::function<void()> block,
                                  std::chrono::milliseconds realLimit) {
  if (!block) return false;
  return performAndWait(std::move(modes), std::move(block), std::chrono::steady_clock::now() + realLimit);
}

bool Thread::performAndWait(std::vector<std::string> modes, std::function<void()> block,
                            std::chrono::steady_clock::time_point until) {
  if (current().get() == this) {
    block();
    return true;
  }
  auto completion = std::make_shared<Completion>();
  auto guard = std::make_shared<DropGuard>(completion);
  const bool posted = post(std::move(modes), [guard, block = std::move(block)] {
    block();
    guard->completion->finish(Completion::Outcome::Ran);
  });
  guard.reset();
  return posted && completion->wait(until);
}

void Thread::stopRunLoop() {
  std::lock_guard lock(mutex_);
  if (loop_) {
    loop_->stop();
  } else if (state_ != State::Finished) {
    stopPending_ = true;
  }
}

void Thread::wakeUp() {
  std::lock_guard lock(mutex_);
  if (loop_) loop_->wakeUp();
}

void Thread::join() {
  std::lock_guard lock(joinMutex_);
  if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return;
  thread_.join();
}

void Thread::stopAndJoinAll() {
  std::vector<std::shared_ptr<Thread>> running;
  {
    std::lock_guard registryLock(registryMutex());
    // A listed thread holds its object until it leaves the list.
    for (Thread* thread : registry()) running.push_back(thread->shared_from_this());
  }
  for (const auto& thread : running) thread->stopRunLoop();
  for (const auto& thread : running) thread->join();
}

std::shared_ptr<Thread> Thread::current() { return tlsThread.lock(); }

std::shared_ptr<Thread> Thread::owning(const RunLoop& loop) {
  std::lock_guard registryLock(registryMutex());
  for (Thread* thread : registry()) {
    std::lock_guard lock(thread->mutex_);
    if (thread->loop_ == &loop) return thread->weak_from_this().lock();
  }
  return nullptr;
}

void Thread::runCurrentRunLoop() { RunLoop::current().run(); }

}  // namespace platform
