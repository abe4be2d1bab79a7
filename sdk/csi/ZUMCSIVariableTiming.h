// One named timing of a CSI action: when it started and, once it has ended, how long it
// took, in seconds of the monotonic clock (ZUMCSITimeRecorder::currentTime()).
//
// A timing that is still running when the application resigns active is spoilt: its
// start becomes kZUMCSISpoiltStart, since the time then measures the user's absence, and
// it never becomes valid. Beacons carry valid timings only.
//
// Any thread: start and length are guarded by the timing's own lock. The timing observes
// the application's notifications from creation to destruction.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// The start of a timing spoilt by the application leaving the foreground.
inline constexpr double kZUMCSISpoiltStart = -1.0;
// The length of a timing that is still running.
inline constexpr double kZUMCSIRunningLength = -1.0;

class ZUMCSIVariableTiming : public std::enable_shared_from_this<ZUMCSIVariableTiming> {
 public:
  // A running timing named `name`, started at `startTime` (seconds).
  static std::shared_ptr<ZUMCSIVariableTiming> create(std::string name, double startTime);
  ~ZUMCSIVariableTiming();
  ZUMCSIVariableTiming(const ZUMCSIVariableTiming&) = delete;
  ZUMCSIVariableTiming& operator=(const ZUMCSIVariableTiming&) = delete;

  // The name the beacon carries.
  const std::string& name() const { return name_; }
  double start() const;
  void setStart(double start);
  double length() const;
  void setLength(double length);
  // Started (start > 0) and ended (length > 0).
  bool isValid() const;

  // The application resigns active: a running timing is spoilt.
  void resigningActive();

 private:
  ZUMCSIVariableTiming(std::string name, double startTime);

  const std::string name_;
  mutable std::mutex mutex_;  // guards start_ and length_
  double start_;
  double length_ = kZUMCSIRunningLength;
};

// round(seconds × 1000): whole milliseconds, saturated at the limits of a signed 64-bit
// integer (a timing built by hand may be endless); 0 for NaN.
std::int64_t ZUMCSIMillisecondsFromSeconds(double seconds);
