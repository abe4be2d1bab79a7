// The store's side and the user's, for tests and demos: the catalogue of products that
// product requests find, how product requests answer, the user buying (the purchase
// succeeds, fails or is deferred) or restoring, and a relaunch of the process that keeps
// the store's file. Everything here resets between tests.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/store/PaymentTransaction.h"
#include "platform/store/Product.h"

namespace platform {

class StoreControls {
 public:
  enum class PurchaseOutcome { Purchased, Failed, Deferred };
  enum class ProductRequestAnswer { Respond, Fail, Never };

  // The catalogue: products requests find these (a product replaces one of its identifier).
  static void addProduct(std::shared_ptr<const Product> product);
  static std::shared_ptr<const Product> product(const std::string& productIdentifier);
  // How product requests started from now on answer; a failure carries `error` (a store
  // error of code 0 when null).
  static void setProductRequestAnswer(ProductRequestAnswer answer, ErrorPtr error = nullptr);

  // The user buys: the transaction reaches the observers as purchasing, then in the
  // outcome's state (a purchased one with a new identifier and `date`, a failed one with a
  // store error of code 2, "payment cancelled").
  static std::shared_ptr<PaymentTransaction> buy(Payment payment, PurchaseOutcome outcome = PurchaseOutcome::Purchased,
                                                 std::optional<TimeInterval> date = std::nullopt);
  // A restored earlier purchase: one update, in the restored state.
  static std::shared_ptr<PaymentTransaction> restore(Payment payment, std::optional<TimeInterval> date = std::nullopt);
  // The process ends and starts again: the default payment queue and its observers are
  // gone; the next one reads the store's file.
  static void relaunch();

  // The scripted answer (ProductsRequest).
  struct RequestAnswer {
    ProductRequestAnswer answer = ProductRequestAnswer::Respond;
    ErrorPtr error;
  };
  static RequestAnswer productRequestAnswer();
};

}  // namespace platform
