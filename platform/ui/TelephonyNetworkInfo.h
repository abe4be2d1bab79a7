// The cellular side of the device: the subscriber's carrier (its country and network
// codes) and the radio access technology in use. Either may be absent (no SIM, no
// cellular radio). Values come from the device profile or from tests.
// Thread-safe: read from any thread.
#pragma once

#include <mutex>
#include <optional>
#include <string>

namespace platform {

inline constexpr const char* kRadioAccessTechnologyLTE = "CTRadioAccessTechnologyLTE";
inline constexpr const char* kRadioAccessTechnologyWCDMA = "CTRadioAccessTechnologyWCDMA";
inline constexpr const char* kRadioAccessTechnologyEdge = "CTRadioAccessTechnologyEdge";

class TelephonyNetworkInfo {
 public:
  // The subscriber's carrier. Empty fields are unknown.
  struct Carrier {
    std::string carrierName;
    std::string mobileCountryCode;  // "310"
    std::string mobileNetworkCode;  // "260"
    std::string isoCountryCode;     // "us"
    bool allowsVOIP = true;
    bool operator==(const Carrier&) const = default;
  };

  static TelephonyNetworkInfo& shared();

  std::optional<Carrier> subscriberCellularProvider() const;
  // One of the kRadioAccessTechnology names, or nullopt when not on a cellular radio.
  std::optional<std::string> currentRadioAccessTechnology() const;

  void setSubscriberCellularProvider(std::optional<Carrier> carrier);
  void setCurrentRadioAccessTechnology(std::optional<std::string> technology);

 private:
  mutable std::mutex mutex_;
  std::optional<Carrier> carrier_;
  std::optional<std::string> radio_;
};

}  // namespace platform
