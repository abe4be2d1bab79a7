#include "sdk/telemetry/ZUMProductsRequest.h"

#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMLogger.h"

void ZUMProductsRequest::requestProductsWithProductIdentifiers(std::set<std::string> identifiers,
                                                               std::shared_ptr<platform::DispatchQueue> queue,
                                                               ZUMProductsCompletionHandler completionHandler) {
  platform::assertMainThread();
  if (!queue || !completionHandler) return;
  auto request = create(std::move(identifiers));
  if (!request) {
    queue->async([handler = std::move(completionHandler)] {
      handler(std::nullopt, std::nullopt, ZUMMakeErrorWithDescription(12, "Couldn't initialize."));
    });
    return;
  }
  // The handler holds the request until it has run; taking the handler out breaks the cycle.
  request->requestWithQueue(std::move(queue),
                            [request, handler = std::move(completionHandler)](auto products, auto invalid, auto error) {
                              handler(std::move(products), std::move(invalid), std::move(error));
                            });
}

std::shared_ptr<ZUMProductsRequest> ZUMProductsRequest::create(std::set<std::string> identifiers) {
  auto request = platform::ProductsRequest::create(std::move(identifiers));
  if (!request) return nullptr;
  return std::shared_ptr<ZUMProductsRequest>(new ZUMProductsRequest(std::move(request)));
}

void ZUMProductsRequest::requestWithQueue(std::shared_ptr<platform::DispatchQueue> queue,
                                          ZUMProductsCompletionHandler completionHandler) {
  platform::assertMainThread();
  completionHandler_ = std::move(completionHandler);
  queue_ = std::move(queue);
  productsRequest_->setDelegate(weak_from_this());
  productsRequest_->start();
  platform::DispatchQueue::main()->after(kTimeout, ZUMBindWeak(weak_from_this(), &ZUMProductsRequest::timedOut));
}

void ZUMProductsRequest::timedOut() {
  if (!completionHandler_) return;
  ZUMLog(kZUMLogLevelDefault, "Store product request timed out; purchases are reported without prices.");
  productsRequest_->cancel();
  complete(std::nullopt, std::nullopt, ZUMMakeErrorWithDescription(kZUMErrorTimeout, std::nullopt));
}

void ZUMProductsRequest::productsRequestDidReceiveResponse(platform::ProductsRequest&,
                                                           const platform::ProductsResponse& response) {
  platform::assertMainThread();
  ZUMProductsByIdentifier products;
  for (const auto& product : response.products) {
    if (product) products[product->productIdentifier()] = product;
  }
  std::set<std::string> invalid(response.invalidProductIdentifiers.begin(), response.invalidProductIdentifiers.end());
  complete(std::move(products), std::move(invalid), nullptr);
}

void ZUMProductsRequest::requestDidFailWithError(platform::ProductsRequest&, const platform::ErrorPtr& error) {
  platform::assertMainThread();
  complete(std::nullopt, std::nullopt, error);
}

void ZUMProductsRequest::complete(std::optional<ZUMProductsByIdentifier> products,
                                  std::optional<std::set<std::string>> invalid, platform::ErrorPtr error) {
  auto handler = std::exchange(completionHandler_, nullptr);
  if (!handler || !queue_) return;
  queue_->async(
      [handler = std::move(handler), products = std::move(products), invalid = std::move(invalid),
       error = std::move(error)]() mutable { handler(std::move(products), std::move(invalid), std::move(error)); });
}
