// The store's own file of unfinished transactions, so that a later launch of the process
// sees them: a JSON document the payment queue writes after every change and reads at
// launch. Reading any bytes gives the transactions, or none when the file is damaged
// (not JSON, of another shape, a value of the wrong type, an unknown state or more
// transactions than the queue would ever hold). Pure functions; any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/store/PaymentTransaction.h"

namespace platform {

namespace StoreFile {

inline constexpr std::size_t kMaxTransactions = 10000;

// <application home>/Library/Store/transactions.json
std::filesystem::path path();
std::string encode(const std::vector<PaymentTransaction::Record>& records);
std::optional<std::vector<PaymentTransaction::Record>> decode(std::string_view text);

}  // namespace StoreFile

}  // namespace platform
