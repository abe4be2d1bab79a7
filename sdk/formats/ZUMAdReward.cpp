#include "ZUMAdReward.h"

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"

namespace {

// The exact value of a JSON number: integers as they are, fractions through their
// shortest text (the server's 2.5 is 2.5). Booleans, strings and the rest are no amount.
std::optional<platform::Decimal> decimalFromNumber(const nlohmann::ordered_json& value) {
  if (value.is_number_unsigned()) return platform::Decimal(value.get<std::uint64_t>());
  if (value.is_number_integer()) return platform::Decimal(value.get<std::int64_t>());
  if (value.is_number_float()) return platform::Decimal::fromDouble(value.get<double>());
  return std::nullopt;
}

}  // namespace

std::shared_ptr<ZUMAdReward> ZUMAdReward::create(const std::optional<std::string>& type,
                                                 const std::optional<platform::Decimal>& amount) {
  if (!type || !amount) {
    ZUMLog(1, std::string("Reward refused: ") +
                  (type ? "its amount is missing or not a finite number." : "its type is missing or not a string."));
    return nullptr;
  }
  return std::shared_ptr<ZUMAdReward>(new ZUMAdReward(*type, *amount));
}

std::shared_ptr<ZUMAdReward> ZUMAdReward::createWithRewardDictionary(const nlohmann::ordered_json& dictionary) {
  if (dictionary.is_null()) return nullptr;
  const auto* amount = ZUMJSONValueForKey(dictionary, "rb_amount");
  return create(ZUMJSONStringForKey(dictionary, "rb_type"), amount ? decimalFromNumber(*amount) : std::nullopt);
}
