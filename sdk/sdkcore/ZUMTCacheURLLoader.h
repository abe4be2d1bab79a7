// Resolves a tcache URL ("tcache://...?url=<http(s) resource>") to a cache of the file
// that the SDK-core page downloads the resource into: it asks the page ("QYRA_TCache"),
// and once the page answers with the file, hands over the download the SDK-core message
// handler runs for it. When that download has already ended by then, the ended one is
// handed over: a success reports the file as completely cached (completed, with its
// byte count), and a failure fails the load.
//
// Completions: exactly once, on the main thread. A URL that is not a tcache URL fails
// at once with code 11 "Provided URL <url> isn't a valid tcache URL."; an answer without
// a file inside the SDK's cache folder, or with a file that no download of the handler's
// filled (or one that failed), fails with code 11 "Failed to load tcache URL <url>"; the
// page's own failures (time-out, refresh, "fail") are passed on.
//
// Any thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/base/Error.h"
#include "platform/base/URL.h"

class ZUMResourceCache;

class ZUMTCacheURLLoader : public std::enable_shared_from_this<ZUMTCacheURLLoader> {
 public:
  using Completion =
      std::function<void(const std::optional<platform::URL>& tcacheURL, const std::shared_ptr<ZUMResourceCache>& cache,
                         const platform::ErrorPtr& error)>;

  static std::shared_ptr<ZUMTCacheURLLoader> create();
  void loadTCacheURL(const std::optional<platform::URL>& tcacheURL, Completion completion);

 private:
  ZUMTCacheURLLoader() = default;
};
