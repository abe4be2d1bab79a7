// The device itself: its kind, hardware model identifier, operating system and
// version, and whether it is a simulator. Values come from the device profile or from
// tests. Thread-safe: read from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace platform {

class Device {
 public:
  enum class UserInterfaceIdiom { Phone = 0, Pad = 1 };

  struct OperatingSystemVersion {
    std::int64_t majorVersion = 0;
    std::int64_t minorVersion = 0;
    std::int64_t patchVersion = 0;
    bool operator==(const OperatingSystemVersion&) const = default;
  };

  static Device& current();

  std::string model() const;          // "TestPhone", "TestTablet"
  std::string systemName() const;     // "iOS"
  std::string systemVersion() const;  // "12.4.1"
  // The hardware model identifier ("TestPhone10,4"), as the kernel reports it.
  std::string hardwareModel() const;
  UserInterfaceIdiom userInterfaceIdiom() const;
  bool isSimulator() const;

  // systemVersion() read as numbers; missing or unreadable parts are 0.
  OperatingSystemVersion operatingSystemVersion() const;
  bool isOperatingSystemAtLeast(const OperatingSystemVersion& version) const;

  void setModel(std::string model);
  void setSystemName(std::string name);
  void setSystemVersion(std::string version);
  void setHardwareModel(std::string identifier);
  void setUserInterfaceIdiom(UserInterfaceIdiom idiom);
  void setSimulator(bool simulator);

 private:
  mutable std::mutex mutex_;
  std::string model_ = "TestPhone";
  std::string systemName_ = "iOS";
  std::string systemVersion_ = "12.4.1";
  std::string hardwareModel_ = "TestPhone10,4";
  UserInterfaceIdiom idiom_ = UserInterfaceIdiom::Phone;
  bool simulator_ = false;
};

}  // namespace platform
