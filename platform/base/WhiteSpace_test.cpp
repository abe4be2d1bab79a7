#include "platform/base/WhiteSpace.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(WhiteSpaceTest, TrimsUnicodeWhiteSpaceAndNewlinesAtBothEndsOnly) {
  const struct {
    std::string text;
    std::string trimmed;
  } rows[] = {
      {"", ""},
      {" \t\n\r\v\f", ""},
      {"\xC2\xA0", ""},                  // no-break space
      {"\xE3\x80\x80", ""},              // ideographic space
      {"\xE2\x80\xA8\xE2\x80\xA9", ""},  // line and paragraph separators
      {"\xC2\x85\xE1\x9A\x80\xE2\x80\x8A\xE2\x80\xAF\xE2\x81\x9F", ""},
      {"\xE2\x80\x83<p>a b</p>\xC2\xA0\n", "<p>a b</p>"},
      {"\xE2\x80\x8B", "\xE2\x80\x8B"},  // a zero-width space is a format character, kept
      {"\xEF\xBB\xBF", "\xEF\xBB\xBF"},  // so is a byte-order mark
      {"x\xE3\x80\x80y", "x\xE3\x80\x80y"},
      {" \xA0 x", "\xA0 x"},         // trimming stops at an ill-formed byte
      {"x \xE3\x80", "x \xE3\x80"},  // and at a cut sequence
      {"\xE3\x80\x80\xF0\x9F\x98\x80\xE3\x80\x80", "\xF0\x9F\x98\x80"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(platform::trimmingWhitespaceAndNewlines(row.text), row.trimmed) << row.text;
  }
}

TEST(WhiteSpaceTest, TheSetIsTheSeparatorsAndTheLineControls) {
  const struct {
    char32_t c;
    bool white;
  } rows[] = {
      {0x08, false},  {0x09, true},   {0x0D, true},   {0x0E, false},  {0x20, true},    {0x85, true},
      {0xA0, true},   {0x1680, true}, {0x2000, true}, {0x200A, true}, {0x200B, false}, {0x2028, true},
      {0x2029, true}, {0x202F, true}, {0x205F, true}, {0x3000, true}, {0xFEFF, false}, {'a', false},
  };
  for (const auto& row : rows) EXPECT_EQ(platform::isWhitespaceOrNewline(row.c), row.white) << std::hex << int(row.c);
}

}  // namespace
