// One request for store products by identifier, answered once on a queue the caller
// names: the products found (by identifier) and the identifiers the store does not know,
// or an error. Wraps the platform's products request and becomes its delegate.
//
// The class method keeps the request alive until it has answered. A store that never
// answers would hold the request, and the purchases waiting for it, for ever: after
// kTimeout the store request is cancelled and the handler gets the SDK's time-out error.
// Main thread only (the store's thread); the completion runs on the named queue.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/store/Product.h"
#include "platform/store/ProductsRequest.h"

namespace platform {
class DispatchQueue;
}

using ZUMProductsByIdentifier = std::map<std::string, std::shared_ptr<const platform::Product>>;
// Products and invalid identifiers, or none of either and an error.
using ZUMProductsCompletionHandler =
    std::function<void(std::optional<ZUMProductsByIdentifier> products,
                       std::optional<std::set<std::string>> invalidIdentifiers, platform::ErrorPtr error)>;

class ZUMProductsRequest final : public platform::ProductsRequestDelegate,
                                 public std::enable_shared_from_this<ZUMProductsRequest> {
 public:
  static constexpr platform::TimeInterval kTimeout = 60;

  // Nothing without a queue and a handler. A request that cannot be made answers the SDK
  // error 12 "Couldn't initialize." on the queue.
  static void requestProductsWithProductIdentifiers(std::set<std::string> identifiers,
                                                    std::shared_ptr<platform::DispatchQueue> queue,
                                                    ZUMProductsCompletionHandler completionHandler);
  // nullptr when the store cannot make the request.
  static std::shared_ptr<ZUMProductsRequest> create(std::set<std::string> identifiers);

  // Keeps the handler and queue, becomes the store request's delegate and starts it, and
  // starts the time-out.
  void requestWithQueue(std::shared_ptr<platform::DispatchQueue> queue, ZUMProductsCompletionHandler completionHandler);

  // platform::ProductsRequestDelegate
  void productsRequestDidReceiveResponse(platform::ProductsRequest& request,
                                         const platform::ProductsResponse& response) override;
  void requestDidFailWithError(platform::ProductsRequest& request, const platform::ErrorPtr& error) override;

 private:
  explicit ZUMProductsRequest(std::shared_ptr<platform::ProductsRequest> request)
      : productsRequest_(std::move(request)) {}
  // Hands the answer to the handler on the queue, once.
  void complete(std::optional<ZUMProductsByIdentifier> products, std::optional<std::set<std::string>> invalid,
                platform::ErrorPtr error);
  void timedOut();

  std::shared_ptr<platform::ProductsRequest> productsRequest_;
  ZUMProductsCompletionHandler completionHandler_;
  std::shared_ptr<platform::DispatchQueue> queue_;
};
