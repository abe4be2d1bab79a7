// Getting work onto the main thread and making the SDK's own dispatch queues.
//
// Every function here may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace platform {
class DispatchQueue;
}

// Runs the block at once on the main thread; from any other thread, submits it to the
// main queue and returns. An empty block does nothing.
void ZUMRunOnMainThread(std::function<void()> block);

// Drops the caller's reference to `object` on the main thread, so that, when it is the
// last one, the object is destroyed there (objects that own views must be). Pass the
// reference in with std::move.
template <class T>
void ZUMReleaseOnMainThread(std::shared_ptr<T> object) {
  if (!object) return;
  // Released inside the block, so the release happens while the main thread runs it,
  // whatever thread later destroys the block itself.
  ZUMRunOnMainThread([object = std::move(object)]() mutable { object.reset(); });
}

// Quality-of-service classes, as the platform numbers them.
enum ZUMQualityOfServiceClass : int {
  ZUMQualityOfServiceClassUnspecified = 0,
  ZUMQualityOfServiceClassBackground = 9,
  ZUMQualityOfServiceClassUtility = 17,
  ZUMQualityOfServiceClassDefault = 21,
  ZUMQualityOfServiceClassUserInitiated = 25,
  ZUMQualityOfServiceClassUserInteractive = 33,
};

// Whether a queue runs its blocks one at a time, in order, or several at once.
enum ZUMDispatchQueueAttributes : int {
  ZUMDispatchQueueSerial = 0,
  ZUMDispatchQueueConcurrent = 1,
};

// A new queue with `label`, serial or concurrent as `attributes` say. The platform here
// has no scheduling classes, so `qualityOfService` is accepted and not applied.
std::shared_ptr<platform::DispatchQueue> ZUMDispatchQueueCreate(
    std::string label, ZUMDispatchQueueAttributes attributes = ZUMDispatchQueueSerial,
    ZUMQualityOfServiceClass qualityOfService = ZUMQualityOfServiceClassUnspecified);
