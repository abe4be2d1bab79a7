#include "sdk/foundation/ZUMRegularExpression.h"

#include <gtest/gtest.h>

namespace {

TEST(ZUMRegularExpressionTest, CompilesICUSyntaxAndRefusesInvalidPatterns) {
  EXPECT_FALSE(ZUMRegularExpression::create("(unclosed"));
  auto lookBehind = ZUMRegularExpression::create("(?<!@)@x@");
  ASSERT_TRUE(lookBehind);
  EXPECT_TRUE(lookBehind->matches("a@x@"));
  EXPECT_FALSE(lookBehind->matches("@@x@"));
}

TEST(ZUMRegularExpressionTest, ReplacesWithGroupsAndCounts) {
  auto expression = ZUMRegularExpression::create("(a+)b");
  std::size_t count = 99;
  EXPECT_EQ(expression->stringByReplacingMatches("aab-ab-c", "<$1>", &count), "<aa>-<a>-c");
  EXPECT_EQ(count, 2u);
  // A missing group leaves the text alone.
  EXPECT_EQ(expression->stringByReplacingMatches("ab", "$7", &count), "ab");
  // UTF-8 around matches survives.
  EXPECT_EQ(expression->stringByReplacingMatches("€ab€", "x"), "€x€");
}

TEST(ZUMRegularExpressionTest, EscapesStandForThemselves) {
  const std::string hostile = "$1\\ (.*)[^]{2}|+?";
  auto expression = ZUMRegularExpression::create(ZUMRegularExpression::escapedPattern(hostile));
  ASSERT_TRUE(expression);
  EXPECT_TRUE(expression->matches("x" + hostile + "y"));
  EXPECT_FALSE(expression->matches("$1\\ (ab)[^]{2}|+?"));
  auto all = ZUMRegularExpression::create("x");
  EXPECT_EQ(all->stringByReplacingMatches("axb", ZUMRegularExpression::escapedTemplate(hostile)), "a" + hostile + "b");
}

TEST(ZUMRegularExpressionTest, RunawayBacktrackingGivesUp) {
  auto expression = ZUMRegularExpression::create("^(a+)+$");
  const std::string text = std::string(40, 'a') + "b";
  EXPECT_FALSE(expression->matches(text));
  EXPECT_EQ(expression->stringByReplacingMatches(text, "x"), text);
}

}  // namespace
