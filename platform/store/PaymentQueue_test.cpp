#include "platform/store/PaymentQueue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/base/FileManager.h"
#include "platform/base/SystemLog.h"
#include "platform/store/StoreControls.h"
#include "platform/store/StoreFile.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using State = PaymentTransactionState;

const char* stateName(State state) {
  switch (state) {
    case State::Purchasing:
      return "purchasing";
    case State::Purchased:
      return "purchased";
    case State::Failed:
      return "failed";
    case State::Restored:
      return "restored";
    case State::Deferred:
      return "deferred";
  }
  return "?";
}

std::string describe(const PaymentTransaction& t) {
  std::string text = t.payment().productIdentifier + " x" + std::to_string(t.payment().quantity) + " " +
                     stateName(t.transactionState());
  text += t.transactionDate() ? " @" + std::to_string(static_cast<long long>(*t.transactionDate())) : " no date";
  if (t.transactionIdentifier()) text += " with id";
  if (t.error()) text += " error " + std::to_string(t.error()->code());
  return text;
}

class RecordingObserver : public PaymentTransactionObserver {
 public:
  void paymentQueueUpdatedTransactions(PaymentQueue&,
                                       const std::vector<std::shared_ptr<PaymentTransaction>>& transactions) override {
    for (const auto& t : transactions) heard.push_back(describe(*t));
    if (onHear) onHear();
  }
  std::vector<std::string> heard;
  std::function<void()> onHear;
};

class PaymentQueueTest : public testenv::PlatformTest {
 protected:
  std::shared_ptr<RecordingObserver> observe() {
    auto observer = std::make_shared<RecordingObserver>();
    PaymentQueue::defaultQueue()->addTransactionObserver(observer);
    return observer;
  }
};

TEST_F(PaymentQueueTest, APurchaseReachesEveryObserverOnceAsPurchasingThenPurchased) {
  auto first = observe();
  auto second = observe();
  auto removed = observe();
  PaymentQueue::defaultQueue()->addTransactionObserver(first);  // a second add changes nothing
  PaymentQueue::defaultQueue()->removeTransactionObserver(removed);
  StoreControls::buy({"com.example.coins", 3}, StoreControls::PurchaseOutcome::Purchased, 1700000000.0);
  EXPECT_THAT(first->heard, IsEmpty());  // on a later turn of the main queue
  env.runUntilIdle();
  for (const auto& observer : {first, second}) {
    EXPECT_THAT(observer->heard, ElementsAre("com.example.coins x3 purchasing no date",
                                             "com.example.coins x3 purchased @1700000000 with id"));
  }
  EXPECT_THAT(removed->heard, IsEmpty());
  ASSERT_EQ(PaymentQueue::defaultQueue()->transactions().size(), 1u);
}

TEST_F(PaymentQueueTest, OutcomesCarryTheirStates) {
  const struct {
    const char* name;
    std::function<void()> act;
    std::vector<std::string> heard;
  } rows[] = {
      {"restore",
       [] {
         StoreControls::restore({"com.example.gems", 1}, 1600000000.0);
       },
       {"com.example.gems x1 restored @1600000000 with id"}},
      {"fail",
       [] {
         StoreControls::buy({"com.example.gems", 2}, StoreControls::PurchaseOutcome::Failed);
       },
       {"com.example.gems x2 purchasing no date", "com.example.gems x2 failed no date error 2"}},
      {"defer",
       [] {
         StoreControls::buy({"com.example.gems", 1}, StoreControls::PurchaseOutcome::Deferred);
       },
       {"com.example.gems x1 purchasing no date", "com.example.gems x1 deferred no date"}},
      {"no date",
       [] {
         StoreControls::buy({"com.example.gems", 5});
       },
       {"com.example.gems x5 purchasing no date", "com.example.gems x5 purchased no date with id"}},
  };
  for (const auto& row : rows) {
    auto observer = observe();
    row.act();
    env.runUntilIdle();
    EXPECT_EQ(observer->heard, row.heard) << row.name;
    PaymentQueue::defaultQueue()->removeTransactionObserver(observer);
  }
}

TEST_F(PaymentQueueTest, AnObserverRemovedDuringADeliveryHearsNothingMore) {
  auto first = observe();
  auto second = observe();
  first->onHear = [&] { PaymentQueue::defaultQueue()->removeTransactionObserver(second); };
  StoreControls::buy({"com.example.coins", 1});
  env.runUntilIdle();
  EXPECT_EQ(first->heard.size(), 2u);
  EXPECT_THAT(second->heard, IsEmpty());
}

