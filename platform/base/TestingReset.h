// Process-wide state that every test needs fresh: singletons, once-only flags and
// registered hooks. Each owner registers, once, how to drop its state; the test
// environment runs every registered reset before and after each test, so a test binary
// passes whole and in any order, and no hook outlives the test whose locals it captured.
// Production never runs the resets: registering costs one append per owner, once.
//
//   std::shared_ptr<Thing> Thing::sharedInstance() {
//     static auto* shared = new platform::ResettableShared<Thing>([] { return std::make_shared<Thing>(); });
//     return shared->get();
//   }
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

// Registers `reset` under `key`; a later registration under the same key is ignored.
void registerTestingReset(const void* key, std::function<void()> reset);
// Test environment only: runs every registered reset, the latest registered first.
void runTestingResets();

// Puts a process-wide atomic back to `initial` between tests. Returns true, so that a
// namespace-scope constant next to the value can register it:
//   [[maybe_unused]] const bool kUsedResets = platform::resetBetweenTests(gUsed, false);
template <class T>
bool resetBetweenTests(std::atomic<T>& value, T initial) {
  registerTestingReset(&value, [&value, initial] { value.store(initial); });
  return true;
}

// A process-wide shared object made on first use, which the test environment drops.
// Keep it in a never-destroyed static.
// `Keep` is for objects whose queued blocks hold a bare `this`: a reset retires the old
// instance to a list that lives as long as the process instead of destroying it.
enum class OnTestingReset { Destroy, Keep };

template <class T>
class ResettableShared {
 public:
  using Make = std::function<std::shared_ptr<T>()>;
  explicit ResettableShared(Make make, OnTestingReset onReset = OnTestingReset::Destroy)
      : make_(std::move(make)), onReset_(onReset) {
    registerTestingReset(this, [this] { reset(); });
  }
  ResettableShared(const ResettableShared&) = delete;
  ResettableShared& operator=(const ResettableShared&) = delete;

  std::shared_ptr<T> get() {
    std::lock_guard lock(mutex_);  // held while making, like a once-only flag
    if (!instance_) instance_ = make_();
    return instance_;
  }

 private:
  void reset() {
    std::shared_ptr<T> old;
    {
      std::lock_guard lock(mutex_);
      old.swap(instance_);
      if (old && onReset_ == OnTestingReset::Keep) retired_.push_back(std::move(old));
    }  // destroyed outside the lock: its destructor may reach other singletons
  }

  Make make_;
  const OnTestingReset onReset_;
  std::vector<std::shared_ptr<T>> retired_;
  std::mutex mutex_;
  std::shared_ptr<T> instance_;
};

// A once-only flag that the test environment clears. Keep it in a never-destroyed static.
class ResettableOnceFlag {
 public:
  ResettableOnceFlag() {
    registerTestingReset(this, [this] {
      std::lock_guard lock(mutex_);
      done_.store(false, std::memory_order_release);
    });
  }
  ResettableOnceFlag(const ResettableOnceFlag&) = delete;
  ResettableOnceFlag& operator=(const ResettableOnceFlag&) = delete;

  // Runs `f` the first time only; concurrent callers wait until it has run.
  template <class F>
  void call(F&& f) {
    if (done_.load(std::memory_order_acquire)) return;
    std::lock_guard lock(mutex_);
    if (done_.load(std::memory_order_relaxed)) return;
    std::forward<F>(f)();
    done_.store(true, std::memory_order_release);
  }

 private:
  std::mutex mutex_;
  std::atomic<bool> done_{false};
};

}  // namespace platform
