#include "sdk/foundation/ZUMMacros.h"

#include <gtest/gtest.h>

namespace {

TEST(ZUMMacrosTest, ReplacesEveryMacroOfTheNameLiterallyAndNeverAfterDoubledAtSigns) {
  struct Case {
    const char* text;
    std::optional<std::string_view> name, value;
    const char* expected;
  };
  const Case cases[] = {
      {"https://x/?a=@pw_qdata@&b=@pw_qdata@", "pw_qdata", "Q", "https://x/?a=Q&b=Q"},
      {"@pw_other@", "pw_qdata", "Q", "@pw_other@"},
      // Even runs before the opening at-sign stay around the value; odd runs are literal.
      {"@@n@", "n", "V", "@@n@"},
      {"@@@n@", "n", "V", "@@V"},
      // Pairs before the closing at-sign are kept after the value.
      {"@n@@@", "n", "V", "V@@"},
      {"a@@b@n@c", "n", "V", "a@@bVc"},
      // Values and names are taken literally; an empty or missing part does nothing.
      {"@n@", "n", "$1 costs $$ \\ and \\1", "$1 costs $$ \\ and \\1"},
      {"@a.b@ @axb@", "a.b", "V", "V @axb@"},
      {"@(x)*@", "(x)*", "V", "V"},
      {"@@ and @", "", "V", "@@ and @"},
      {"@n@", std::nullopt, "V", "@n@"},
      {"@n@", "n", std::nullopt, "@n@"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    ZUMReplaceMacro(text, c.name, c.value);
    EXPECT_EQ(text, c.expected) << c.text;
  }
}

TEST(ZUMMacrosTest, UnreplacedMacrosAreRemovedThenAtSignsUnescaped) {
  std::string text = "https://x/?a=@pw_a@&mail=me@@host&b=@@@pw_b@&c=@pw_c@@@";
  ZUMRemoveUnreplacedMacros(text);
  EXPECT_EQ(text, "https://x/?a=&mail=me@@host&b=@@&c=@@");
  ZUMUnescapeMacroAtSigns(text);
  EXPECT_EQ(text, "https://x/?a=&mail=me@host&b=@&c=@");
}

}  // namespace
