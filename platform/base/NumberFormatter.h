// Formats exact decimals as text, the way the platform's number formatter does with a
// locale, a positive and a negative pattern ("#.######" / "-#.######": at most six
// fraction digits, no grouping) and a rounding mode. Patterns follow the number-pattern
// syntax of the ICU library, which formats here. Formatting is exact: the decimal's digits
// are rounded once, by the rounding mode, never through a double.
//
// A pattern the formatter cannot use, or a number it cannot format, gives none; nothing
// throws. One formatter may be used from one thread at a time; the first format after a
// change of settings prepares the formatter, later ones reuse it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/base/Decimal.h"
#include "platform/base/Locale.h"

namespace platform {

class NumberFormatter {
 public:
  // The platform's rounding modes, numbered as it numbers them.
  enum class RoundingMode { Ceiling = 0, Floor = 1, Down = 2, Up = 3, HalfEven = 4, HalfDown = 5, HalfUp = 6 };

  // The current locale, the pattern "#" (whole numbers) and half-even rounding.
  NumberFormatter();
  ~NumberFormatter();
  NumberFormatter(const NumberFormatter&) = delete;
  NumberFormatter& operator=(const NumberFormatter&) = delete;

  const Locale& locale() const { return locale_; }
  void setLocale(Locale locale);
  const std::string& positiveFormat() const { return positiveFormat_; }
  void setPositiveFormat(std::string pattern);
  // Empty (the default): negative numbers take the positive pattern behind a minus sign.
  const std::string& negativeFormat() const { return negativeFormat_; }
  void setNegativeFormat(std::string pattern);
  RoundingMode roundingMode() const { return roundingMode_; }
  void setRoundingMode(RoundingMode mode);

  std::optional<std::string> stringFromNumber(const Decimal& number) const;

 private:
  struct Prepared;
  // Builds the library's formatter for the current settings, once; false when it cannot
  // (settings it cannot use are tried again at each format, which is rare and cheap).
  bool prepare() const;

  Locale locale_;
  std::string positiveFormat_ = "#";
  std::string negativeFormat_;
  RoundingMode roundingMode_ = RoundingMode::HalfEven;
  mutable std::unique_ptr<Prepared> prepared_;
};

}  // namespace platform
