// A time on a media timeline, as the platform's media framework counts it: a value in
// units of 1/timescale seconds, or invalid. Ranges of such times describe what of an
// item is loaded. Plain values; any thread.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

struct MediaTime {
  std::int64_t value = 0;
  std::int32_t timescale = 0;  // 0: invalid

  static constexpr MediaTime invalid() { return {}; }
  static constexpr MediaTime zero() { return {0, 1}; }
  // `seconds` rounded to the nearest unit of 1/timescale; invalid for a timescale below 1
  // or seconds that are not finite or do not fit.
  static MediaTime makeWithSeconds(double seconds, std::int32_t preferredTimescale);

  bool isValid() const { return timescale > 0; }
  // NaN when invalid.
  double seconds() const;

  friend bool operator==(const MediaTime& a, const MediaTime& b);
};

struct MediaTimeRange {
  MediaTime start;
  MediaTime duration;

  bool isValid() const { return start.isValid() && duration.isValid() && duration.value >= 0; }
  double endSeconds() const { return start.seconds() + duration.seconds(); }
  friend bool operator==(const MediaTimeRange&, const MediaTimeRange&) = default;
};

using MediaTimeRanges = std::vector<MediaTimeRange>;

}  // namespace platform
