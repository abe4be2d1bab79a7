// Property-list values and the platform's readings of them.
//
// A property list is a nlohmann::ordered_json holding strings, numbers, booleans,
// arrays and dictionaries, plus the two kinds JSON lacks:
//   - data (bytes): a binary value without subtype;
//   - a date: a binary value of the date subtype holding seconds since 1970.
// Use makeData()/makeDate() and dataValue()/dateValue() rather than the binary values
// themselves. null is not a property-list value.
//
// The readings (boolValue(), integerValue(), ...) answer as the platform's number and
// string classes do: strings and numbers (booleans included) answer, with the string
// rules of StringConversions.h; anything else gives std::nullopt ("does not answer").
//
// On disk and wherever property lists become JSON text, data and dates are tagged:
//   data  -> {"$data": "<base64>"}
//   date  -> {"$date": <seconds since 1970>}
//   a dictionary whose only key is "$data", "$date" or "$dict" -> {"$dict": <it>}
// so every property list, dictionaries that look like tags included, comes back as it
// went. Pure functions, usable on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Clock.h"

namespace platform {

using Data = std::vector<std::uint8_t>;

// Deeper values are not property lists: deep nesting must not exhaust the stack of
// the recursive code that copies, compares and writes values.
inline constexpr std::size_t kMaxPropertyListDepth = 256;

nlohmann::ordered_json makeData(Data bytes);
// A non-finite time gives the date at 0 seconds, so that every date can be stored.
nlohmann::ordered_json makeDate(TimeInterval secondsSince1970);
bool isData(const nlohmann::ordered_json& value);
bool isDate(const nlohmann::ordered_json& value);
[[nodiscard]] std::optional<Data> dataValue(const nlohmann::ordered_json& value);
[[nodiscard]] std::optional<TimeInterval> dateValue(const nlohmann::ordered_json& value);

// Whether the value is a property list: no null, no non-finite number and no foreign
// binary value anywhere, nested no deeper than kMaxPropertyListDepth.
bool isPropertyList(const nlohmann::ordered_json& value);

[[nodiscard]] std::optional<bool> boolValue(const nlohmann::ordered_json& value);
[[nodiscard]] std::optional<std::int32_t> intValue(const nlohmann::ordered_json& value);
[[nodiscard]] std::optional<std::int64_t> integerValue(const nlohmann::ordered_json& value);
[[nodiscard]] std::optional<float> floatValue(const nlohmann::ordered_json& value);
[[nodiscard]] std::optional<double> doubleValue(const nlohmann::ordered_json& value);
// A string as it is; a number as its text (integers without a decimal point, doubles
// in their shortest form, booleans as "1" and "0").
[[nodiscard]] std::optional<std::string> stringValue(const nlohmann::ordered_json& value);

// The JSON form of a property list (tags above). Values that are not property lists
// are dropped where they stand; nullopt when the value itself is not one.
[[nodiscard]] std::optional<nlohmann::ordered_json> toTaggedJSON(const nlohmann::ordered_json& value);
// Reads the JSON form back. What cannot be read (null, a malformed tag, nesting too
// deep) is dropped where it stands, so the rest survives; nullopt when the value itself
// cannot be read.
[[nodiscard]] std::optional<nlohmann::ordered_json> fromTaggedJSON(const nlohmann::ordered_json& json);

}  // namespace platform
