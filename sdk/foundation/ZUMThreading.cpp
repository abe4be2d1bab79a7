#include "sdk/foundation/ZUMThreading.h"

#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"

void ZUMRunOnMainThread(std::function<void()> block) {
  if (!block) return;
  if (platform::isMainThread()) {
    block();
  } else {
    platform::DispatchQueue::main()->async(std::move(block));
  }
}

void ZUMReleaseOnMainThread(std::shared_ptr<void> object) {
  if (!object) return;
  if (platform::isMainThread()) {
    object.reset();
    return;
  }
  // Released inside the block, so the release happens while the main thread runs it,
  // whatever thread later destroys the block itself.
  platform::DispatchQueue::main()->async([object = std::move(object)]() mutable { object.reset(); });
}

std::shared_ptr<platform::DispatchQueue> ZUMDispatchQueueCreate(std::string label, ZUMDispatchQueueAttributes attributes,
                                                                ZUMQualityOfServiceClass /*qualityOfService*/) {
  if (attributes == ZUMDispatchQueueConcurrent) return platform::DispatchQueue::concurrent(std::move(label));
  return platform::DispatchQueue::serial(std::move(label));
}
