// Fetches what an ad still lacks (its HTML from its ad URL) and completes the ad from the
// response headers. One fetcher per fetch; the slot makes one for every load.
//
// The fetcher's implementation registers its factory at start-up; until then create()
// gives nullptr. Main thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"

class ZUMAd;
class ZUMAdFetcherDelegate;

class ZUMAdFetcher {
 public:
  virtual ~ZUMAdFetcher() = default;

  // A new fetcher from the registered factory, or nullptr when none is registered.
  static std::shared_ptr<ZUMAdFetcher> create();
  // Installs (or, with an empty function, removes) the factory. Any thread.
  static void setFactory(std::function<std::shared_ptr<ZUMAdFetcher>()> factory);

  // Starts the fetch; the delegate (held weakly) hears the result later. false, with the
  // reason in `error`, when the fetch could not start; the delegate then hears nothing.
  virtual bool fetchRemainingContentForAd(const std::shared_ptr<ZUMAd>& ad,
                                          const std::optional<nlohmann::ordered_json>& headers,
                                          const std::shared_ptr<ZUMAdFetcherDelegate>& delegate,
                                          platform::ErrorPtr* error) = 0;
  // Stops the fetch; the delegate hears nothing more.
  virtual void cancel() = 0;
};