TEST_F(PaymentQueueTest, UnfinishedTransactionsAreDeliveredAgainAfterARelaunch) {
  auto before = observe();
  StoreControls::buy({"com.example.finished", 1}, StoreControls::PurchaseOutcome::Purchased, 1700000000.0);
  StoreControls::buy({"com.example.pending", 2}, StoreControls::PurchaseOutcome::Purchased, 1700000100.0);
  env.runUntilIdle();
  StoreControls::relaunch();  // both kept, unfinished
  auto queue = PaymentQueue::defaultQueue();
  ASSERT_EQ(queue->transactions().size(), 2u);
  queue->finishTransaction(queue->transactions().front());
  EXPECT_EQ(queue->transactions().size(), 1u);

  StoreControls::relaunch();
  auto after = observe();
  auto later = std::make_shared<RecordingObserver>();
  env.runUntilIdle();
  PaymentQueue::defaultQueue()->addTransactionObserver(later);
  env.runUntilIdle();
  EXPECT_NE(PaymentQueue::defaultQueue(), queue);
  EXPECT_THAT(after->heard, ElementsAre("com.example.pending x2 purchased @1700000100 with id"));
  EXPECT_THAT(later->heard, IsEmpty());  // once per launch
  EXPECT_EQ(before->heard.size(), 4u);   // the old launch's observer is gone with it
}

TEST_F(PaymentQueueTest, ASettledTransactionFinishesAndOneStillPurchasingStays) {
  auto observer = observe();
  auto transaction = StoreControls::buy({"com.example.coins", 1}, StoreControls::PurchaseOutcome::Deferred);
  env.runUntilIdle();
  SystemLog::Capture log(true);
  PaymentQueue::defaultQueue()->finishTransaction(transaction);
  EXPECT_EQ(PaymentQueue::defaultQueue()->transactions().size(), 1u);
  EXPECT_TRUE(log.contains("cannot be finished"));
  auto restored = StoreControls::restore({"com.example.coins", 1});
  env.runUntilIdle();
  PaymentQueue::defaultQueue()->finishTransaction(restored);
  EXPECT_EQ(PaymentQueue::defaultQueue()->transactions().size(), 1u);
  StoreControls::relaunch();
  EXPECT_EQ(PaymentQueue::defaultQueue()->transactions().size(), 1u);  // the deferred one
}

TEST_F(PaymentQueueTest, ADamagedStoreFileRestoresNothingAndIsLoggedOnce) {
  ASSERT_TRUE(FileManager::createDirectory(StoreFile::path().parent_path()));
  ASSERT_TRUE(FileManager::writeAtomically(StoreFile::path(), "{\"transactions\": [{\"key\": 1}]}"));
  SystemLog::Capture log(true);
  auto observer = observe();
  env.runUntilIdle();
  EXPECT_THAT(PaymentQueue::defaultQueue()->transactions(), IsEmpty());
  EXPECT_THAT(observer->heard, IsEmpty());
  const auto messages = log.messages();
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const std::string& m) { return m.find("damaged") != std::string::npos; }),
            1);
}

TEST(StoreFileTest, ReadsWhatItWroteAndNothingFromADamagedFile) {
  const std::vector<PaymentTransaction::Record> records = {
      {"k1", State::Purchased, {"com.example.a", 2}, "T-1", 1700000000.25},
      {"k2", State::Deferred, {"com.example.b", 1}, std::nullopt, std::nullopt},
      {"k3", State::Purchasing, {"com.example.c", 1}, std::nullopt, std::nullopt},
  };
  const auto read = StoreFile::decode(StoreFile::encode(records));
  ASSERT_TRUE(read.has_value());
  ASSERT_EQ(read->size(), 3u);
  EXPECT_EQ((*read)[0].key, "k1");
  EXPECT_EQ((*read)[0].state, State::Purchased);
  EXPECT_EQ((*read)[0].payment.productIdentifier, "com.example.a");
  EXPECT_EQ((*read)[0].payment.quantity, 2);
  EXPECT_EQ((*read)[0].transactionIdentifier, "T-1");
  EXPECT_EQ((*read)[0].transactionDate, 1700000000.25);
  EXPECT_EQ((*read)[1].transactionIdentifier, std::nullopt);
  EXPECT_EQ((*read)[1].transactionDate, std::nullopt);
  EXPECT_EQ((*read)[2].state, State::Purchasing);

  const char* damaged[] = {
      "",
      "not json",
      "[]",
      "{}",
      R"({"transactions": {}})",
      R"({"transactions": [1]})",
      R"({"transactions": [{"product": "a", "quantity": 1, "state": 1}]})",
      R"({"transactions": [{"key": "k", "quantity": 1, "state": 1}]})",
      R"({"transactions": [{"key": "k", "product": "a", "quantity": 1, "state": 5}]})",
      R"({"transactions": [{"key": "k", "product": "a", "quantity": 1, "state": -1}]})",
      R"({"transactions": [{"key": "k", "product": "a", "quantity": "1", "state": 1}]})",
      R"({"transactions": [{"key": "k", "product": 7, "quantity": 1, "state": 1}]})",
      R"({"transactions": [{"key": "k", "product": "a", "quantity": 1, "state": 1, "date": "x"}]})",
      R"({"transactions": [{"key": "k", "product": "a", "quantity": 1, "state": 1, "identifier": 3}]})",
  };
  for (const char* text : damaged) EXPECT_FALSE(StoreFile::decode(text).has_value()) << text;
}

}  // namespace
}  // namespace platform
