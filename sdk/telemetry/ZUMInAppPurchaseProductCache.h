// The store products that purchase reports take their prices from: filled by product
// requests for identifiers that purchases named, emptied of identifiers the store calls
// invalid. The map lives on the serial queue "com.vantor.morvane.iap-cache".
//
// Reads from any thread; requests are started on the main thread (the store's thread).
// The shared instance lives for the process (tests reset it).
#pragma once

#include <memory>
#include <set>
#include <string>

#include "sdk/telemetry/ZUMProductsRequest.h"

class ZUMInAppPurchaseProductCache {
 public:
  static std::shared_ptr<ZUMInAppPurchaseProductCache> sharedInstance();

  // The cached product, read synchronously on the lock queue; nullptr when not cached.
  std::shared_ptr<const platform::Product> cachedProductForProductID(const std::string& productID) const;

  // Nothing without a queue and a handler. Otherwise asks the store; on the lock queue
  // adds the products found and removes the invalid identifiers, then hands the answer
  // to the handler on `queue`.
  void requestProductsWithProductIdentifiers(std::set<std::string> identifiers,
                                             std::shared_ptr<platform::DispatchQueue> queue,
                                             ZUMProductsCompletionHandler completionHandler);

 private:
  ZUMInAppPurchaseProductCache();
  void store(const std::optional<ZUMProductsByIdentifier>& products,
             const std::optional<std::set<std::string>>& invalid);

  ZUMProductsByIdentifier validProductIDs_;  // on lockQueue_
  std::shared_ptr<platform::DispatchQueue> lockQueue_;
};
