#include "platform/base/Decimal.h"

#include <charconv>
#include <cmath>
#include <ostream>

namespace platform {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the significand "123.4500" from `text` at `i`. Digits are kept without leading
// zeros and with trailing zeros only counted, so a long run of zeros costs no memory.
struct Significand {
  std::string digits;
  std::int64_t pendingZeros = 0;    // zeros after the last non-zero digit
  std::int64_t fractionDigits = 0;  // digits read after the point
  bool sawDigit = false;
  bool tooManyDigits = false;
};

Significand readSignificand(std::string_view text, std::size_t& i) {
  Significand s;
  bool sawPoint = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !sawPoint) {
      sawPoint = true;
      continue;
    }
    if (!isDigit(c)) break;
    s.sawDigit = true;
    if (sawPoint) ++s.fractionDigits;
    if (c == '0') {
      if (!s.digits.empty()) ++s.pendingZeros;
      continue;
    }
    if (static_cast<std::int64_t>(s.digits.size()) + s.pendingZeros + 1 > Decimal::kMaxDigits) {
      s.tooManyDigits = true;
      continue;  // still read the rest, so that bad syntax is told apart
    }
    s.digits.append(static_cast<std::size_t>(s.pendingZeros), '0');
    s.pendingZeros = 0;
    s.digits.push_back(c);
  }
  return s;
}

// Reads "e-12" at `i`; saturates far beyond any exponent the type holds. False when an
// exponent mark is not followed by digits.
bool readExponent(std::string_view text, std::size_t& i, std::int64_t& exponent) {
  exponent = 0;
  if (i == text.size() || (text[i] != 'e' && text[i] != 'E')) return true;
  ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t start = i;
  constexpr std::int64_t kSaturated = 1'000'000'000'000;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    if (exponent < kSaturated) exponent = exponent * 10 + (text[i] - '0');
  }
  if (negative) exponent = -exponent;
  return i > start;
}

}  // namespace

std::optional<Decimal> Decimal::fromString(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  Significand s = readSignificand(text, i);
  std::int64_t exponent = 0;
  if (!s.sawDigit || !readExponent(text, i, exponent) || i != text.size()) return std::nullopt;
  if (s.tooManyDigits) return std::nullopt;  // not exactly representable
  Decimal result;
  if (s.digits.empty()) return result;  // zero, whatever its sign or exponent
  exponent += s.pendingZeros - s.fractionDigits;
  if (exponent < kMinExponent || exponent > kMaxExponent) return std::nullopt;
  result.digits_ = std::move(s.digits);
  result.exponent_ = static_cast<int>(exponent);
  result.negative_ = negative;
  return result;
}

std::optional<Decimal> Decimal::fromDouble(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (error != std::errc()) return std::nullopt;
  return fromString(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

void Decimal::setInteger(bool negative, std::uint64_t magnitude) {
  digits_.clear();
  exponent_ = 0;
  negative_ = false;
  if (magnitude == 0) return;
  for (; magnitude % 10 == 0; magnitude /= 10) ++exponent_;
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, magnitude).ptr;
  digits_.assign(buffer, end);
  negative_ = negative;
}

std::string Decimal::stringValue() const {
  if (isZero()) return "0";
  std::string text = negative_ ? "-" : "";
  const auto count = static_cast<int>(digits_.size());
  if (exponent_ >= 0) {
    text += digits_;
    text.append(static_cast<std::size_t>(exponent_), '0');
  } else if (-exponent_ >= count) {
    text += "0.";
    text.append(static_cast<std::size_t>(-exponent_ - count), '0');
    text += digits_;
  } else {
    const auto point = static_cast<std::size_t>(count + exponent_);
    text.append(digits_, 0, point);
    text += '.';
    text.append(digits_, point);
  }
  return text;
}

double Decimal::doubleValue() const {
  if (isZero()) return 0.0;
  const std::string text = digits_ + "e" + std::to_string(exponent_);
  double value = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), value);  // in range: 38 digits, |e| <= 128
  return negative_ ? -value : value;
}

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
  if (a.negative_ != b.negative_) return a.negative_ ? std::strong_ordering::less : std::strong_ordering::greater;
  std::strong_ordering magnitude = std::strong_ordering::equal;
  if (a.isZero() || b.isZero()) {
    magnitude = !a.isZero() <=> !b.isZero();
  } else {
    // The position of the leading digit decides first, then the digits themselves.
    const auto leadA = static_cast<std::int64_t>(a.digits_.size()) + a.exponent_;
    const auto leadB = static_cast<std::int64_t>(b.digits_.size()) + b.exponent_;
    magnitude = leadA != leadB ? leadA <=> leadB : a.digits_.compare(b.digits_) <=> 0;
  }
  return a.negative_ ? 0 <=> magnitude : magnitude;
}

std::ostream& operator<<(std::ostream& out, const Decimal& value) { return out << value.stringValue(); }

}  // namespace platform
