// Typed reads of the SDK's switches in the standard user defaults: keys under
// "/vantor/ads/" (and a few bare ones) that the server's constants write, mostly as
// strings, and that anybody may have written with any type. Each read checks the type
// and answers std::nullopt when the key is absent or its value cannot be read as asked,
// so the caller applies its own built-in default:
//
//   bool on = ZUMUserDefaults::boolForKey("/vantor/ads/zums:rdiim_signal").value_or(true);
//
// Booleans and numbers read as ZUMJSONReaders.h reads them (its one rule for numeric
// strings and non-finite numbers); strings also read numbers as their text. Static
// functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

inline constexpr const char* kZUMUserDefaultsPrefix = "/vantor/ads/";

class ZUMUserDefaults {
 public:
  // "/vantor/ads/" followed by `name`.
  static std::string keyForName(std::string_view name);

  // A boolean, a number (non-zero is true) or a string ("YES", "true", "1" are true).
  static std::optional<bool> boolForKey(std::string_view key);
  // A finite number (saturated; fractions cut) or a string beginning with one ("42abc"
  // is 42; a word is absent, never 0).
  static std::optional<std::int64_t> integerForKey(std::string_view key);
  // A finite number, or a string beginning with one; infinities, NaN and words read as
  // absent.
  static std::optional<double> doubleForKey(std::string_view key);
  // A string as it is, a number as its text.
  static std::optional<std::string> stringForKey(std::string_view key);
  // An array, or a string holding a JSON array (constants arrive as strings).
  static std::optional<nlohmann::ordered_json> arrayForKey(std::string_view key);
  // The strings of such an array, its other elements skipped.
  static std::optional<std::vector<std::string>> stringArrayForKey(std::string_view key);
  // A dictionary, or a string holding a JSON dictionary.
  static std::optional<nlohmann::ordered_json> dictionaryForKey(std::string_view key);
};
