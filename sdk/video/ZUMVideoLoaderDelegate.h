// What a video loader tells its player: the item is ready to be played (its duration has
// loaded), or the source could not be loaded. Each at most once, on the main thread, and
// never from a loader that has gone.
#pragma once

#include <optional>

#include "platform/base/Error.h"
#include "platform/base/URL.h"

class ZUMVideoLoader;

class ZUMVideoLoaderDelegate {
 public:
  virtual ~ZUMVideoLoaderDelegate() = default;
  virtual void videoLoaderDidStartedLoadingURL(ZUMVideoLoader& loader, const std::optional<platform::URL>& url) = 0;
  virtual void videoLoaderDidFailToLoadURL(ZUMVideoLoader& loader, const std::optional<platform::URL>& url,
                                           const platform::ErrorPtr& error) = 0;
};
