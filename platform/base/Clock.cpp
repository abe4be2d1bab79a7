#include "platform/base/Clock.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <vector>

namespace platform {

namespace {

std::mutex gClockMutex;
std::shared_ptr<Clock> gClockOwner;
std::atomic<Clock*> gClock{nullptr};
std::atomic<VirtualClock*> gVirtualClock{nullptr};

// Never destroyed: threads that outlive main (a render thread still waiting on its run
// loop at exit) may still read the time.
SystemClock& systemClock() {
  static auto* instance = new SystemClock();
  return *instance;
}

TimeInterval seconds(std::chrono::nanoseconds ns) { return std::chrono::duration<double>(ns).count(); }

}  // namespace

TimeInterval SystemClock::wallNow() const { return seconds(std::chrono::system_clock::now().time_since_epoch()); }

TimeInterval SystemClock::monotonicNow() const { return seconds(std::chrono::steady_clock::now().time_since_epoch()); }

TimeInterval SystemClock::timeSinceBoot() const {
  timespec ts{};
  // CLOCK_BOOTTIME keeps counting while the machine sleeps, as uptime does.
  if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0) return monotonicNow();
  return static_cast<TimeInterval>(ts.tv_sec) + static_cast<TimeInterval>(ts.tv_nsec) / 1e9;
}

VirtualClock::VirtualClock(TimeInterval wallStart, TimeInterval bootStart)
    : wallStart_(wallStart), bootStart_(bootStart) {}

TimeInterval VirtualClock::wallNow() const { return wallStart_ + elapsed_.load(); }
TimeInterval VirtualClock::monotonicNow() const { return elapsed_.load(); }
TimeInterval VirtualClock::timeSinceBoot() const { return bootStart_ + elapsed_.load(); }

void VirtualClock::advanceTo(TimeInterval monotonic) {
  TimeInterval current = elapsed_.load();
  while (monotonic > current && !elapsed_.compare_exchange_weak(current, monotonic)) {
  }
}

void VirtualClock::advanceBy(TimeInterval seconds) {
  if (seconds > 0) advanceTo(monotonicNow() + seconds);
}

Clock& clock() {
  Clock* c = gClock.load(std::memory_order_acquire);
  return c ? *c : systemClock();
}

void setClock(std::shared_ptr<Clock> clock) {
  std::lock_guard lock(gClockMutex);
  // Threads of a finished test (I/O, servers) may still read the clock they were given:
  // clocks once installed are kept for the life of the process.
  static auto* retired = new std::vector<std::shared_ptr<Clock>>();
  if (gClockOwner) retired->push_back(gClockOwner);
  gClockOwner = std::move(clock);
  gClock.store(gClockOwner.get(), std::memory_order_release);
  gVirtualClock.store(dynamic_cast<VirtualClock*>(gClockOwner.get()), std::memory_order_release);
}

VirtualClock* virtualClock() { return gVirtualClock.load(std::memory_order_acquire); }

}  // namespace platform
