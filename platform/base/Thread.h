// A named thread with a run loop of its own, after the platform's thread object. Its entry
// runs on the thread; a render thread's entry sets up, then runs the thread's run loop
// until someone stops it. Other threads perform blocks on the thread, with or without
// waiting for them, and stop its loop.
//
//   auto thread = platform::Thread::create("example.render", [] { platform::Thread::runCurrentRunLoop(); });
//   thread->start();
//   thread->perform([] { draw(); }, platform::Thread::Wait::UntilDone);
//   thread->stopRunLoop();
//   thread->join();
//
// Waits are real waits (condition variables), never sleeps, and end when the block has
// run or can no longer run (the thread ended with it queued): a caller never waits for a
// thread that is gone. They do not deadlock as long as the thread, while the caller
// waits, does not itself wait for the caller's thread.
//
// The end of the program (the application's main, the test environment's teardown) stops
// and joins every thread still running, so none runs on while the process exits.
//
// Any thread. A started thread holds its Thread object until its entry returns.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {

class RunLoop;

class Thread : public std::enable_shared_from_this<Thread> {
 public:
  using Entry = std::function<void()>;
  enum class Wait { No, UntilDone };
  enum class State { NotStarted, Executing, Finished };

  static std::shared_ptr<Thread> create(std::string name, Entry entry);
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  const std::string& name() const { return name_; }
  State state() const;

  // Starts the thread; later calls do nothing.
  void start();

  // Runs `block` on the thread's run loop the next time it runs in one of `modes` (the
  // common modes by default); blocks performed before start() wait for the loop. With
  // Wait::UntilDone the caller waits until the block has run; called on the thread itself,
  // the block then runs at once. Returns false when the block did not run and never will
  // (with Wait::No: when the thread has already finished).
  bool perform(std::function<void()> block, Wait wait = Wait::No);
  bool perform(std::vector<std::string> modes, std::function<void()> block, Wait wait);
  // As perform(..., Wait::UntilDone), but waits at most `realLimit` of real time; false
  // when the block had not run by then (it may still run later).
  bool performWaitingAtMost(std::vector<std::string> modes, std::function<void()> block,
                            std::chrono::milliseconds realLimit);
  // Makes the innermost run of the thread's loop return (a stop asked for before the loop
  // runs ends its first run). Does not wait.
  void stopRunLoop();
  // Wakes the thread's loop from a wait, as work posted to it would.
  void wakeUp();
  // Waits until the thread has ended. Does nothing on the thread itself or before start().
  void join();

  // The end of the program: stops the loop of every started thread whose entry has not
  // returned and waits until each has ended (called on one of them, not for itself). A
  // thread's entry must end once its loop stops, and must not wait for the caller's
  // thread meanwhile.
  static void stopAndJoinAll();

  // The Thread whose entry runs on the calling thread; nullptr on other threads.
  static std::shared_ptr<Thread> current();
  // The live Thread whose run loop `loop` is; nullptr for any other loop.
  static std::shared_ptr<Thread> owning(const RunLoop& loop);
  // Runs the calling thread's run loop in the default mode until it is stopped.
  static void runCurrentRunLoop();

 private:
  struct Queued {
    std::vector<std::string> modes;
    std::function<void()> block;
  };

  Thread(std::string name, Entry entry) : name_(std::move(name)), entry_(std::move(entry)) {}
  static void main(std::shared_ptr<Thread> self);
  void publishLoop(RunLoop* loop);
  bool post(std::vector<std::string> modes, std::function<void()> block);
  bool performAndWait(std::vector<std::string> modes, std::function<void()> block,
                      std::chrono::steady_clock::time_point until);

  const std::string name_;
  Entry entry_;
  mutable std::mutex mutex_;
  State state_ = State::NotStarted;
  RunLoop* loop_ = nullptr;     // while the entry runs
  std::vector<Queued> queued_;  // performed before the loop existed
  bool stopPending_ = false;
  std::mutex joinMutex_;
  std::thread thread_;
};

}  // namespace platform
