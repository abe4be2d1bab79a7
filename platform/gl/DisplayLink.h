// A timer synchronised to the screen's refresh, after the platform's display link: while
// it is added to a run loop and not paused, its callback runs on that loop's thread at
// every vsync, 60 a second, at times that are whole multiples of 1/60 s of the monotonic
// clock; timestamp() is the vsync being handled and duration() the time between two.
// A link starts paused.
//
// Under the virtual clock (tests) the ticks of a link on another thread's loop are driven
// by the main run loop: at each vsync time that advance() passes, the tick is performed on
// the link's thread and the main thread waits until it has been handled (a real wait,
// given up with a log line after kTickWaitLimit), so what a test sees after advance()
// depends only on virtual time. A tick must therefore never wait for the main thread.
//
// It runs on the main run loop or on the loop of a platform Thread (Thread.h). Any thread;
// the callback runs on the loop's thread and may pause or invalidate the link.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Clock.h"

namespace platform {

class RunLoop;
class Thread;
class Timer;

class DisplayLink : public std::enable_shared_from_this<DisplayLink> {
 public:
  using Callback = std::function<void(DisplayLink&)>;
  static constexpr int kFramesPerSecond = 60;
  static constexpr std::chrono::milliseconds kTickWaitLimit{10'000};

  static std::shared_ptr<DisplayLink> create(Callback callback);
  ~DisplayLink();
  DisplayLink(const DisplayLink&) = delete;
  DisplayLink& operator=(const DisplayLink&) = delete;

  // Adds the link to `loop` in `mode` (more modes by more calls). The main loop, or a
  // loop of a running platform Thread; any other loop is refused with a log line (false).
  // A link belongs to one loop: adding it to a second one is refused.
  [[nodiscard]] bool addToRunLoop(RunLoop& loop, std::string_view mode);
  // Takes the link out of the loop and stops it for good; the callback is dropped. Safe
  // inside the callback.
  void invalidate();
  bool isValid() const { return valid_.load(); }

  bool isPaused() const { return paused_.load(); }
  void setPaused(bool paused);

  // The vsync of the tick being handled (monotonic seconds); 0 before the first tick.
  TimeInterval timestamp() const { return timestamp_.load(); }
  // The time between two vsyncs.
  TimeInterval duration() const { return 1.0 / kFramesPerSecond; }
  // The vsync after timestamp(): when the frame being drawn reaches the screen.
  TimeInterval targetTimestamp() const { return timestamp() + duration(); }

 private:
  explicit DisplayLink(Callback callback) : callback_(std::move(callback)) {}
  // The vsync index after `now`.
  static std::int64_t nextVsync(TimeInterval now);
  void schedule();
  void onTimer(Timer& timer);
  void tick(std::int64_t vsync);
  void driveRemoteTick(std::int64_t vsync);

  mutable std::mutex mutex_;
  Callback callback_;
  std::shared_ptr<Timer> timer_;
  // The loop the ticks run on: the main loop (thread_ empty) or a Thread's.
  RunLoop* loop_ = nullptr;
  std::weak_ptr<Thread> thread_;
  std::vector<std::string> modes_;
  // The timer stands on the main loop and performs the ticks on the thread (virtual time).
  bool remote_ = false;
  std::int64_t nextVsync_ = 0;
  std::atomic<bool> valid_{true};
  std::atomic<bool> paused_{true};
  std::atomic<TimeInterval> timestamp_{0};
};

}  // namespace platform
