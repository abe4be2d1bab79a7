// What every mediation connector answers about the publisher's request, asked by the
// adapters of other ad networks. Answers are copies; the connector's network entry
// decides whether the location is shared.
//
// Implemented by the SDK's connectors; called on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "ZUMRequest.h"

class ZUMAdNetworkExtras;

class ZUMMediationAdRequest {
 public:
  virtual ~ZUMMediationAdRequest() = default;

  // The network entry's credential "pubid".
  virtual std::optional<std::string> publisherId() const = 0;
  // The entry's credentials less "pentwick_share_location".
  virtual nlohmann::ordered_json credentials() const = 0;
  // Whether the request targets a test device.
  virtual bool testMode() const = 0;
  // The publisher's extras for the adapter's networkExtrasClass.
  virtual std::shared_ptr<ZUMAdNetworkExtras> networkExtras() const = 0;
  virtual std::optional<bool> childDirectedTreatment() const = 0;
  virtual ZUMGender userGender() const = 0;
  // Seconds since 1970.
  virtual std::optional<platform::TimeInterval> userBirthday() const = 0;
  virtual bool userHasLocation() const = 0;
  virtual double userLatitude() const = 0;
  virtual double userLongitude() const = 0;
  virtual double userLocationAccuracyInMeters() const = 0;
  virtual std::optional<std::string> userLocationDescription() const = 0;
  virtual std::optional<std::vector<std::string>> userKeywords() const = 0;
};
