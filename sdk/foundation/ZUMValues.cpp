#include "sdk/foundation/ZUMValues.h"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "platform/base/PropertyList.h"
#include "platform/base/StringConversions.h"
#include "sdk/foundation/ZUMJSONReaders.h"

std::string ZUMStringFromBOOL(bool value) { return value ? "1" : "0"; }

int ZUMNumberWithBool(bool value) { return value ? 1 : 0; }

std::string ZUMStringFromDouble(double value) {
  if (!std::isfinite(value)) return platform::doubleString(value);
  // "%f" of the largest double needs 310 digits before the point.
  char buffer[400];
  int length = std::snprintf(buffer, sizeof buffer, "%f", value);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return platform::doubleString(value);
  std::string text(buffer, static_cast<size_t>(length));
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  return text;
}

const nlohmann::ordered_json* ZUMObjectOfClassForKey(const nlohmann::ordered_json& dictionary, std::string_view key,
                                                     ZUMValueClass valueClass) {
  const nlohmann::ordered_json* found = ZUMJSONValueForKey(dictionary, key);
  if (!found) return nullptr;
  const nlohmann::ordered_json& value = *found;
  bool matches = false;
  switch (valueClass) {
    case ZUMValueClass::String:
      matches = value.is_string();
      break;
    case ZUMValueClass::Number:
      matches = value.is_number() || value.is_boolean();
      break;
    case ZUMValueClass::Array:
      matches = value.is_array();
      break;
    case ZUMValueClass::Dictionary:
      matches = value.is_object();
      break;
    case ZUMValueClass::Data:
      matches = platform::isData(value);
      break;
    case ZUMValueClass::Date:
      matches = platform::isDate(value);
      break;
  }
  return matches ? &value : nullptr;
}

std::optional<std::string> ZUMStringForKey(const nlohmann::ordered_json& dictionary, std::string_view key) {
  return ZUMJSONStringForKey(dictionary, key);
}

void ZUMSetObjectIfNotNil(nlohmann::ordered_json& dictionary, std::optional<std::string_view> key,
                          const nlohmann::ordered_json* value) {
  if (!key || !value || value->is_null()) return;
  if (dictionary.is_null()) dictionary = nlohmann::ordered_json::object();
  if (!dictionary.is_object()) return;
  dictionary[std::string(*key)] = *value;
}

void ZUMSetObjectIfNotNil(nlohmann::ordered_json& dictionary, std::optional<std::string_view> key,
                          const std::optional<nlohmann::ordered_json>& value) {
  ZUMSetObjectIfNotNil(dictionary, key, value ? &*value : nullptr);
}
