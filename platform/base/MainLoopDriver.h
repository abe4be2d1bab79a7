// Drives the main run loop in steps, for code that sets its pace instead of handing the
// main thread to applicationMain()'s endless run: the test environment and the demo.
// On a VirtualClock the main loop never waits, so advance() runs an hour of timers at
// once; real I/O (the network transport, content processes, a local server) still happens
// on other threads, and runUntil() waits for the work they post, within a real-time limit.
//
//   platform::MainLoopDriver::advance(60s);  // fires everything due in the next 60 s, in order
//   platform::MainLoopDriver::runUntilIdle();
//   platform::MainLoopDriver::runUntil([&] { return answered; }, std::chrono::seconds(5));
//
// Main thread only: the thread bindMainThread() named.
#pragma once

#include <chrono>
#include <functional>

#include "platform/base/Clock.h"

namespace platform {

class MainLoopDriver {
 public:
  // The bound of a wait for real work (bytes over loopback, a decoding thread, a content
  // process): far above what any load on the machine makes such work take. A wait ends
  // as soon as its condition holds, so only a wait that fails lasts this long.
  static constexpr std::chrono::milliseconds kDefaultRealLimit{60'000};

  // Runs the main loop in the default mode until `seconds` of clock time have passed,
  // firing every timer and delayed block that falls due, in order, then runUntilIdle().
  // A negative interval counts as none.
  static void advance(TimeInterval seconds);
  // The same for a std::chrono duration, which new code prefers: advance(1500ms).
  template <class Rep, class Period>
  static void advance(std::chrono::duration<Rep, Period> duration) {
    advance(std::chrono::duration<TimeInterval>(duration).count());
  }
  // Runs everything that is ready now (main queue, other queues under the deterministic
  // executor, due timers, replies owed by content processes), repeatedly, until nothing
  // is left, without moving the clock.
  static void runUntilIdle();
  // Runs ready work and waits for work posted from other threads until `done()` holds or
  // `realLimit` of real time has passed, without moving the clock. Returns done().
  [[nodiscard]] static bool runUntil(const std::function<bool()>& done,
                                     std::chrono::milliseconds realLimit = kDefaultRealLimit);

  MainLoopDriver() = delete;
};

}  // namespace platform
