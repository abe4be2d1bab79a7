#include "platform/store/StoreFile.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/base/FileManager.h"

namespace platform::StoreFile {

namespace {

using Json = nlohmann::ordered_json;

std::optional<PaymentTransactionState> stateFrom(const Json& value) {
  if (!value.is_number_integer()) return std::nullopt;
  const auto number = value.get<std::int64_t>();
  if (number < 0 || number > static_cast<std::int64_t>(PaymentTransactionState::Deferred)) return std::nullopt;
  return static_cast<PaymentTransactionState>(number);
}

std::optional<PaymentTransaction::Record> recordFrom(const Json& entry) {
  if (!entry.is_object()) return std::nullopt;
  const auto key = entry.find("key");
  const auto product = entry.find("product");
  const auto quantity = entry.find("quantity");
  const auto state = entry.find("state");
  if (key == entry.end() || !key->is_string() || product == entry.end() || !product->is_string() ||
      quantity == entry.end() || !quantity->is_number_integer() || state == entry.end()) {
    return std::nullopt;
  }
  PaymentTransaction::Record record;
  const auto readState = stateFrom(*state);
  if (!readState) return std::nullopt;
  record.key = key->get<std::string>();
  record.state = *readState;
  record.payment = {product->get<std::string>(), quantity->get<std::int64_t>()};
  if (const auto identifier = entry.find("identifier"); identifier != entry.end()) {
    if (!identifier->is_string()) return std::nullopt;
    record.transactionIdentifier = identifier->get<std::string>();
  }
  if (const auto date = entry.find("date"); date != entry.end()) {
    if (!date->is_number() || !std::isfinite(date->get<double>())) return std::nullopt;
    record.transactionDate = date->get<double>();
  }
  return record;
}

}  // namespace

std::filesystem::path path() { return FileManager::applicationHome() / "Library" / "Store" / "transactions.json"; }

std::string encode(const std::vector<PaymentTransaction::Record>& records) {
  Json transactions = Json::array();
  for (const auto& record : records) {
    Json entry = {{"key", record.key},
                  {"state", static_cast<int>(record.state)},
                  {"product", record.payment.productIdentifier},
                  {"quantity", record.payment.quantity}};
    if (record.transactionIdentifier) entry["identifier"] = *record.transactionIdentifier;
    if (record.transactionDate) entry["date"] = *record.transactionDate;
    transactions.push_back(std::move(entry));
  }
  // Invalid UTF-8 in a product identifier is replaced rather than thrown over.
  return Json{{"transactions", std::move(transactions)}}.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<std::vector<PaymentTransaction::Record>> decode(std::string_view text) {
  const Json document = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!document.is_object()) return std::nullopt;
  const auto transactions = document.find("transactions");
  if (transactions == document.end() || !transactions->is_array() || transactions->size() > kMaxTransactions) {
    return std::nullopt;
  }
  std::vector<PaymentTransaction::Record> records;
  for (const auto& entry : *transactions) {
    auto record = recordFrom(entry);
    if (!record) return std::nullopt;
    records.push_back(std::move(*record));
  }
  return records;
}

}  // namespace platform::StoreFile
