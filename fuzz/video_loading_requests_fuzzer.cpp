// Loading requests of a video (offsets, lengths, current offsets, to the end) served from
// caches of any start, size, content length and chunk limit, pass after pass as the cache
// grows. The input is read as signed 64-bit numbers. Never a read outside the cache,
// never a negative length, the current offset only moves forward, and each request is
// finished at most once (and never served after).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/FuzzEnvironment.h"
#include "platform/media/AssetResourceLoader.h"
#include "sdk/video/ZUMVideoDataPlan.h"

namespace {

class Numbers {
 public:
  Numbers(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::int64_t next() {
    std::uint64_t bits = 0;
    const std::size_t n = std::min<std::size_t>(8, size_ - at_);
    std::memcpy(&bits, data_ + at_, n);
    at_ += n;
    return static_cast<std::int64_t>(bits);
  }
  bool empty() const { return at_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Small values are the common case; big ones are kept as they come.
std::int64_t shaped(std::int64_t value) { return (value & 1) ? value : (value >> 1) % 4096; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Numbers numbers(data, size);
  const std::int64_t offset = shaped(numbers.next());
  const std::int64_t length = shaped(numbers.next());
  const bool toEnd = numbers.next() & 1;
  ZUMVideoCacheWindow window{shaped(numbers.next()), 0, std::nullopt, shaped(numbers.next())};
  if (const auto content = shaped(numbers.next()); content & 2) window.contentLength = content;
  platform::AssetResourceLoadingRequest request(
      platform::URLRequest(), {}, false, platform::AssetResourceLoadingRequest::DataRange{offset, length, toEnd});
  const auto* part = request.dataRequest();
  int finishes = 0;
  for (int pass = 0; pass < 64 && !numbers.empty(); ++pass) {
    window.cached = shaped(numbers.next());  // any size, even a shrinking one
    const std::int64_t current = part->currentOffset();
    const auto plan = ZUMPlanVideoData({part->requestedOffset(), part->requestedLength(), current, toEnd}, window);
    fuzzenv::check(plan.length >= 0 && plan.cacheOffset >= 0);
    if (plan.length > 0) {
      fuzzenv::check(!request.isFinished());
      fuzzenv::check(static_cast<__int128>(plan.cacheOffset) + plan.length <= window.cached);
      fuzzenv::check(window.chunkLimit < 0 || plan.length <= window.chunkLimit);
      // The bytes go where the request stands; they must be the bytes it asked for.
      const std::int64_t start = std::max<std::int64_t>(0, window.start);
      const std::int64_t expected = std::max(current, std::max<std::int64_t>(0, offset));
      fuzzenv::check(static_cast<__int128>(start) + plan.cacheOffset == expected);
      if (plan.length <= (1 << 20)) request.respondWithData(std::string(static_cast<std::size_t>(plan.length), 'v'));
    }
    fuzzenv::check(part->currentOffset() >= current);
    if (plan.complete) {
      fuzzenv::check(!request.isFinished());
      request.finishLoading();
      ++finishes;
      break;  // a finished request is dropped
    }
  }
  fuzzenv::check(finishes <= 1);
  return 0;
}
