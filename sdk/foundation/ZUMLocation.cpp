#include "sdk/foundation/ZUMLocation.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>

#include <nlohmann/json.hpp>

#include "sdk/foundation/ZUMJSONReaders.h"

using nlohmann::ordered_json;

namespace {

// Largest magnitude kept before an integer conversion (well inside int64).
constexpr double kMaxScaled = 9.0e18;

std::int64_t truncated(double value) {
  if (!std::isfinite(value)) return 0;
  if (value > kMaxScaled) value = kMaxScaled;
  if (value < -kMaxScaled) value = -kMaxScaled;
  // A product a hair below a whole number is the binary form of that number
  // (37.4219999 * 1e7), not a value to truncate away.
  const double nearest = std::round(value);
  if (std::fabs(value - nearest) < 1e-6) return static_cast<std::int64_t>(nearest);
  return static_cast<std::int64_t>(std::trunc(value));
}

}  // namespace

std::shared_ptr<ZUMLocation> ZUMLocation::create(double latitude, double longitude, double accuracy) {
  return create(latitude, longitude, accuracy, platform::clock().wallNow());
}

std::shared_ptr<ZUMLocation> ZUMLocation::create(double latitude, double longitude, double accuracy,
                                                 platform::TimeInterval timestamp) {
  if (!std::isfinite(latitude) || !std::isfinite(longitude)) return nullptr;
  if (std::fabs(latitude) > 90 || std::fabs(longitude) > 180) return nullptr;
  auto location = std::make_shared<ZUMLocation>();
  location->hasCoordinates_ = true;
  location->latitude_ = latitude;
  location->longitude_ = longitude;
  location->accuracy_ = std::isfinite(accuracy) && accuracy > 0 ? accuracy : 0;
  location->timestamp_ = std::isfinite(timestamp) && timestamp > 0 ? timestamp : 0;
  return location;
}

std::shared_ptr<ZUMLocation> ZUMLocation::createWithLocationDescription(std::string description) {
  auto location = std::make_shared<ZUMLocation>();
  location->description_ = std::move(description);
  return location;
}

std::shared_ptr<ZUMLocation> ZUMLocation::createWithDictionary(const ordered_json& dictionary) {
  if (!dictionary.is_object()) return nullptr;
  auto lat = ZUMJSONDoubleForKey(dictionary, "lat");
  auto lon = ZUMJSONDoubleForKey(dictionary, "long");
  if (!lat || !lon) return nullptr;
  const double radius = ZUMJSONDoubleForKey(dictionary, "radius", 0);
  const double time = ZUMJSONDoubleForKey(dictionary, "time", 0);
  return create(*lat / 1e7, *lon / 1e7, radius / 1000, time / 1e6);
}

std::optional<ordered_json> ZUMLocation::dictionaryRepresentation() const {
  if (!hasCoordinates_) return std::nullopt;
  ordered_json dictionary = ordered_json::object();
  dictionary["time"] = truncated(timestamp_ * 1e6);
  dictionary["lat"] = truncated(latitude_ * 1e7);
  dictionary["long"] = truncated(longitude_ * 1e7);
  dictionary["radius"] = truncated(accuracy_ * 1000);
  return dictionary;
}

std::string ZUMLocation::description() const {
  if (!hasCoordinates_) return "<ZUMLocation: " + description_.value_or("") + ">";
  char text[128];
  std::snprintf(text, sizeof text, "<ZUMLocation: %.7f, %.7f +/- %.3f m>", latitude_, longitude_, accuracy_);
  return text;
}
