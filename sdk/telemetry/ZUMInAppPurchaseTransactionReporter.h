// Reports completed store purchases as conversion pings. Observes the default payment
// queue; for each purchased transaction it makes a purchase record, asks the product
// cache for products it has not seen, and, off the main thread, fills the report
// template's macros with the record, the application's parameters and the product's
// price, and hands the URL to the pinger's retry store (group "/vantor/ads/auto-iap").
//
// Transactions are never finished, so the store delivers an unfinished purchase again
// at every launch: each transaction identifier is reported once, the reported ones
// remembered (at most kMaximumRememberedTransactions, newest kept) in the user defaults.
// Records waiting for a product request that never answers are reported without a
// price once the request times out (ZUMProductsRequest::kTimeout).
//
// Main thread only, except the pure builders (any thread). The shared instance lives for
// the process (tests reset it); the payment queue holds it weakly.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/Clock.h"
#include "platform/base/Decimal.h"
#include "platform/store/PaymentTransactionObserver.h"

// The retry group of conversion pings.
inline constexpr const char* kZUMInAppPurchaseRetryGroupKey = "/vantor/ads/auto-iap";
// Where the identifiers of reported transactions are remembered.
inline constexpr const char* kZUMInAppPurchaseReportedTransactionsKey = "/vantor/ads/iap_reported_transaction_ids";
// The built-in report template and retry suffix.
inline constexpr const char* kZUMInAppPurchaseDefaultReportTemplate =
    "https://conversions.adnetwork.example/sdk/conversion/"
    "?appversion=@appversion@&bundleid=@bundleid@&currency_code=@currencycode@&iap_source=@iapsource@&lat=@lat@"
    "&osversion=@osversion@&price=@price@&quantity=@quantity@&rdid=@rdid@&sdkversion=@sdkversion@&sku=@sku@"
    "&timestamp=@timestamp@&transaction_id=@transactionid@";
inline constexpr const char* kZUMInAppPurchaseDefaultRetrySuffix = "&retry=1";
// Used when the stored equivalent classes are not usable.
inline constexpr const char* kZUMInAppPurchaseDefaultEquivalentClass = "PLKMeasurement";

namespace platform {
class PaymentTransaction;
}

class ZUMInAppPurchaseTransactionReporter final
    : public platform::PaymentTransactionObserver,
      public std::enable_shared_from_this<ZUMInAppPurchaseTransactionReporter> {
 public:
  // Macro name and value pairs, in order.
  using Parameters = std::vector<std::pair<std::string, std::string>>;
  // One purchased transaction, all values as they go into the template.
  struct Record {
    std::string sku;            // the product identifier, or ""
    std::string transactionID;  // or "missing"
    std::string quantity;       // "%ld"
    std::string timestamp;      // seconds since 1970, "%f"; "missing" without a date
    bool operator==(const Record&) const = default;
  };

  static constexpr std::size_t kMaximumRememberedTransactions = 500;

  static std::shared_ptr<ZUMInAppPurchaseTransactionReporter> sharedInstance();
  ~ZUMInAppPurchaseTransactionReporter() override;

  bool reportingEnabled() const { return reportingEnabled_; }
  bool wasDisabled() const { return wasDisabled_; }
  // NO once disabled, or while a class named by "/vantor/ads/iap_equivalent_classes" is
  // registered in the process.
  [[nodiscard]] bool shouldBeEnabled() const;
  // Observes the default payment queue, once.
  void enableReporting();
  // For the rest of the process. Any thread: the observer is removed on the main thread.
  void disableReporting();

  // platform::PaymentTransactionObserver
  void paymentQueueUpdatedTransactions(
      platform::PaymentQueue& queue,
      const std::vector<std::shared_ptr<platform::PaymentTransaction>>& transactions) override;

  // Adds the application's parameters and reports the records on the global queue.
  void reportTransactionsFromArray(std::vector<Record> records);
  // Builds and sends one ping per record; any thread. Returns the URLs sent (for tests).
  static std::vector<std::string> reportTransactionsFromArray(const std::vector<Record>& records,
                                                              const Parameters& sharedParameters);

  // The pure pieces.
  static Record recordForTransaction(const platform::PaymentTransaction& transaction);
  // The price as reports write it: en_US, at most six fraction digits, floored.
  [[nodiscard]] static std::optional<std::string> formattedPrice(const platform::Decimal& price);
  // The template with every parameter percent-encoded into its macro and the other
  // macros emptied; none (logged) unless the result is an http(s) URL with a host.
  [[nodiscard]] static std::optional<std::string> conversionURLString(std::string_view reportTemplate,
                                                                      const Parameters& parameters);
  // The stored list, a JSON array text or one name; anything else the default.
  static std::vector<std::string> equivalentClassNames();

 private:
  ZUMInAppPurchaseTransactionReporter() = default;
  void removeObserver();
  // Whether the transaction was reported (or is on its way) already; marks it when not.
  bool claimTransaction(const std::optional<std::string>& identifier, const std::set<std::string>& remembered);
  // Remembers reported identifiers in the defaults, newest last, bounded.
  void rememberReported(const std::vector<std::string>& identifiers);

  bool reportingEnabled_ = false;
  std::atomic<bool> wasDisabled_ = false;
  std::set<std::string> pending_;  // claimed, not yet remembered; main thread
};

// Fills the hub's start-up hook (enable when it should) and the host's opt-out.
void ZUMRegisterInAppPurchaseReporting();
