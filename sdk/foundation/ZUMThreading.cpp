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

std::shared_ptr<platform::DispatchQueue> ZUMDispatchQueueCreate(std::string label,
                                                                ZUMDispatchQueueAttributes attributes,
                                                                ZUMQualityOfServiceClass /*qualityOfService*/) {
  if (attributes == ZUMDispatchQueueConcurrent) return platform::DispatchQueue::concurrent(std::move(label));
  return platform::DispatchQueue::serial(std::move(label));
}
