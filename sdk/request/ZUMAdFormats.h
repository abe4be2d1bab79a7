// What the ad model asks of the formats: the reward of a rewarded ad. The area implements
// it and the SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr): an ad has no reward.
//
// Any thread (ads are read from dictionaries wherever they arrive).
#pragma once

#include <memory>

#include <nlohmann/json_fwd.hpp>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAdReward;

class ZUMAdFormats : public ZUMSharedInterface<ZUMAdFormats> {
 public:
  virtual ~ZUMAdFormats() = default;

  // The reward made from a reward dictionary ("rb_type", "rb_amount"), or nullptr.
  virtual std::shared_ptr<ZUMAdReward> makeReward(const nlohmann::ordered_json& dictionary) = 0;
};
