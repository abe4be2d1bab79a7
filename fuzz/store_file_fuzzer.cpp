// The store's file of unfinished transactions, read from arbitrary bytes: transactions or
// none, never a crash or an exception; what reads writes back to a file that reads as the
// same transactions.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzEnvironment.h"
#include "platform/store/StoreFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto records = platform::StoreFile::decode(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!records) return 0;
  fuzzenv::check(records->size() <= platform::StoreFile::kMaxTransactions);
  const auto again = platform::StoreFile::decode(platform::StoreFile::encode(*records));
  fuzzenv::check(again.has_value() && again->size() == records->size());
  for (std::size_t i = 0; i < records->size(); ++i) {
    const auto& a = (*records)[i];
    const auto& b = (*again)[i];
    fuzzenv::check(a.state == b.state && a.payment.quantity == b.payment.quantity &&
                   a.transactionDate == b.transactionDate &&
                   a.transactionIdentifier.has_value() == b.transactionIdentifier.has_value());
  }
  return 0;
}
