#include "sdk/video/ZUMVideoDataPlan.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

// a + b for b >= 0, at most the largest value.
std::int64_t addSaturating(std::int64_t a, std::int64_t b) { return a > kMax - b ? kMax : a + b; }

}  // namespace

ZUMVideoDataPlan ZUMPlanVideoData(const ZUMVideoDataRequest& request, const ZUMVideoCacheWindow& window) {
  const std::int64_t requested = std::max<std::int64_t>(0, request.requestedOffset);
  const std::int64_t offset = std::max(requested, request.currentOffset);
  const std::int64_t start = std::max<std::int64_t>(0, window.start);
  const std::int64_t cached = std::max<std::int64_t>(0, window.cached);
  std::int64_t end = addSaturating(requested, std::max<std::int64_t>(0, request.requestedLength));
  if (request.toEnd && window.contentLength && *window.contentLength >= 1) {
    end = addSaturating(start, *window.contentLength);
  }
  if (offset >= end) return {0, 0, true};
  const std::int64_t cachedEnd = addSaturating(start, cached);
  if (offset < start || offset >= cachedEnd) return {};
  std::int64_t length = std::min(end, cachedEnd) - offset;
  if (window.chunkLimit >= 0) length = std::min(length, window.chunkLimit);
  if (length < 1) return {};
  return {offset - start, length, offset + length >= end};
}

std::int64_t ZUMVideoBufferCap(double playHead, double cachingStart, double maxBuffer, double bitRate) {
  constexpr double kLimit = 4611686018427387904.0;  // 2^62
  const double bytes = (playHead - cachingStart + maxBuffer) * bitRate / 8.0;
  if (!std::isfinite(bytes) || bytes <= 0) return 0;
  return bytes >= kLimit ? static_cast<std::int64_t>(kLimit) : static_cast<std::int64_t>(bytes);
}
