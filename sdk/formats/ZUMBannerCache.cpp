#include "sdk/formats/ZUMBannerCache.h"

#include <algorithm>
#include <map>
#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMBannerView.h"
#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/TestingReset.h"
#include "platform/ui/ViewController.h"
#include "sdk/formats/ZUMBannerPool.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/request/ZUMSlot.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kAdUnitIDKey = "ad_unit_id";

// The one text of a key whatever the order of its dictionaries' entries, as dictionaries
// compare.
std::string canonicalName(const Json& key) {
  return nlohmann::json(key).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Whether `current` is `controller`, by identity: a controller that died is no other one,
// even one made later at its address.
bool isSameController(const std::weak_ptr<platform::ViewController>& current,
                      const std::shared_ptr<platform::ViewController>& controller) {
  return !current.owner_before(controller) && !controller.owner_before(current);
}

}  // namespace

struct ZUMBannerCache::State {
  struct Filed {
    Json key;
    std::unique_ptr<ZUMBannerPool> pool;
  };
  using Pools = std::map<std::string, Filed>;

  Pools previousBannerCache;
  Pools currentBannerCache;
  // Names of the current generation's keys, least recently used first.
  std::vector<std::string> recentlyAccessedKeysInCurrentCache;
  std::weak_ptr<platform::ViewController> currentRootViewController;
};

std::shared_ptr<ZUMBannerCache> ZUMBannerCache::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMBannerCache>([] { return create(); });
  return shared->get();
}

std::shared_ptr<ZUMBannerCache> ZUMBannerCache::create() {
  return std::shared_ptr<ZUMBannerCache>(new ZUMBannerCache());
}

ZUMBannerCache::ZUMBannerCache()
    : lockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.banner-cache")), state_(std::make_unique<State>()) {}

ZUMBannerCache::~ZUMBannerCache() = default;

// --- Settings and keys -------------------------------------------------------------------------

std::vector<std::string> ZUMBannerCache::schema() {
  auto stored = ZUMUserDefaults::stringArrayForKey(kZUMBannerPoolSchemaKey);
  if (stored && !stored->empty()) return std::move(*stored);
  return {"ad_frame", "ad_bounds", "format", "smart_w", "smart_h", "fluid", "extras"};
}

std::int64_t ZUMBannerCache::maxPools() {
  const auto stored = ZUMUserDefaults::integerForKey(kZUMBannerPoolMaxPoolsKey).value_or(kDefaultMaxPools);
  // Zero or less would make "evict while full" loop for ever once no key is left.
  return std::clamp<std::int64_t>(stored, 1, kMaximumMaxPools);
}

Json ZUMBannerCache::keyFromParameters(const std::string& adUnitID, const Json& parameters,
                                       const std::vector<std::string>& schema) {
  Json key = Json::object();
  key[kAdUnitIDKey] = adUnitID;
  for (const auto& name : schema) {
    // Banners of two units never share a key.
    if (name == kAdUnitIDKey) continue;
    const Json* value = ZUMJSONValueForKey(parameters, name);
    if (!value) continue;
    if ((name == "ad_frame" || name == "ad_bounds") && value->is_object()) {
      // Where the banner stands does not matter, only its size.
      Json size = *value;
      size.erase("x");
      size.erase("y");
      ZUMSetObjectIfNotNil(key, name, &size);
    } else {
      ZUMSetObjectIfNotNil(key, name, value);
    }
  }
  return key;
}

std::optional<Json> ZUMBannerCache::keyForBannerView(const std::shared_ptr<ZUMBannerView>& banner,
                                                     const std::shared_ptr<ZUMRequest>& request) {
  platform::assertMainThread();
  if (!banner || !request) return std::nullopt;
  return keyFromParameters(banner->adUnitID(), banner->requestParametersForRequest(request), schema());
}

// --- Handing out and filing --------------------------------------------------------------------

std::shared_ptr<ZUMSlot> ZUMBannerCache::cacheEntryForBannerView(const std::shared_ptr<ZUMBannerView>& banner,
                                                                 const std::shared_ptr<ZUMRequest>& request) {
  platform::assertMainThread();
  const auto key = keyForBannerView(banner, request);
  if (banner && key) {
    lockQueue_->async([weak = weak_from_this(), banner, key = *key]() mutable {
      if (auto self = weak.lock()) self->updateCacheWithBannerView(banner, key);
      ZUMReleaseOnMainThread(std::move(banner));
    });
  }
  return cacheEntryForBannerView(banner, key);
}

