#include "sdk/formats/ZUMInterstitialCache.h"

#include <algorithm>
#include <deque>
#include <map>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/PropertyList.h"
#include "platform/base/TestingReset.h"
#include "platform/base/UserDefaults.h"
#include "sdk/formats/ZUMInterstitialCacheEntry.h"
#include "sdk/formats/ZUMInterstitialPool.h"
#include "sdk/formats/ZUMInterstitialPoolKey.h"
#include "sdk/formats/ZUMInterstitialPoolRefillOnDismissPolicy.h"
#include "sdk/formats/ZUMInterstitialPoolRefillOnPopPolicy.h"
#include "sdk/formats/ZUMInterstitialPoolRefillWhenIdlePolicy.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/request/ZUMSDKConstants.h"

namespace {

using Json = nlohmann::ordered_json;

// The saved list: one dictionary per request, least recently accessed first.
constexpr const char* kSavedAdUnitID = "ad_unit_id";
constexpr const char* kSavedFields = "fields";
constexpr const char* kSavedParameters = "parameters";

std::shared_ptr<ZUMInterstitialPoolRefilling> makePolicy(ZUMInterstitialCache::RefillPolicy kind) {
  switch (kind) {
    case ZUMInterstitialCache::RefillPolicy::OnDismiss:
      return ZUMInterstitialPoolRefillOnDismissPolicy::create();
    case ZUMInterstitialCache::RefillPolicy::WhenIdle:
      return ZUMInterstitialPoolRefillWhenIdlePolicy::create();
    case ZUMInterstitialCache::RefillPolicy::OnPop:
      break;
  }
  return ZUMInterstitialPoolRefillOnPopPolicy::create();
}

// A saved request read back: its key and parameters, or nothing when the entry is damaged.
struct SavedRequest {
  ZUMInterstitialPoolKey key;
  Json parameters;
};

std::optional<SavedRequest> readSavedRequest(const Json& entry) {
  auto adUnitID = ZUMJSONStringForKey(entry, kSavedAdUnitID);
  const Json* fields = ZUMJSONObjectForKey(entry, kSavedFields);
  const Json* parameters = ZUMJSONObjectForKey(entry, kSavedParameters);
  if (!adUnitID || adUnitID->empty() || !fields || !parameters) return std::nullopt;
  return SavedRequest{ZUMInterstitialPoolKey(std::move(*adUnitID), *fields), *parameters};
}

}  // namespace

struct ZUMInterstitialCache::State {
  struct Kept {
    ZUMInterstitialPoolKey key;
    std::shared_ptr<ZUMInterstitialPool> pool;
  };
  struct Observed {
    ZUMInterstitialPoolKey key;
    Json parameters;
  };
  std::map<std::string, Kept> poolsByKey;        // by canonical key
  std::deque<std::string> recentlyAccessedKeys;  // least recently accessed first
  std::map<std::string, Observed> observedRequestsByKey;
  std::shared_ptr<ZUMInterstitialPoolRefilling> policy;
  RefillPolicy policyKind = RefillPolicy::OnPop;
};

std::shared_ptr<ZUMInterstitialCache> ZUMInterstitialCache::sharedInstance() {
  static auto* shared = new platform::ResettableShared<ZUMInterstitialCache>([] { return create(); });
  return shared->get();
}

std::shared_ptr<ZUMInterstitialCache> ZUMInterstitialCache::create() {
  std::shared_ptr<ZUMInterstitialCache> cache(new ZUMInterstitialCache());
  cache->observeConstants();
  cache->updateRefillPolicy();
  cache->loadInterstitialsForSavedRequests();
  return cache;
}

ZUMInterstitialCache::ZUMInterstitialCache()
    : lockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.interstitial-cache")), state_(std::make_unique<State>()) {
  state_->policy = makePolicy(RefillPolicy::OnPop);
}

ZUMInterstitialCache::~ZUMInterstitialCache() {
  platform::NotificationCenter::defaultCenter().removeObserver(constantsObserver_);
  // Pools own entries, which own slots and views.
  for (auto& [name, kept] : state_->poolsByKey) ZUMReleaseOnMainThread(std::move(kept.pool));
}

