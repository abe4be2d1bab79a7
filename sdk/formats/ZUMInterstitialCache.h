// The process-wide registry of interstitial pools, used when the pool is switched on
// ("/vantor/ads/zums:interstitial_ad_pool:enabled", read by the interstitial). It turns
// (request, ad unit) into a pool key (ZUMInterstitialPoolKey.h), keeps one pool per key,
// at most "max_pools" of them (default 3, at least 1), the least recently accessed
// dropped first, and makes one refill policy ("refill_policy": "onPop" by default,
// "onDismiss", "whenIdle") the delegate of every pool, re-read at each
// "ZUMSDKCoreDidUpdateConstants".
//
// The requests it saw are saved under "/vantor/ads/interstitial_requests_to_preload" as
// plain property-list values (at most max-pools of them, the most recent), and the
// shared instance preloads them when it is made: a restart refills the pools it had.
// A damaged saved list restores what it can and logs what it drops.
//
// Any thread. The collections live on the serial queue
// "com.vantor.morvane.interstitial-cache"; the main thread waits on it
// (cacheEntryForRequest), so nothing on that queue ever waits for the main thread.
// Pools and policies have queues of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/NotificationCenter.h"

namespace platform {
class DispatchQueue;
}

class ZUMInterstitialCacheEntry;
class ZUMInterstitialPool;
class ZUMInterstitialPoolRefilling;
class ZUMRequest;
struct ZUMInterstitialPoolKey;

inline constexpr const char* kZUMInterstitialPoolEnabledKey = "/vantor/ads/zums:interstitial_ad_pool:enabled";
inline constexpr const char* kZUMInterstitialPoolMaxPoolsKey = "/vantor/ads/zums:interstitial_ad_pool:max_pools";
inline constexpr const char* kZUMInterstitialPoolRefillPolicyKey =
    "/vantor/ads/zums:interstitial_ad_pool:refill_policy";
inline constexpr const char* kZUMInterstitialRequestsToPreloadKey = "/vantor/ads/interstitial_requests_to_preload";

class ZUMInterstitialCache final : public std::enable_shared_from_this<ZUMInterstitialCache> {
 public:
  static constexpr std::int64_t kDefaultMaxPools = 3;
  // Each pool preloads ads: a server value never makes more than this many.
  static constexpr std::int64_t kMaximumMaxPools = 20;

  enum class RefillPolicy { OnPop, OnDismiss, WhenIdle };

  // Made once, then preloads the saved requests.
  static std::shared_ptr<ZUMInterstitialCache> sharedInstance();
  // A cache of its own, made as the shared one is (it preloads the saved requests too).
  static std::shared_ptr<ZUMInterstitialCache> create();
  ~ZUMInterstitialCache();
  ZUMInterstitialCache(const ZUMInterstitialCache&) = delete;
  ZUMInterstitialCache& operator=(const ZUMInterstitialCache&) = delete;

  // "max_pools" as stored, within [1, kMaximumMaxPools].
  static std::int64_t maxPools();
  // The policy that "refill_policy" names now; anything else, or nothing, is OnPop.
  static RefillPolicy storedRefillPolicy();

  // Takes the next entry of the request's pool (nullptr: no key, no pool or an empty
  // pool), and creates or refreshes that pool. Main thread; waits for the cache's queue.
  std::shared_ptr<ZUMInterstitialCacheEntry> cacheEntryForRequest(const std::shared_ptr<ZUMRequest>& request,
                                                                  const std::string& adUnitID);
  // Creates or refreshes the request's pool without taking an entry. Any thread.
  void loadRequest(const std::shared_ptr<ZUMRequest>& request, const std::string& adUnitID);
  // Installs the policy the user defaults name, unless one of that kind is installed:
  // every pool gets the new one as delegate and is added to it.
  void updateRefillPolicy();

  // The pool kept for the request's key; nullptr when none. Waits for the cache's queue.
  std::shared_ptr<ZUMInterstitialPool> poolForRequest(const std::shared_ptr<ZUMRequest>& request,
                                                      const std::string& adUnitID) const;
  std::size_t poolCount() const;
  std::shared_ptr<ZUMInterstitialPoolRefilling> refillPolicy() const;

 private:
  struct State;
  ZUMInterstitialCache();
  void observeConstants();
  // On the queue.
  void didAccessKey(const ZUMInterstitialPoolKey& key, const std::shared_ptr<ZUMRequest>& request,
                    const nlohmann::ordered_json& parameters);
  void addPool(const ZUMInterstitialPoolKey& key, const std::shared_ptr<ZUMRequest>& request);
  void dropLeastRecentlyAccessedPools();
  void saveObservedRequests();
  // Reads the saved list now and preloads what it can on the queue.
  void loadInterstitialsForSavedRequests();

  const std::shared_ptr<platform::DispatchQueue> lockQueue_;
  std::unique_ptr<State> state_;  // on lockQueue_
  platform::NotificationCenter::Token constantsObserver_;
};
