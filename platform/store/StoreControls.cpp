#include "platform/store/StoreControls.h"

#include <map>
#include <mutex>

#include "platform/base/Random.h"
#include "platform/base/TestingReset.h"
#include "platform/store/PaymentQueue.h"
#include "platform/ui/StoreProductViewController.h"

namespace platform {

namespace {

constexpr std::int64_t kPaymentCancelledCode = 2;

struct StoreState {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<const Product>, std::less<>> catalogue;
  StoreControls::ProductRequestAnswer answer = StoreControls::ProductRequestAnswer::Respond;
  ErrorPtr answerError;
};

StoreState& state() {
  static auto* made = [] {
    auto* s = new StoreState();  // never destroyed: read by queued answers
    registerTestingReset(s, [s] {
      std::lock_guard lock(s->mutex);
      s->catalogue.clear();
      s->answer = StoreControls::ProductRequestAnswer::Respond;
      s->answerError = nullptr;
    });
    return s;
  }();
  return *made;
}

}  // namespace

void StoreControls::addProduct(std::shared_ptr<const Product> product) {
  if (!product) return;
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.catalogue.insert_or_assign(product->productIdentifier(), std::move(product));
}

std::shared_ptr<const Product> StoreControls::product(const std::string& productIdentifier) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  const auto it = s.catalogue.find(productIdentifier);
  return it == s.catalogue.end() ? nullptr : it->second;
}

void StoreControls::setProductRequestAnswer(ProductRequestAnswer answer, ErrorPtr error) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.answer = answer;
  s.answerError = error ? std::move(error) : Error::create(kStoreErrorDomain, 0);
}

StoreControls::RequestAnswer StoreControls::productRequestAnswer() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return {s.answer, s.answerError ? s.answerError : Error::create(kStoreErrorDomain, 0)};
}

std::shared_ptr<PaymentTransaction> StoreControls::buy(Payment payment, PurchaseOutcome outcome,
                                                       std::optional<TimeInterval> date) {
  const PaymentTransaction::Record purchasing{Random::uuidString(), PaymentTransactionState::Purchasing,
                                              std::move(payment), std::nullopt, std::nullopt};
  auto transaction = std::make_shared<PaymentTransaction>(purchasing);
  auto queue = PaymentQueue::defaultQueue();
  queue->update(transaction, purchasing, nullptr);
  auto settled = purchasing;
  settled.state = PaymentTransactionState::Purchased;
  ErrorPtr error;
  switch (outcome) {
    case PurchaseOutcome::Purchased:
      settled.transactionIdentifier = Random::uuidString();
      settled.transactionDate = date;
      break;
    case PurchaseOutcome::Failed:
      settled.state = PaymentTransactionState::Failed;
      error = Error::create(kStoreErrorDomain, kPaymentCancelledCode);
      break;
    case PurchaseOutcome::Deferred:
      settled.state = PaymentTransactionState::Deferred;
      break;
  }
  queue->update(transaction, std::move(settled), std::move(error));
  return transaction;
}

std::shared_ptr<PaymentTransaction> StoreControls::restore(Payment payment, std::optional<TimeInterval> date) {
  PaymentTransaction::Record record{Random::uuidString(), PaymentTransactionState::Restored, std::move(payment),
                                    Random::uuidString(), date};
  auto transaction = std::make_shared<PaymentTransaction>(record);
  PaymentQueue::defaultQueue()->update(transaction, std::move(record), nullptr);
  return transaction;
}

void StoreControls::relaunch() { PaymentQueue::dropDefaultQueue(); }

}  // namespace platform
