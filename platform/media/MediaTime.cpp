#include "platform/media/MediaTime.h"

#include <cmath>
#include <limits>

namespace platform {

MediaTime MediaTime::makeWithSeconds(double seconds, std::int32_t preferredTimescale) {
  if (preferredTimescale < 1 || !std::isfinite(seconds)) return invalid();
  const double units = std::round(seconds * preferredTimescale);
  if (!(std::fabs(units) < 9.2e18)) return invalid();
  return {static_cast<std::int64_t>(units), preferredTimescale};
}

double MediaTime::seconds() const {
  if (!isValid()) return std::numeric_limits<double>::quiet_NaN();
  return static_cast<double>(value) / timescale;
}

bool operator==(const MediaTime& a, const MediaTime& b) {
  if (!a.isValid() || !b.isValid()) return a.isValid() == b.isValid();
  // Compare as fractions without overflow for the timescales media uses.
  return static_cast<__int128>(a.value) * b.timescale == static_cast<__int128>(b.value) * a.timescale;
}

}  // namespace platform
