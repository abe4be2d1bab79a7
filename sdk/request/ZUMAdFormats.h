// What the ad model and the page's reward message ask of the formats: the reward of a
// rewarded ad. The area implements it and the SDK's load entry installs it once with
// setShared().
//
// Unregistered (shared() is nullptr): an ad has no reward, and a page's grant none.
//
// Any thread (ads are read from dictionaries wherever they arrive).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Decimal.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAdReward;

class ZUMAdFormats : public ZUMSharedInterface<ZUMAdFormats> {
 public:
  virtual ~ZUMAdFormats() = default;

  // The reward made from a reward dictionary ("rb_type", "rb_amount"), or nullptr.
  virtual std::shared_ptr<ZUMAdReward> makeReward(const nlohmann::ordered_json& dictionary) = 0;
  // The reward of `type` and `amount`, or nullptr when either is missing.
  virtual std::shared_ptr<ZUMAdReward> makeReward(const std::optional<std::string>& type,
                                                  const std::optional<platform::Decimal>& amount) = 0;
};
