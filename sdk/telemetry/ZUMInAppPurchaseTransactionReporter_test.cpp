#include "sdk/telemetry/ZUMInAppPurchaseTransactionReporter.h"

#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMDefaultInAppPurchase.h"
#include "ZUMInAppPurchase.h"
#include "platform/base/ClassRegistry.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/TestingReset.h"
#include "platform/base/URL.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/store/PaymentQueue.h"
#include "platform/store/PaymentTransaction.h"
#include "platform/store/StoreControls.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/network/ZUMPinger.h"
#include "sdk/network/ZUMPingerRetryStore.h"
#include "sdk/telemetry/ZUMInAppPurchaseProductCache.h"
#include "sdk/telemetry/ZUMTelemetry.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Reporter = ZUMInAppPurchaseTransactionReporter;
using platform::StoreControls;
using ::testing::UnorderedElementsAre;
using namespace std::chrono_literals;

std::map<std::string, std::string> queryOf(const std::string& urlString) {
  std::map<std::string, std::string> pairs;
  auto url = platform::URL::fromString(urlString);
  std::string query = url && url->query() ? *url->query() : "";
  std::size_t start = 0;
  while (start < query.size()) {
    auto end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    auto pair = query.substr(start, end - start);
    auto equals = pair.find('=');
    pairs[pair.substr(0, equals)] =
        platform::PercentEncoding::decode(equals == std::string::npos ? "" : pair.substr(equals + 1)).value_or("?");
    start = end + 1;
  }
  return pairs;
}

void setDefault(const nlohmann::ordered_json& value, const std::string& key) {
  ASSERT_TRUE(platform::UserDefaults::standard().setObject(value, key));
}

std::shared_ptr<platform::PaymentTransaction> transaction(platform::PaymentTransactionState state, std::string sku,
                                                          std::optional<std::string> id,
                                                          std::optional<double> date = 1700000000.5,
                                                          std::int64_t quantity = 1) {
  return std::make_shared<platform::PaymentTransaction>(
      platform::PaymentTransaction::Record{"k", state, {std::move(sku), quantity}, std::move(id), date});
}

TEST(ZUMInAppPurchaseURLTest, ValuesAreEncodedIntoTheirMacrosAndOnlyWebURLsRemain) {
  testenv::TestEnvironment env;
  const Reporter::Parameters hostile = {{"sku", "a@b&c=1$1\\"}, {"price", "@price@"}};
  struct Case {
    std::string reportTemplate;
    Reporter::Parameters parameters;
    std::optional<std::string> expected;
  } cases[] = {
      {"https://h.example/c?sku=@sku@&price=@price@&x=@other@", hostile,
       "https://h.example/c?sku=a%40b%26c%3D1%241%5C&price=%40price%40&x="},
      {"http://h.example/@@@sku@@@?m=a@@b", {{"sku", "s"}}, "http://h.example/@s@?m=a@b"},
      {"HTTPS://h.example/?q=@sku@", {{"sku", "é"}}, "HTTPS://h.example/?q=%C3%A9"},
      {"@sku@://h.example/", {{"sku", "javascript"}}, std::nullopt},
      {"javascript:alert(1)//@sku@", {{"sku", "x"}}, std::nullopt},
      {"file:///etc/passwd?@sku@", {{"sku", "x"}}, std::nullopt},
      {"https:///no-host", {}, std::nullopt},
      {"", {}, std::nullopt},
      {"https://h.example/?" + std::string(9000, 'a'), {}, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Reporter::conversionURLString(c.reportTemplate, c.parameters), c.expected) << c.reportTemplate;
  }
}

TEST(ZUMInAppPurchaseURLTest, PricesAreFlooredToSixDigitsWithALeadingZeroAndRecordsFollowTheirFormats) {
  testenv::TestEnvironment env;
  for (auto [text, expected] : std::vector<std::pair<std::string, std::string>>{{"0.99", "0.99"},
                                                                                {"0.0000019", "0.000001"},
                                                                                {"1234567.5", "1234567.5"},
                                                                                {"5", "5"},
                                                                                {"-1.0000015", "-1.000002"}}) {
    EXPECT_EQ(Reporter::formattedPrice(*platform::Decimal::fromString(text)), expected) << text;
  }
  using State = platform::PaymentTransactionState;
  EXPECT_EQ(Reporter::recordForTransaction(*transaction(State::Purchased, "sku.a", "T1", 1700000000.5, 12)),
            (Reporter::Record{"sku.a", "T1", "12", "1700000000.500000"}));
  EXPECT_EQ(Reporter::recordForTransaction(*transaction(State::Purchased, "", std::nullopt, std::nullopt)),
            (Reporter::Record{"", "missing", "1", "missing"}));
  EXPECT_EQ(Reporter::recordForTransaction(*transaction(State::Purchased, "s", "T", 0.0)).timestamp, "missing");
}

