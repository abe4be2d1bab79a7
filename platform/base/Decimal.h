// An exact decimal number, as the platform's decimal numbers are: up to 38 significant
// digits times a power of ten between 10^-128 and 10^127. Amounts of money and rewards
// are kept in it, so 19.99 stays 19.99 and 2.5 stays 2.5 however they arrived.
//
// Made from text ("-12.50", "1e-7"), from an integer, or from a double through the
// shortest text that reads back as the same double (0.1 gives 0.1, not
// 0.1000000000000000055...). Text that is not a number, NaN, infinities and values the
// type cannot hold exactly give none, never a value. Compared by value (2.50 equals 2.5;
// there is no negative zero); printed plainly, without an exponent.
//
// A value type; usable on any thread.
#pragma once

#include <compare>
#include <concepts>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class Decimal {
 public:
  static constexpr int kMaxDigits = 38;
  static constexpr int kMinExponent = -128;
  static constexpr int kMaxExponent = 127;

  // Zero.
  Decimal() = default;
  template <std::integral Integer>
  requires(!std::same_as<Integer, bool>) explicit Decimal(Integer value) {
    if constexpr (std::is_signed_v<Integer>) {
      setInteger(value < 0, value < 0 ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value));
    } else {
      setInteger(false, static_cast<std::uint64_t>(value));
    }
  }

  // The whole text must be one number: an optional sign, digits with at most one decimal
  // point (at least one digit in all), and an optional exponent ("e" or "E", an optional
  // sign, digits). No white space, no "inf" or "nan", no hexadecimal.
  static std::optional<Decimal> fromString(std::string_view text);
  // Through the double's shortest round-trip text; none for NaN and infinities.
  static std::optional<Decimal> fromDouble(double value);

  // Plain text: "-0.0000001", "19.99", "9007199254740993", "0".
  std::string stringValue() const;
  // The nearest double.
  double doubleValue() const;

  bool isZero() const { return digits_.empty(); }
  bool isNegative() const { return negative_; }

  friend bool operator==(const Decimal&, const Decimal&) = default;
  friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

 private:
  void setInteger(bool negative, std::uint64_t magnitude);

  // Significant digits without leading or trailing zeros (empty for zero), so that equal
  // values have equal fields.
  std::string digits_;
  int exponent_ = 0;  // value = digits_ x 10^exponent_
  bool negative_ = false;
};

std::ostream& operator<<(std::ostream& out, const Decimal& value);

}  // namespace platform
