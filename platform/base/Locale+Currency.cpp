#include "platform/base/Locale.h"

#include <unicode/ucurr.h>
#include <unicode/unistr.h>

namespace platform {

std::optional<std::string> Locale::currencyCode() const {
  if (identifier_.empty() || identifier_.find('\0') != std::string::npos) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  UChar code[8] = {};
  const int32_t length = ucurr_forLocale(identifier_.c_str(), code, 8, &status);
  if (U_FAILURE(status) || length <= 0 || length >= 8) return std::nullopt;
  std::string text;
  icu::UnicodeString(code, length).toUTF8String(text);
  return text;
}

}  // namespace platform
