// The device signals and their request keys: model, system version, advertising
// identifier, screen, interface orientation, key-window size and audio state.
//
// Thread-safe. The signals live on the device's own serial queue
// ("com.vantor.morvane.device"); getters return the cached values. Signals of the user
// interface (screen, orientation, key window, text and call abilities) are read on the
// main thread: at once when updateDynamicParameters() runs there, else on a later turn
// of the main queue; interface rotations refresh them too. canOpenURLs() is main thread
// only.
//
// parameters() holds (absent keys are unknown):
//   "device_model" (model name), "device_submodel" (hardware model identifier),
//   "os_version" ("major.minor.patch"), "lat" ("1" under limited ad tracking, else "0"),
//   "screen_width", "screen_height" (portrait screen bounds in points),
//   "screen_density" (scale), "orientation" ("p" or "l"), "window_width",
//   "window_height" (key window size in points), "device_volume" (0 to 1),
//   "can_text", "can_call" ("1" or "0"), "app_bundle_id", "app_version".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/InterfaceOrientation.h"

namespace platform {
class DispatchQueue;
}

class ZUMDevice : public std::enable_shared_from_this<ZUMDevice> {
 public:
  static std::shared_ptr<ZUMDevice> sharedInstance();

  // The request keys above, after refreshing the dynamic signals.
  nlohmann::ordered_json parameters();
  // Refreshes orientation, key-window size, screen and audio state (see above).
  void updateDynamicParameters();

  // The system version is at least 6.0.0, the lowest the SDK runs on.
  bool OSIsSupported() const;
  bool isOSAtLeastMajor(std::int64_t major, std::int64_t minor, std::int64_t patch) const;
  // "%ld.%ld.%ld".
  std::string systemVersion() const;
  bool isSimulator() const;

  // Lower-case hexadecimal MD5 of the advertising identifier; "" under limited ad
  // tracking.
  std::string deviceIdentifier() const;
  // The advertising identifier; nullopt under limited ad tracking.
  std::optional<std::string> rawDeviceIdentifier() const;
  // "1" under limited ad tracking, else "0".
  std::string limitAdTrackingString() const;
  // The model name ("TestPhone") and the hardware model identifier ("TestPhone10,4").
  std::string deviceModel() const;
  std::string deviceSubmodel() const;

  platform::InterfaceOrientation interfaceOrientation() const;
  bool orientationLandscape() const;
  double mainScreenDensity() const;
  // The main screen's bounds with width <= height, with width >= height, matched to the
  // interface orientation; and the application frame (the screen less the status bar)
  // matched to it.
  platform::Rect standardizedPortraitScreenBounds() const;
  platform::Rect standardizedLandscapeScreenBounds() const;
  platform::Rect standardizedOrientedScreenBounds() const;
  platform::Rect standardizedOrientedApplicationFrame() const;

  bool canText() const;
  bool canMakePhoneCalls() const;
  // Main thread. Each string to whether it parses as a URL whose scheme the application
  // may query ("LSApplicationQueriesSchemes", from system 9 on) and the system can open.
  nlohmann::ordered_json canOpenURLs(const std::vector<std::string>& urlStrings) const;

  float audioVolume() const;
  std::optional<std::vector<std::string>> audioRoutePortNames() const;
  bool isOtherAudioPlaying() const;
  std::optional<bool> shouldSilenceAudioValue() const;

  ZUMDevice();
  ~ZUMDevice();
  ZUMDevice(const ZUMDevice&) = delete;
  ZUMDevice& operator=(const ZUMDevice&) = delete;

 private:
  struct Signals;

  void start();
  // Main thread: reads the user-interface signals and stores them.
  void refreshInterfaceSignals();
  Signals signals() const;

  std::shared_ptr<platform::DispatchQueue> queue_;
  std::unique_ptr<Signals> signals_;  // touched only on queue_
  platform::NotificationCenter::Token rotationObserver_;
};
