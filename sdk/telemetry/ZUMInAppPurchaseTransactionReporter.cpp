#include "sdk/telemetry/ZUMInAppPurchaseTransactionReporter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/ClassRegistry.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NumberFormatter.h"
#include "platform/base/RunLoop.h"
#include "platform/base/TestingReset.h"
#include "platform/base/URL.h"
#include "platform/base/UserDefaults.h"
#include "platform/store/PaymentQueue.h"
#include "platform/store/PaymentTransaction.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMMacros.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/network/ZUMPinger.h"
#include "sdk/telemetry/ZUMInAppPurchaseProductCache.h"

namespace {

using Reporter = ZUMInAppPurchaseTransactionReporter;

// Longer templates are refused: they come from the server and are scanned per record.
constexpr std::size_t kMaximumTemplateLength = 8192;

// Sets `key` to `value`, in place when present, so later entries go on top.
void setParameter(Reporter::Parameters& parameters, const std::string& key, std::string value) {
  auto found = std::find_if(parameters.begin(), parameters.end(), [&](const auto& pair) { return pair.first == key; });
  if (found != parameters.end()) {
    found->second = std::move(value);
  } else {
    parameters.emplace_back(key, std::move(value));
  }
}

std::vector<std::string> rememberedTransactionList() {
  return ZUMUserDefaults::stringArrayForKey(kZUMInAppPurchaseReportedTransactionsKey)
      .value_or(std::vector<std::string>{});
}

// The parameters of one record's ping: the shared ones, the record's on top, and the
// price and currency of a cached product.
Reporter::Parameters parametersForRecord(const Reporter::Record& record, const Reporter::Parameters& shared) {
  Reporter::Parameters parameters = shared;
  setParameter(parameters, "sku", record.sku);
  setParameter(parameters, "transactionid", record.transactionID);
  setParameter(parameters, "quantity", record.quantity);
  setParameter(parameters, "timestamp", record.timestamp);
  if (auto product = ZUMInAppPurchaseProductCache::sharedInstance()->cachedProductForProductID(record.sku)) {
    if (auto price = Reporter::formattedPrice(product->price())) setParameter(parameters, "price", *price);
    if (auto currency = product->priceLocale().currencyCode()) setParameter(parameters, "currencycode", *currency);
  }
  return parameters;
}

}  // namespace

std::shared_ptr<ZUMInAppPurchaseTransactionReporter> ZUMInAppPurchaseTransactionReporter::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMInAppPurchaseTransactionReporter>(
      [] { return std::shared_ptr<ZUMInAppPurchaseTransactionReporter>(new ZUMInAppPurchaseTransactionReporter()); });
  return shared->get();
}

// The payment queue holds observers weakly, so a reporter that goes away stops hearing.
ZUMInAppPurchaseTransactionReporter::~ZUMInAppPurchaseTransactionReporter() = default;

bool ZUMInAppPurchaseTransactionReporter::shouldBeEnabled() const {
  if (wasDisabled_) return false;
  const auto& registry = platform::ClassRegistry::shared();
  for (const auto& name : equivalentClassNames()) {
    if (registry.isRegistered(name)) return false;
  }
  return true;
}

void ZUMInAppPurchaseTransactionReporter::enableReporting() {
  platform::assertMainThread();
  // The host's opt-out holds for the rest of the process.
  if (reportingEnabled_ || wasDisabled_) return;
  platform::PaymentQueue::defaultQueue()->addTransactionObserver(shared_from_this());
  reportingEnabled_ = true;
}

void ZUMInAppPurchaseTransactionReporter::disableReporting() {
  wasDisabled_ = true;
  if (platform::isMainThread()) {
    removeObserver();
  } else {
    platform::DispatchQueue::main()->async(ZUMBindWeak(weak_from_this(), &Reporter::removeObserver));
  }
}

void ZUMInAppPurchaseTransactionReporter::removeObserver() {
  if (!reportingEnabled_) return;
  platform::PaymentQueue::defaultQueue()->removeTransactionObserver(shared_from_this());
  reportingEnabled_ = false;
}

