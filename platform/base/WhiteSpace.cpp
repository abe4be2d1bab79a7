#include "platform/base/WhiteSpace.h"

#include <algorithm>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace platform {

namespace {

// The longest UTF-8 sequence: decoding looks at no more than this many bytes at a time,
// so texts of any length go through ICU's 32-bit offsets.
constexpr std::size_t kMaxSequence = 4;

const uint8_t* bytesOf(std::string_view text) { return reinterpret_cast<const uint8_t*>(text.data()); }

// The bytes of the white-space character that begins `text`; 0 when there is none.
std::size_t leadingSpace(std::string_view text) {
  const auto window = static_cast<int32_t>(std::min(text.size(), kMaxSequence));
  int32_t next = 0;
  UChar32 c;
  U8_NEXT(bytesOf(text), next, window, c);
  return c >= 0 && isWhitespaceOrNewline(static_cast<char32_t>(c)) ? static_cast<std::size_t>(next) : 0;
}

// The bytes of the white-space character that ends `text`; 0 when there is none.
std::size_t trailingSpace(std::string_view text) {
  const std::string_view tail = text.substr(text.size() - std::min(text.size(), kMaxSequence));
  const auto window = static_cast<int32_t>(tail.size());
  int32_t previous = window;
  UChar32 c;
  U8_PREV(bytesOf(tail), 0, previous, c);
  return c >= 0 && isWhitespaceOrNewline(static_cast<char32_t>(c)) ? static_cast<std::size_t>(window - previous) : 0;
}

}  // namespace

bool isWhitespaceOrNewline(char32_t c) {
  if ((c >= 0x09 && c <= 0x0D) || c == 0x85) return true;
  return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_Z_MASK) != 0;
}

std::string_view trimmingWhitespaceAndNewlines(std::string_view text) {
  while (!text.empty()) {
    const std::size_t n = leadingSpace(text);
    if (n == 0) break;
    text.remove_prefix(n);
  }
  while (!text.empty()) {
    const std::size_t n = trailingSpace(text);
    if (n == 0) break;
    text.remove_suffix(n);
  }
  return text;
}

}  // namespace platform
