// The server's settings of the Fennick channel, read from the dictionary stored in the
// standard user defaults under "/vantor/ads/zums:fennick_config" (the constants update
// writes it as JSON text). Numbers are the server's and are bounded here: a beacon
// interval that is absent, not finite or not positive keeps 60 s, one below 1 s becomes
// 1 s and one above a day becomes a day; a buffer size absent or below 1 keeps 100. URLs
// are http(s) or absent.
//
// A value type; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"

inline constexpr const char* kZUMFennickConfigKey = "/vantor/ads/zums:fennick_config";
inline constexpr double kZUMFennickDefaultBeaconInterval = 60.0;
inline constexpr double kZUMFennickMinBeaconInterval = 1.0;
inline constexpr double kZUMFennickMaxBeaconInterval = 24.0 * 60 * 60;
inline constexpr std::int64_t kZUMFennickDefaultMaxBufferedCommandSize = 100;

// Whether `url` is http(s) with a host: the only URLs the channel fetches or sends to.
bool ZUMFennickIsWebURL(const std::optional<platform::URL>& url);

struct ZUMFennickConfig {
  // std::nullopt when the stored value is no dictionary (or absent).
  static std::optional<ZUMFennickConfig> fromUserDefaults();
  // std::nullopt when `dictionary` is no dictionary.
  static std::optional<ZUMFennickConfig> fromDictionary(const nlohmann::ordered_json& dictionary);

  bool enabled = false;
  bool useJSCore = false;
  double beaconInterval = kZUMFennickDefaultBeaconInterval;  // seconds
  std::optional<platform::URL> scriptURL;
  std::optional<std::string> version;
  std::optional<platform::URL> baseURL;
  std::int64_t maxBufferedCommandSize = kZUMFennickDefaultMaxBufferedCommandSize;
  std::string JSConfig;
};
