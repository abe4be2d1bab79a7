#include "sdk/formats/ZUMInterstitialPool.h"

#include <algorithm>
#include <utility>

#include "ZUMRequest.h"
#include "platform/base/DispatchQueue.h"
#include "sdk/formats/ZUMInterstitialCacheEntry.h"
#include "sdk/formats/ZUMInterstitialPoolDelegate.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"

ZUMInterstitialPoolSettings ZUMInterstitialPoolSettings::read() {
  ZUMInterstitialPoolSettings settings;
  const auto depth = ZUMUserDefaults::integerForKey(kZUMInterstitialPoolMaxDepthKey).value_or(kDefaultDepth);
  settings.depth = std::clamp<std::int64_t>(depth, 0, kMaximumDepth);
  // The reader answers only finite numbers. A limit of 0 or less keeps entries until they
  // are taken (no more than the depth); a positive one neither spins nor lasts for ever.
  const auto limit = ZUMUserDefaults::doubleForKey(kZUMInterstitialPoolTimeLimitKey).value_or(kDefaultTimeLimit);
  settings.timeLimit = limit <= 0 ? kNoTimeLimit : std::clamp(limit, kMinimumTimeLimit, kMaximumTimeLimit);
  return settings;
}

std::shared_ptr<ZUMInterstitialPool> ZUMInterstitialPool::create(const std::shared_ptr<ZUMRequest>& request,
                                                                 std::string adUnitID) {
  return std::shared_ptr<ZUMInterstitialPool>(
      new ZUMInterstitialPool(request ? request->copy() : ZUMRequest::create(), std::move(adUnitID)));
}

ZUMInterstitialPool::ZUMInterstitialPool(std::shared_ptr<ZUMRequest> request, std::string adUnitID)
    : adUnitID_(std::move(adUnitID)),
      lockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.interstitial-pool")),
      request_(std::move(request)) {}

ZUMInterstitialPool::~ZUMInterstitialPool() {
  // The last owner may let the pool go on any queue; its entries own slots and views.
  for (auto& entry : entries_) ZUMReleaseOnMainThread(std::move(entry));
}

// --- Filling -------------------------------------------------------------------------------

void ZUMInterstitialPool::fill() {
  const auto settings = ZUMInterstitialPoolSettings::read();
  lockQueue_->async([weak = weak_from_this(), settings] {
    auto self = weak.lock();
    if (!self) return;
    // Entries being made count too, so two fills in a row never load past the depth.
    const auto held = static_cast<std::int64_t>(self->entries_.size()) + self->entriesBeingMade_;
    if (held >= settings.depth) return;
    ++self->entriesBeingMade_;
    self->addCacheEntryWithTimeout(settings.timeLimit, settings.depth);
  });
}

void ZUMInterstitialPool::addCacheEntryWithTimeout(platform::TimeInterval timeout, std::int64_t maxCount) {
  ZUMRunOnMainThread([weak = weak_from_this(), request = request_, timeout, maxCount] {
    auto self = weak.lock();
    if (!self) return;
    auto entry = ZUMInterstitialCacheEntry::create(request, self->adUnitID_);
    self->lockQueue_->async(ZUMBindWeak(weak, &ZUMInterstitialPool::didMakeEntry, std::move(entry), timeout, maxCount));
  });
}

void ZUMInterstitialPool::didMakeEntry(std::shared_ptr<ZUMInterstitialCacheEntry> entry, platform::TimeInterval timeout,
                                       std::int64_t maxCount) {
  --entriesBeingMade_;
  if (static_cast<std::int64_t>(entries_.size()) < maxCount) {
    entries_.push_back(entry);
    if (timeout > 0) scheduleTimeout(timeout, entry);
  }
  ZUMReleaseOnMainThread(std::move(entry));
  tellDelegate(&ZUMInterstitialPoolDelegate::interstitialPoolDidAddEntry);
}

void ZUMInterstitialPool::scheduleTimeout(platform::TimeInterval timeout,
                                          const std::shared_ptr<ZUMInterstitialCacheEntry>& entry) {
  lockQueue_->after(timeout, [weakSelf = weak_from_this(), weakEntry = std::weak_ptr(entry)] {
    auto self = weakSelf.lock();
    if (!self) return;
    self->removeObject(weakEntry.lock());
  });
}

// --- Taking and removing -------------------------------------------------------------------

std::shared_ptr<ZUMInterstitialCacheEntry> ZUMInterstitialPool::nextEntry() {
  std::shared_ptr<ZUMInterstitialCacheEntry> entry;
  lockQueue_->sync([&] {
    if (entries_.empty()) return;
    entry = std::move(entries_.front());
    entries_.pop_front();
    tellDelegate(&ZUMInterstitialPoolDelegate::interstitialPoolDidRemoveEntry);
  });
  return entry;
}

void ZUMInterstitialPool::removeObject(std::shared_ptr<ZUMInterstitialCacheEntry> entry) {
  const auto found = std::find(entries_.begin(), entries_.end(), entry);
  if (!entry || found == entries_.end()) return;
  entries_.erase(found);
  // Nobody took it: its end (a discard beacon, the slot's teardown) belongs on the main
  // thread.
  ZUMReleaseOnMainThread(std::move(entry));
  tellDelegate(&ZUMInterstitialPoolDelegate::interstitialPoolDidRemoveEntry);
}

void ZUMInterstitialPool::tellDelegate(DelegateEvent event) {
  if (!delegate_) return;
  platform::DispatchQueue::global()->async([weak = weak_from_this(), delegate = delegate_, event] {
    if (auto self = weak.lock()) ((*delegate).*event)(self);
  });
}

// --- Properties ----------------------------------------------------------------------------

std::shared_ptr<ZUMRequest> ZUMInterstitialPool::request() const {
  auto request = lockQueue_->syncResult([this] { return request_; });
  return request->copy();
}

void ZUMInterstitialPool::setRequest(const std::shared_ptr<ZUMRequest>& request) {
  lockQueue_->async([weak = weak_from_this(), copy = request ? request->copy() : ZUMRequest::create()] {
    if (auto self = weak.lock()) self->request_ = copy;
  });
}

std::shared_ptr<ZUMInterstitialPoolDelegate> ZUMInterstitialPool::delegate() const {
  return lockQueue_->syncResult([this] { return delegate_; });
}

void ZUMInterstitialPool::setDelegate(std::shared_ptr<ZUMInterstitialPoolDelegate> delegate) {
  lockQueue_->async([weak = weak_from_this(), delegate = std::move(delegate)] {
    if (auto self = weak.lock()) self->delegate_ = delegate;
  });
}

std::size_t ZUMInterstitialPool::entryCount() const {
  return lockQueue_->syncResult([this] { return entries_.size(); });
}