TEST(ZUMInAppPurchaseURLTest, EquivalentClassesAreReadFromAnyStoredForm) {
  testenv::TestEnvironment env;
  const std::string key = "/vantor/ads/iap_equivalent_classes";
  struct Case {
    std::optional<nlohmann::ordered_json> stored;
    std::vector<std::string> expected;
  } cases[] = {
      {std::nullopt, {"PLKMeasurement"}}, {nlohmann::ordered_json::array({"A", 3, "B"}), {"A", "B"}},
      {"[\"C\",\"D\"]", {"C", "D"}},      {"Single", {"Single"}},
      {"[broken", {"PLKMeasurement"}},    {"", {"PLKMeasurement"}},
      {42, {"PLKMeasurement"}},           {nlohmann::ordered_json::object({{"A", 1}}), {"PLKMeasurement"}},
  };
  for (const auto& c : cases) {
    if (c.stored) {
      setDefault(*c.stored, key);
    } else {
      platform::UserDefaults::standard().removeObjectForKey(key);
    }
    EXPECT_EQ(Reporter::equivalentClassNames(), c.expected) << (c.stored ? c.stored->dump() : "absent");
  }
}

class ZUMInAppPurchaseReporterTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    server.route("/sdk/conversion/", {.status = 204});
    platform::URLLoading::mapHostForTesting("conversions.adnetwork.example", "127.0.0.1", server.port());
    StoreControls::addProduct(platform::Product::create("com.example.coins", *platform::Decimal::fromString("0.99"),
                                                        platform::Locale("en_US")));
    ZUMRegisterTelemetry();
  }
  void TearDown() override { platform::URLLoading::removeHostMappingsForTesting(); }

  std::vector<ZUMPingerRetryStore::Entry> stored() {
    return ZUMPingerRetryStore(platform::UserDefaults::standard()).entries(kZUMInAppPurchaseRetryGroupKey);
  }
  // The queries the endpoint received, once `count` have come and the retry group is empty.
  std::vector<std::map<std::string, std::string>> received(std::size_t count) {
    EXPECT_TRUE(env.runUntil([&] { return server.requestCount() >= count && stored().empty(); }));
    env.runUntilIdle();
    std::vector<std::map<std::string, std::string>> queries;
    for (const auto& request : server.requests())
      queries.push_back(queryOf("https://h.example/?" + request.query.value_or("")));
    return queries;
  }
  void enable() { ZUMCurrentStartupHooks().enableInAppPurchaseReporting(); }
  // Nothing handed to the pinger: no stored retry, no ping on its way, none received.
  void expectNothingSentSince(std::size_t received) {
    env.advance(120s);
    EXPECT_TRUE(stored().empty());
    EXPECT_EQ(ZUMPinger::sharedInstance()->pingsInFlight(), 0u);
    EXPECT_EQ(server.requestCount(), received);
  }

  testenv::LoopbackServer server;
};

TEST_F(ZUMInAppPurchaseReporterTest, APurchaseOfACachedProductCarriesItsPriceAndEveryParameter) {
  enable();
  StoreControls::buy({"com.example.coins", 3}, StoreControls::PurchaseOutcome::Purchased, 1700000000.25);
  auto first = received(1);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].at("price"), "0.99");
  EXPECT_EQ(first[0].at("currency_code"), "USD");
  EXPECT_EQ(first[0].at("iap_source"), "auto");
  EXPECT_EQ(first[0].at("quantity"), "3");
  EXPECT_EQ(first[0].at("sku"), "com.example.coins");
  EXPECT_EQ(first[0].at("timestamp"), "1700000000.250000");
  EXPECT_NE(first[0].at("transaction_id"), "missing");
  EXPECT_FALSE(first[0].at("sdkversion").empty());
  EXPECT_EQ(first[0].size(), 13u);  // every macro of the template, the unknown ones empty
  // The second purchase finds the product cached, without asking the store again.
  StoreControls::setProductRequestAnswer(StoreControls::ProductRequestAnswer::Never);
  StoreControls::buy({"com.example.coins", 1});
  auto both = received(2);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[1].at("price"), "0.99");
  EXPECT_EQ(both[1].at("timestamp"), "missing");
}

