// The SDK's JSON helpers on arbitrary text: decoding never crashes; the platform's reader
// agrees with the library's own parse (the same texts refused, the same value, keys in the
// same order, a key written twice in its first place with its last value); whatever
// decodes can be written back; JSON-safe copies of any value (non-finite numbers, data,
// dates, broken UTF-8 included) can always be written.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/JSONParsing.h"
#include "platform/base/PropertyList.h"
#include "sdk/foundation/ZUMJSONAdditions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto linear = platform::parseJSON(text, platform::JSONParseFailure::Discard);
  const auto plain = nlohmann::ordered_json::parse(text.begin(), text.end(), nullptr, false);
  fuzzenv::check(linear.is_discarded() == plain.is_discarded());
  // Objects compare member by member in order.
  if (!plain.is_discarded()) fuzzenv::check(linear == plain);

  platform::ErrorPtr error;
  auto value = zum_decodedJSONObjectError(text, &error);
  fuzzenv::check(value.has_value() != (error != nullptr));
  if (value) {
    auto compact = zum_JSONStringPretty(*value, false, nullptr);
    fuzzenv::check(compact.has_value());
    auto again = zum_decodedJSONObjectError(*compact, nullptr);
    fuzzenv::check(again.has_value() && *again == *value);
    fuzzenv::check(zum_JSONStringPretty(*value, true, nullptr).has_value());
  }

  // Values JSON cannot hold, mixed with the input's own.
  nlohmann::ordered_json hostile = nlohmann::ordered_json::object();
  hostile[std::string(text.substr(0, 16))] = std::string(text);
  hostile["nan"] = NAN;
  hostile["inf"] = size % 2 ? INFINITY : -INFINITY;
  hostile["data"] = platform::makeData(platform::Data(data, data + std::min<std::size_t>(size, 64)));
  double seconds = 0;
  if (size >= sizeof seconds) std::memcpy(&seconds, data, sizeof seconds);
  hostile["date"] = platform::makeDate(seconds);
  hostile["date_raw"] = nlohmann::ordered_json::binary(platform::Data(data, data + std::min<std::size_t>(size, 8)), 1);
  if (value) hostile["decoded"] = *value;

  auto safe = zum_JSONSafeDictionary(hostile);
  fuzzenv::check(zum_JSONStringPretty(safe, false, nullptr).has_value());
  auto safeArray = zum_JSONSafeArray(nlohmann::ordered_json::array({hostile, std::string(text)}));
  fuzzenv::check(zum_JSONStringPretty(safeArray, true, nullptr).has_value());
  return 0;
}