void ZUMInAppPurchaseTransactionReporter::paymentQueueUpdatedTransactions(
    platform::PaymentQueue&, const std::vector<std::shared_ptr<platform::PaymentTransaction>>& transactions) {
  platform::assertMainThread();
  const auto list = rememberedTransactionList();
  const std::set<std::string> remembered(list.begin(), list.end());
  const auto cache = ZUMInAppPurchaseProductCache::sharedInstance();
  std::vector<Record> records;
  std::set<std::string> unknownProducts;
  for (const auto& transaction : transactions) {
    if (!transaction || transaction->transactionState() != platform::PaymentTransactionState::Purchased) continue;
    if (!claimTransaction(transaction->transactionIdentifier(), remembered)) continue;
    records.push_back(recordForTransaction(*transaction));
    const auto& sku = records.back().sku;
    if (!sku.empty() && !cache->cachedProductForProductID(sku)) unknownProducts.insert(sku);
  }
  if (records.empty()) return;
  void (Reporter::*reportRecords)(std::vector<Record>) = &Reporter::reportTransactionsFromArray;
  auto report = ZUMBindWeak(weak_from_this(), reportRecords, std::move(records));
  if (unknownProducts.empty()) {
    platform::DispatchQueue::main()->async(std::move(report));
    return;
  }
  // Reported whatever the answer; an unanswered request times out (ZUMProductsRequest).
  cache->requestProductsWithProductIdentifiers(std::move(unknownProducts), platform::DispatchQueue::main(),
                                               [report = std::move(report)](auto&&...) { report(); });
}

bool ZUMInAppPurchaseTransactionReporter::claimTransaction(const std::optional<std::string>& identifier,
                                                           const std::set<std::string>& remembered) {
  if (!identifier) return true;  // nothing to tell it apart by
  if (remembered.contains(*identifier) || !pending_.insert(*identifier).second) {
    ZUMLog(kZUMLogLevelDebug, "In-app purchase already reported: " + *identifier);
    return false;
  }
  return true;
}

void ZUMInAppPurchaseTransactionReporter::reportTransactionsFromArray(std::vector<Record> records) {
  platform::assertMainThread();
  Parameters shared;
  const auto application = ZUMApplication::sharedInstance()->parameters();
  for (const auto& [key, value] : application.items()) {
    if (auto text = ZUMJSONString(value)) shared.emplace_back(key, *text);
  }
  shared.emplace_back("iapsource", "auto");
  std::vector<std::string> identifiers;
  for (const auto& record : records) {
    if (pending_.contains(record.transactionID)) identifiers.push_back(record.transactionID);
  }
  platform::DispatchQueue::global()->async([records = std::move(records), shared = std::move(shared),
                                            identifiers = std::move(identifiers), weak = weak_from_this()] {
    (void)reportTransactionsFromArray(records, shared);
    // Remembered once the pings are with the pinger, whose store keeps them.
    platform::DispatchQueue::main()->async(ZUMBindWeak(weak, &Reporter::rememberReported, identifiers));
  });
}

std::vector<std::string> ZUMInAppPurchaseTransactionReporter::reportTransactionsFromArray(
    const std::vector<Record>& records, const Parameters& sharedParameters) {
  const std::string reportTemplate =
      ZUMUserDefaults::stringForKey("/vantor/ads/iap_report_format").value_or(kZUMInAppPurchaseDefaultReportTemplate);
  const std::string retrySuffix =
      ZUMUserDefaults::stringForKey("/vantor/ads/iap_retry_suffix").value_or(kZUMInAppPurchaseDefaultRetrySuffix);
  std::vector<std::string> sent;
  for (const auto& record : records) {
    auto urlString = conversionURLString(reportTemplate, parametersForRecord(record, sharedParameters));
    auto url = urlString ? platform::URL::fromString(*urlString) : std::nullopt;
    if (!url) continue;
    ZUMPinger::sharedInstance()->pingWithRetryGroupKey(kZUMInAppPurchaseRetryGroupKey, *url, *urlString + retrySuffix);
    sent.push_back(std::move(*urlString));
  }
  return sent;
}

