#include "sdk/foundation/ZUMColor.h"

#include <cstdint>

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isSkipped(char c) { return c == '#' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

std::optional<platform::Color> ZUMColorFromHexString(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isSkipped(text[i])) ++i;
  if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      hexDigit(text[i + 2]) >= 0) {
    i += 2;
  }
  if (i >= text.size() || hexDigit(text[i]) < 0) return std::nullopt;
  std::uint64_t value = 0;
  for (; i < text.size() && hexDigit(text[i]) >= 0; ++i) {
    value = value * 16 + static_cast<std::uint64_t>(hexDigit(text[i]));
    if (value > UINT32_MAX) value = UINT32_MAX;
  }
  return platform::Color::rgb(static_cast<double>((value >> 16) & 0xFF) / 255.0,
                              static_cast<double>((value >> 8) & 0xFF) / 255.0,
                              static_cast<double>(value & 0xFF) / 255.0);
}
