// A user location, immutable once made: coordinates in degrees with a horizontal
// accuracy in metres and a time stamp, or a free-text description alone. Its request
// form (sent as "uule") is a dictionary: "time" in microseconds since 1970, "lat" and
// "long" in degrees times 1e7 and "radius" as accuracy times 1000, each an integer
// truncated toward zero. A location made from a description has no request form.
//
// Any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Clock.h"

class ZUMLocation {
 public:
  // Time stamp now. nullptr when a coordinate is not finite or out of range (latitude
  // beyond +-90, longitude beyond +-180); an accuracy that is negative or not a number
  // counts as 0.
  static std::shared_ptr<ZUMLocation> create(double latitude, double longitude, double accuracy);
  static std::shared_ptr<ZUMLocation> create(double latitude, double longitude, double accuracy,
                                             platform::TimeInterval timestamp);
  static std::shared_ptr<ZUMLocation> createWithLocationDescription(std::string description);
  // From the request form; nullptr unless "lat" and "long" are numbers that make a valid
  // location. "radius" and "time" are optional (0 when absent or not numbers).
  static std::shared_ptr<ZUMLocation> createWithDictionary(const nlohmann::ordered_json& dictionary);

  bool hasCoordinates() const { return hasCoordinates_; }
  double latitude() const { return latitude_; }
  double longitude() const { return longitude_; }
  double accuracy() const { return accuracy_; }
  platform::TimeInterval timestamp() const { return timestamp_; }
  const std::optional<std::string>& locationDescription() const { return description_; }

  // The request form; nullopt for a location made from a description.
  std::optional<nlohmann::ordered_json> dictionaryRepresentation() const;
  // A readable text for logs and descriptions.
  std::string description() const;

  ZUMLocation() = default;

 private:
  bool hasCoordinates_ = false;
  double latitude_ = 0;
  double longitude_ = 0;
  double accuracy_ = 0;
  platform::TimeInterval timestamp_ = 0;
  std::optional<std::string> description_;
};
