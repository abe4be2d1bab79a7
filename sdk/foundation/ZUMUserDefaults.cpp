#include "sdk/foundation/ZUMUserDefaults.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/base/PropertyList.h"
#include "platform/base/UserDefaults.h"
#include "sdk/foundation/ZUMJSONAdditions.h"

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

// Whether a stored string begins with a number (after leading white space): "42abc"
// reads as 42, as the platform reads it, but a word must not read as 0.
bool beginsWithNumber(const ordered_json& value) {
  if (!value.is_string()) return true;
  const auto& text = value.get_ref<const std::string&>();
  std::size_t i = text.find_first_not_of(" \t\n\r\f\v");
  if (i == std::string::npos) return false;
  if (text[i] == '+' || text[i] == '-') ++i;
  if (i < text.size() && text[i] == '.') ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

}  // namespace

std::string ZUMUserDefaults::keyForName(std::string_view name) {
  return kZUMUserDefaultsPrefix + std::string(name);
}

std::optional<bool> ZUMUserDefaults::boolForKey(std::string_view key) {
  auto value = object(key);
  if (!value) return std::nullopt;
  return platform::boolValue(*value);
}

std::optional<std::int64_t> ZUMUserDefaults::integerForKey(std::string_view key) {
  auto value = object(key);
  if (!value) return std::nullopt;
  if (value->is_number_float() && std::isnan(value->get<double>())) return std::nullopt;
  if (!beginsWithNumber(*value)) return std::nullopt;
  return platform::integerValue(*value);
}

std::optional<double> ZUMUserDefaults::doubleForKey(std::string_view key) {
  auto value = object(key);
  if (!value || !beginsWithNumber(*value)) return std::nullopt;
  auto number = platform::doubleValue(*value);
  if (!number || !std::isfinite(*number)) return std::nullopt;
  return number;
}

std::optional<std::string> ZUMUserDefaults::stringForKey(std::string_view key) {
  auto value = object(key);
  if (!value) return std::nullopt;
  return platform::stringValue(*value);
}

std::optional<ordered_json> ZUMUserDefaults::arrayForKey(std::string_view key) {
  return structured(key, true);
}

std::optional<std::vector<std::string>> ZUMUserDefaults::stringArrayForKey(std::string_view key) {
  auto array = arrayForKey(key);
  if (!array) return std::nullopt;
  std::vector<std::string> strings;
  for (const auto& element : *array) {
    if (element.is_string()) strings.push_back(element.get<std::string>());
  }
  return strings;
}

std::optional<ordered_json> ZUMUserDefaults::dictionaryForKey(std::string_view key) {
  return structured(key, false);
}
