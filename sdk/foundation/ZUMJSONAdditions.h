// JSON text from dictionaries and arrays, values decoded from JSON text, and JSON-safe
// copies of dictionaries and arrays. Standard JSON throughout (escaping for embedding
// in scripts is the message protocol's business). Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"

// Domain of the errors of zum_decodedJSONObjectError: the text is not JSON, its top
// level is not a dictionary or an array, it nests too deeply, or it holds a number out
// of range. Code kZUMJSONReadingErrorCorrupt.
inline constexpr const char* kZUMJSONReadingErrorDomain = "com.vantor.ads.json";
inline constexpr std::int64_t kZUMJSONReadingErrorCorrupt = 3840;

// The JSON text of a dictionary or array, indented when `pretty`, compact otherwise.
// std::nullopt and the error (11, "Invalid JSON object.") when `value` is not a valid
// JSON object: its top level is not a dictionary or an array, or it holds data, a date,
// a non-finite number, a string that is not UTF-8, or nesting beyond
// platform::kMaxPropertyListDepth. zum_JSONSafeDictionary/Array turn any value into one
// that this accepts.
[[nodiscard]] std::optional<std::string> zum_JSONStringPretty(const nlohmann::ordered_json& value, bool pretty,
                                                              platform::ErrorPtr* error);
// Whether zum_JSONStringPretty accepts `value`, without writing the text.
[[nodiscard]] bool zum_isValidJSONObject(const nlohmann::ordered_json& value);

// The dictionary or array that the UTF-8 text encodes; std::nullopt with an error of
// kZUMJSONReadingErrorDomain when it does not. No text gives nothing and no error.
[[nodiscard]] std::optional<nlohmann::ordered_json> zum_decodedJSONObjectError(std::optional<std::string_view> text,
                                                                               platform::ErrorPtr* error);

// A copy that zum_JSONStringPretty accepts, nested values made safe too:
//   - a non-finite number becomes its text ("nan", "inf", "-inf");
//   - data (and any other binary value) becomes its standard base64 text;
//   - a date becomes its text "yyyy-MM-dd HH:mm:ss +0000" (UTC);
//   - invalid UTF-8 in keys and strings becomes U+FFFD;
//   - anything nested deeper than platform::kMaxPropertyListDepth becomes null.
// Anything that is not a dictionary (array) gives an empty one.
nlohmann::ordered_json zum_JSONSafeDictionary(const nlohmann::ordered_json& dictionary);
nlohmann::ordered_json zum_JSONSafeArray(const nlohmann::ordered_json& array);

// JSON text made safe to embed in a script or a <script> element: "<", ">", "&", "'",
// U+2028 and U+2029 are written as \uXXXX escapes (in JSON they can stand only inside
// strings, where the escape reads back as the same character).
std::string ZUMScriptSafeJSON(const std::string& json);
