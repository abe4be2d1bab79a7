#include "sdk/foundation/ZUMUserDefaults.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/base/PropertyList.h"
#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/foundation/ZUMJSONReaders.h"

using nlohmann::ordered_json;

namespace {

std::optional<ordered_json> object(std::string_view key) {
  return platform::UserDefaults::standard().objectForKey(key);
}

// The value itself when it is of the wanted kind, else the same kind decoded from a
// JSON string.
std::optional<ordered_json> structured(std::string_view key, bool wantArray) {
  auto value = object(key);
  if (!value) return std::nullopt;
  if (value->is_string()) {
    value = zum_decodedJSONObjectError(value->get_ref<const std::string&>(), nullptr);
    if (!value) return std::nullopt;
  }
  if (wantArray ? !value->is_array() : !value->is_object()) return std::nullopt;
  return value;
}

}  // namespace

std::string ZUMUserDefaults::keyForName(std::string_view name) { return kZUMUserDefaultsPrefix + std::string(name); }

std::optional<bool> ZUMUserDefaults::boolForKey(std::string_view key) {
  auto value = object(key);
  if (!value) return std::nullopt;
  return ZUMJSONBool(*value, ZUMJSONStrings::Read);
}

std::optional<std::int64_t> ZUMUserDefaults::integerForKey(std::string_view key) {
  auto value = object(key);
  if (!value) return std::nullopt;
  return ZUMJSONInteger(*value, ZUMJSONStrings::Read);
}

std::optional<double> ZUMUserDefaults::doubleForKey(std::string_view key) {
  auto value = object(key);
  if (!value) return std::nullopt;
  return ZUMJSONDouble(*value, ZUMJSONStrings::Read);
}

std::optional<std::string> ZUMUserDefaults::stringForKey(std::string_view key) {
  auto value = object(key);
  if (!value) return std::nullopt;
  return platform::stringValue(*value);
}

std::optional<ordered_json> ZUMUserDefaults::arrayForKey(std::string_view key) { return structured(key, true); }

std::optional<std::vector<std::string>> ZUMUserDefaults::stringArrayForKey(std::string_view key) {
  auto array = arrayForKey(key);
  if (!array) return std::nullopt;
  std::vector<std::string> strings;
  for (const auto& element : *array) {
    if (element.is_string()) strings.push_back(element.get<std::string>());
  }
  return strings;
}

std::optional<ordered_json> ZUMUserDefaults::dictionaryForKey(std::string_view key) { return structured(key, false); }
