// The store's payment queue: the transactions the user started and the store has not
// seen finished, and the observers that hear of them. Each change of a transaction's
// state reaches every observer once, on the main thread, on a later turn of the main
// queue, in the order the changes happened; an observer removed meanwhile (even during a
// delivery) hears nothing more. Observers are held weakly.
//
// Unfinished transactions are kept in the store's own file (StoreFile.h), so a later
// launch of the process sees them: the first observer added after a launch hears them
// all again. finishTransaction() removes one for good.
//
// The default queue is made on first use from the store's file and dropped by the test
// environment between tests; the user's purchases come through StoreControls.h.
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/store/PaymentTransaction.h"
#include "platform/store/PaymentTransactionObserver.h"

namespace platform {

class PaymentQueue : public std::enable_shared_from_this<PaymentQueue> {
 public:
  static std::shared_ptr<PaymentQueue> defaultQueue();

  void addTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer);
  void removeTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer);

  // Removes a transaction the store has settled (purchased, failed, restored); one still
  // purchasing or deferred stays, with a log line.
  void finishTransaction(const std::shared_ptr<PaymentTransaction>& transaction);
  // The unfinished transactions, oldest first.
  const std::vector<std::shared_ptr<PaymentTransaction>>& transactions() const { return transactions_; }

 private:
  friend class StoreControls;
  PaymentQueue() = default;
  // Reads the store's file; a damaged one restores nothing and is logged.
  static std::shared_ptr<PaymentQueue> loadFromStoreFile();
  // Drops the default queue, as the end of the process would (StoreControls::relaunch()).
  static void dropDefaultQueue();

  // On a later turn of the main queue: adds the transaction when new, applies the change,
  // saves, and tells the observers.
  void update(const std::shared_ptr<PaymentTransaction>& transaction, PaymentTransaction::Record change,
              ErrorPtr error);
  void deliver(std::vector<std::shared_ptr<PaymentTransaction>> transactions);
  bool isObserving(const PaymentTransactionObserver* observer) const;
  void save() const;

  std::vector<std::weak_ptr<PaymentTransactionObserver>> observers_;
  std::vector<std::shared_ptr<PaymentTransaction>> transactions_;
  bool launchDeliveryPending_ = false;  // transactions of an earlier launch not yet delivered
};

}  // namespace platform
