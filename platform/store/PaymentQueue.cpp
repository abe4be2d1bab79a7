#include "platform/store/PaymentQueue.h"

#include <algorithm>
#include <mutex>

#include "platform/base/DispatchQueue.h"
#include "platform/base/FileManager.h"
#include "platform/base/SystemLog.h"
#include "platform/base/TestingReset.h"
#include "platform/store/StoreFile.h"

namespace platform {

namespace {

struct DefaultQueue {
  std::mutex mutex;
  std::shared_ptr<PaymentQueue> queue;
};

DefaultQueue& defaultQueueHolder() {
  static auto* holder = [] {
    auto* made = new DefaultQueue();  // never destroyed: queued deliveries may outlive main
    registerTestingReset(made, [made] {
      std::shared_ptr<PaymentQueue> old;
      std::lock_guard lock(made->mutex);
      old.swap(made->queue);
    });
    return made;
  }();
  return *holder;
}

bool isSettled(PaymentTransactionState state) {
  return state == PaymentTransactionState::Purchased || state == PaymentTransactionState::Failed ||
         state == PaymentTransactionState::Restored;
}

}  // namespace

std::shared_ptr<PaymentQueue> PaymentQueue::defaultQueue() {
  auto& holder = defaultQueueHolder();
  std::lock_guard lock(holder.mutex);
  if (!holder.queue) holder.queue = loadFromStoreFile();
  return holder.queue;
}

void PaymentQueue::dropDefaultQueue() {
  std::shared_ptr<PaymentQueue> old;
  auto& holder = defaultQueueHolder();
  std::lock_guard lock(holder.mutex);
  old.swap(holder.queue);
}

std::shared_ptr<PaymentQueue> PaymentQueue::loadFromStoreFile() {
  auto queue = std::shared_ptr<PaymentQueue>(new PaymentQueue());
  const auto path = StoreFile::path();
  if (!FileManager::exists(path)) return queue;
  const auto text = FileManager::readFile(path);
  const auto records = text ? StoreFile::decode(*text) : std::nullopt;
  if (!records) {
    SystemLog::write("store", "The store's file " + path.string() + " is damaged; no transactions were restored.");
    return queue;
  }
  for (const auto& record : *records) queue->transactions_.push_back(std::make_shared<PaymentTransaction>(record));
  queue->launchDeliveryPending_ = !queue->transactions_.empty();
  return queue;
}

void PaymentQueue::addTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer) {
  if (!observer || isObserving(observer.get())) return;
  observers_.push_back(observer);
  if (!std::exchange(launchDeliveryPending_, false)) return;
  DispatchQueue::main()->async([weak = weak_from_this()] {
    if (auto self = weak.lock()) self->deliver(self->transactions_);
  });
}

void PaymentQueue::removeTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer) {
  std::erase_if(observers_, [&](const auto& weak) {
    auto held = weak.lock();
    return !held || held == observer;
  });
}

bool PaymentQueue::isObserving(const PaymentTransactionObserver* observer) const {
  return std::any_of(observers_.begin(), observers_.end(),
                     [&](const auto& weak) { return weak.lock().get() == observer; });
}

void PaymentQueue::finishTransaction(const std::shared_ptr<PaymentTransaction>& transaction) {
  if (!transaction) return;
  if (!isSettled(transaction->transactionState())) {
    SystemLog::write("store", "A transaction cannot be finished while it is purchasing or deferred.");
    return;
  }
  const auto before = transactions_.size();
  std::erase(transactions_, transaction);
  if (transactions_.size() != before) save();
}

void PaymentQueue::update(const std::shared_ptr<PaymentTransaction>& transaction, PaymentTransaction::Record change,
                          ErrorPtr error) {
  DispatchQueue::main()->async([weak = weak_from_this(), transaction, change = std::move(change), error] {
    auto self = weak.lock();
    if (!self) return;
    if (std::find(self->transactions_.begin(), self->transactions_.end(), transaction) == self->transactions_.end()) {
      self->transactions_.push_back(transaction);
    }
    transaction->record_ = change;
    transaction->error_ = error;
    self->save();
    self->deliver({transaction});
  });
}

void PaymentQueue::deliver(std::vector<std::shared_ptr<PaymentTransaction>> transactions) {
  if (transactions.empty()) return;
  // Each observer is asked again before its turn, so one removed meanwhile hears nothing.
  auto observers = observers_;
  for (const auto& weak : observers) {
    auto observer = weak.lock();
    if (!observer || !isObserving(observer.get())) continue;
    observer->paymentQueueUpdatedTransactions(*this, transactions);
  }
}

void PaymentQueue::save() const {
  std::vector<PaymentTransaction::Record> records;
  records.reserve(transactions_.size());
  for (const auto& transaction : transactions_) records.push_back(transaction->record_);
  const auto path = StoreFile::path();
  ErrorPtr error;
  if (!FileManager::createDirectory(path.parent_path(), &error) ||
      !FileManager::writeAtomically(path, StoreFile::encode(records), &error)) {
    SystemLog::write("store", "The store's file could not be written: " + (error ? error->description() : ""));
  }
}

}  // namespace platform
