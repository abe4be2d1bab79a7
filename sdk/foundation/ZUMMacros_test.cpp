#include "sdk/foundation/ZUMMacros.h"

#include <gtest/gtest.h>

namespace {

std::string replaced(std::string text, std::optional<std::string_view> name, std::optional<std::string_view> value) {
  ZUMReplaceMacro(text, name, value);
  return text;
}

TEST(ZUMMacrosTest, ReplacesEveryMacroOfTheName) {
  EXPECT_EQ(replaced("https://x/?a=@pw_qdata@&b=@pw_qdata@", "pw_qdata", "Q"), "https://x/?a=Q&b=Q");
  EXPECT_EQ(replaced("@pw_qdata@", "pw_qdata", ""), "");
  EXPECT_EQ(replaced("@pw_other@", "pw_qdata", "Q"), "@pw_other@");
  EXPECT_EQ(replaced("no macros", "pw_qdata", "Q"), "no macros");
}

TEST(ZUMMacrosTest, DoubledAtSignsNeverOpenAMacro) {
  // Even runs before the opening at-sign stay around the value; odd runs are literal.
  EXPECT_EQ(replaced("@@n@", "n", "V"), "@@n@");
  EXPECT_EQ(replaced("@@@n@", "n", "V"), "@@V");
  EXPECT_EQ(replaced("@@@@n@", "n", "V"), "@@@@n@");
  EXPECT_EQ(replaced("@@@@@n@", "n", "V"), "@@@@V");
  // Pairs before the closing at-sign are kept after the value.
  EXPECT_EQ(replaced("@n@@@", "n", "V"), "V@@");
  EXPECT_EQ(replaced("@n@@", "n", "V"), "V@");
  EXPECT_EQ(replaced("a@@b@n@c", "n", "V"), "a@@bVc");
}

TEST(ZUMMacrosTest, ValuesAndNamesAreTakenLiterally) {
  EXPECT_EQ(replaced("@n@", "n", "$1 costs $$ \\ and \\1"), "$1 costs $$ \\ and \\1");
  EXPECT_EQ(replaced("@n@", "n", "@other@"), "@other@");
  // A name with pattern characters matches only itself.
  EXPECT_EQ(replaced("@a.b@ @axb@", "a.b", "V"), "V @axb@");
  EXPECT_EQ(replaced("@(x)*@", "(x)*", "V"), "V");
  EXPECT_EQ(replaced("@\\E\\Q@", "\\E\\Q", "V"), "V");
  // An empty name never matches.
  EXPECT_EQ(replaced("@@ and @", "", "V"), "@@ and @");
}

TEST(ZUMMacrosTest, MissingNameOrValueDoesNothing) {
  EXPECT_EQ(replaced("@n@", std::nullopt, "V"), "@n@");
  EXPECT_EQ(replaced("@n@", "n", std::nullopt), "@n@");
}

TEST(ZUMMacrosTest, UnreplacedMacrosAreRemovedThenAtSignsUnescaped) {
  std::string text = "https://x/?a=@pw_a@&mail=me@@host&b=@@@pw_b@&c=@pw_c@@@";
  ZUMRemoveUnreplacedMacros(text);
  EXPECT_EQ(text, "https://x/?a=&mail=me@@host&b=@@&c=@@");
  ZUMUnescapeMacroAtSigns(text);
  EXPECT_EQ(text, "https://x/?a=&mail=me@host&b=@&c=@");

  std::string plain = "nothing here";
  ZUMRemoveUnreplacedMacros(plain);
  EXPECT_EQ(plain, "nothing here");

  std::string runs = "@@@@@";
  ZUMUnescapeMacroAtSigns(runs);
  EXPECT_EQ(runs, "@@@");
}

}  // namespace
