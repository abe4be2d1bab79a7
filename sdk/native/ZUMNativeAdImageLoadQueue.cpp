#include "sdk/native/ZUMNativeAdImageLoadQueue.h"

#include <string>
#include <utility>
#include <vector>

#include "ZUMNativeAdImage.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLRequest.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMLogger.h"

std::shared_ptr<ZUMNativeAdImageLoadQueue> ZUMNativeAdImageLoadQueue::create() {
  return std::shared_ptr<ZUMNativeAdImageLoadQueue>(new ZUMNativeAdImageLoadQueue());
}

ZUMNativeAdImageLoadQueue::~ZUMNativeAdImageLoadQueue() {
  for (auto& [id, load] : inFlight_) {
    if (auto connection = load.connection.lock()) connection->cancel();
  }
}

void ZUMNativeAdImageLoadQueue::loadImage(const std::shared_ptr<ZUMNativeAdImage>& image, Completion completion) {
  platform::assertMainThread();
  if (!image) return;
  if (inFlight_.empty()) {  // idle: loads wait only behind running ones
    platform::DispatchQueue::main()->after(
        platform::URLRequest::kDefaultTimeoutInterval,
        ZUMBindWeak(weak_from_this(), &ZUMNativeAdImageLoadQueue::loadingTimedOut, ++loadings_));
  }
  waiting_.push_back({image, std::move(completion), {}});
  startWaitingLoads();
}

void ZUMNativeAdImageLoadQueue::startWaitingLoads() {
  while (inFlight_.size() < kMaxLoadsInFlight && !waiting_.empty()) {
    const std::uint64_t id = ++loadsStarted_;
    Load& load = inFlight_[id] = std::move(waiting_.front());
    waiting_.pop_front();
    // An image completes on a later turn, never within this call.
    load.connection =
        load.image->startLoading(ZUMBindWeak(weak_from_this(), &ZUMNativeAdImageLoadQueue::loadEnded, id));
  }
}

void ZUMNativeAdImageLoadQueue::loadEnded(std::uint64_t load, platform::ErrorPtr error) {
  auto found = inFlight_.find(load);
  if (found == inFlight_.end()) return;  // given up when the loading timed out
  auto completion = std::move(found->second.completion);
  inFlight_.erase(found);
  if (completion) completion(std::move(error));
  startWaitingLoads();
}

void ZUMNativeAdImageLoadQueue::loadingTimedOut(std::uint64_t loading) {
  if (loading != loadings_ || inFlight_.empty()) return;
  std::vector<Load> unfinished;  // in the order they were added
  for (auto& [id, load] : std::exchange(inFlight_, {})) unfinished.push_back(std::move(load));
  for (auto& load : std::exchange(waiting_, {})) unfinished.push_back(std::move(load));
  ZUMLog(kZUMLogLevelDefault, "Native ad images not loaded within the request time-out are left out: " +
                                  std::to_string(unfinished.size()) + ".");
  const auto timedOut = platform::makeURLError(platform::kURLErrorTimedOut);
  for (auto& load : unfinished) {
    if (auto connection = load.connection.lock()) connection->cancel();
    if (load.completion) load.completion(timedOut);
  }
}
