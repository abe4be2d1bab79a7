#include "sdk/foundation/ZUMJSONReaders.h"

#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/PropertyList.h"
#include "platform/base/StringConversions.h"
#include "sdk/foundation/ZUMValues.h"

using Json = nlohmann::ordered_json;

namespace {

// Whether the text begins with a number after white space, a sign and a point.
bool beginsWithNumber(const std::string& text) {
  std::size_t i = text.find_first_not_of(" \t\n\r\f\v");
  if (i == std::string::npos) return false;
  if (text[i] == '+' || text[i] == '-') ++i;
  if (i < text.size() && text[i] == '.') ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

bool isNonFinite(const Json& value) { return value.is_number_float() && !std::isfinite(value.get<double>()); }

// A value the number readers take: a finite number, a boolean, or (when strings are
// read) a string that begins with a number.
bool isNumeric(const Json& value, ZUMJSONStrings strings) {
  if (value.is_boolean()) return true;
  if (value.is_number()) return !isNonFinite(value);
  return strings == ZUMJSONStrings::Read && value.is_string() && beginsWithNumber(value.get_ref<const std::string&>());
}

template <typename Reader>
auto readForKey(const Json& dictionary, std::string_view key, Reader reader) -> decltype(reader(dictionary)) {
  const Json* value = ZUMJSONValueForKey(dictionary, key);
  if (!value) return {};
  return reader(*value);
}

}  // namespace

const Json* ZUMJSONValueForKey(const Json& dictionary, std::string_view key) {
  if (!dictionary.is_object()) return nullptr;
  auto it = dictionary.find(key);
  return it == dictionary.end() ? nullptr : &*it;
}

std::optional<bool> ZUMJSONBool(const Json& value, ZUMJSONStrings strings) {
  if (isNonFinite(value)) return std::nullopt;
  if (value.is_string() && strings == ZUMJSONStrings::Refused) return std::nullopt;
  return platform::boolValue(value);
}

std::optional<std::int64_t> ZUMJSONInteger(const Json& value, ZUMJSONStrings strings) {
  if (!isNumeric(value, strings)) return std::nullopt;
  return platform::integerValue(value);
}

std::optional<double> ZUMJSONDouble(const Json& value, ZUMJSONStrings strings) {
  if (!isNumeric(value, strings)) return std::nullopt;
  auto number = platform::doubleValue(value);
  if (!number || !std::isfinite(*number)) return std::nullopt;
  return number;
}

std::optional<std::string> ZUMJSONString(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  return value.get<std::string>();
}

std::optional<std::string> ZUMJSONStringOrNumberText(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return value.get<bool>() ? "1" : "0";
  if (value.is_number_unsigned()) return std::to_string(value.get<std::uint64_t>());
  if (value.is_number_integer()) return std::to_string(value.get<std::int64_t>());
  if (auto number = ZUMJSONDouble(value)) return ZUMStringFromDouble(*number);
  return std::nullopt;
}

std::optional<std::vector<std::string>> ZUMJSONStringItems(const Json& value) {
  if (!value.is_array()) return std::nullopt;
  std::vector<std::string> strings;
  for (const auto& item : value) {
    if (item.is_string()) strings.push_back(item.get<std::string>());
  }
  return strings;
}

std::optional<std::vector<std::string>> ZUMJSONStringItemsForKey(const Json& dictionary, std::string_view key) {
  return readForKey(dictionary, key, [](const Json& value) { return ZUMJSONStringItems(value); });
}

const Json* ZUMJSONArray(const Json& value) { return value.is_array() ? &value : nullptr; }

const Json* ZUMJSONObject(const Json& value) { return value.is_object() ? &value : nullptr; }

std::optional<bool> ZUMJSONBoolForKey(const Json& dictionary, std::string_view key, ZUMJSONStrings strings) {
  return readForKey(dictionary, key, [strings](const Json& value) { return ZUMJSONBool(value, strings); });
}

std::optional<std::int64_t> ZUMJSONIntegerForKey(const Json& dictionary, std::string_view key, ZUMJSONStrings strings) {
  return readForKey(dictionary, key, [strings](const Json& value) { return ZUMJSONInteger(value, strings); });
}

std::optional<double> ZUMJSONDoubleForKey(const Json& dictionary, std::string_view key, ZUMJSONStrings strings) {
  return readForKey(dictionary, key, [strings](const Json& value) { return ZUMJSONDouble(value, strings); });
}

std::optional<std::string> ZUMJSONStringForKey(const Json& dictionary, std::string_view key) {
  return readForKey(dictionary, key, ZUMJSONString);
}

const Json* ZUMJSONArrayForKey(const Json& dictionary, std::string_view key) {
  return readForKey(dictionary, key, ZUMJSONArray);
}

const Json* ZUMJSONObjectForKey(const Json& dictionary, std::string_view key) {
  return readForKey(dictionary, key, ZUMJSONObject);
}

bool ZUMJSONBoolForKey(const Json& dictionary, std::string_view key, bool defaultValue, ZUMJSONStrings strings) {
  return ZUMJSONBoolForKey(dictionary, key, strings).value_or(defaultValue);
}

std::int64_t ZUMJSONIntegerForKey(const Json& dictionary, std::string_view key, std::int64_t defaultValue,
                                  ZUMJSONStrings strings) {
  return ZUMJSONIntegerForKey(dictionary, key, strings).value_or(defaultValue);
}

double ZUMJSONDoubleForKey(const Json& dictionary, std::string_view key, double defaultValue, ZUMJSONStrings strings) {
  return ZUMJSONDoubleForKey(dictionary, key, strings).value_or(defaultValue);
}

std::string ZUMJSONStringForKey(const Json& dictionary, std::string_view key, std::string defaultValue) {
  auto value = ZUMJSONStringForKey(dictionary, key);
  return value ? std::move(*value) : std::move(defaultValue);
}
