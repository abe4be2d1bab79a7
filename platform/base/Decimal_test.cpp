#include "platform/base/Decimal.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(DecimalTest, TextsReadToTheirPlainCanonicalTextAndBack) {
  const struct {
    std::string text;
    std::string canonical;
  } rows[] = {
      {"0", "0"},
      {"-0", "0"},
      {"+0.000e5", "0"},
      {"2.5", "2.5"},
      {"2.50", "2.5"},
      {"0.1", "0.1"},
      {"19.99", "19.99"},
      {"-19.990", "-19.99"},
      {"100", "100"},
      {"1e2", "100"},
      {"1E+2", "100"},
      {"1e-7", "0.0000001"},
      {"-1.5e-7", "-0.00000015"},
      {"123.456e1", "1234.56"},
      {".5", "0.5"},
      {"7.", "7"},
      {"000120.0300", "120.03"},
      {"9007199254740993", "9007199254740993"},          // past 2^53
      {"18446744073709551617", "18446744073709551617"},  // past 2^64
      {"99999999999999999999999999999999999999", "99999999999999999999999999999999999999"},
      {"1e127", "1" + std::string(127, '0')},
      {"1e-128", "0." + std::string(127, '0') + "1"},
      {"10000000000000000000000000000000000000000000000", "10000000000000000000000000000000000000000000000"},
      {"0e999999", "0"},
  };
  for (const auto& row : rows) {
    const auto value = Decimal::fromString(row.text);
    ASSERT_TRUE(value.has_value()) << row.text;
    EXPECT_EQ(value->stringValue(), row.canonical) << row.text;
    EXPECT_EQ(Decimal::fromString(value->stringValue()), value) << row.text;
  }
}

TEST(DecimalTest, DoublesReadThroughTheirShortestRoundTripText) {
  const struct {
    double value;
    const char* canonical;
  } rows[] = {
      {2.5, "2.5"},
      {0.1, "0.1"},
      {19.99, "19.99"},
      {-0.0, "0"},
      {1e-7, "0.0000001"},
      {9007199254740992.0, "9007199254740992"},
      {1e22, "10000000000000000000000"},
      {-123.0, "-123"},
      {0.30000000000000004, "0.30000000000000004"},
  };
  for (const auto& row : rows) {
    const auto value = Decimal::fromDouble(row.value);
    ASSERT_TRUE(value.has_value()) << row.canonical;
    EXPECT_EQ(value->stringValue(), row.canonical);
    EXPECT_EQ(value->doubleValue(), row.value) << row.canonical;
  }
}

TEST(DecimalTest, IntegersAreExactAtTheirLimits) {
  EXPECT_EQ(Decimal(std::numeric_limits<std::int64_t>::min()).stringValue(), "-9223372036854775808");
  EXPECT_EQ(Decimal(std::numeric_limits<std::uint64_t>::max()).stringValue(), "18446744073709551615");
  EXPECT_EQ(Decimal(9007199254740993LL), *Decimal::fromString("9007199254740993"));
  EXPECT_EQ(Decimal(-2500), *Decimal::fromString("-2.5e3"));
  EXPECT_TRUE(Decimal(0).isZero());
  EXPECT_EQ(Decimal(), Decimal(0));
}

TEST(DecimalTest, WhatIsNotAnExactNumberGivesNone) {
  const char* texts[] = {
      "",
      "abc",
      "-",
      "+",
      ".",
      "1e",
      "1e+",
      "e5",
      "1.2.3",
      " 1",
      "1 ",
      "1,5",
      "0x10",
      "inf",
      "nan",
      "Infinity",
      "1e999999",
      "-1e999999",
      "1e128",
      "1e-129",
      "1e99999999999999999999999",
      "1000000000000000000000000000000000000001",  // 40 significant digits
      "12abc",
      "--1",
      "1e5.5",
  };
  for (const char* text : texts) EXPECT_FALSE(Decimal::fromString(text).has_value()) << '"' << text << '"';
  EXPECT_FALSE(Decimal::fromDouble(std::nan("")).has_value());
  EXPECT_FALSE(Decimal::fromDouble(std::numeric_limits<double>::infinity()).has_value());
  EXPECT_FALSE(Decimal::fromDouble(-std::numeric_limits<double>::infinity()).has_value());
  EXPECT_FALSE(Decimal::fromDouble(1e300).has_value());  // beyond the type's exponents
}

TEST(DecimalTest, ComparesByValueAcrossScales) {
  const struct {
    const char* a;
    const char* b;
    std::strong_ordering order;
  } rows[] = {
      {"2.50", "2.5", std::strong_ordering::equal},  {"25e-1", "2.5", std::strong_ordering::equal},
      {"-0", "0", std::strong_ordering::equal},      {"0.1", "0.10000000000000001", std::strong_ordering::less},
      {"10", "9.99", std::strong_ordering::greater}, {"0.01", "0.1", std::strong_ordering::less},
      {"123", "124", std::strong_ordering::less},    {"12", "12.3", std::strong_ordering::less},
      {"-1", "0", std::strong_ordering::less},       {"0", "0.0001", std::strong_ordering::less},
      {"-10", "-9", std::strong_ordering::less},     {"-0.5", "-0.25", std::strong_ordering::less},
      {"1e3", "999", std::strong_ordering::greater},
  };
  for (const auto& row : rows) {
    const auto a = *Decimal::fromString(row.a);
    const auto b = *Decimal::fromString(row.b);
    EXPECT_EQ(a <=> b, row.order) << row.a << " <=> " << row.b;
    EXPECT_EQ(b <=> a, 0 <=> row.order) << row.b << " <=> " << row.a;
    EXPECT_EQ(a == b, row.order == std::strong_ordering::equal) << row.a << " == " << row.b;
  }
}

}  // namespace
}  // namespace platform
