// The read-only snapshot of the publisher's request that the custom events adapter hands
// to a custom event instead of the connector: the targeting the connector answers, and
// the app's parameters for the entry's label when the app registered ZUMCustomEventExtras.
//
// Immutable after creation; any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMRequest.h"

class ZUMMediationAdRequest;

class ZUMCustomEventRequest {
 public:
  // Reads everything from `connector` now.
  static std::shared_ptr<ZUMCustomEventRequest> create(const ZUMMediationAdRequest& connector);

  ZUMGender userGender() const { return userGender_; }
  std::optional<platform::TimeInterval> userBirthday() const { return userBirthday_; }
  bool userHasLocation() const { return userHasLocation_; }
  double userLatitude() const { return userLatitude_; }
  double userLongitude() const { return userLongitude_; }
  double userLocationAccuracyInMeters() const { return userLocationAccuracyInMeters_; }
  const std::optional<std::string>& userLocationDescription() const { return userLocationDescription_; }
  const std::optional<std::vector<std::string>>& userKeywords() const { return userKeywords_; }
  // The app's dictionary for the entry's credential "label"; nullopt without either.
  const std::optional<nlohmann::ordered_json>& additionalParameters() const { return additionalParameters_; }
  bool isTesting() const { return isTesting_; }

 private:
  ZUMCustomEventRequest() = default;

  ZUMGender userGender_ = kZUMGenderUnknown;
  std::optional<platform::TimeInterval> userBirthday_;
  bool userHasLocation_ = false;
  double userLatitude_ = 0;
  double userLongitude_ = 0;
  double userLocationAccuracyInMeters_ = 0;
  std::optional<std::string> userLocationDescription_;
  std::optional<std::vector<std::string>> userKeywords_;
  std::optional<nlohmann::ordered_json> additionalParameters_;
  bool isTesting_ = false;
};
