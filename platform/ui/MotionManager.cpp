#include "platform/ui/MotionManager.h"

#include <cmath>

#include "platform/base/TestingReset.h"

namespace platform {

namespace {

struct DeviceSide {
  std::mutex mutex;
  bool available = false;
  RotationMatrix attitude;
};

DeviceSide& device() {
  // Never destroyed: render threads may read it while the process exits.
  static auto* shared = [] {
    auto* side = new DeviceSide;
    registerTestingReset(side, [side] {
      std::lock_guard lock(side->mutex);
      side->available = false;
      side->attitude = {};
    });
    return side;
  }();
  return *shared;
}

}  // namespace

std::shared_ptr<MotionManager> MotionManager::create() { return std::make_shared<MotionManager>(); }

bool MotionManager::isDeviceMotionAvailable() {
  auto& side = device();
  std::lock_guard lock(side.mutex);
  return side.available;
}

void MotionManager::startDeviceMotionUpdates() {
  if (!isDeviceMotionAvailable()) return;
  std::lock_guard lock(mutex_);
  active_ = true;
}

void MotionManager::stopDeviceMotionUpdates() {
  std::lock_guard lock(mutex_);
  active_ = false;
}

bool MotionManager::isDeviceMotionActive() const {
  std::lock_guard lock(mutex_);
  return active_;
}

std::optional<DeviceMotion> MotionManager::deviceMotion() const {
  if (!isDeviceMotionActive()) return std::nullopt;
  auto& side = device();
  std::lock_guard lock(side.mutex);
  return DeviceMotion{side.attitude, clock().timeSinceBoot()};
}

void MotionManager::setDeviceMotionAvailable(bool available) {
  auto& side = device();
  std::lock_guard lock(side.mutex);
  side.available = available;
}

bool MotionManager::setAttitudeRotationMatrix(const RotationMatrix& matrix) {
  for (const auto& row : matrix.m) {
    for (double v : row) {
      if (!std::isfinite(v)) return false;
    }
  }
  auto& side = device();
  std::lock_guard lock(side.mutex);
  side.attitude = matrix;
  return true;
}

}  // namespace platform
