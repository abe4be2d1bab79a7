// What a ZUMResourceCache tells its delegate, on the main thread, in this order: caching
// started, the response, data (once per chunk written), then exactly one of success or
// failure. Every operation is optional.
#pragma once

#include <memory>

#include "platform/base/Error.h"

class ZUMResourceCache;

class ZUMResourceCacheDelegate {
 public:
  virtual ~ZUMResourceCacheDelegate() = default;

  virtual void resourceCacheDidStartCaching(const std::shared_ptr<ZUMResourceCache>&) {}
  virtual void resourceCacheDidReceiveResponse(const std::shared_ptr<ZUMResourceCache>&) {}
  virtual void resourceCacheDidReceiveData(const std::shared_ptr<ZUMResourceCache>&) {}
  virtual void resourceCacheDidSucceedCaching(const std::shared_ptr<ZUMResourceCache>&) {}
  // `error` is what the failure or cancelWithError() gave; nullptr for a cancel
  // without one.
  virtual void resourceCacheDidFailCachingWithError(const std::shared_ptr<ZUMResourceCache>&,
                                                    const platform::ErrorPtr& /*error*/) {}
};
