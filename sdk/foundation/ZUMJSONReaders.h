// The one family of typed readers for values that come from JSON or the user defaults:
// server responses and headers, page messages, request parameters, stored settings.
// New code that reads such a value uses these; no file keeps readers of its own.
//
// Every reader answers the value when it is of a kind the reader takes, and otherwise
// std::nullopt (the ...ForKey forms with a default answer the default instead):
//   - absent, null, and kinds the reader does not take count as absent;
//   - a non-finite number (NaN, infinity) counts as absent for every reader;
//   - booleans read as numbers 1 and 0; numbers read as booleans by "not zero";
//   - integers from fractions are cut toward zero and saturate at the int64 limits;
//   - strings, arrays and objects are read only from strings, arrays and objects.
// Strings stand for numbers and booleans only where the value is text by nature
// (settings, headers, SDK constants) and the caller says so with ZUMJSONStrings::Read;
// values that are typed (server and page JSON, request parameters) keep the default,
// ZUMJSONStrings::Refused. A string then reads by one rule: as a boolean by the
// platform's string rule ("true", "yes" and a leading non-zero digit are true, other
// text false), and as a number only when it begins with one (after white space, a sign
// and a point): "42abc" reads 42 as the platform reads it, while a word is of the wrong
// kind, never 0.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

// Whether a string may stand for a number or a boolean (see above).
enum class ZUMJSONStrings { Refused, Read };

// The value under `key` when `dictionary` is a dictionary holding it; nullptr otherwise.
// The pointer is into `dictionary`.
const nlohmann::ordered_json* ZUMJSONValueForKey(const nlohmann::ordered_json& dictionary, std::string_view key);

[[nodiscard]] std::optional<bool> ZUMJSONBool(const nlohmann::ordered_json& value,
                                              ZUMJSONStrings strings = ZUMJSONStrings::Refused);
[[nodiscard]] std::optional<std::int64_t> ZUMJSONInteger(const nlohmann::ordered_json& value,
                                                         ZUMJSONStrings strings = ZUMJSONStrings::Refused);
[[nodiscard]] std::optional<double> ZUMJSONDouble(const nlohmann::ordered_json& value,
                                                  ZUMJSONStrings strings = ZUMJSONStrings::Refused);
[[nodiscard]] std::optional<std::string> ZUMJSONString(const nlohmann::ordered_json& value);
// A string as it is; a finite number (or boolean) as its text, as the platform's number
// writes it ("42", "4.5", "1"); std::nullopt for other kinds.
[[nodiscard]] std::optional<std::string> ZUMJSONStringOrNumberText(const nlohmann::ordered_json& value);
// The string items of an array, in order (other items skipped); std::nullopt when the
// value is no array.
[[nodiscard]] std::optional<std::vector<std::string>> ZUMJSONStringItems(const nlohmann::ordered_json& value);
// The value itself when it is an array (an object); nullptr otherwise.
const nlohmann::ordered_json* ZUMJSONArray(const nlohmann::ordered_json& value);
const nlohmann::ordered_json* ZUMJSONObject(const nlohmann::ordered_json& value);

[[nodiscard]] std::optional<bool> ZUMJSONBoolForKey(const nlohmann::ordered_json& dictionary, std::string_view key,
                                                    ZUMJSONStrings strings = ZUMJSONStrings::Refused);
[[nodiscard]] std::optional<std::int64_t> ZUMJSONIntegerForKey(const nlohmann::ordered_json& dictionary,
                                                               std::string_view key,
                                                               ZUMJSONStrings strings = ZUMJSONStrings::Refused);
[[nodiscard]] std::optional<double> ZUMJSONDoubleForKey(const nlohmann::ordered_json& dictionary, std::string_view key,
                                                        ZUMJSONStrings strings = ZUMJSONStrings::Refused);
[[nodiscard]] std::optional<std::string> ZUMJSONStringForKey(const nlohmann::ordered_json& dictionary,
                                                             std::string_view key);
[[nodiscard]] std::optional<std::vector<std::string>> ZUMJSONStringItemsForKey(const nlohmann::ordered_json& dictionary,
                                                                               std::string_view key);
const nlohmann::ordered_json* ZUMJSONArrayForKey(const nlohmann::ordered_json& dictionary, std::string_view key);
const nlohmann::ordered_json* ZUMJSONObjectForKey(const nlohmann::ordered_json& dictionary, std::string_view key);

bool ZUMJSONBoolForKey(const nlohmann::ordered_json& dictionary, std::string_view key, bool defaultValue,
                       ZUMJSONStrings strings = ZUMJSONStrings::Refused);
std::int64_t ZUMJSONIntegerForKey(const nlohmann::ordered_json& dictionary, std::string_view key,
                                  std::int64_t defaultValue, ZUMJSONStrings strings = ZUMJSONStrings::Refused);
double ZUMJSONDoubleForKey(const nlohmann::ordered_json& dictionary, std::string_view key, double defaultValue,
                           ZUMJSONStrings strings = ZUMJSONStrings::Refused);
std::string ZUMJSONStringForKey(const nlohmann::ordered_json& dictionary, std::string_view key,
                                std::string defaultValue);
