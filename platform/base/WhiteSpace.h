// The platform's white-space-and-newline character set, and text trimmed of it: Unicode's
// space separators, line and paragraph separators (general category Z), the controls
// U+0009 to U+000D and U+0085. The character classes come from ICU, so the set follows
// Unicode rather than ASCII: a no-break space, an ideographic space (U+3000) or a line
// separator (U+2028) is white space too.
//
// Pure functions, usable on any thread.
#pragma once

#include <string_view>

namespace platform {

bool isWhitespaceOrNewline(char32_t c);

// `text` (UTF-8) without the white space and newlines at either end. Trimming stops at
// an ill-formed sequence, which is kept.
std::string_view trimmingWhitespaceAndNewlines(std::string_view text);

}  // namespace platform
