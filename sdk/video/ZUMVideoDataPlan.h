// The arithmetic of serving one loading request from a cache of a video: which bytes to
// read, whether the request is then complete, and the byte cap that keeps a download a
// set time ahead of the play head. Every input is untrusted (offsets and lengths come
// from the platform's requests, sizes from servers, rates from the file): the answers
// never read outside the cache, never give a negative length and never overflow.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>

// A request's data part.
struct ZUMVideoDataRequest {
  std::int64_t requestedOffset = 0;
  std::int64_t requestedLength = 0;
  std::int64_t currentOffset = 0;
  bool toEnd = false;
};

// What a cache holds: bytes [start, start + cached) of the resource.
struct ZUMVideoCacheWindow {
  std::int64_t start = 0;
  std::int64_t cached = 0;
  // The bytes the cache's answer carries from `start`, when known; a request to the end
  // of the resource then ends there rather than at its requested length.
  std::optional<std::int64_t> contentLength;
  // At most this many bytes a pass; -1 for no limit.
  std::int64_t chunkLimit = -1;
};

struct ZUMVideoDataPlan {
  // Read `length` bytes at `cacheOffset` of the cache (0 <= cacheOffset, cacheOffset +
  // length <= cached); length 0 reads nothing.
  std::int64_t cacheOffset = 0;
  std::int64_t length = 0;
  // The request is complete once those bytes are handed over.
  bool complete = false;
};

// The next bytes for `request`, from its current offset (or its requested offset when
// that is further) to its end.
ZUMVideoDataPlan ZUMPlanVideoData(const ZUMVideoDataRequest& request, const ZUMVideoCacheWindow& window);

// The byte cap of a download whose caching began at play-head time `cachingStart`, now at
// `playHead`, keeping `maxBuffer` seconds ahead at `bitRate` bits per second:
// (playHead - cachingStart + maxBuffer) x bitRate / 8, truncated; 0 for inputs that are
// not finite or give less, and never above 2^62.
std::int64_t ZUMVideoBufferCap(double playHead, double cachingStart, double maxBuffer, double bitRate);
