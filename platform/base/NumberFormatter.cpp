#include "platform/base/NumberFormatter.h"

#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/fmtable.h>
#include <unicode/unistr.h>

namespace platform {

struct NumberFormatter::Prepared {
  std::unique_ptr<icu::DecimalFormat> format;
};

namespace {

icu::DecimalFormat::ERoundingMode icuRounding(NumberFormatter::RoundingMode mode) {
  switch (mode) {
    case NumberFormatter::RoundingMode::Ceiling:
      return icu::DecimalFormat::kRoundCeiling;
    case NumberFormatter::RoundingMode::Floor:
      return icu::DecimalFormat::kRoundFloor;
    case NumberFormatter::RoundingMode::Down:
      return icu::DecimalFormat::kRoundDown;
    case NumberFormatter::RoundingMode::Up:
      return icu::DecimalFormat::kRoundUp;
    case NumberFormatter::RoundingMode::HalfEven:
      return icu::DecimalFormat::kRoundHalfEven;
    case NumberFormatter::RoundingMode::HalfDown:
      return icu::DecimalFormat::kRoundHalfDown;
    case NumberFormatter::RoundingMode::HalfUp:
      return icu::DecimalFormat::kRoundHalfUp;
  }
  return icu::DecimalFormat::kRoundHalfEven;
}

// A pattern holds one subpattern: its own ";" would let it pose as both.
bool isSinglePattern(const std::string& pattern) {
  return !pattern.empty() && pattern.find(';') == std::string::npos && pattern.find('\0') == std::string::npos;
}

}  // namespace

NumberFormatter::NumberFormatter() : locale_(Locale::currentLocaleIdentifier()) {}
NumberFormatter::~NumberFormatter() = default;

void NumberFormatter::setLocale(Locale locale) {
  locale_ = std::move(locale);
  prepared_.reset();
}

void NumberFormatter::setPositiveFormat(std::string pattern) {
  positiveFormat_ = std::move(pattern);
  prepared_.reset();
}

void NumberFormatter::setNegativeFormat(std::string pattern) {
  negativeFormat_ = std::move(pattern);
  prepared_.reset();
}

void NumberFormatter::setRoundingMode(RoundingMode mode) {
  roundingMode_ = mode;
  prepared_.reset();
}

bool NumberFormatter::prepare() const {
  if (prepared_) return true;
  if (!isSinglePattern(positiveFormat_) || (!negativeFormat_.empty() && !isSinglePattern(negativeFormat_))) {
    return false;
  }
  const std::string pattern = negativeFormat_.empty() ? positiveFormat_ : positiveFormat_ + ";" + negativeFormat_;
  UErrorCode status = U_ZERO_ERROR;
  auto symbols = std::make_unique<icu::DecimalFormatSymbols>(icu::Locale(locale_.localeIdentifier().c_str()), status);
  if (U_FAILURE(status)) return false;
  // The formatter adopts the symbols, even when it fails.
  auto format = std::make_unique<icu::DecimalFormat>(icu::UnicodeString::fromUTF8(pattern), symbols.release(), status);
  if (U_FAILURE(status)) return false;
  format->setRoundingMode(icuRounding(roundingMode_));
  prepared_ = std::make_unique<Prepared>(Prepared{std::move(format)});
  return true;
}

std::optional<std::string> NumberFormatter::stringFromNumber(const Decimal& number) const {
  if (!prepare()) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  const std::string digits = number.stringValue();
  icu::Formattable value(icu::StringPiece(digits.data(), static_cast<int32_t>(digits.size())), status);
  if (U_FAILURE(status)) return std::nullopt;
  icu::UnicodeString text;
  prepared_->format->format(value, text, status);
  if (U_FAILURE(status)) return std::nullopt;
  std::string result;
  text.toUTF8String(result);
  return result;
}

}  // namespace platform
