#include "platform/base/StringConversions.h"

#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(StringConversionsTest, BooleanReadingLooksAtTheFirstSignificantCharacter) {
  for (const char* text : {"YES", "T", "  +12abc", "\t-0007", "00yes", "\xC2\xA0 9", "\xE3\x80\x80y"}) {
    EXPECT_TRUE(stringBoolValue(text)) << text;
  }
  for (const char* text : {"", "no", "-0", "000", "0x1", "+-1", ".5", "\xC2"}) {
    EXPECT_FALSE(stringBoolValue(text)) << text;
  }
}

TEST(StringConversionsTest, IntegerReadingTakesTheLeadingNumberAndSaturates) {
  using L64 = std::numeric_limits<std::int64_t>;
  const std::pair<std::string, std::int64_t> rows[] = {{"\n-42 7", -42},
                                                       {"12.9", 12},
                                                       {"0x10", 0},
                                                       {"- 1", 0},
                                                       {"99999999999", 99999999999},
                                                       {"-9223372036854775808", L64::min()},
                                                       {"9223372036854775808", L64::max()},
                                                       {std::string(10000, '9'), L64::max()}};
  for (const auto& [text, value] : rows) EXPECT_EQ(stringIntegerValue(text), value) << text;
  EXPECT_EQ(stringIntValue("2147483648"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(stringIntValue("-99999999999"), std::numeric_limits<std::int32_t>::min());
}

TEST(StringConversionsTest, FloatingReadingTakesTheLeadingDecimalNumber) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<const char*, double> rows[] = {
      {" -1.5e3xyz", -1500.0}, {".5", 0.5},  {"2E+", 2.0}, {".", 0}, {"e5", 0}, {"inf", 0}, {"nan", 0}, {"0x1p3", 0},
      {"-1e999", -inf},        {"1e-999", 0}};
  for (const auto& [text, value] : rows) EXPECT_EQ(stringDoubleValue(text), value) << text;
  EXPECT_EQ(stringFloatValue("0.1"), 0.1f);
  EXPECT_EQ(stringFloatValue("3.5e39"), std::numeric_limits<float>::infinity());
}

TEST(StringConversionsTest, NumbersPrintAsThePlatformPrintsThem) {
  EXPECT_EQ(integerString(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(unsignedString(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");
  const std::pair<double, const char*> rows[] = {{1.0, "1"},
                                                 {0.1 + 0.2, "0.30000000000000004"},
                                                 {-0.0, "-0"},
                                                 {1e16, "10000000000000000"},
                                                 {1e17, "1e+17"},
                                                 {0.0001, "0.0001"},
                                                 {0.00001, "1e-05"},
                                                 {std::nan(""), "nan"},
                                                 {-std::numeric_limits<double>::infinity(), "-inf"}};
  for (const auto& [value, text] : rows) EXPECT_EQ(doubleString(value), text);

  // What is printed reads back as the same number.
  std::mt19937_64 random(7);
  for (int i = 0; i < 2000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (!std::isfinite(value)) continue;
    ASSERT_EQ(stringDoubleValue(doubleString(value)), value) << doubleString(value);
  }
}

}  // namespace
}  // namespace platform
