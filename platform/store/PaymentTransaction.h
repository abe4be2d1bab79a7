// One transaction of the payment queue: the payment it is for (product identifier and
// quantity), its state, and, once the store has settled it, an identifier and a date.
// The queue changes the state as the user and the store act; observers read it when
// they hear of the change. A failed transaction carries the store's error.
//
// Main thread only (the payment queue's thread).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/base/Clock.h"
#include "platform/base/Error.h"

namespace platform {

struct Payment {
  std::string productIdentifier;
  std::int64_t quantity = 1;
};

// Numbered as the platform numbers them.
enum class PaymentTransactionState { Purchasing = 0, Purchased = 1, Failed = 2, Restored = 3, Deferred = 4 };

class PaymentTransaction {
 public:
  // What the store's file keeps of a transaction.
  struct Record {
    std::string key;  // the queue's own name for the transaction, never shown
    PaymentTransactionState state = PaymentTransactionState::Purchasing;
    Payment payment;
    std::optional<std::string> transactionIdentifier;
    std::optional<TimeInterval> transactionDate;  // seconds since 1970
  };

  explicit PaymentTransaction(Record record) : record_(std::move(record)) {}

  PaymentTransactionState transactionState() const { return record_.state; }
  const Payment& payment() const { return record_.payment; }
  const std::optional<std::string>& transactionIdentifier() const { return record_.transactionIdentifier; }
  const std::optional<TimeInterval>& transactionDate() const { return record_.transactionDate; }
  const ErrorPtr& error() const { return error_; }

 private:
  friend class PaymentQueue;
  Record record_;
  ErrorPtr error_;
};

}  // namespace platform
