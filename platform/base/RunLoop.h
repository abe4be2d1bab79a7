// A run loop per thread, after the platform's: timers and performed blocks, each in
// one or more modes, run only while the loop runs in one of their modes. The common
// modes are the default and the tracking mode (and any mode added to them); work
// scheduled "in the common modes" runs in each of them.
//
// The main run loop carries the main dispatch queue and the main operation queue
// (first in, first out, in the common modes). Under a VirtualClock the main run loop
// does not wait: when idle it moves the clock to its next timer, so a test can run an
// hour of timers at once.
//
// perform(), addTimer(), wakeUp() and stop() may be called from any thread; run*()
// only on the loop's own thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/base/Clock.h"

namespace platform {

class Timer;

// Another event loop whose events the main run loop serves while it runs: the GLib main
// context a real web engine delivers its events on. Main thread only, except wakeUp().
class RunLoopEventSource {
 public:
  virtual ~RunLoopEventSource() = default;
  // Each returns whether it dispatched anything (a run that returns after a source was
  // handled needs to know).
  // Dispatches the events that are ready, without waiting.
  virtual bool dispatchReady() = 0;
  // Waits up to `limit` of real time for one of its events or wakeUp(), dispatching
  // what came.
  virtual bool waitAndDispatch(std::chrono::nanoseconds limit) = 0;
  // Waits as waitAndDispatch() does, and until one of `descriptors` (another source's:
  // see readable()) can be read, so one wait serves both; what they hold is left to
  // their source. A source that cannot wait on descriptors waits a short slice instead.
  virtual bool waitAndDispatchWatching(std::chrono::nanoseconds limit, const std::vector<int>& descriptors);
  // Any thread: makes a waitAndDispatch() in progress return.
  virtual void wakeUp() = 0;
  // For a source whose events arrive on descriptors: what a wait in another source
  // watches for them, and how long that wait may last before this source must be
  // looked at (its earliest deadline; zero when it has events ready now). std::nullopt
  // when it cannot be waited for that way.
  struct Readable {
    std::vector<int> descriptors;
    std::chrono::nanoseconds within{0};
  };
  virtual std::optional<Readable> readable() const { return std::nullopt; }
  // Whether work of its own is in flight (a page loading or answering a script): a
  // driver of virtual time waits for it before moving the clock.
  virtual bool isBusy() const { return false; }
};

inline constexpr std::string_view kDefaultRunLoopMode = "kCFRunLoopDefaultMode";
inline constexpr std::string_view kTrackingRunLoopMode = "UITrackingRunLoopMode";
inline constexpr std::string_view kCommonRunLoopModes = "kCFRunLoopCommonModes";

class RunLoop {
 public:
  enum class RunResult { Finished, Stopped, TimedOut, HandledSource };

  // The main thread's loop. It exists from the first call; bindMainThread() says
  // which thread is the main thread.
  static RunLoop& main();
  // The loop of the calling thread (the main loop on the main thread).
  static RunLoop& current();

  // Schedules a block to run the next time the loop runs in one of the modes.
  void perform(std::function<void()> block);  // in the common modes
  void perform(std::vector<std::string> modes, std::function<void()> block);

  void addTimer(const std::shared_ptr<Timer>& timer, std::string_view mode);
  // Adds a mode to the set that the common modes stand for.
  void addCommonMode(std::string_view mode);

  // Runs the loop in `mode` until `deadline` (monotonic), until stop(), or, when
  // returnAfterSourceHandled, until one pass did some work: a timer, a block, or an
  // event or reply its sources dispatched. Nested runs are allowed.
  RunResult runMode(std::string_view mode, TimeInterval deadline, bool returnAfterSourceHandled = false);
  // Runs in the default mode until stopped (the application's main loop).
  void run();
  // Makes the innermost runMode() return.
  void stop();
  void wakeUp();

  // The mode of the innermost run, or empty when the loop is not running.
  std::string currentMode() const;

