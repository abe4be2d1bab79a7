#include "sdk/native/ZUMNativeAdImageLoadQueue.h"

#include "ZUMNativeAdImage.h"
#include "platform/base/MainThreadChecker.h"

std::shared_ptr<ZUMNativeAdImageLoadQueue> ZUMNativeAdImageLoadQueue::create() {
  return std::shared_ptr<ZUMNativeAdImageLoadQueue>(new ZUMNativeAdImageLoadQueue());
}

void ZUMNativeAdImageLoadQueue::loadImage(const std::shared_ptr<ZUMNativeAdImage>& image, Completion completion) {
  platform::assertMainThread();
  if (!image) return;
  waiting_.emplace_back(image, std::move(completion));
  startWaitingLoads();
}

void ZUMNativeAdImageLoadQueue::startWaitingLoads() {
  while (inFlight_ < kMaxLoadsInFlight && !waiting_.empty()) {
    auto [image, completion] = std::move(waiting_.front());
    waiting_.pop_front();
    ++inFlight_;
    // An image completes on a later turn, never within this call.
    image->loadImageWithCompletionHandler(
        [weak = weak_from_this(), completion = std::move(completion)](platform::ErrorPtr error) {
          if (completion) completion(std::move(error));
          if (auto self = weak.lock()) self->loadEnded();
        });
  }
}

void ZUMNativeAdImageLoadQueue::loadEnded() {
  --inFlight_;
  startWaitingLoads();
}
