#include "platform/ui/Device.h"

#include <charconv>
#include <tuple>

#include "platform/base/TestingReset.h"

namespace platform {

Device& Device::current() {
  static Device* device = [] {
    auto* made = new Device();
    // A test starts from the state the process starts with.
    registerTestingReset(made, [made] {
      made->~Device();
      new (made) Device();
    });
    return made;
  }();
  return *device;
}

std::string Device::model() const {
  std::lock_guard lock(mutex_);
  return model_;
}

std::string Device::systemName() const {
  std::lock_guard lock(mutex_);
  return systemName_;
}

std::string Device::systemVersion() const {
  std::lock_guard lock(mutex_);
  return systemVersion_;
}

std::string Device::hardwareModel() const {
  std::lock_guard lock(mutex_);
  return hardwareModel_;
}

Device::UserInterfaceIdiom Device::userInterfaceIdiom() const {
  std::lock_guard lock(mutex_);
  return idiom_;
}

bool Device::isSimulator() const {
  std::lock_guard lock(mutex_);
  return simulator_;
}

Device::OperatingSystemVersion Device::operatingSystemVersion() const {
  const std::string text = systemVersion();
  std::int64_t parts[3] = {0, 0, 0};
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 3 && p < end; ++i) {
    std::int64_t value = 0;
    auto [next, ec] = std::from_chars(p, end, value);
    if (ec != std::errc() || value < 0) break;
    parts[i] = value;
    p = next;
    if (p >= end || *p != '.') break;
    ++p;
  }
  return {parts[0], parts[1], parts[2]};
}

bool Device::isOperatingSystemAtLeast(const OperatingSystemVersion& version) const {
  const OperatingSystemVersion have = operatingSystemVersion();
  return std::tie(have.majorVersion, have.minorVersion, have.patchVersion) >=
         std::tie(version.majorVersion, version.minorVersion, version.patchVersion);
}

void Device::setModel(std::string model) {
  std::lock_guard lock(mutex_);
  model_ = std::move(model);
}

void Device::setSystemName(std::string name) {
  std::lock_guard lock(mutex_);
  systemName_ = std::move(name);
}

void Device::setSystemVersion(std::string version) {
  std::lock_guard lock(mutex_);
  systemVersion_ = std::move(version);
}

void Device::setHardwareModel(std::string identifier) {
  std::lock_guard lock(mutex_);
  hardwareModel_ = std::move(identifier);
}

void Device::setUserInterfaceIdiom(UserInterfaceIdiom idiom) {
  std::lock_guard lock(mutex_);
  idiom_ = idiom;
}

void Device::setSimulator(bool simulator) {
  std::lock_guard lock(mutex_);
  simulator_ = simulator;
}

}  // namespace platform
