#include "platform/base/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/base/Executor.h"
#include "platform/base/Timer.h"

namespace platform {

namespace {

thread_local bool tlsOnMainThread = false;

std::chrono::steady_clock::time_point realDeadline(TimeInterval monotonicDeadline) {
  const TimeInterval remaining = monotonicDeadline - clock().monotonicNow();
  // Cap far deadlines so the conversion cannot overflow; NaN waits not at all.
  const double capped = remaining > 0 ? std::min(remaining, 365.0 * 24 * 3600) : 0.0;
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(capped));
}

// How often a reply owed is looked for while the event source is waited in, when the
// event source cannot watch the replies' descriptors itself.
constexpr auto kReplySlice = std::chrono::milliseconds(5);

}  // namespace

bool RunLoopEventSource::waitAndDispatchWatching(std::chrono::nanoseconds limit, const std::vector<int>&) {
  return waitAndDispatch(std::min<std::chrono::nanoseconds>(limit, kReplySlice));
}

static std::atomic<std::thread::id> gBoundThread{};

void bindMainThread() {
  tlsOnMainThread = true;
  gBoundThread = std::this_thread::get_id();
}
bool isMainThread() { return tlsOnMainThread; }

namespace detail {
bool onBoundThread() { return gBoundThread.load() == std::this_thread::get_id(); }

bool setOnMainThread(bool onMain) {
  const bool previous = tlsOnMainThread;
  tlsOnMainThread = onMain;
  return previous;
}
}  // namespace detail

RunLoop::RunLoop() {
  commonModes_.emplace(kDefaultRunLoopMode);
  commonModes_.emplace(kTrackingRunLoopMode);
}

RunLoop::~RunLoop() = default;

RunLoop& RunLoop::main() {
  // Never destroyed: blocks may still be posted to it while the process exits.
  static RunLoop* loop = new RunLoop();
  return *loop;
}

RunLoop& RunLoop::current() {
  if (isMainThread()) return main();
  thread_local RunLoop loop;
  return loop;
}

bool RunLoop::isMainLoop() const { return this == &main(); }

void RunLoop::setEventSource(std::shared_ptr<RunLoopEventSource> source) {
  std::lock_guard lock(mutex_);
  eventSource_ = std::move(source);
}

std::shared_ptr<RunLoopEventSource> RunLoop::eventSource() const {
  std::lock_guard lock(mutex_);
  return eventSource_;
}

bool RunLoop::eventSourceBusy() const {
  auto source = eventSource();
  return source && source->isBusy();
}

void RunLoop::notify(const Sources& sources) {
  wake_.notify_all();
  if (sources.events) sources.events->wakeUp();
  if (sources.replies) sources.replies->wakeUp();
}

void RunLoop::setReplySource(std::shared_ptr<RunLoopEventSource> source) {
  std::lock_guard lock(mutex_);
  replySource_ = std::move(source);
}

std::shared_ptr<RunLoopEventSource> RunLoop::replySource() const {
  std::lock_guard lock(mutex_);
  return replySource_;
}

bool RunLoop::replyOwed() const {
  auto source = replySource();
  return source && source->isBusy();
}

bool RunLoop::serveOwedReply() {
  auto source = isMainLoop() ? replySource() : nullptr;
  if (!source || !source->isBusy()) return false;
  // The source's own deadlines bound the wait.
  sourceDispatches_ += source->waitAndDispatch(std::chrono::hours(1)) ? 1 : 0;
  return true;
}

void RunLoop::waitInSources(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point until,
                            WaitEnd end) {
  while (!woken_ && !stopRequested_) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) break;
    auto source = eventSource_;
    auto replies = replySource_;
    const bool owed = replies && replies->isBusy();
    if (!source && !owed) {
      wake_.wait_until(lock, until, [&] { return woken_ || stopRequested_; });
      break;
    }
    lock.unlock();
    bool dispatched = false;
    if (source && owed) {
      // One wait for both: the replies' descriptors are watched with the source's own.
      const auto readable = replies->readable();
      if (readable) {
        dispatched = source->waitAndDispatchWatching(std::min<std::chrono::nanoseconds>(until - now, readable->within),
                                                     readable->descriptors);
      } else {
        dispatched = source->waitAndDispatch(std::min<std::chrono::nanoseconds>(until - now, kReplySlice));
      }
      dispatched |= replies->dispatchReady();
    } else if (source) {
      dispatched = source->waitAndDispatch(until - now);
    } else {
      dispatched = replies->waitAndDispatch(until - now);
    }
    lock.lock();
    sourceDispatches_ += dispatched ? 1 : 0;
    if (dispatched && end == WaitEnd::OnSourceHandled) break;
  }
}

