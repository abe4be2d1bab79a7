// Lets a banner on a newly shown screen take over the slot, with its loaded ad, of an
// equivalent banner of the screen shown before, instead of requesting a new ad. No banner
// asks it yet: it stands ready for the banner that will.
//
// Banners are equivalent when their keys are equal: the ad unit and the request
// parameters that the schema names ("/vantor/ads/zums:banner_ad_pool:schema", a list of
// names; empty, absent or unreadable: "ad_frame", "ad_bounds", "format", "smart_w",
// "smart_h", "fluid", "extras"), the frame and bounds without their origin, so banners of
// one unit, size and extras at different places match. The schema cannot replace the ad
// unit. Slots are filed per key in a ZUMBannerPool, inside a generation that belongs to
// one root view controller; at most "max_pools" keys per generation (default 3, clamped
// to 1...kMaximumMaxPools), the least recently used dropped first. When a banner asks
// under another root view controller the current generation becomes the previous one,
// and only the previous one hands slots out, each once; a slot already invalidated (its
// banner went away) is dropped, never handed out.
//
// Holds its slots strongly and the root view controller weakly (compared by identity),
// so a screen that goes away is not kept alive. Key building and slot loads run on the
// main thread; the cache's state lives on the serial queue
// "com.vantor.morvane.banner-cache", which the main thread may wait for and which never
// waits for the main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace platform {
class DispatchQueue;
}

class ZUMBannerView;
class ZUMRequest;
class ZUMSlot;

inline constexpr const char* kZUMBannerPoolSchemaKey = "/vantor/ads/zums:banner_ad_pool:schema";
inline constexpr const char* kZUMBannerPoolMaxPoolsKey = "/vantor/ads/zums:banner_ad_pool:max_pools";

class ZUMBannerCache final : public std::enable_shared_from_this<ZUMBannerCache> {
 public:
  static constexpr std::int64_t kDefaultMaxPools = 3;
  // Each pool keeps slots with their ad views: a server value never keeps more keys.
  static constexpr std::int64_t kMaximumMaxPools = 20;

  enum class Generation { Current, Previous };

  static std::shared_ptr<ZUMBannerCache> sharedInstance();
  // A cache of its own, as the shared one is made.
  static std::shared_ptr<ZUMBannerCache> create();
  ~ZUMBannerCache();
  ZUMBannerCache(const ZUMBannerCache&) = delete;
  ZUMBannerCache& operator=(const ZUMBannerCache&) = delete;

  // --- Settings and keys (any thread) ----------------------------------------------------
  static std::vector<std::string> schema();
  // "max_pools" as stored, within [1, kMaximumMaxPools]; no number: the default.
  static std::int64_t maxPools();
  // The key of a banner whose ad unit is `adUnitID` and whose request parameters are
  // `parameters`: "ad_unit_id", then each schema name that has a value, in order.
  static nlohmann::ordered_json keyFromParameters(const std::string& adUnitID, const nlohmann::ordered_json& parameters,
                                                  const std::vector<std::string>& schema);
  // The banner's key for `request` (the banner's request parameters); nullopt when
  // either is missing. Main thread.
  static std::optional<nlohmann::ordered_json> keyForBannerView(const std::shared_ptr<ZUMBannerView>& banner,
                                                                const std::shared_ptr<ZUMRequest>& request);

  // --- Main thread -------------------------------------------------------------------------
  // Files the banner under its key for `request`, then answers cacheEntryForBannerView
  // with that key.
  std::shared_ptr<ZUMSlot> cacheEntryForBannerView(const std::shared_ptr<ZUMBannerView>& banner,
                                                   const std::shared_ptr<ZUMRequest>& request);
  // A slot of the previous generation filed under `key` (then filed in the current one),
  // or nullptr: none, no key, no banner, no root view controller. A banner under another
  // root view controller than the last one starts a new generation first.
  std::shared_ptr<ZUMSlot> cacheEntryForBannerView(const std::shared_ptr<ZUMBannerView>& banner,
                                                   const std::optional<nlohmann::ordered_json>& key);
  // The banner's slot loads `request` at once and is filed in the current generation
  // under the banner's key.
  void loadRequest(const std::shared_ptr<ZUMRequest>& request, const std::shared_ptr<ZUMBannerView>& banner);

  // --- What the cache holds (waits for its queue) ------------------------------------------
  std::size_t poolCount(Generation generation) const;
  std::size_t entryCount(Generation generation, const nlohmann::ordered_json& key) const;
  // The current generation's keys, least recently used first.
  std::vector<nlohmann::ordered_json> recentlyAccessedKeys() const;

 private:
  struct State;
  ZUMBannerCache();
  // On the queue.
  void updateCacheWithBannerView(const std::shared_ptr<ZUMBannerView>& banner, const nlohmann::ordered_json& key);
  void addBannerEntryToCurrentCache(const std::shared_ptr<ZUMSlot>& entry, const nlohmann::ordered_json& key);
  std::shared_ptr<ZUMSlot> bannerEntryFromPreviousCache(const nlohmann::ordered_json& key);
  void removeCurrentKey(std::string name);

  const std::shared_ptr<platform::DispatchQueue> lockQueue_;
  std::unique_ptr<State> state_;  // on lockQueue_
};
