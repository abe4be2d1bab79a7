#include "sdk/video/ZUMVideoDataPlan.h"

#include <limits>

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

ZUMVideoCacheWindow W(std::int64_t start, std::int64_t cached, std::optional<std::int64_t> length = std::nullopt,
                      std::int64_t chunk = -1) {
  return {start, cached, length, chunk};
}

TEST(ZUMVideoDataPlanTest, RequestsGetTheCachedBytesTheyStillLack) {
  const struct {
    const char* name;
    ZUMVideoDataRequest request;
    ZUMVideoCacheWindow window;
    ZUMVideoDataPlan plan;
  } cases[] = {
      {"60 of 0-99 cached", {0, 100, 0, false}, W(0, 60), {0, 60, false}},
      {"the other 40 once 100 are", {0, 100, 60, false}, W(0, 100), {60, 40, true}},
      {"from the current offset", {0, 100, 80, false}, W(0, 100), {80, 20, true}},
      {"never past the request", {0, 100, 60, false}, W(0, 500), {60, 40, true}},
      {"a ranged cache", {5'000'000, 100, 5'000'000, false}, W(5'000'000, 30), {0, 30, false}},
      {"before the cache", {10, 100, 10, false}, W(50, 500), {0, 0, false}},
      {"beyond the cached bytes", {600, 100, 600, false}, W(0, 500), {0, 0, false}},
      {"a pass of one chunk", {0, 200'000, 0, false}, W(0, 1'000'000, std::nullopt, 65'536), {0, 65'536, false}},
      {"the last chunk", {0, 200'000, 196'608, false}, W(0, 1'000'000, std::nullopt, 65'536), {196'608, 3'392, true}},
      {"to the end of the resource", {0, 10, 0, true}, W(0, 500, 300), {0, 300, true}},
      {"to the end of a ranged cache", {1000, 1, 1200, true}, W(1000, 500, 400), {200, 200, true}},
      {"nothing left", {0, 100, 100, false}, W(0, 0), {0, 0, true}},
      {"an empty request", {7, 0, 7, false}, W(0, 100), {0, 0, true}},
      // Hostile numbers: nothing outside the cache, no negative length, no overflow.
      {"negative offset", {-50, 100, -50, false}, W(0, 100), {0, 100, true}},
      {"negative length", {0, -5, 0, false}, W(0, 100), {0, 0, true}},
      {"huge length", {kMax - 10, kMax, kMax - 10, false}, W(kMax - 20, 15), {10, 5, false}},
      {"the last byte there is", {kMax, 1, kMax, false}, W(0, 100), {0, 0, true}},
      {"negative cache size", {0, 100, 0, false}, W(0, -40), {0, 0, false}},
      {"negative chunk is none", {0, 100, 0, false}, W(0, 100, std::nullopt, -1), {0, 100, true}},
      {"zero chunk serves nothing", {0, 100, 0, false}, W(0, 100, std::nullopt, 0), {0, 0, false}},
      {"content length of 0 is unknown", {0, 10, 0, true}, W(0, 100, 0), {0, 10, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto plan = ZUMPlanVideoData(c.request, c.window);
    EXPECT_EQ(plan.cacheOffset, c.plan.cacheOffset);
    EXPECT_EQ(plan.length, c.plan.length);
    EXPECT_EQ(plan.complete, c.plan.complete);
  }
}

TEST(ZUMVideoDataPlanTest, TheCapKeepsTheMaxBufferAheadAtTheBitRate) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double playHead, cachingStart, maxBuffer, bitRate;
    std::int64_t cap;
  } cases[] = {
      {5, 3, 10, 800'000, 1'200'000},  // 2 s played since caching began
      {3, 3, 10, 800'000, 1'000'000},
      {3, 3, 0, 800'000, 0},
      {1, 3, 1, 800'000, 0},  // less than nothing
      {3, 3, 10, 7.9, 9},     // truncated
      {nan, 0, 10, 800'000, 0},
      {3, 0, inf, 800'000, 0},
      {3, 0, 3600, 1e30, std::int64_t{1} << 62},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZUMVideoBufferCap(c.playHead, c.cachingStart, c.maxBuffer, c.bitRate), c.cap)
        << c.playHead << " " << c.cachingStart << " " << c.maxBuffer << " " << c.bitRate;
  }
}

}  // namespace