void ZUMInterstitialCache::observeConstants() {
  constantsObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMSDKCoreDidUpdateConstantsNotification, nullptr, nullptr,
      ZUMBindWeak(weak_from_this(), &ZUMInterstitialCache::updateRefillPolicy));
}

// --- Settings --------------------------------------------------------------------------------

std::int64_t ZUMInterstitialCache::maxPools() {
  const auto stored = ZUMUserDefaults::integerForKey(kZUMInterstitialPoolMaxPoolsKey).value_or(kDefaultMaxPools);
  // Zero or less would drop every pool as soon as it is made, and loop for ever doing so.
  return std::clamp<std::int64_t>(stored, 1, kMaximumMaxPools);
}

ZUMInterstitialCache::RefillPolicy ZUMInterstitialCache::storedRefillPolicy() {
  const auto name = ZUMUserDefaults::stringForKey(kZUMInterstitialPoolRefillPolicyKey);
  if (name == "onDismiss") return RefillPolicy::OnDismiss;
  if (name == "whenIdle") return RefillPolicy::WhenIdle;
  return RefillPolicy::OnPop;
}

void ZUMInterstitialCache::updateRefillPolicy() {
  const auto kind = storedRefillPolicy();
  lockQueue_->async([weak = weak_from_this(), kind] {
    auto self = weak.lock();
    if (!self || self->state_->policyKind == kind) return;
    auto& state = *self->state_;
    state.policyKind = kind;
    state.policy = makePolicy(kind);
    for (const auto& [name, kept] : state.poolsByKey) {
      kept.pool->setDelegate(state.policy);
      state.policy->addPool(kept.pool);
    }
  });
}

// --- Access ----------------------------------------------------------------------------------

std::shared_ptr<ZUMInterstitialCacheEntry> ZUMInterstitialCache::cacheEntryForRequest(
    const std::shared_ptr<ZUMRequest>& request, const std::string& adUnitID) {
  platform::assertMainThread();
  Json parameters;
  auto key = ZUMInterstitialPoolKeyForRequest(request, adUnitID, &parameters);
  if (!key) return nullptr;
  auto copy = request->copy();
  return lockQueue_->syncResult([&]() -> std::shared_ptr<ZUMInterstitialCacheEntry> {
    std::shared_ptr<ZUMInterstitialCacheEntry> entry;
    if (auto found = state_->poolsByKey.find(key->canonical); found != state_->poolsByKey.end()) {
      found->second.pool->setRequest(copy);
      entry = found->second.pool->nextEntry();
    }
    didAccessKey(*key, copy, parameters);
    return entry;
  });
}

void ZUMInterstitialCache::loadRequest(const std::shared_ptr<ZUMRequest>& request, const std::string& adUnitID) {
  Json parameters;
  auto key = ZUMInterstitialPoolKeyForRequest(request, adUnitID, &parameters);
  if (!key) return;
  lockQueue_->async(
      [weak = weak_from_this(), key = std::move(*key), copy = request->copy(), parameters = std::move(parameters)] {
        if (auto self = weak.lock()) self->didAccessKey(key, copy, parameters);
      });
}

void ZUMInterstitialCache::didAccessKey(const ZUMInterstitialPoolKey& key, const std::shared_ptr<ZUMRequest>& request,
                                        const Json& parameters) {
  auto& recent = state_->recentlyAccessedKeys;
  recent.erase(std::remove(recent.begin(), recent.end(), key.canonical), recent.end());
  recent.push_back(key.canonical);
  if (auto found = state_->poolsByKey.find(key.canonical); found != state_->poolsByKey.end()) {
    found->second.pool->setRequest(request);
  } else {
    addPool(key, request);
  }
  state_->observedRequestsByKey.insert_or_assign(key.canonical, State::Observed{key, parameters});
  dropLeastRecentlyAccessedPools();
  // Later on the queue: the main thread may be waiting for this access, not for the file.
  lockQueue_->async(ZUMBindWeak(weak_from_this(), &ZUMInterstitialCache::saveObservedRequests));
}

