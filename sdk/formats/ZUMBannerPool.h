// A short first-in-first-out queue of banner slots filed under one banner-cache key
// (ZUMBannerCache.h), oldest first. It holds at most "max_queues" slots (default 3,
// clamped to 1...kMaximumMaxQueues); a slot added to a full pool drops the oldest.
//
// Holds its slots strongly and lets go of dropped ones on the main thread (slots own
// views). Not thread-safe: the cache uses it only on its own queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

class ZUMSlot;

inline constexpr const char* kZUMBannerPoolMaxQueuesKey = "/vantor/ads/zums:banner_ad_pool:max_queues";

class ZUMBannerPool final {
 public:
  static constexpr std::int64_t kDefaultMaxQueues = 3;
  // Each slot keeps an ad view with its page: a server value never keeps more than this.
  static constexpr std::int64_t kMaximumMaxQueues = 20;

  ZUMBannerPool() = default;
  ~ZUMBannerPool();
  ZUMBannerPool(const ZUMBannerPool&) = delete;
  ZUMBannerPool& operator=(const ZUMBannerPool&) = delete;

  // "max_queues" as stored, within [1, kMaximumMaxQueues]; a value that is no number
  // keeps the default.
  static std::int64_t maxQueues();

  // Moves `entry` to the newest place (nullptr is ignored), dropping the oldest ones
  // while the pool is full.
  void addEntry(const std::shared_ptr<ZUMSlot>& entry);
  // Takes the oldest entry; nullptr when empty.
  std::shared_ptr<ZUMSlot> nextEntry();
  void removeEntry(const std::shared_ptr<ZUMSlot>& entry);
  std::size_t count() const { return bannerPool_.size(); }

 private:
  std::deque<std::shared_ptr<ZUMSlot>> bannerPool_;
};
