#include "platform/base/StringConversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace platform {
namespace {

TEST(StringConversionsTest, BooleanReadingLooksAtTheFirstSignificantCharacter) {
  for (const char* text : {"yes", "YES", "true", "T", "1", "  +12abc", "\t-0007", "00yes",
                           "\xC2\xA0 9", "\xE3\x80\x80y"}) {
    EXPECT_TRUE(stringBoolValue(text)) << text;
  }
  for (const char* text : {"", "   ", "no", "NO", "false", "0", "-0", "000", "0x1", "+-1", "abc",
                           ".5", "\xC2"}) {
    EXPECT_FALSE(stringBoolValue(text)) << text;
  }
}

TEST(StringConversionsTest, IntegerReadingTakesTheLeadingNumberAndSaturates) {
  EXPECT_EQ(stringIntegerValue("  +12abc"), 12);
  EXPECT_EQ(stringIntegerValue("\n-42 7"), -42);
  EXPECT_EQ(stringIntegerValue("12.9"), 12);
  EXPECT_EQ(stringIntegerValue("abc"), 0);
  EXPECT_EQ(stringIntegerValue("0x10"), 0);
  EXPECT_EQ(stringIntegerValue("+-1"), 0);
  EXPECT_EQ(stringIntegerValue("- 1"), 0);

  EXPECT_EQ(stringIntValue("2147483647"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(stringIntValue("2147483648"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(stringIntValue("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(stringIntValue("-99999999999"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(stringIntegerValue("99999999999"), 99999999999);
  EXPECT_EQ(stringIntegerValue("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(stringIntegerValue("9223372036854775808"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(stringIntegerValue(std::string(10000, '9')), std::numeric_limits<std::int64_t>::max());
}

TEST(StringConversionsTest, FloatingReadingTakesTheLeadingDecimalNumber) {
  EXPECT_EQ(stringDoubleValue(" -1.5e3xyz"), -1500.0);
  EXPECT_EQ(stringDoubleValue(".5"), 0.5);
  EXPECT_EQ(stringDoubleValue("5."), 5.0);
  EXPECT_EQ(stringDoubleValue("1e"), 1.0);
  EXPECT_EQ(stringDoubleValue("2E+"), 2.0);
  for (const char* text : {"", ".", "e5", "-", "inf", "nan", "0x1p3", "abc"}) {
    EXPECT_EQ(stringDoubleValue(text), 0.0) << text;
  }
  EXPECT_EQ(stringDoubleValue("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(stringDoubleValue("-1e999"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(stringDoubleValue("1e-999"), 0.0);
  EXPECT_EQ(stringFloatValue("0.1"), 0.1f);
  EXPECT_EQ(stringFloatValue("3.5e39"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(stringFloatValue("  +12abc"), 12.0f);
}

TEST(StringConversionsTest, NumbersPrintAsThePlatformPrintsThem) {
  EXPECT_EQ(integerString(0), "0");
  EXPECT_EQ(integerString(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(unsignedString(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");

  EXPECT_EQ(doubleString(1.0), "1");
  EXPECT_EQ(doubleString(0.1), "0.1");
  EXPECT_EQ(doubleString(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(doubleString(-123.456), "-123.456");
  EXPECT_EQ(doubleString(-0.0), "-0");
  EXPECT_EQ(doubleString(1e16), "10000000000000000");
  EXPECT_EQ(doubleString(1e17), "1e+17");
  EXPECT_EQ(doubleString(1.5e300), "1.5e+300");
  EXPECT_EQ(doubleString(0.0001), "0.0001");
  EXPECT_EQ(doubleString(0.00001), "1e-05");
  EXPECT_EQ(doubleString(std::nan("")), "nan");
  EXPECT_EQ(doubleString(-std::numeric_limits<double>::infinity()), "-inf");

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