void RunLoop::perform(std::function<void()> block) { perform({std::string(kCommonRunLoopModes)}, std::move(block)); }

void RunLoop::perform(std::vector<std::string> modes, std::function<void()> block) {
  if (!block) return;
  Sources sources;
  {
    std::lock_guard lock(mutex_);
    performs_.push_back({nextSequence_++, std::move(modes), std::move(block)});
    woken_ = true;
    sources = {eventSource_, replySource_};
  }
  notify(sources);
}

void RunLoop::addTimer(const std::shared_ptr<Timer>& timer, std::string_view mode) {
  if (!timer || !timer->isValid()) return;
  Sources sources;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(timers_.begin(), timers_.end(), [&](const TimerEntry& e) { return e.timer == timer; });
    if (it == timers_.end()) {
      timers_.push_back({timer, {}, nextTimerOrder_++});
      it = std::prev(timers_.end());
    }
    it->modes.emplace(mode);
    woken_ = true;
    sources = {eventSource_, replySource_};
  }
  notify(sources);
}

void RunLoop::addCommonMode(std::string_view mode) {
  std::lock_guard lock(mutex_);
  commonModes_.emplace(mode);
}

bool RunLoop::matches(const std::vector<std::string>& itemModes, std::string_view mode) const {
  for (const auto& m : itemModes) {
    if (m == mode) return true;
    if (m == kCommonRunLoopModes && commonModes_.count(mode)) return true;
  }
  return false;
}

bool RunLoop::matches(const std::set<std::string, std::less<>>& itemModes, std::string_view mode) const {
  if (itemModes.count(mode)) return true;
  return itemModes.count(kCommonRunLoopModes) && commonModes_.count(mode);
}

std::optional<TimeInterval> RunLoop::nextFireDate(std::string_view mode) const {
  std::lock_guard lock(mutex_);
  std::optional<TimeInterval> next;
  for (const auto& entry : timers_) {
    if (!entry.timer->isSchedulable() || !matches(entry.modes, mode)) continue;
    const TimeInterval date = entry.timer->fireDate();
    if (!next || date < *next) next = date;
  }
  return next;
}

bool RunLoop::fireDueTimers(std::string_view mode) {
  const TimeInterval now = clock().monotonicNow();
  std::vector<std::pair<TimeInterval, TimerEntry>> due;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(timers_, [](const TimerEntry& e) { return !e.timer->isValid(); });
    for (const auto& entry : timers_) {
      if (!matches(entry.modes, mode) || !entry.timer->isSchedulable()) continue;
      const TimeInterval date = entry.timer->fireDate();
      if (date <= now) due.emplace_back(date, entry);
    }
  }
  std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.order < b.second.order;
  });
  for (auto& [date, entry] : due) {
    // An earlier timer's block may have invalidated or moved this one.
    if (entry.timer->isValid() && entry.timer->fireDate() <= now) entry.timer->fireFromRunLoop(now);
  }
  return !due.empty();
}

bool RunLoop::runPerforms(std::string_view mode, std::uint64_t upTo) {
  // One block at a time, each taken from the queue just before it runs: a run nested in
  // a block then finds the earlier blocks still queued ahead of later ones.
  bool ran = false;
  for (;;) {
    std::function<void()> block;
    {
      std::lock_guard lock(mutex_);
      const auto it = std::find_if(performs_.begin(), performs_.end(), [&](const PerformItem& item) {
        return item.sequence < upTo && matches(item.modes, mode);
      });
      if (it == performs_.end()) break;
      block = std::move(it->block);
      performs_.erase(it);
    }
    block();
    ran = true;
  }
  return ran;
}

bool RunLoop::runPending(std::string_view mode) {
  if (isMainLoop()) {
    if (auto source = eventSource()) sourceDispatches_ += source->dispatchReady() ? 1 : 0;
    // Under virtual time replies wait until the loop is idle (see setReplySource()).
    if (auto replies = virtualClock() ? nullptr : replySource()) sourceDispatches_ += replies->dispatchReady() ? 1 : 0;
  }
  bool did = fireDueTimers(mode);
  std::uint64_t upTo;
  {
    std::lock_guard lock(mutex_);
    upTo = nextSequence_;
  }
  did |= runPerforms(mode, upTo);
  if (isMainLoop() && executorKind() == ExecutorKind::Deterministic) {
    did |= detail::runDeterministicBlocks();
  }
  return did;
}

