#include "sdk/foundation/ZUMRegularExpression.h"

#include <cctype>

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace {

// Steps of ICU's match engine (roughly milliseconds) before a match gives up.
constexpr int32_t kMatchStepLimit = 1000;

}  // namespace

struct ZUMRegularExpression::Compiled {
  std::unique_ptr<icu::RegexPattern> pattern;

  std::unique_ptr<icu::RegexMatcher> matcher(const icu::UnicodeString& input) const {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
    if (U_FAILURE(status) || !matcher) return nullptr;
    matcher->setTimeLimit(kMatchStepLimit, status);
    if (U_FAILURE(status)) return nullptr;
    return matcher;
  }
};

std::shared_ptr<const ZUMRegularExpression> ZUMRegularExpression::create(std::string_view pattern, Options options) {
  uint32_t flags = 0;
  if (options & kCaseInsensitive) flags |= UREGEX_CASE_INSENSITIVE;
  UErrorCode status = U_ZERO_ERROR;
  UParseError parseError;
  icu::UnicodeString source = icu::UnicodeString::fromUTF8(
      icu::StringPiece(pattern.data(), static_cast<int32_t>(std::min<size_t>(pattern.size(), INT32_MAX))));
  std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(source, flags, parseError, status));
  if (U_FAILURE(status) || !compiled) return nullptr;
  auto holder = std::make_unique<Compiled>();
  holder->pattern = std::move(compiled);
  return std::shared_ptr<const ZUMRegularExpression>(new ZUMRegularExpression(std::string(pattern), std::move(holder)));
}

ZUMRegularExpression::ZUMRegularExpression(std::string pattern, std::unique_ptr<Compiled> compiled)
    : pattern_(std::move(pattern)), compiled_(std::move(compiled)) {}

ZUMRegularExpression::~ZUMRegularExpression() = default;

namespace {

icu::UnicodeString unicode(std::string_view text) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX))));
}

}  // namespace

bool ZUMRegularExpression::matches(std::string_view text) const {
  icu::UnicodeString input = unicode(text);
  auto matcher = compiled_->matcher(input);
  if (!matcher) return false;
  UErrorCode status = U_ZERO_ERROR;
  bool found = matcher->find(0, status);
  return U_SUCCESS(status) && found;
}

std::string ZUMRegularExpression::stringByReplacingMatches(std::string_view text, std::string_view replacement,
                                                           std::size_t* count) const {
  if (count) *count = 0;
  icu::UnicodeString input = unicode(text);
  auto matcher = compiled_->matcher(input);
  if (!matcher) return std::string(text);
  icu::UnicodeString replacementText = unicode(replacement);
  icu::UnicodeString output;
  UErrorCode status = U_ZERO_ERROR;
  std::size_t replaced = 0;
  while (matcher->find(status) && U_SUCCESS(status)) {
    matcher->appendReplacement(output, replacementText, status);
    if (U_FAILURE(status)) break;
    ++replaced;
  }
  if (U_FAILURE(status)) return std::string(text);
  if (replaced == 0) return std::string(text);
  matcher->appendTail(output);
  if (count) *count = replaced;
  std::string result;
  output.toUTF8String(result);
  return result;
}

std::string ZUMRegularExpression::escapedTemplate(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    if (c == '$' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string ZUMRegularExpression::escapedPattern(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    // Quoting an ASCII letter or digit could make an escape sequence ("\d"); every
    // other ASCII character is safe to quote, and non-ASCII ones are literal as they are.
    if (byte < 0x80 && !std::isalnum(byte)) escaped += '\\';
    escaped += c;
  }
  return escaped;
}
