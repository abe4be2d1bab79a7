#include "sdk/foundation/ZUMJSONAdditions.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>
#include <unicode/unistr.h>

#include "platform/base/JSONObjectIndex.h"
#include "platform/base/JSONParsing.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/PropertyList.h"
#include "platform/base/StringConversions.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUM_HVRStringEncoding.h"

using nlohmann::ordered_json;

namespace {

bool isValidJSONValue(const ordered_json& value, std::size_t depth) {
  if (depth > platform::kMaxPropertyListDepth) return false;
  switch (value.type()) {
    case ordered_json::value_t::null:
    case ordered_json::value_t::boolean:
    case ordered_json::value_t::number_integer:
    case ordered_json::value_t::number_unsigned:
      return true;
    case ordered_json::value_t::number_float:
      return std::isfinite(value.get<double>());
    case ordered_json::value_t::string:
      return platform::PercentEncoding::isValidUTF8(value.get_ref<const std::string&>());
    case ordered_json::value_t::array:
      for (const auto& element : value) {
        if (!isValidJSONValue(element, depth + 1)) return false;
      }
      return true;
    case ordered_json::value_t::object:
      for (const auto& [key, element] : value.items()) {
        if (!platform::PercentEncoding::isValidUTF8(key)) return false;
        if (!isValidJSONValue(element, depth + 1)) return false;
      }
      return true;
    default:
      return false;
  }
}

std::string validUTF8(const std::string& text) {
  if (platform::PercentEncoding::isValidUTF8(text)) return text;
  std::string repaired;
  icu::UnicodeString::fromUTF8(text).toUTF8String(repaired);
  return repaired;
}

std::string dateText(double secondsSince1970) {
  // Years 0 to 9999 keep the text's shape; other dates fall back to the number.
  if (!(secondsSince1970 >= -62167219200.0 && secondsSince1970 < 253402300800.0)) {
    return platform::doubleString(secondsSince1970);
  }
  std::time_t seconds = static_cast<std::time_t>(std::floor(secondsSince1970));
  std::tm parts{};
  if (!gmtime_r(&seconds, &parts)) return platform::doubleString(secondsSince1970);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d +0000", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return buffer;
}

ordered_json safeValue(const ordered_json& value, std::size_t depth);

ordered_json safeDictionary(const ordered_json& dictionary, std::size_t depth) {
  ordered_json copy = ordered_json::object();
  // Two keys may repair to the same text: the later value takes the first one's place.
  platform::JSONObjectIndex keys(copy.get_ref<ordered_json::object_t&>());
  for (const auto& [key, element] : dictionary.items()) keys[validUTF8(key)] = safeValue(element, depth + 1);
  return copy;
}

ordered_json safeArray(const ordered_json& array, std::size_t depth) {
  ordered_json copy = ordered_json::array();
  for (const auto& element : array) copy.push_back(safeValue(element, depth + 1));
  return copy;
}

ordered_json safeValue(const ordered_json& value, std::size_t depth) {
  if (depth >= platform::kMaxPropertyListDepth) return nullptr;
  switch (value.type()) {
    case ordered_json::value_t::number_float: {
      double number = value.get<double>();
      if (std::isfinite(number)) return value;
      return platform::doubleString(number);
    }
    case ordered_json::value_t::string:
      return validUTF8(value.get_ref<const std::string&>());
    case ordered_json::value_t::binary: {
      if (auto date = platform::dateValue(value)) return dateText(*date);
      const auto& bytes = value.get_binary();
      return ZUM_HVRStringEncoding::rfc4648Base64StringEncoding().encode(bytes.data(), bytes.size());
    }
    case ordered_json::value_t::array:
      return safeArray(value, depth);
    case ordered_json::value_t::object:
      return safeDictionary(value, depth);
    case ordered_json::value_t::discarded:
      return nullptr;
    default:
      return value;
  }
}

// The deepest nesting of arrays and dictionaries in JSON text, strings skipped; stops
// counting once past `limit`.
std::size_t nestingDepth(std::string_view text, std::size_t limit) {
  std::size_t depth = 0, deepest = 0;
  bool inString = false, escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"')
      inString = true;
    else if (c == '[' || c == '{') {
      if (++depth > deepest) deepest = depth;
      if (deepest > limit) return deepest;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

bool allNumbersFinite(const ordered_json& value) {
  if (value.is_number_float()) return std::isfinite(value.get<double>());
  if (value.is_structured()) {
    for (const auto& element : value) {
      if (!allNumbersFinite(element)) return false;
    }
  }
  return true;
}

platform::ErrorPtr readingError(std::string reason) {
  platform::Error::Details details;
  details.localizedDescription = "The data couldn't be read because it isn't in the correct format.";
  details.localizedFailureReason = std::move(reason);
  return platform::Error::create(kZUMJSONReadingErrorDomain, kZUMJSONReadingErrorCorrupt, ordered_json::object(),
                                 std::move(details));
}

}  // namespace

bool zum_isValidJSONObject(const ordered_json& value) { return value.is_structured() && isValidJSONValue(value, 0); }

std::optional<std::string> zum_JSONStringPretty(const ordered_json& value, bool pretty, platform::ErrorPtr* error) {
  if (zum_isValidJSONObject(value)) {
    try {
      return pretty ? value.dump(2) : value.dump();
    } catch (const ordered_json::exception&) {
      // Falls through to the error below.
    }
  }
  if (error) *error = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Invalid JSON object.");
  return std::nullopt;
}

std::optional<ordered_json> zum_decodedJSONObjectError(std::optional<std::string_view> text,
                                                       platform::ErrorPtr* error) {
  if (!text) return std::nullopt;
  platform::ErrorPtr failure;
  std::optional<ordered_json> result;
  if (nestingDepth(*text, platform::kMaxPropertyListDepth) > platform::kMaxPropertyListDepth) {
    failure = readingError("The JSON text nests too deeply.");
  } else {
    try {
      ordered_json value = platform::parseJSON(*text);
      if (!value.is_structured()) {
        failure = readingError("The JSON text is not a dictionary or an array.");
      } else if (!allNumbersFinite(value)) {
        failure = readingError("The JSON text holds a number out of range.");
      } else {
        result = std::move(value);
      }
    } catch (const ordered_json::exception& exception) {
      failure = readingError(exception.what());
    }
  }
  if (!result && error) *error = std::move(failure);
  return result;
}

ordered_json zum_JSONSafeDictionary(const ordered_json& dictionary) {
  if (!dictionary.is_object()) return ordered_json::object();
  return safeDictionary(dictionary, 0);
}

ordered_json zum_JSONSafeArray(const ordered_json& array) {
  if (!array.is_array()) return ordered_json::array();
  return safeArray(array, 0);
}

// JSON text made safe for a script: every character that could end a quoted string,
// a line of script or a <script> element is escaped. In JSON text these characters can
// only stand inside strings, where a \uXXXX escape reads back as the same character.
std::string ZUMScriptSafeJSON(const std::string& json) {
  std::string out;
  out.reserve(json.size() + json.size() / 8);
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    switch (c) {
      case '<':
        out += "\\u003c";
        continue;
      case '>':
        out += "\\u003e";
        continue;
      case '&':
        out += "\\u0026";
        continue;
      case '\'':
        out += "\\u0027";
        continue;
      default:
        break;
    }
    // U+2028 and U+2029 end a line of script in older engines: E2 80 A8 / E2 80 A9.
    if (static_cast<unsigned char>(c) == 0xE2 && i + 2 < json.size() &&
        static_cast<unsigned char>(json[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(json[i + 2]) == 0xA8 || static_cast<unsigned char>(json[i + 2]) == 0xA9)) {
      out += static_cast<unsigned char>(json[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
      i += 2;
      continue;
    }
    out += c;
  }
  return out;
}
