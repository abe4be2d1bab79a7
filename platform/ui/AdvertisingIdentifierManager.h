// The device's advertising identifier and the user's "limit ad tracking" choice.
// Values come from the device profile in production and from setters in tests.
// Thread-safe: read from any thread.
#pragma once

#include <mutex>
#include <string>

namespace platform {

class AdvertisingIdentifierManager {
 public:
  static AdvertisingIdentifierManager& shared();

  // The identifier as an upper-case UUID string. While tracking is limited the
  // platform hands out the all-zero identifier.
  std::string advertisingIdentifier() const;
  bool isAdvertisingTrackingEnabled() const;

  void setAdvertisingIdentifier(std::string identifier);
  void setAdvertisingTrackingEnabled(bool enabled);

  static constexpr const char* kZeroIdentifier = "00000000-0000-0000-0000-000000000000";

 private:
  mutable std::mutex mutex_;
  std::string identifier_ = "5D9D8B4C-1E4A-4E3B-9C59-1B7B2F0A6C11";
  bool trackingEnabled_ = true;
};

}  // namespace platform
