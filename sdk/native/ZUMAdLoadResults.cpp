#include "sdk/native/ZUMAdLoadResults.h"

#include <utility>

#include "ZUMAdLoader.h"
#include "platform/base/DispatchQueue.h"
#include "sdk/errors/ZUMErrors.h"

std::shared_ptr<ZUMAdLoadResults> ZUMAdLoadResults::create(const std::shared_ptr<ZUMAdLoader>& loader,
                                                           std::int64_t requestedAdCount) {
  if (requestedAdCount < 1) return nullptr;
  return std::shared_ptr<ZUMAdLoadResults>(new ZUMAdLoadResults(loader, requestedAdCount));
}

ZUMAdLoadResults::ZUMAdLoadResults(const std::shared_ptr<ZUMAdLoader>& loader, std::int64_t requestedAdCount)
    : requestedAdCount_(requestedAdCount), adLoader_(loader) {}

void ZUMAdLoadResults::setReturnedAdCount(std::int64_t count) {
  if (count < 1) {
    handleLoadResult({.error = ZUMMakeErrorWithCode(kZUMErrorNoFill)}, true);
    return;
  }
  std::lock_guard lock(mutex_);
  returnedAdCount_ = count;
}

void ZUMAdLoadResults::insertAdLoadResult(ZUMAdLoadResult result, std::int64_t index) {
  if (!result.error && !result.ad) return;
  // Handed over under the lock, so results released by different threads keep their order.
  std::lock_guard lock(mutex_);
  if (index < nextIndex_ || index >= returnedAdCount_ || adLoadResults_.contains(index)) return;
  adLoadResults_.emplace(index, std::move(result));
  for (auto found = adLoadResults_.find(nextIndex_); found != adLoadResults_.end();
       found = adLoadResults_.find(nextIndex_)) {
    auto current = std::move(found->second);
    adLoadResults_.erase(found);
    ++nextIndex_;
    if (nextIndex_ < returnedAdCount_) {
      handleLoadResult(std::move(current), false);
      continue;
    }
    const bool filled = returnedAdCount_ >= requestedAdCount_;
    handleLoadResult(std::move(current), filled);
    if (!filled) handleLoadResult({.error = ZUMMakeErrorWithCode(kZUMErrorNoFill)}, true);
  }
}

void ZUMAdLoadResults::handleLoadResult(ZUMAdLoadResult result, bool isFinalResult) {
  platform::DispatchQueue::main()->async(
      [loader = adLoader_, self = weak_from_this(), result = std::move(result), isFinalResult] {
        auto strongLoader = loader.lock();
        auto strongSelf = self.lock();
        if (strongLoader && strongSelf) strongLoader->handleLoadResult(*strongSelf, result, isFinalResult);
      });
}
