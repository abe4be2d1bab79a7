// The user's current locale, named as the system names locales: language, then region,
// joined by "_" ("en_US", "en_GB"). The device this platform models is set to "en_US"
// until a device profile or a test says otherwise. Thread-safe.
//
// A Locale value names one locale (a product's price locale) and tells its currency
// (Locale+Currency.cpp).
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace platform {

class Locale {
 public:
  // The identifier of the current locale.
  static std::string currentLocaleIdentifier();
  // Sets it (device profiles, tests); an empty identifier is refused.
  static void setCurrentLocaleIdentifier(std::string identifier);

  explicit Locale(std::string identifier) : identifier_(std::move(identifier)) {}
  const std::string& localeIdentifier() const { return identifier_; }
  // The ISO 4217 code of the locale's region's currency ("USD" for "en_US"); none when
  // the locale names no region with a currency.
  std::optional<std::string> currencyCode() const;
  bool operator==(const Locale&) const = default;

 private:
  std::string identifier_;
};

}  // namespace platform
