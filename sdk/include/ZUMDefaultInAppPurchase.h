// A purchase made through the SDK's own purchase flow. Kept for hosts that name it; the
// flow does nothing: enabling or disabling it and finishing a transaction change
// nothing. Completed purchases are reported by the SDK on its own. Any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class PaymentTransaction;
}
class ZUMDefaultInAppPurchaseDelegate;

class ZUMDefaultInAppPurchase {
 public:
  static void enableDefaultPurchaseFlowWithDelegate(const std::shared_ptr<ZUMDefaultInAppPurchaseDelegate>&) {}
  static void disableDefaultPurchaseFlow() {}

  const std::string& productID() const { return productID_; }
  std::int64_t quantity() const { return quantity_; }
  const std::shared_ptr<platform::PaymentTransaction>& paymentTransaction() const { return paymentTransaction_; }
  void finishTransaction() {}

 private:
  ZUMDefaultInAppPurchase() = default;
  std::string productID_;
  std::int64_t quantity_ = 0;
  std::shared_ptr<platform::PaymentTransaction> paymentTransaction_;
};
