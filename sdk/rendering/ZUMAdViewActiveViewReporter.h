// The per-ad-view switch through which an ad page asks its owner (the observer) to start
// or stop active-view reporting. reporting() is true while the observer has accepted a
// start. A reporter released while reporting tells the observer it had then that
// reporting stopped, on a later turn of the main queue.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "sdk/rendering/ZUMAdViewActiveViewMonitoring.h"

class ZUMAdViewActiveViewReporter {
 public:
  // The receiver passed to the observer: the creative's own page.
  static constexpr std::uint64_t kReceiver = 2;

  ZUMAdViewActiveViewReporter() = default;
  ~ZUMAdViewActiveViewReporter();
  ZUMAdViewActiveViewReporter(const ZUMAdViewActiveViewReporter&) = delete;
  ZUMAdViewActiveViewReporter& operator=(const ZUMAdViewActiveViewReporter&) = delete;

  // reporting := the observer's answer (false without an observer).
  void start();
  // Only while reporting: the observer is told, then reporting ends.
  void stop();
  bool reporting() const { return reporting_; }

  // Held weakly.
  std::shared_ptr<ZUMAdViewActiveViewMonitoring> observer() const { return observer_.lock(); }
  void setObserver(const std::shared_ptr<ZUMAdViewActiveViewMonitoring>& observer) { observer_ = observer; }

 private:
  std::weak_ptr<ZUMAdViewActiveViewMonitoring> observer_;
  bool reporting_ = false;
};
