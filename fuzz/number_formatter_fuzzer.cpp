// The number formatter on arbitrary settings: the input is split at newlines into a
// decimal text, a positive pattern, a negative pattern and a locale, and its first byte
// picks the rounding mode. A decimal that reads formats to text or none; nothing throws
// or crashes, and formatting twice gives the same answer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/NumberFormatter.h"

namespace {

std::vector<std::string> fields(std::string_view text, std::size_t count) {
  std::vector<std::string> result;
  while (result.size() + 1 < count) {
    const auto newline = text.find('\n');
    if (newline == std::string_view::npos) break;
    result.emplace_back(text.substr(0, newline));
    text.remove_prefix(newline + 1);
  }
  result.emplace_back(text);
  result.resize(count);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 4096) return 0;  // patterns and prices are short
  const auto mode = static_cast<platform::NumberFormatter::RoundingMode>(data[0] % 7);
  const auto parts = fields(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), 4);
  const auto number = platform::Decimal::fromString(parts[0]);
  if (!number) return 0;
  platform::NumberFormatter formatter;
  formatter.setPositiveFormat(parts[1]);
  formatter.setNegativeFormat(parts[2]);
  if (!parts[3].empty()) formatter.setLocale(platform::Locale(parts[3]));
  formatter.setRoundingMode(mode);
  const auto first = formatter.stringFromNumber(*number);
  fuzzenv::check(formatter.stringFromNumber(*number) == first);
  return 0;
}
