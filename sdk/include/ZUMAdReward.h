// What a rewarded ad gives the user: a reward type and an exact decimal amount. Made
// from a server's reward dictionary ("rb_type", "rb_amount"), from the page's reward
// message, or directly.
//
// Every reward that exists has a type and a finite amount: the makers answer nullptr
// for anything else (a missing or non-string type, a missing, non-numeric, NaN or
// infinite amount) and log what they refused. An amount is never rounded: 2.5 stays
// 2.5 and "19.99" stays 19.99.
//
// An immutable value; any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Decimal.h"

class ZUMAdReward {
 public:
  // nullptr when the type or the amount is missing.
  static std::shared_ptr<ZUMAdReward> create(const std::optional<std::string>& type,
                                             const std::optional<platform::Decimal>& amount);
  // "rb_type" must be a string and "rb_amount" a JSON number (integer or fraction);
  // anything else, a string amount included, gives nullptr. So does a null dictionary,
  // as a reward made of nothing.
  static std::shared_ptr<ZUMAdReward> createWithRewardDictionary(const nlohmann::ordered_json& dictionary);

  const std::string& type() const { return type_; }
  const platform::Decimal& amount() const { return amount_; }

 private:
  ZUMAdReward(std::string type, platform::Decimal amount) : type_(std::move(type)), amount_(std::move(amount)) {}

  const std::string type_;
  const platform::Decimal amount_;
};
