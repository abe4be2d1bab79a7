#include "platform/gl/DisplayLink.h"

#include <algorithm>
#include <cmath>

#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/base/Thread.h"
#include "platform/base/Timer.h"

namespace platform {

namespace {

constexpr const char* kLog = "DisplayLink";

TimeInterval vsyncTime(std::int64_t vsync) { return static_cast<TimeInterval>(vsync) / DisplayLink::kFramesPerSecond; }

}  // namespace

std::shared_ptr<DisplayLink> DisplayLink::create(Callback callback) {
  return std::shared_ptr<DisplayLink>(new DisplayLink(std::move(callback)));
}

DisplayLink::~DisplayLink() {
  if (timer_) timer_->invalidate();
}

std::int64_t DisplayLink::nextVsync(TimeInterval now) {
  return static_cast<std::int64_t>(std::floor(now * kFramesPerSecond)) + 1;
}

bool DisplayLink::addToRunLoop(RunLoop& loop, std::string_view mode) {
  std::shared_ptr<Thread> thread;
  if (&loop != &RunLoop::main()) {
    thread = Thread::owning(loop);
    if (!thread) {
      SystemLog::write(kLog, "Refused: a display link runs on the main run loop or a platform thread's");
      return false;
    }
  }
  std::lock_guard lock(mutex_);
  if (!valid_.load()) return false;
  if (loop_ && loop_ != &loop) {
    SystemLog::write(kLog, "Refused: the display link is already added to another run loop");
    return false;
  }
  if (std::find(modes_.begin(), modes_.end(), mode) == modes_.end()) modes_.emplace_back(mode);
  if (!timer_) {
    loop_ = &loop;
    thread_ = thread;
    remote_ = thread && virtualClock();
    timer_ = Timer::createRepeating(duration(), [weak = weak_from_this()](Timer& timer) {
      if (auto self = weak.lock()) self->onTimer(timer);
    });
    schedule();
  }
  if (remote_) {
    RunLoop::main().addTimer(timer_, kCommonRunLoopModes);
  } else {
    loop.addTimer(timer_, mode);
  }
  return true;
}

void DisplayLink::schedule() {
  if (!timer_) return;
  if (paused_.load()) {
    timer_->setFireDate(kDistantFuture);
    return;
  }
  nextVsync_ = nextVsync(clock().monotonicNow());
  timer_->setFireDate(vsyncTime(nextVsync_));
  // A loop waiting for the old date must see the new one.
  if (auto thread = thread_.lock(); thread && !remote_) thread->wakeUp();
}

void DisplayLink::setPaused(bool paused) {
  std::lock_guard lock(mutex_);
  if (paused_.exchange(paused) == paused) return;
  schedule();
}

void DisplayLink::invalidate() {
  Callback dropped;
  std::shared_ptr<Timer> timer;
  {
    std::lock_guard lock(mutex_);
    valid_.store(false);
    timer = std::move(timer_);
    dropped = std::move(callback_);
    callback_ = nullptr;
  }
  if (timer) timer->invalidate();
}

void DisplayLink::onTimer(Timer& timer) {
  std::int64_t vsync;
  bool remote;
  {
    std::lock_guard lock(mutex_);
    if (!valid_.load() || paused_.load()) return;
    vsync = nextVsync_;
    // Fire dates are k / 60 exactly; the next is the following vsync even when the
    // clock reads a hair below this one.
    nextVsync_ = std::max(vsync + 1, nextVsync(clock().monotonicNow()));
    timer.setFireDate(vsyncTime(nextVsync_));
    remote = remote_;
  }
  if (remote) {
    driveRemoteTick(vsync);
  } else {
    tick(vsync);
  }
}

void DisplayLink::driveRemoteTick(std::int64_t vsync) {
  std::shared_ptr<Thread> thread;
  std::vector<std::string> modes;
  {
    std::lock_guard lock(mutex_);
    thread = thread_.lock();
    modes = modes_;
  }
  if (!thread || thread->state() == Thread::State::Finished) {
    // The thread ended without invalidating the link: nothing can tick any more.
    invalidate();
    return;
  }
  const bool handled = thread->performWaitingAtMost(
      std::move(modes), [self = shared_from_this(), vsync] { self->tick(vsync); }, kTickWaitLimit);
  if (!handled && thread->state() != Thread::State::Finished) {
    SystemLog::write(kLog, "A tick was not handled on \"" + thread->name() + "\" in time; the main loop goes on");
  }
}

void DisplayLink::tick(std::int64_t vsync) {
  Callback callback;
  {
    std::lock_guard lock(mutex_);
    // Paused or invalidated after the tick was sent.
    if (!valid_.load() || paused_.load()) return;
    callback = callback_;
  }
  timestamp_.store(vsyncTime(vsync));
  if (callback) callback(*this);
}

}  // namespace platform
