#include "platform/store/ProductsRequest.h"

#include "platform/base/DispatchQueue.h"
#include "platform/store/StoreControls.h"

namespace platform {

std::shared_ptr<ProductsRequest> ProductsRequest::create(std::set<std::string> productIdentifiers) {
  return std::shared_ptr<ProductsRequest>(new ProductsRequest(std::move(productIdentifiers)));
}

void ProductsRequest::start() {
  if (std::exchange(started_, true)) return;
  // The store's answer is the one scripted when the request starts.
  DispatchQueue::main()->async([weak = weak_from_this(), answer = StoreControls::productRequestAnswer()] {
    if (auto self = weak.lock()) self->answer(answer);
  });
}

void ProductsRequest::answer(const StoreControls::RequestAnswer& answer) {
  if (cancelled_ || answer.answer == StoreControls::ProductRequestAnswer::Never) return;
  auto delegate = delegate_.lock();
  if (!delegate) return;
  if (answer.answer == StoreControls::ProductRequestAnswer::Fail) {
    delegate->requestDidFailWithError(*this, answer.error);
    return;
  }
  ProductsResponse response;
  for (const auto& identifier : productIdentifiers_) {
    if (auto product = StoreControls::product(identifier)) {
      response.products.push_back(std::move(product));
    } else {
      response.invalidProductIdentifiers.push_back(identifier);
    }
  }
  delegate->productsRequestDidReceiveResponse(*this, response);
  if (!cancelled_) delegate->requestDidFinish(*this);
}

}  // namespace platform
