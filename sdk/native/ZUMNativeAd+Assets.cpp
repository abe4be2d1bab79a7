// The native ad's asset bookkeeping and its statistics record.
#include "ZUMNativeAd.h"

#include <utility>

#include "platform/base/DispatchQueue.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/foundation/ZUMUserDefaults.h"

void ZUMNativeAd::loadAssetsWithCompletionHandler(AssetCompletion completion) {
  {
    std::lock_guard lock(assetMutex_);
    if (completion) assets_.handlers.push_back(std::move(completion));
  }
  // Loads the kinds started in this turn register first; then the count is known.
  platform::DispatchQueue::main()->async([weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self) return;
    {
      std::lock_guard lock(self->assetMutex_);
      self->assets_.started = true;
    }
    self->notifyLoadingDelegateIfAllRequestedAssetsHaveLoaded();
  });
}

void ZUMNativeAd::addAssetWithNameToRequestedAssets(const std::string& name) {
  std::lock_guard lock(assetMutex_);
  if (assets_.requested.insert(name).second && !assets_.completed.contains(name)) ++assets_.outstanding;
}

void ZUMNativeAd::markAssetCompletedLocked(const std::string& name) {
  if (assets_.completed.insert(name).second && assets_.requested.contains(name)) --assets_.outstanding;
}

bool ZUMNativeAd::shouldLoadAssets() {
  std::lock_guard lock(assetMutex_);
  return !assets_.started;
}

void ZUMNativeAd::finishedLoadingAssetWithName(const std::optional<std::string>& name) {
  if (name) {
    std::lock_guard lock(assetMutex_);
    markAssetCompletedLocked(*name);
  }
  notifyLoadingDelegateIfAllRequestedAssetsHaveLoaded();
}

bool ZUMNativeAd::isRequiredAsset(const std::string& name) {
  {
    std::lock_guard lock(assetMutex_);
    if (assets_.required) return assets_.required->contains(name);
  }
  auto required = requiredAssets();  // the kind's override runs unlocked
  std::lock_guard lock(assetMutex_);
  if (!assets_.required) assets_.required = std::move(required);
  return assets_.required->contains(name);
}

void ZUMNativeAd::failedToLoadAssetWithName(const std::string& name) {
  const bool isRequired = isRequiredAsset(name);
  {
    std::lock_guard lock(assetMutex_);
    markAssetCompletedLocked(name);
    if (assets_.failedRequired) return;
    if (isRequired) assets_.failedRequired = true;
  }
  if (isRequired) {
    callAndClearAssetLoadCompletionHandlersWithError(
        ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Failed to load a required asset."));
    return;
  }
  notifyLoadingDelegateIfAllRequestedAssetsHaveLoaded();
}

void ZUMNativeAd::notifyLoadingDelegateIfAllRequestedAssetsHaveLoaded() {
  {
    std::lock_guard lock(assetMutex_);
    if (assets_.failedRequired || !assets_.started || assets_.outstanding > 0) return;
  }
  callAndClearAssetLoadCompletionHandlersWithError(nullptr);
}

void ZUMNativeAd::callAndClearAssetLoadCompletionHandlersWithError(const platform::ErrorPtr& error) {
  std::vector<AssetCompletion> handlers;
  {
    std::lock_guard lock(assetMutex_);
    handlers = std::exchange(assets_.handlers, {});
  }
  if (handlers.empty()) return;
  platform::DispatchQueue::main()->async([handlers = std::move(handlers), error] {
    for (const auto& handler : handlers) handler(error);
  });
}

// --- Statistics ----------------------------------------------------------------------------

void ZUMNativeAd::reportIsMediaContentRendered(bool rendered) {
  if (!adUnitID_) return;
  statistics_ = Json{{"template_id", adFormatTemplateID()},
                     {"ad_unit_id", *adUnitID_},
                     {"timestamp_ms", ZUMTimeIntervalSinceBoot() * 1000.0},
                     {"uses_media_view", rendered ? 1 : 0}};
}

void ZUMNativeAd::keepStatistics() const {
  auto key = ZUMJSONStringForKey(statistics_, "template_id");
  if (!key || key->empty()) return;
  auto statistics = ZUMApplication::sharedInstance()->nativeAdStatistics();
  if (!statistics) return;
  statistics->addObject(statistics_, *key, false);
  statistics->setMaxSize(
      ZUMUserDefaults::integerForKey(kZUMNativeAdStatisticsMaxCountKey).value_or(kZUMNativeAdStatisticsDefaultMaxCount),
      *key);
}

std::optional<nlohmann::ordered_json> ZUMNativeAdStatisticsForAdUnitID(const std::string& adUnitID,
                                                                       const std::string& adFormatKey) {
  auto statistics = ZUMApplication::sharedInstance()->nativeAdStatistics();
  auto kept = statistics ? statistics->objectForKey(adFormatKey) : std::nullopt;
  if (!kept || !kept->is_array()) return std::nullopt;
  auto matching = nlohmann::ordered_json::array();
  for (const auto& entry : *kept) {
    if (entry.is_object() && ZUMJSONStringForKey(entry, "ad_unit_id") == adUnitID) matching.push_back(entry);
  }
  if (matching.empty()) return std::nullopt;
  return matching;
}