TEST_F(ZUMInAppPurchaseReporterTest, OnlyPurchasedTransactionsArePingedEachOnce) {
  enable();
  StoreControls::restore({"com.example.coins", 1}, 1600000000.0);
  StoreControls::buy({"com.example.coins", 1}, StoreControls::PurchaseOutcome::Failed);
  StoreControls::buy({"com.example.coins", 1}, StoreControls::PurchaseOutcome::Deferred);
  env.runUntilIdle();
  using State = platform::PaymentTransactionState;
  auto reporter = Reporter::sharedInstance();
  auto queue = platform::PaymentQueue::defaultQueue();
  reporter->paymentQueueUpdatedTransactions(
      *queue,
      {transaction(State::Purchased, "com.example.coins", "A"), transaction(State::Restored, "x", "R"),
       transaction(State::Purchased, "com.example.coins", "B"), transaction(State::Purchased, "", std::nullopt)});
  // Delivered again in the same process: nothing new.
  reporter->paymentQueueUpdatedTransactions(*queue, {transaction(State::Purchased, "com.example.coins", "A")});
  auto queries = received(3);
  std::vector<std::string> ids;
  for (const auto& q : queries) ids.push_back(q.at("transaction_id") + "/" + q.at("sku") + "/" + q.at("price"));
  // Pings travel on their own, so they may arrive in any order.
  EXPECT_THAT(ids, UnorderedElementsAre("A/com.example.coins/0.99", "B/com.example.coins/0.99", "missing//"));
  env.advance(120s);
  EXPECT_EQ(server.requestCount(), 3u);
  EXPECT_THAT(*platform::UserDefaults::standard().objectForKey(kZUMInAppPurchaseReportedTransactionsKey),
              nlohmann::ordered_json::array({"A", "B"}));

  // The memory is bounded: the oldest identifiers go first.
  auto full = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < Reporter::kMaximumRememberedTransactions; ++i) full.push_back("old-" + std::to_string(i));
  setDefault(full, kZUMInAppPurchaseReportedTransactionsKey);
  reporter->paymentQueueUpdatedTransactions(*queue, {transaction(State::Purchased, "com.example.coins", "C")});
  ASSERT_EQ(received(4).size(), 4u);
  const auto kept = *platform::UserDefaults::standard().objectForKey(kZUMInAppPurchaseReportedTransactionsKey);
  ASSERT_EQ(kept.size(), Reporter::kMaximumRememberedTransactions);
  EXPECT_EQ(kept.front(), "old-1");
  EXPECT_EQ(kept.back(), "C");
}

