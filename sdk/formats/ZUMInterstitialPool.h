// A short queue of preloaded interstitials (ZUMInterstitialCacheEntry) for one request
// and ad unit, oldest first. fill() adds at most one entry, up to the pool's depth; its
// delegate (a refill policy, held strongly) hears every add and removal and decides when
// to fill again. Entries that nobody takes within the time limit are removed.
//
// Settings come from the user defaults at each fill and are clamped (see
// ZUMInterstitialPoolSettings): the depth ("max_pool_depth", default 2; 0 or less: no
// preloading) and the time limit ("time_limit_sec", default 1200 s).
//
// Any thread. Everything the pool holds lives on its serial queue
// "com.vantor.morvane.interstitial-pool"; entries are made and released on the main
// thread, which may wait on the pool's queue (nextEntry) but is never waited for by it.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "platform/base/Clock.h"

namespace platform {
class DispatchQueue;
}

class ZUMInterstitialCacheEntry;
class ZUMInterstitialPoolDelegate;
class ZUMRequest;

inline constexpr const char* kZUMInterstitialPoolMaxDepthKey = "/vantor/ads/zums:interstitial_ad_pool:max_pool_depth";
inline constexpr const char* kZUMInterstitialPoolTimeLimitKey = "/vantor/ads/zums:interstitial_ad_pool:time_limit_sec";

// The pool's settings as read from the user defaults, made safe: untrusted values never
// make a pool load without bound, keep entries for ever or reload them in a tight loop.
struct ZUMInterstitialPoolSettings {
  static constexpr std::int64_t kDefaultDepth = 2;
  static constexpr std::int64_t kMaximumDepth = 10;
  static constexpr platform::TimeInterval kDefaultTimeLimit = 1200;
  static constexpr platform::TimeInterval kMinimumTimeLimit = 10;
  static constexpr platform::TimeInterval kMaximumTimeLimit = 24 * 60 * 60;
  // Entries stay until taken.
  static constexpr platform::TimeInterval kNoTimeLimit = 0;

  // Depth: the integer read, at most kMaximumDepth; 0 or less (no preloading) reads as
  // 0. Time limit: 0 or less reads as kNoTimeLimit; another finite number read, within
  // [kMinimumTimeLimit, kMaximumTimeLimit].
  // A value that is no number keeps the default.
  static ZUMInterstitialPoolSettings read();

  std::int64_t depth = kDefaultDepth;
  platform::TimeInterval timeLimit = kDefaultTimeLimit;
};

class ZUMInterstitialPool final : public std::enable_shared_from_this<ZUMInterstitialPool> {
 public:
  // Keeps copies of both; nullptr request: an empty one.
  static std::shared_ptr<ZUMInterstitialPool> create(const std::shared_ptr<ZUMRequest>& request, std::string adUnitID);
  // Entries still held are released on the main thread.
  ~ZUMInterstitialPool();
  ZUMInterstitialPool(const ZUMInterstitialPool&) = delete;
  ZUMInterstitialPool& operator=(const ZUMInterstitialPool&) = delete;

  // Starts one new entry when the entries held and those being made are fewer than the
  // depth; otherwise nothing.
  void fill();
  // Takes the oldest entry out of the pool (nullptr, and no delegate event, when empty).
  // Waits for the pool's queue: never call it from that queue.
  std::shared_ptr<ZUMInterstitialCacheEntry> nextEntry();

  const std::string& adUnitID() const { return adUnitID_; }
  // A copy of the request new entries load.
  std::shared_ptr<ZUMRequest> request() const;
  // Later entries load a copy of `request`.
  void setRequest(const std::shared_ptr<ZUMRequest>& request);
  std::shared_ptr<ZUMInterstitialPoolDelegate> delegate() const;
  void setDelegate(std::shared_ptr<ZUMInterstitialPoolDelegate> delegate);
  // The entries held now (not those being made).
  std::size_t entryCount() const;

 private:
  ZUMInterstitialPool(std::shared_ptr<ZUMRequest> request, std::string adUnitID);
  // On the queue, with a place reserved by fill(): makes the entry on the main thread,
  // then keeps it when fewer than `maxCount` are held.
  void addCacheEntryWithTimeout(platform::TimeInterval timeout, std::int64_t maxCount);
  void didMakeEntry(std::shared_ptr<ZUMInterstitialCacheEntry> entry, platform::TimeInterval timeout,
                    std::int64_t maxCount);
  void scheduleTimeout(platform::TimeInterval timeout, const std::shared_ptr<ZUMInterstitialCacheEntry>& entry);
  // On the queue: removes the entry when held, and tells the delegate.
  void removeObject(std::shared_ptr<ZUMInterstitialCacheEntry> entry);
  using DelegateEvent = void (ZUMInterstitialPoolDelegate::*)(const std::shared_ptr<ZUMInterstitialPool>&);
  // On the queue: tells the delegate on the global queue.
  void tellDelegate(DelegateEvent event);

  const std::string adUnitID_;
  const std::shared_ptr<platform::DispatchQueue> lockQueue_;
  // On lockQueue_.
  std::deque<std::shared_ptr<ZUMInterstitialCacheEntry>> entries_;
  std::shared_ptr<ZUMRequest> request_;
  std::shared_ptr<ZUMInterstitialPoolDelegate> delegate_;
  std::int64_t entriesBeingMade_ = 0;
};