void RunLoop::runPerformsQueuedBefore(std::string_view mode) {
  std::uint64_t upTo;
  {
    std::lock_guard lock(mutex_);
    upTo = nextSequence_;
  }
  runPerforms(mode, upTo);
}

void RunLoop::waitUntil(TimeInterval deadline, WaitEnd end) {
  VirtualClock* virtualTime = virtualClock();
  std::unique_lock lock(mutex_);
  if (woken_ || stopRequested_) {
    woken_ = false;
    return;
  }
  if (virtualTime && isMainLoop()) {
    // Nothing is ready: serve a reply owed, else jump to the next thing that falls due
    // instead of waiting.
    lock.unlock();
    if (!serveOwedReply()) virtualTime->advanceTo(deadline);
    return;
  }
  if (virtualTime) {
    // Another thread's loop under virtual time: poll, the main loop moves the clock.
    wake_.wait_for(lock, std::chrono::milliseconds(1), [&] { return woken_ || stopRequested_; });
  } else if (isMainLoop()) {
    waitInSources(lock, realDeadline(deadline), end);
  } else {
    wake_.wait_until(lock, realDeadline(deadline), [&] { return woken_ || stopRequested_; });
  }
  woken_ = false;
}

RunLoop::RunResult RunLoop::runMode(std::string_view mode, TimeInterval deadline, bool returnAfterSourceHandled) {
  if (std::isnan(deadline)) deadline = clock().monotonicNow();
  {
    std::lock_guard lock(mutex_);
    modeStack_.emplace_back(mode);
  }
  struct PopMode {
    RunLoop* loop;
    ~PopMode() {
      std::lock_guard lock(loop->mutex_);
      loop->modeStack_.pop_back();
    }
  } popMode{this};

  const std::uint64_t dispatchesBefore = sourceDispatches_;
  const auto handledSource = [&] { return returnAfterSourceHandled && sourceDispatches_ != dispatchesBefore; };
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopRequested_) {
        stopRequested_ = false;
        return RunResult::Stopped;
      }
    }
    const bool did = runPending(mode);
    if ((did && returnAfterSourceHandled) || handledSource()) return RunResult::HandledSource;
    const TimeInterval now = clock().monotonicNow();
    if (now >= deadline) return RunResult::TimedOut;
    if (did) continue;

    const auto next = nextFireDate(mode);
    if (!next && deadline >= kDistantFuture && virtualClock() && isMainLoop() && !replyOwed()) {
      // Nothing will ever fall due on virtual time.
      return RunResult::Finished;
    }
    waitUntil(next ? std::min(*next, deadline) : deadline,
              returnAfterSourceHandled ? WaitEnd::OnSourceHandled : WaitEnd::OnWork);
    if (handledSource()) return RunResult::HandledSource;
  }
}

void RunLoop::run() {
  for (;;) {
    const RunResult result = runMode(kDefaultRunLoopMode, kDistantFuture);
    if (result == RunResult::Stopped || result == RunResult::Finished) return;
  }
}

void RunLoop::stop() {
  Sources sources;
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    sources = {eventSource_, replySource_};
  }
  notify(sources);
}

void RunLoop::wakeUp() {
  Sources sources;
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
    sources = {eventSource_, replySource_};
  }
  notify(sources);
}

std::string RunLoop::currentMode() const {
  std::lock_guard lock(mutex_);
  return modeStack_.empty() ? std::string() : modeStack_.back();
}

bool RunLoop::waitForWork(std::chrono::milliseconds limit) {
  if (virtualClock() && serveOwedReply()) return true;
  std::unique_lock lock(mutex_);
  if (isMainLoop() && (eventSource_ || replySource_)) {
    waitInSources(lock, std::chrono::steady_clock::now() + limit, WaitEnd::OnWork);
    const bool got = woken_;
    woken_ = false;
    return got;
  }
  const bool got = wake_.wait_for(lock, limit, [&] { return woken_; });
  woken_ = false;
  return got;
}

void RunLoop::resetForTesting() {
  std::deque<PerformItem> performs;
  std::vector<TimerEntry> timers;
  {
    std::lock_guard lock(mutex_);
    performs.swap(performs_);
    timers.swap(timers_);
    modeStack_.clear();
    stopRequested_ = false;
    woken_ = false;
  }
  for (auto& entry : timers) entry.timer->invalidate();
}

}  // namespace platform