TEST_F(ZUMInAppPurchaseReporterTest, AnUnfinishedPurchaseDeliveredAgainAfterARelaunchIsNotReportedTwice) {
  enable();
  StoreControls::buy({"com.example.coins", 1}, StoreControls::PurchaseOutcome::Purchased, 1700000000.0);
  ASSERT_EQ(received(1).size(), 1u);
  // A new process over the same defaults and store files.
  const auto defaultsFile = platform::UserDefaults::standard().file();
  StoreControls::relaunch();
  platform::runTestingResets();
  platform::UserDefaults::setStandardFile(defaultsFile);
  server.route("/sdk/conversion/", {.status = 204});
  platform::URLLoading::mapHostForTesting("conversions.adnetwork.example", "127.0.0.1", server.port());
  ZUMRegisterTelemetry();
  enable();
  env.advance(120s);
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(ZUMInAppPurchaseReporterTest, EquivalentClassesAndTheOptOutKeepTheReporterAway) {
  auto reporter = Reporter::sharedInstance();
  platform::ClassRegistry::shared().registerClass<Reporter>("PLKMeasurement", [] { return nullptr; });
  EXPECT_FALSE(reporter->shouldBeEnabled());
  enable();
  EXPECT_FALSE(reporter->reportingEnabled());
  StoreControls::buy({"com.example.coins", 1});
  expectNothingSentSince(0);

  platform::ClassRegistry::shared().unregisterClass("PLKMeasurement");
  EXPECT_TRUE(reporter->shouldBeEnabled());
  enable();
  enable();
  EXPECT_TRUE(reporter->reportingEnabled());
  StoreControls::buy({"com.example.coins", 1});
  EXPECT_EQ(received(1).size(), 1u);

  ZUMOptOutOfInAppPurchaseReporting();
  EXPECT_TRUE(reporter->wasDisabled());
  EXPECT_FALSE(reporter->reportingEnabled());
  EXPECT_FALSE(reporter->shouldBeEnabled());
  reporter->enableReporting();
  EXPECT_FALSE(reporter->reportingEnabled());
  StoreControls::buy({"com.example.coins", 1});
  expectNothingSentSince(1);
}

TEST_F(ZUMInAppPurchaseReporterTest, ThePublicPurchaseShellsDoNothing) {
  EXPECT_EQ(ZUMInAppPurchase::create(), nullptr);
  enable();
  ZUMDefaultInAppPurchase::enableDefaultPurchaseFlowWithDelegate(nullptr);
  ZUMDefaultInAppPurchase::disableDefaultPurchaseFlow();
  StoreControls::buy({"com.example.coins", 1});
  EXPECT_EQ(received(1).size(), 1u);
  EXPECT_EQ(platform::PaymentQueue::defaultQueue()->transactions().size(), 1u) << "never finished";
}

TEST_F(ZUMInAppPurchaseReporterTest, UnknownProductsAndUnansweredRequestsReportWithoutAPriceOnce) {
  enable();
  StoreControls::buy({"com.example.unknown", 1});  // the store calls it invalid
  auto queries = received(1);
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_EQ(queries[0].at("price"), "");
  EXPECT_EQ(queries[0].at("currency_code"), "");
  EXPECT_EQ(ZUMInAppPurchaseProductCache::sharedInstance()->cachedProductForProductID("com.example.unknown"), nullptr);

  StoreControls::setProductRequestAnswer(StoreControls::ProductRequestAnswer::Never);
  StoreControls::buy({"com.example.gems", 1});
  env.advance(std::chrono::duration<double>(ZUMProductsRequest::kTimeout) - 1s);
  EXPECT_EQ(server.requestCount(), 1u);
  env.advance(2s);
  queries = received(2);
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_EQ(queries[1].at("sku"), "com.example.gems");
  EXPECT_EQ(queries[1].at("price"), "");

  StoreControls::setProductRequestAnswer(StoreControls::ProductRequestAnswer::Fail);
  StoreControls::buy({"com.example.gems", 2});
  queries = received(3);
  ASSERT_EQ(queries.size(), 3u);
  EXPECT_EQ(queries[2].at("quantity"), "2");
  env.advance(120s);
  EXPECT_EQ(server.requestCount(), 3u);
}

TEST_F(ZUMInAppPurchaseReporterTest, AFailedPingStaysStoredAndGoesOutAgainMarked) {
  std::atomic<bool> failing = true;
  server.route("/sdk/conversion/", [&](const testenv::RecordedRequest&) {
    return testenv::ScriptedResponse{.status = failing ? 500 : 204};
  });
  setDefault("&again=yes", "/vantor/ads/iap_retry_suffix");
  enable();
  StoreControls::buy({"com.example.coins", 1});
  ASSERT_TRUE(
      env.runUntil([&] { return server.requestCount() == 1 && ZUMPinger::sharedInstance()->pingsInFlight() == 0; }));
  env.runUntilIdle();
  const auto entries = stored();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(queryOf(entries[0].urlString).at("again"), "yes");
  EXPECT_EQ(queryOf(entries[0].urlString).at("price"), "0.99");

  failing = false;
  ZUMPinger::sharedInstance()->startRetrySchedule();
  env.advance(61s);
  auto queries = received(2);
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_EQ(queries[1].at("again"), "yes");
  EXPECT_EQ(queries[0].count("again"), 0u);
}

}  // namespace
