// The device's motion sensors, after the platform's motion manager: whether device motion
// is available, its updates started and stopped, and the latest reading's attitude as a
// rotation matrix. There are no real sensors here: the device side (availability, the
// attitude) is set by the device profile and by tests through the static setters. By
// default device motion is unavailable and the attitude is the identity.
//
// Any thread: a render thread reads the motion while the main thread sets the device side.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/base/Clock.h"

namespace platform {

// Row r, column c is m[r][c], as the platform's attitude rotation matrix gives it.
struct RotationMatrix {
  std::array<std::array<double, 3>, 3> m{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  friend bool operator==(const RotationMatrix&, const RotationMatrix&) = default;
};

struct DeviceMotion {
  RotationMatrix attitudeRotationMatrix;
  TimeInterval timestamp = 0;  // seconds since boot
};

class MotionManager {
 public:
  static std::shared_ptr<MotionManager> create();

  static bool isDeviceMotionAvailable();
  // Starts updates when device motion is available; otherwise nothing happens.
  void startDeviceMotionUpdates();
  void stopDeviceMotionUpdates();
  bool isDeviceMotionActive() const;
  // The latest reading while updates are active; nullopt otherwise.
  std::optional<DeviceMotion> deviceMotion() const;

  // The device side. A matrix with a value that is not finite is refused (false).
  static void setDeviceMotionAvailable(bool available);
  [[nodiscard]] static bool setAttitudeRotationMatrix(const RotationMatrix& matrix);

  MotionManager() = default;

 private:
  mutable std::mutex mutex_;
  bool active_ = false;
};

}  // namespace platform
