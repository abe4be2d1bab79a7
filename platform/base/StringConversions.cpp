#include "platform/base/StringConversions.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <locale.h>
#include <stdlib.h>
#include <system_error>

namespace platform {
namespace {

// The length of the white-space character at the start of `s` (ASCII white space and
// the Unicode white-space characters in UTF-8), or 0.
std::size_t whiteSpaceLength(std::string_view s) {
  if (s.empty()) return 0;
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 == ' ' || (b0 >= '\t' && b0 <= '\r')) return 1;
  if (s.size() >= 2 && b0 == 0xC2) {
    const auto b1 = static_cast<unsigned char>(s[1]);
    if (b1 == 0x85 || b1 == 0xA0) return 2;  // next line, no-break space
  }
  if (s.size() >= 3) {
    const auto b1 = static_cast<unsigned char>(s[1]);
    const auto b2 = static_cast<unsigned char>(s[2]);
    if (b0 == 0xE1 && b1 == 0x9A && b2 == 0x80) return 3;  // ogham space mark
    if (b0 == 0xE2 && b1 == 0x80 && (b2 <= 0x8A || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF)) {
      return 3;  // en quad .. hair space, line/paragraph separators, narrow no-break
    }
    if (b0 == 0xE2 && b1 == 0x81 && b2 == 0x9F) return 3;  // medium mathematical space
    if (b0 == 0xE3 && b1 == 0x80 && b2 == 0x80) return 3;  // ideographic space
  }
  return 0;
}

std::string_view skipWhiteSpace(std::string_view s) {
  while (std::size_t n = whiteSpaceLength(s)) s.remove_prefix(n);
  return s;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads an optional sign and digits, saturating at [minimum, maximum].
template <class Int>
Int readInteger(std::string_view text) {
  std::string_view s = skipWhiteSpace(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  constexpr Int kMax = std::numeric_limits<Int>::max();
  constexpr Int kMin = std::numeric_limits<Int>::min();
  Int value = 0;  // accumulated negatively, so that the minimum fits
  for (char c : s) {
    if (!isDigit(c)) break;
    const Int digit = static_cast<Int>(c - '0');
    if (value < (kMin + digit) / 10) {
      return negative ? kMin : kMax;
    }
    value = static_cast<Int>(value * 10 - digit);
  }
  if (negative) return value;
  return value == kMin ? kMax : static_cast<Int>(-value);
}

// The leading floating-point number of the text (sign included), or empty.
std::string_view floatingPrefix(std::string_view text) {
  const std::string_view s = skipWhiteSpace(text);
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return {};
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && isDigit(s[j])) {
      while (j < s.size() && isDigit(s[j])) ++j;
      i = j;
    }
  }
  return s.substr(0, i);
}

// The "C" locale, so that the decimal point is "." whatever the process set.
locale_t cLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

bool stringBoolValue(std::string_view text) {
  std::string_view s = skipWhiteSpace(text);
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
  while (!s.empty() && s[0] == '0') s.remove_prefix(1);
  if (s.empty()) return false;
  const char c = s[0];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::int32_t stringIntValue(std::string_view text) { return readInteger<std::int32_t>(text); }

std::int64_t stringIntegerValue(std::string_view text) { return readInteger<std::int64_t>(text); }

double stringDoubleValue(std::string_view text) {
  const std::string prefix(floatingPrefix(text));
  if (prefix.empty()) return 0;
  // The prefix is a plain decimal number, so strtod reads all of it; it gives
  // +-HUGE_VAL on overflow and 0 (or a subnormal) on underflow, as the platform does.
  return strtod_l(prefix.c_str(), nullptr, cLocale());
}

float stringFloatValue(std::string_view text) {
  const std::string prefix(floatingPrefix(text));
  if (prefix.empty()) return 0;
  return strtof_l(prefix.c_str(), nullptr, cLocale());
}

std::string integerString(std::int64_t value) { return std::to_string(value); }

std::string unsignedString(std::uint64_t value) { return std::to_string(value); }

std::string doubleString(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";

  // Shortest digits that round-trip, in scientific form: "-d.ddde+XX".
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = sci.find('e');
  std::string_view mantissa = sci.substr(0, e);
  int exponent = 0;
  std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);

  std::string out;
  if (!mantissa.empty() && mantissa[0] == '-') {
    out += '-';
    mantissa.remove_prefix(1);
  }
  std::string digits;
  for (char c : mantissa) {
    if (c != '.') digits += c;
  }

  if (exponent < -4 || exponent >= 17) {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += exponent < 0 ? "e-" : "e+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
    return out;
  }
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
    return out;
  }
  const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= integerDigits) {
    out += digits;
    out.append(integerDigits - digits.size(), '0');
  } else {
    out.append(digits, 0, integerDigits);
    out += '.';
    out.append(digits, integerDigits);
  }
  return out;
}

}  // namespace platform