void ZUMInAppPurchaseTransactionReporter::rememberReported(const std::vector<std::string>& identifiers) {
  platform::assertMainThread();
  auto list = rememberedTransactionList();
  for (const auto& identifier : identifiers) {
    pending_.erase(identifier);
    if (std::find(list.begin(), list.end(), identifier) == list.end()) list.push_back(identifier);
  }
  if (list.size() > kMaximumRememberedTransactions) {
    list.erase(list.begin(), list.end() - static_cast<std::ptrdiff_t>(kMaximumRememberedTransactions));
  }
  if (!platform::UserDefaults::standard().setObject(nlohmann::ordered_json(list),
                                                    kZUMInAppPurchaseReportedTransactionsKey)) {
    ZUMLog(kZUMLogLevelDefault, "Reported in-app purchases could not be remembered.");
  }
}

ZUMInAppPurchaseTransactionReporter::Record ZUMInAppPurchaseTransactionReporter::recordForTransaction(
    const platform::PaymentTransaction& transaction) {
  Record record;
  record.sku = transaction.payment().productIdentifier;
  record.transactionID = transaction.transactionIdentifier().value_or("missing");
  record.quantity = std::to_string(transaction.payment().quantity);
  const auto date = transaction.transactionDate();
  if (date && *date != 0 && std::isfinite(*date)) {
    char text[512];
    std::snprintf(text, sizeof text, "%f", *date);
    record.timestamp = text;
  } else {
    record.timestamp = "missing";
  }
  return record;
}

std::optional<std::string> ZUMInAppPurchaseTransactionReporter::formattedPrice(const platform::Decimal& price) {
  // One required integer digit, so 0.99 is "0.99", not ".99".
  thread_local const auto formatter = [] {
    auto made = std::make_unique<platform::NumberFormatter>();
    made->setLocale(platform::Locale("en_US"));
    made->setPositiveFormat("0.######");
    made->setNegativeFormat("-0.######");
    made->setRoundingMode(platform::NumberFormatter::RoundingMode::Floor);
    return made;
  }();
  return formatter->stringFromNumber(price);
}

std::optional<std::string> ZUMInAppPurchaseTransactionReporter::conversionURLString(std::string_view reportTemplate,
                                                                                    const Parameters& parameters) {
  if (reportTemplate.size() > kMaximumTemplateLength) {
    ZUMLog(kZUMLogLevelDefault, "In-app purchase report dropped: its template is too long.");
    return std::nullopt;
  }
  std::string text(reportTemplate);
  // Encoded values hold no "@", "&", "$" or "\\", so they cannot open macros or add pairs.
  for (const auto& [key, value] : parameters) ZUMReplaceMacro(text, key, ZUMPercentEncodedString(value));
  ZUMRemoveUnreplacedMacros(text);
  ZUMUnescapeMacroAtSigns(text);
  const auto url = platform::URL::fromString(text);
  const bool web = url && url->scheme() &&
                   (platform::equalsIgnoringASCIICase(*url->scheme(), "http") ||
                    platform::equalsIgnoringASCIICase(*url->scheme(), "https")) &&
                   !url->host().value_or("").empty();
  if (!web) {
    ZUMLog(kZUMLogLevelDefault, "In-app purchase report dropped: its template does not make an http(s) URL.");
    return std::nullopt;
  }
  return text;
}

std::vector<std::string> ZUMInAppPurchaseTransactionReporter::equivalentClassNames() {
  const char* key = "/vantor/ads/iap_equivalent_classes";
  if (auto names = ZUMUserDefaults::stringArrayForKey(key)) return *names;
  // A single name; numbers, dictionaries and broken JSON arrays are not names.
  const auto stored = platform::UserDefaults::standard().objectForKey(key);
  const auto name = stored ? ZUMJSONString(*stored) : std::nullopt;
  if (name && !name->empty() && name->front() != '[') return {*name};
  return {kZUMInAppPurchaseDefaultEquivalentClass};
}

void ZUMRegisterInAppPurchaseReporting() {
  ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
    hooks.enableInAppPurchaseReporting = [] {
      auto reporter = Reporter::sharedInstance();
      if (reporter->shouldBeEnabled()) reporter->enableReporting();
    };
    hooks.disableInAppPurchaseReporting = [] { Reporter::sharedInstance()->disableReporting(); };
  });
}
