// Fills the device services (advertising identifier, carrier and radio, reachability,
// device and system, audio, location, motion) from a JSON device profile, so a production run
// describes the device it pretends to be. Every key is optional; a value of the wrong
// type is ignored. The format:
//
//   {"advertisingIdentifier": "UUID", "advertisingTrackingEnabled": true,
//    "carrier": {"name": "", "mobileCountryCode": "310", "mobileNetworkCode": "260",
//                "isoCountryCode": "us", "allowsVOIP": true} | null,
//    "radioAccessTechnology": "CTRadioAccessTechnologyLTE" | null,
//    "reachability": "wifi" | "wwan" | "none",
//    "model": "TestPhone", "systemName": "iOS", "systemVersion": "12.4.1",
//    "hardwareModel": "TestPhone10,4", "idiom": "phone" | "pad", "simulator": false,
//    "localeIdentifier": "en_US",
//    "canSendMail": true, "canSendText": true,
//    "audio": {"outputVolume": 0.5, "outputPortNames": ["Speaker"] | null,
//              "otherAudioPlaying": false, "secondaryAudioShouldBeSilenced": false | null,
//              "category": "AVAudioSessionCategorySoloAmbient"},
//    "location": {"servicesEnabled": true, "authorizationStatus": 0...4,
//                 "latitude": 0, "longitude": 0, "accuracy": 10},
//    "motion": {"available": true, "attitude": [1, 0, 0, 0, 1, 0, 0, 0, 1]}}
//
// Call from any thread, before the services are read (start-up).
#pragma once

#include <string>

#include <nlohmann/json_fwd.hpp>

namespace platform {

class DeviceProfile {
 public:
  // Applies a profile; a value that is not an object does nothing (false).
  [[nodiscard]] static bool apply(const nlohmann::ordered_json& profile);
  // Reads and applies a profile file; false when it cannot be read or parsed.
  [[nodiscard]] static bool load(const std::string& path);
};

}  // namespace platform
