// Told when an ad fetcher has completed an ad from its response, or failed. Called on
// the main thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/base/Error.h"

class ZUMAd;
class ZUMAdFetcher;

class ZUMAdFetcherDelegate {
 public:
  virtual ~ZUMAdFetcherDelegate() = default;
  virtual void adFetcherDidFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad) = 0;
  // responseCode: the HTTP status, or 0 when there was none.
  virtual void adFetcherDidFailToFetchAd(ZUMAdFetcher& fetcher, const std::shared_ptr<ZUMAd>& ad,
                                         const platform::ErrorPtr& error, std::int64_t responseCode) = 0;
};
