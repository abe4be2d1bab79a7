// What the SDK's own adapters ask a connector beyond the public request questions: the
// ad carried inside the mediation response, the entry's extras, the adapter names of
// the whole response, the current adapter's name and the request agent. Implemented
// by the connectors. Main thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "ZUMMediationAdRequest.h"

class ZUMMediationAdRequestInternal : public virtual ZUMMediationAdRequest {
 public:
  // The entry's inlined ad with the SDK's own keys added; std::nullopt without one.
  virtual std::optional<nlohmann::ordered_json> inlineAd() const = 0;
  virtual std::optional<nlohmann::ordered_json> extras() const = 0;
  // Each entry's adapter list, in response order.
  virtual std::vector<std::vector<std::string>> adapterNames() const = 0;
  virtual std::string currentAdapterName() const = 0;
  virtual std::optional<std::string> userRequestAgent() const = 0;
};
