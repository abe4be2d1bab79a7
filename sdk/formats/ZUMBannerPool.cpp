#include "sdk/formats/ZUMBannerPool.h"

#include <algorithm>
#include <utility>

#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/request/ZUMSlot.h"

ZUMBannerPool::~ZUMBannerPool() {
  for (auto& entry : bannerPool_) ZUMReleaseOnMainThread(std::move(entry));
}

std::int64_t ZUMBannerPool::maxQueues() {
  const auto stored = ZUMUserDefaults::integerForKey(kZUMBannerPoolMaxQueuesKey).value_or(kDefaultMaxQueues);
  // Zero or less would make "drop while full" loop for ever on an empty pool.
  return std::clamp<std::int64_t>(stored, 1, kMaximumMaxQueues);
}

void ZUMBannerPool::addEntry(const std::shared_ptr<ZUMSlot>& entry) {
  if (!entry) return;
  removeEntry(entry);
  const auto max = static_cast<std::size_t>(maxQueues());
  while (bannerPool_.size() >= max) {
    ZUMReleaseOnMainThread(std::move(bannerPool_.front()));
    bannerPool_.pop_front();
  }
  bannerPool_.push_back(entry);
}

std::shared_ptr<ZUMSlot> ZUMBannerPool::nextEntry() {
  if (bannerPool_.empty()) return nullptr;
  auto entry = std::move(bannerPool_.front());
  bannerPool_.pop_front();
  return entry;
}

void ZUMBannerPool::removeEntry(const std::shared_ptr<ZUMSlot>& entry) {
  if (!entry) return;
  const auto found = std::find(bannerPool_.begin(), bannerPool_.end(), entry);
  if (found == bannerPool_.end()) return;
  auto removed = std::move(*found);
  bannerPool_.erase(found);
  ZUMReleaseOnMainThread(std::move(removed));
}
