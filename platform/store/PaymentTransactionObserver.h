// An observer of the payment queue: hears, on the main thread and in order, each batch
// of transactions whose state changed, and the unfinished transactions of an earlier
// launch once an observer is added after the launch.
#pragma once

#include <memory>
#include <vector>

namespace platform {

class PaymentQueue;
class PaymentTransaction;

class PaymentTransactionObserver {
 public:
  virtual ~PaymentTransactionObserver() = default;
  virtual void paymentQueueUpdatedTransactions(
      PaymentQueue& queue, const std::vector<std::shared_ptr<PaymentTransaction>>& transactions) = 0;
};

}  // namespace platform
