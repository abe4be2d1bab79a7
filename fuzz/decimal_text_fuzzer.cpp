// The exact-decimal text reader on arbitrary bytes: a value or none, never a crash; a
// value prints to plain text that reads back as the same value and prints the same, and
// its double is finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/Decimal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto value = platform::Decimal::fromString(text);
  if (!value) return 0;
  const auto printed = value->stringValue();
  const auto again = platform::Decimal::fromString(printed);
  fuzzenv::check(again.has_value());
  fuzzenv::check(*again == *value);
  fuzzenv::check((*again <=> *value) == 0);
  fuzzenv::check(again->stringValue() == printed);
  fuzzenv::check(std::isfinite(value->doubleValue()));
  fuzzenv::check(value->isZero() == (printed == "0"));
  return 0;
}
