// Purchase reporting: the main-thread time of one store update of 100 purchased
// transactions of a cached product (records made, the cache asked, the report handed
// to a later turn), and beside it the time to build the 100 report URLs, which runs on
// a background queue.
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/UserDefaults.h"
#include "platform/store/PaymentQueue.h"
#include "platform/store/PaymentTransaction.h"
#include "platform/store/StoreControls.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/telemetry/ZUMInAppPurchaseProductCache.h"
#include "sdk/telemetry/ZUMInAppPurchaseTransactionReporter.h"
#include "testing/TestEnvironment.h"

namespace {

using Reporter = ZUMInAppPurchaseTransactionReporter;
constexpr int kTransactions = 100;

std::vector<std::shared_ptr<platform::PaymentTransaction>> purchases(int batch) {
  std::vector<std::shared_ptr<platform::PaymentTransaction>> list;
  for (int i = 0; i < kTransactions; ++i) {
    platform::PaymentTransaction::Record record;
    record.key = "k";
    record.state = platform::PaymentTransactionState::Purchased;
    record.payment.productIdentifier = "com.example.coins";
    record.transactionIdentifier = "T-" + std::to_string(batch) + "-" + std::to_string(i);
    record.transactionDate = 1700000000.0 + i;
    list.push_back(std::make_shared<platform::PaymentTransaction>(std::move(record)));
  }
  return list;
}

void BM_StoreUpdateOnTheMainThread(benchmark::State& state) {
  testenv::TestEnvironment env;
  ZUMSetLogLevelThreshold(0);
  // Reports are built in the paused part; a template that makes no URL keeps them off the network.
  (void)platform::UserDefaults::standard().setObject("x", "/vantor/ads/iap_report_format");
  platform::StoreControls::addProduct(platform::Product::create(
      "com.example.coins", *platform::Decimal::fromString("0.99"), platform::Locale("en_US")));
  ZUMInAppPurchaseProductCache::sharedInstance()->requestProductsWithProductIdentifiers(
      {"com.example.coins"}, platform::DispatchQueue::main(), [](auto&&...) {});
  env.runUntilIdle();
  auto reporter = Reporter::sharedInstance();
  auto queue = platform::PaymentQueue::defaultQueue();
  int batch = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto transactions = purchases(batch++);
    state.ResumeTiming();
    reporter->paymentQueueUpdatedTransactions(*queue, transactions);
    state.PauseTiming();
    env.runUntilIdle();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kTransactions);
}
BENCHMARK(BM_StoreUpdateOnTheMainThread)->Unit(benchmark::kMicrosecond);

void BM_BuildHundredReportURLs(benchmark::State& state) {
  testenv::TestEnvironment env;
  const Reporter::Parameters shared = {{"appversion", "1.0"},
                                       {"bundleid", "com.example.app"},
                                       {"osversion", "12.0"},
                                       {"sdkversion", "morvane-1.0"},
                                       {"iapsource", "auto"}};
  for (auto _ : state) {
    for (int i = 0; i < kTransactions; ++i) {
      Reporter::Parameters parameters = shared;
      parameters.insert(parameters.end(), {{"sku", "com.example.coins"},
                                           {"transactionid", "T-" + std::to_string(i)},
                                           {"quantity", "1"},
                                           {"timestamp", "1700000000.000000"},
                                           {"price", *Reporter::formattedPrice(*platform::Decimal::fromString("0.99"))},
                                           {"currencycode", "USD"}});
      benchmark::DoNotOptimize(Reporter::conversionURLString(kZUMInAppPurchaseDefaultReportTemplate, parameters));
    }
  }
  state.SetItemsProcessed(state.iterations() * kTransactions);
}
BENCHMARK(BM_BuildHundredReportURLs)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
