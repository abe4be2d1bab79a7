#include "sdk/telemetry/ZUMFennickConfig.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"

namespace {

std::optional<platform::URL> webURLForKey(const nlohmann::ordered_json& dictionary, const char* key) {
  auto text = ZUMJSONStringForKey(dictionary, key);
  if (!text) return std::nullopt;
  auto url = platform::URL::fromString(*text);
  if (ZUMFennickIsWebURL(url)) return url;
  ZUMLog(kZUMLogLevelDefault, std::string("Fennick: ignored the ") + key + " that is no http(s) URL.");
  return std::nullopt;
}

}  // namespace

bool ZUMFennickIsWebURL(const std::optional<platform::URL>& url) {
  return (ZUMURLHasScheme(url, "http") || ZUMURLHasScheme(url, "https")) && url->host() && !url->host()->empty();
}

std::optional<ZUMFennickConfig> ZUMFennickConfig::fromUserDefaults() {
  auto dictionary = ZUMUserDefaults::dictionaryForKey(kZUMFennickConfigKey);
  if (!dictionary) return std::nullopt;
  return fromDictionary(*dictionary);
}

std::optional<ZUMFennickConfig> ZUMFennickConfig::fromDictionary(const nlohmann::ordered_json& dictionary) {
  if (!dictionary.is_object()) return std::nullopt;
  ZUMFennickConfig config;
  config.enabled = ZUMJSONBoolForKey(dictionary, "enabled", false);
  config.useJSCore = ZUMJSONBoolForKey(dictionary, "use_js_core", false);
  if (auto interval = ZUMJSONDoubleForKey(dictionary, "beacon_interval_in_sec")) {
    // A beacon every few microseconds would hold the main loop.
    if (std::isfinite(*interval) && *interval > 0) {
      config.beaconInterval = std::clamp(*interval, kZUMFennickMinBeaconInterval, kZUMFennickMaxBeaconInterval);
    } else {
      ZUMLog(kZUMLogLevelDefault, "Fennick: ignored a beacon interval that is not a positive number.");
    }
  }
  config.scriptURL = webURLForKey(dictionary, "script_url");
  config.version = ZUMJSONStringForKey(dictionary, "version");
  config.baseURL = webURLForKey(dictionary, "base_url");
  if (auto size = ZUMJSONIntegerForKey(dictionary, "max_buffer_size"); size && *size >= 1) {
    config.maxBufferedCommandSize = *size;
  }
  config.JSConfig = ZUMJSONStringForKey(dictionary, "js_config").value_or("");
  return config;
}