void ZUMInterstitialCache::addPool(const ZUMInterstitialPoolKey& key, const std::shared_ptr<ZUMRequest>& request) {
  auto pool = ZUMInterstitialPool::create(request, key.adUnitID);
  pool->setDelegate(state_->policy);
  state_->poolsByKey.insert_or_assign(key.canonical, State::Kept{key, pool});
  state_->policy->addPool(pool);
}

void ZUMInterstitialCache::dropLeastRecentlyAccessedPools() {
  const auto max = static_cast<std::size_t>(maxPools());
  auto& recent = state_->recentlyAccessedKeys;
  while (recent.size() > max) {
    const std::string oldest = std::move(recent.front());
    recent.pop_front();
    if (auto found = state_->poolsByKey.find(oldest); found != state_->poolsByKey.end()) {
      ZUMReleaseOnMainThread(std::move(found->second.pool));
      state_->poolsByKey.erase(found);
    }
    // A dropped pool is not preloaded at the next start either.
    state_->observedRequestsByKey.erase(oldest);
  }
}

// --- Saved requests ----------------------------------------------------------------------------

void ZUMInterstitialCache::saveObservedRequests() {
  Json saved = Json::array();
  for (const auto& name : state_->recentlyAccessedKeys) {
    const auto found = state_->observedRequestsByKey.find(name);
    if (found == state_->observedRequestsByKey.end()) continue;
    Json entry{{kSavedAdUnitID, found->second.key.adUnitID},
               {kSavedFields, found->second.key.fields},
               {kSavedParameters, found->second.parameters}};
    if (!platform::isPropertyList(entry)) {
      ZUMLog(1, "Interstitial request not saved for preloading: its parameters are no property list.");
      continue;
    }
    saved.push_back(std::move(entry));
  }
  if (!platform::UserDefaults::standard().setObject(saved, kZUMInterstitialRequestsToPreloadKey)) {
    ZUMLog(1, "The interstitial requests to preload could not be saved.");
  }
}

void ZUMInterstitialCache::loadInterstitialsForSavedRequests() {
  const auto stored = platform::UserDefaults::standard().objectForKey(kZUMInterstitialRequestsToPreloadKey);
  if (!stored) return;
  const Json* list = ZUMJSONArray(*stored);
  if (!list) {
    ZUMLog(1, "The saved interstitial requests are not a list: none is preloaded.");
    return;
  }
  std::vector<SavedRequest> restored;
  for (const auto& entry : *list) {
    if (auto request = readSavedRequest(entry)) {
      restored.push_back(std::move(*request));
    } else {
      ZUMLog(1, "A damaged saved interstitial request was dropped.");
    }
  }
  // The most recent ones, as many as may be kept.
  const auto keep = std::min(restored.size(), static_cast<std::size_t>(maxPools()));
  restored.erase(restored.begin(), restored.end() - static_cast<std::ptrdiff_t>(keep));
  lockQueue_->async([weak = weak_from_this(), restored = std::move(restored)] {
    auto self = weak.lock();
    if (!self) return;
    for (const auto& saved : restored) {
      if (self->state_->poolsByKey.contains(saved.key.canonical)) continue;
      self->addPool(saved.key, ZUMRequest::createWithParameters(saved.parameters));
      self->state_->recentlyAccessedKeys.push_back(saved.key.canonical);
    }
  });
}

// --- Inspection --------------------------------------------------------------------------------

std::shared_ptr<ZUMInterstitialPool> ZUMInterstitialCache::poolForRequest(const std::shared_ptr<ZUMRequest>& request,
                                                                          const std::string& adUnitID) const {
  auto key = ZUMInterstitialPoolKeyForRequest(request, adUnitID);
  if (!key) return nullptr;
  return lockQueue_->syncResult([&]() -> std::shared_ptr<ZUMInterstitialPool> {
    const auto found = state_->poolsByKey.find(key->canonical);
    return found == state_->poolsByKey.end() ? nullptr : found->second.pool;
  });
}

std::size_t ZUMInterstitialCache::poolCount() const {
  return lockQueue_->syncResult([&] { return state_->poolsByKey.size(); });
}

std::shared_ptr<ZUMInterstitialPoolRefilling> ZUMInterstitialCache::refillPolicy() const {
  return lockQueue_->syncResult([&] { return state_->policy; });
}
