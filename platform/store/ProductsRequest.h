// A request for products by identifier. start() asks the store; the delegate hears, on a
// later turn of the main queue, either the response (the products the store has and the
// identifiers it does not know) followed by requestDidFinish, or a failure, once. After
// cancel() it hears nothing. The store's answers are scripted through StoreControls.h
// (answer, fail, or never answer). The delegate is held weakly; the caller keeps the
// request alive until it has answered (a request let go of answers nothing).
//
// Main thread only.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/base/Error.h"
#include "platform/store/Product.h"
#include "platform/store/StoreControls.h"

namespace platform {

class ProductsRequest;

struct ProductsResponse {
  std::vector<std::shared_ptr<const Product>> products;  // by identifier
  std::vector<std::string> invalidProductIdentifiers;    // sorted
};

class ProductsRequestDelegate {
 public:
  virtual ~ProductsRequestDelegate() = default;
  virtual void productsRequestDidReceiveResponse(ProductsRequest& request, const ProductsResponse& response) = 0;
  virtual void requestDidFailWithError(ProductsRequest&, const ErrorPtr&) {}
  virtual void requestDidFinish(ProductsRequest&) {}
};

class ProductsRequest : public std::enable_shared_from_this<ProductsRequest> {
 public:
  static std::shared_ptr<ProductsRequest> create(std::set<std::string> productIdentifiers);

  const std::set<std::string>& productIdentifiers() const { return productIdentifiers_; }
  std::shared_ptr<ProductsRequestDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<ProductsRequestDelegate> delegate) { delegate_ = std::move(delegate); }

  // Only the first call asks the store.
  void start();
  void cancel() { cancelled_ = true; }

 private:
  explicit ProductsRequest(std::set<std::string> productIdentifiers)
      : productIdentifiers_(std::move(productIdentifiers)) {}
  void answer(const StoreControls::RequestAnswer& answer);

  const std::set<std::string> productIdentifiers_;
  std::weak_ptr<ProductsRequestDelegate> delegate_;
  bool started_ = false;
  bool cancelled_ = false;
};

}  // namespace platform
