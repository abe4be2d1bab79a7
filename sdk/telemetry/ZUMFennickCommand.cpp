#include "sdk/telemetry/ZUMFennickCommand.h"

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMLogger.h"

namespace {
using Json = nlohmann::ordered_json;
}

std::optional<Json> ZUMFennickCommand(const std::string& id, const Json& params) {
  if (id.empty() || !params.is_object() || params.empty()) return std::nullopt;
  Json command = Json::object();
  command["id"] = id;
  command["params"] = params;
  command["awake_timeinterval_since_boot_sec"] = static_cast<double>(ZUMMonotonicTimeInMilliseconds()) / 1000.0;
  command["timeinterval_since_boot_sec"] = ZUMTimeIntervalSinceBoot();
  // The script would receive a changed or broken event: better none, and say so.
  if (!zum_isValidJSONObject(command)) {
    ZUMLog(kZUMLogLevelDefault, "Fennick: dropped an event that cannot be written as JSON.");
    return std::nullopt;
  }
  return command;
}

std::optional<Json> ZUMFennickEvent(const std::string& name, const std::optional<Json>& value) {
  if (name.empty() || !value) return std::nullopt;
  Json event = Json::object();
  event[name] = *value;
  return event;
}

std::optional<Json> ZUMFennickCountEvent(const std::string& name, const std::optional<std::string>& key) {
  if (!key) return std::nullopt;
  return ZUMFennickEvent(name, Json{{*key, 1}});
}

std::optional<Json> ZUMFennickErrorParameters(const platform::ErrorPtr& error) {
  if (!error) return std::nullopt;
  return Json{{"error_message", error->localizedDescription()}, {"error_code", error->code()}};
}