  // One pass in `mode` without waiting: due timers, then the blocks performed so far.
  // Returns whether anything ran.
  bool runPending(std::string_view mode);
  // The earliest fire date of a valid timer that runs in `mode`.
  std::optional<TimeInterval> nextFireDate(std::string_view mode) const;
  // Waits up to `limit` of real time for work posted from another thread. For tests
  // that wait on real I/O.
  bool waitForWork(std::chrono::milliseconds limit);

  // Runs every block performed before this call and still queued in `mode`, in order
  // (a synchronous dispatch to the main queue runs after earlier main-queue work).
  void runPerformsQueuedBefore(std::string_view mode);

  // The main loop only: each pass dispatches the source's ready events first, and real
  // waits (a loop on the real clock, waitForWork()) wait in the source, woken by work
  // posted here. Its events never count as the loop's own work, so virtual time and
  // idleness stay as they were. nullptr removes it.
  void setEventSource(std::shared_ptr<RunLoopEventSource> source);
  // Whether the event source has work in flight (see RunLoopEventSource::isBusy()).
  bool eventSourceBusy() const;

  // The main loop only: replies it is owed by processes of its own (content processes
  // answering pages), whose isBusy() says one is owed. On the real clock each pass
  // dispatches those that are ready and waits serve them too; with an event source as
  // well, one wait in the event source watches the replies' descriptors (readable()). Under a VirtualClock they
  // are served only when the loop has nothing else to do, the earliest request first
  // (waitAndDispatch() waits for one and dispatches it), and the clock does not move
  // while one is owed: the order of work never depends on how fast a process answers.
  void setReplySource(std::shared_ptr<RunLoopEventSource> source);
  // Serves the reply source once when a reply is owed (see above); false when none is.
  bool serveOwedReply();

  // Test set-up: forgets every timer and block.
  void resetForTesting();

  RunLoop();
  ~RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

 private:
  struct PerformItem {
    std::uint64_t sequence;
    std::vector<std::string> modes;
    std::function<void()> block;
  };
  struct TimerEntry {
    std::shared_ptr<Timer> timer;
    std::set<std::string, std::less<>> modes;
    std::uint64_t order;
  };

  bool matches(const std::vector<std::string>& itemModes, std::string_view mode) const;
  bool matches(const std::set<std::string, std::less<>>& itemModes, std::string_view mode) const;
  bool fireDueTimers(std::string_view mode);
  bool runPerforms(std::string_view mode, std::uint64_t upTo);
  // What ends a wait besides its deadline: work for the loop (a block, a timer, a wake),
  // or also any event or reply its sources dispatched.
  enum class WaitEnd { OnWork, OnSourceHandled };
  void waitUntil(TimeInterval deadline, WaitEnd end);
  bool isMainLoop() const;
  std::shared_ptr<RunLoopEventSource> eventSource() const;
  struct Sources {
    std::shared_ptr<RunLoopEventSource> events;
    std::shared_ptr<RunLoopEventSource> replies;
  };
  // Waits on the event and reply sources (on the condition alone when neither has
  // anything to wait for) until woken, `end` or `until`; the lock is held on entry and exit.
  void waitInSources(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point until, WaitEnd end);
  // Wakes a waiting loop and its sources (read under the lock by the caller).
  void notify(const Sources& sources);
  std::shared_ptr<RunLoopEventSource> replySource() const;
  bool replyOwed() const;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<PerformItem> performs_;
  std::vector<TimerEntry> timers_;
  std::set<std::string, std::less<>> commonModes_;
  std::vector<std::string> modeStack_;
  std::uint64_t nextSequence_ = 1;
  std::uint64_t nextTimerOrder_ = 1;
  bool stopRequested_ = false;
  bool woken_ = false;
  std::shared_ptr<RunLoopEventSource> eventSource_;
  std::shared_ptr<RunLoopEventSource> replySource_;
  // How many times the main loop's sources dispatched something (main thread only): a
  // run compares it before and after a pass, nested runs included.
  std::uint64_t sourceDispatches_ = 0;
};

// Marks the calling thread as the main thread (the application's main, or a test).
void bindMainThread();
// Whether the caller runs on the main thread, as the platform's own check answers it.
// Under the deterministic executor, blocks of other queues run on the test's thread
// but answer no, as they would on a device.
bool isMainThread();

}  // namespace platform