std::shared_ptr<ZUMSlot> ZUMBannerCache::cacheEntryForBannerView(const std::shared_ptr<ZUMBannerView>& banner,
                                                                 const std::optional<Json>& key) {
  platform::assertMainThread();
  if (!banner || !key) return nullptr;
  const auto root = banner->rootViewController();
  std::shared_ptr<ZUMSlot> entry;
  lockQueue_->sync([&] {
    auto& state = *state_;
    if (!isSameController(state.currentRootViewController, root)) {
      // The old previous generation goes; its pools let go of their slots on the main thread.
      state.previousBannerCache = std::exchange(state.currentBannerCache, {});
      state.recentlyAccessedKeysInCurrentCache.clear();
    }
    state.currentRootViewController = root;
    if (!root) return;
    entry = bannerEntryFromPreviousCache(*key);
    if (entry) addBannerEntryToCurrentCache(entry, *key);
  });
  return entry;
}

void ZUMBannerCache::loadRequest(const std::shared_ptr<ZUMRequest>& request,
                                 const std::shared_ptr<ZUMBannerView>& banner) {
  platform::assertMainThread();
  if (!banner) return;
  banner->slot()->loadRequest(request);
  const auto key = keyForBannerView(banner, request);
  if (!key) return;
  lockQueue_->async([weak = weak_from_this(), banner, key = *key]() mutable {
    if (auto self = weak.lock()) {
      self->updateCacheWithBannerView(banner, key);
      self->addBannerEntryToCurrentCache(banner->slot(), key);
    }
    ZUMReleaseOnMainThread(std::move(banner));
  });
}

std::shared_ptr<ZUMSlot> ZUMBannerCache::bannerEntryFromPreviousCache(const Json& key) {
  const auto found = state_->previousBannerCache.find(canonicalName(key));
  if (found == state_->previousBannerCache.end()) return nullptr;
  while (auto entry = found->second.pool->nextEntry()) {
    if (entry->state() != ZUMSlot::State::kInvalidated) return entry;
    // Its banner went away and cancelled it: it can never show an ad again.
    ZUMReleaseOnMainThread(std::move(entry));
  }
  return nullptr;
}

void ZUMBannerCache::addBannerEntryToCurrentCache(const std::shared_ptr<ZUMSlot>& entry, const Json& key) {
  if (!entry) return;
  auto& state = *state_;
  auto& recent = state.recentlyAccessedKeysInCurrentCache;
  const std::string name = canonicalName(key);
  auto found = state.currentBannerCache.find(name);
  if (found == state.currentBannerCache.end()) {
    const auto max = static_cast<std::size_t>(maxPools());
    // By value: the name leaves the list it is taken from.
    while (state.currentBannerCache.size() >= max && !recent.empty()) removeCurrentKey(recent.front());
    found = state.currentBannerCache.emplace(name, State::Filed{key, std::make_unique<ZUMBannerPool>()}).first;
  }
  recent.erase(std::remove(recent.begin(), recent.end(), name), recent.end());
  recent.push_back(name);
  found->second.pool->addEntry(entry);
}

void ZUMBannerCache::updateCacheWithBannerView(const std::shared_ptr<ZUMBannerView>& banner, const Json& key) {
  const auto oldKey = banner->bannerKey();
  banner->setBannerKey(key);
  if (!oldKey) return;
  const std::string oldName = canonicalName(*oldKey);
  if (oldName == canonicalName(key)) return;
  const auto found = state_->currentBannerCache.find(oldName);
  if (found == state_->currentBannerCache.end()) return;
  found->second.pool->removeEntry(banner->slot());
  if (found->second.pool->count() == 0) removeCurrentKey(oldName);
}

void ZUMBannerCache::removeCurrentKey(std::string name) {
  auto& recent = state_->recentlyAccessedKeysInCurrentCache;
  recent.erase(std::remove(recent.begin(), recent.end(), name), recent.end());
  state_->currentBannerCache.erase(name);
}

// --- What the cache holds ----------------------------------------------------------------------

std::size_t ZUMBannerCache::poolCount(Generation generation) const {
  std::size_t count = 0;
  lockQueue_->sync([&] {
    count = (generation == Generation::Current ? state_->currentBannerCache : state_->previousBannerCache).size();
  });
  return count;
}

std::size_t ZUMBannerCache::entryCount(Generation generation, const Json& key) const {
  std::size_t count = 0;
  lockQueue_->sync([&] {
    const auto& pools = generation == Generation::Current ? state_->currentBannerCache : state_->previousBannerCache;
    const auto found = pools.find(canonicalName(key));
    if (found != pools.end()) count = found->second.pool->count();
  });
  return count;
}

std::vector<Json> ZUMBannerCache::recentlyAccessedKeys() const {
  std::vector<Json> keys;
  lockQueue_->sync([&] {
    for (const auto& name : state_->recentlyAccessedKeysInCurrentCache) {
      keys.push_back(state_->currentBannerCache.at(name).key);
    }
  });
  return keys;
}
