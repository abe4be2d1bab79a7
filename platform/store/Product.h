// A product of the store as a products request returns it: its identifier, title, price
// (an exact decimal) and the locale its price is in, whose currency code names the
// currency. Immutable; any thread.
#pragma once

#include <memory>
#include <string>

#include "platform/base/Decimal.h"
#include "platform/base/Locale.h"

namespace platform {

class Product {
 public:
  static std::shared_ptr<const Product> create(std::string productIdentifier, Decimal price, Locale priceLocale,
                                               std::string localizedTitle = {}) {
    return std::shared_ptr<const Product>(
        new Product(std::move(productIdentifier), price, std::move(priceLocale), std::move(localizedTitle)));
  }

  const std::string& productIdentifier() const { return productIdentifier_; }
  const std::string& localizedTitle() const { return localizedTitle_; }
  const Decimal& price() const { return price_; }
  const Locale& priceLocale() const { return priceLocale_; }

 private:
  Product(std::string productIdentifier, Decimal price, Locale priceLocale, std::string localizedTitle)
      : productIdentifier_(std::move(productIdentifier)),
        localizedTitle_(std::move(localizedTitle)),
        price_(price),
        priceLocale_(std::move(priceLocale)) {}

  std::string productIdentifier_;
  std::string localizedTitle_;
  Decimal price_;
  Locale priceLocale_;
};

}  // namespace platform
