#include "platform/base/MainLoopDriver.h"

#include <algorithm>

#include "platform/base/RunLoop.h"

namespace platform {

namespace {

// The longest single wait: done() may turn true on another thread with nothing posted to
// the loop (a local server counting its requests), so it is asked again at least this often.
constexpr std::chrono::milliseconds kLongestWait{50};

}  // namespace

void MainLoopDriver::advance(TimeInterval seconds) {
  const TimeInterval deadline = clock().monotonicNow() + std::max(0.0, seconds);
  RunLoop::main().runMode(kDefaultRunLoopMode, deadline);
  runUntilIdle();
}

void MainLoopDriver::runUntilIdle() {
  auto& loop = RunLoop::main();
  // Idle means no reply owed either: a page still answering finishes first.
  while (loop.runPending(kDefaultRunLoopMode) || loop.serveOwedReply()) {
  }
}

bool MainLoopDriver::runUntil(const std::function<bool()>& done, std::chrono::milliseconds realLimit) {
  const auto end = std::chrono::steady_clock::now() + realLimit;
  auto& loop = RunLoop::main();
  for (;;) {
    runUntilIdle();
    if (done()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left <= std::chrono::milliseconds::zero()) return done();
    loop.waitForWork(std::min(left, kLongestWait));
  }
}

}  // namespace platform
