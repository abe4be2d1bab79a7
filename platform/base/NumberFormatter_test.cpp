#include "platform/base/NumberFormatter.h"

#include <functional>

#include <gtest/gtest.h>

namespace platform {
namespace {

Decimal decimal(const char* text) { return *Decimal::fromString(text); }

// The purchase reporter's formatter: six fraction digits at most, rounded down.
std::unique_ptr<NumberFormatter> priceFormatter() {
  auto formatter = std::make_unique<NumberFormatter>();
  formatter->setLocale(Locale("en_US"));
  formatter->setPositiveFormat("#.######");
  formatter->setNegativeFormat("-#.######");
  formatter->setRoundingMode(NumberFormatter::RoundingMode::Floor);
  return formatter;
}

TEST(NumberFormatterTest, FormatsPricesExactlyWithPatternsAndFloorRounding) {
  const struct {
    const char* number;
    const char* text;
  } rows[] = {
      {"0.99", "0.99"},
      {"1234.5", "1234.5"},
      {"0.0000019", "0.000001"},
      {"-0.0000009", "-0.000001"},
      {"-1.5", "-1.5"},
      {"19.99", "19.99"},
      {"0", "0"},
      {"1e20", "100000000000000000000"},
      {"9007199254740993.1234567", "9007199254740993.123456"},
  };
  const auto formatter = priceFormatter();
  for (const auto& row : rows) {
    EXPECT_EQ(formatter->stringFromNumber(decimal(row.number)), row.text) << row.number;
  }
}

TEST(NumberFormatterTest, RoundsByItsModeAndFollowsTheLocale) {
  const struct {
    NumberFormatter::RoundingMode mode;
    const char* locale;
    const char* pattern;
    const char* number;
    const char* text;
  } rows[] = {
      {NumberFormatter::RoundingMode::HalfEven, "en_US", "#", "2.5", "2"},
      {NumberFormatter::RoundingMode::HalfUp, "en_US", "#", "2.5", "3"},
      {NumberFormatter::RoundingMode::Ceiling, "en_US", "#.#", "1.01", "1.1"},
      {NumberFormatter::RoundingMode::Down, "en_US", "#.#", "-1.09", "-1"},
      {NumberFormatter::RoundingMode::Floor, "de_DE", "#,##0.00", "1234.5", "1.234,50"},
      {NumberFormatter::RoundingMode::Floor, "en_US", "#,##0.00", "1234.5", "1,234.50"},
  };
  for (const auto& row : rows) {
    NumberFormatter formatter;
    formatter.setLocale(Locale(row.locale));
    formatter.setPositiveFormat(row.pattern);
    formatter.setRoundingMode(row.mode);
    EXPECT_EQ(formatter.stringFromNumber(decimal(row.number)), row.text) << row.locale << " " << row.number;
  }
}

TEST(NumberFormatterTest, APatternItCannotUseGivesNoneUntilChanged) {
  const char* patterns[] = {"", "#.#.#", "#'", "#;#", "0#0.0E"};
  for (const char* pattern : patterns) {
    NumberFormatter formatter;
    formatter.setPositiveFormat(pattern);
    EXPECT_EQ(formatter.stringFromNumber(decimal("1")), std::nullopt) << '"' << pattern << '"';
    formatter.setPositiveFormat("#");
    EXPECT_EQ(formatter.stringFromNumber(decimal("1")), "1") << '"' << pattern << '"';
  }
  NumberFormatter formatter;
  formatter.setNegativeFormat("-#;#");
  EXPECT_EQ(formatter.stringFromNumber(decimal("-1")), std::nullopt);
}

TEST(NumberFormatterTest, ASettingChangedAfterFormattingTakesEffect) {
  const struct {
    const char* name;
    std::function<void(NumberFormatter&)> change;
    const char* number;
    const char* text;
  } rows[] = {
      {"locale", [](NumberFormatter& f) { f.setLocale(Locale("de_DE")); }, "1.5", "1,5"},
      {"positive", [](NumberFormatter& f) { f.setPositiveFormat("0.00"); }, "1.5", "1.50"},
      {"negative", [](NumberFormatter& f) { f.setNegativeFormat("(#.######)"); }, "-1.5", "(1.5)"},
      {"rounding", [](NumberFormatter& f) { f.setRoundingMode(NumberFormatter::RoundingMode::Ceiling); }, "0.0000011",
       "0.000002"},
  };
  for (const auto& row : rows) {
    const auto formatter = priceFormatter();
    ASSERT_TRUE(formatter->stringFromNumber(decimal(row.number)).has_value()) << row.name;
    row.change(*formatter);
    EXPECT_EQ(formatter->stringFromNumber(decimal(row.number)), row.text) << row.name;
  }
}

TEST(NumberFormatterTest, CurrencyCodesOfLocales) {
  EXPECT_EQ(Locale("en_US").currencyCode(), "USD");
  EXPECT_EQ(Locale("de_DE").currencyCode(), "EUR");
  EXPECT_EQ(Locale("ja_JP").currencyCode(), "JPY");
  EXPECT_EQ(Locale("").currencyCode(), std::nullopt);
  EXPECT_EQ(Locale(std::string("en_US\0de_DE", 11)).currencyCode(), std::nullopt);
  EXPECT_EQ(NumberFormatter().locale(), Locale("en_US"));  // the device's current locale
}

}  // namespace
}  // namespace platform
