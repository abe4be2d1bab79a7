#include "sdk/telemetry/ZUMInAppPurchaseProductCache.h"

#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/TestingReset.h"

std::shared_ptr<ZUMInAppPurchaseProductCache> ZUMInAppPurchaseProductCache::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMInAppPurchaseProductCache>(
      [] { return std::shared_ptr<ZUMInAppPurchaseProductCache>(new ZUMInAppPurchaseProductCache()); });
  return shared->get();
}

ZUMInAppPurchaseProductCache::ZUMInAppPurchaseProductCache()
    : lockQueue_(platform::DispatchQueue::serial("com.vantor.morvane.iap-cache")) {}

std::shared_ptr<const platform::Product> ZUMInAppPurchaseProductCache::cachedProductForProductID(
    const std::string& productID) const {
  std::shared_ptr<const platform::Product> product;
  lockQueue_->sync([&] {
    auto found = validProductIDs_.find(productID);
    if (found != validProductIDs_.end()) product = found->second;
  });
  return product;
}

void ZUMInAppPurchaseProductCache::requestProductsWithProductIdentifiers(
    std::set<std::string> identifiers, std::shared_ptr<platform::DispatchQueue> queue,
    ZUMProductsCompletionHandler completionHandler) {
  if (!queue || !completionHandler) return;
  // Held until the store answers, so a cache dropped meanwhile (tests) still answers.
  auto self = sharedInstance();
  ZUMProductsRequest::requestProductsWithProductIdentifiers(
      std::move(identifiers), lockQueue_,
      [self, queue = std::move(queue), handler = std::move(completionHandler)](
          std::optional<ZUMProductsByIdentifier> products, std::optional<std::set<std::string>> invalid,
          platform::ErrorPtr error) {
        self->store(products, invalid);
        queue->async([handler, products = std::move(products), invalid = std::move(invalid),
                      error = std::move(error)]() mutable {
          handler(std::move(products), std::move(invalid), std::move(error));
        });
      });
}

void ZUMInAppPurchaseProductCache::store(const std::optional<ZUMProductsByIdentifier>& products,
                                         const std::optional<std::set<std::string>>& invalid) {
  if (products) {
    for (const auto& [identifier, product] : *products) validProductIDs_[identifier] = product;
  }
  if (invalid) {
    for (const auto& identifier : *invalid) validProductIDs_.erase(identifier);
  }
}
