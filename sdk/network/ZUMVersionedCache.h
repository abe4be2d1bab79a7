// A downloaded file kept across runs together with the version it was downloaded for
// (the telemetry script is kept this way). The content lives in the SDK's cache folder
// as "<MD5 of the cache id>.tcache", its version beside it in "<same>.version"; both are
// read when the object is made. An update downloads into a side file and replaces the
// content only once the whole download succeeded, so a failed update keeps the old
// content and version.
//
// Every member may be called from any thread; completions run on the main thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/base/Error.h"
#include "platform/base/URL.h"

class ZUMResourceCache;

class ZUMVersionedCache : public std::enable_shared_from_this<ZUMVersionedCache> {
 public:
  using Completion = std::function<void(platform::ErrorPtr error)>;

  // Loads what an earlier run stored under `cacheID`.
  static std::shared_ptr<ZUMVersionedCache> create(std::string cacheID);

  // The cached bytes; std::nullopt when nothing is cached.
  std::optional<std::string> cacheData() const;
  // The version of those bytes; std::nullopt when unknown.
  std::optional<std::string> cacheVersion() const;

  // Downloads `url` and stores it as `version`. The completion gets nullptr on success,
  // (11, "Cache version hasn't changed.") when `version` is the cached one, (11, "Cache
  // update already in progress.") while another update runs, or the failure's error.
  // Releasing the cache during an update ends it with (11, "Cache update cancelled.").
  void updateWithURL(const platform::URL& url, std::string version, Completion completion);

  ~ZUMVersionedCache();
  ZUMVersionedCache(const ZUMVersionedCache&) = delete;
  ZUMVersionedCache& operator=(const ZUMVersionedCache&) = delete;

 private:
  class Listener;
  explicit ZUMVersionedCache(std::string cacheID);
  void load();
  void downloadEnded(const std::shared_ptr<ZUMResourceCache>& download, platform::ErrorPtr error);

  const std::string cacheID_;
  const std::string fileName_;  // "<md5>" without extension

  mutable std::mutex mutex_;
  std::optional<std::string> data_;
  std::optional<std::string> version_;
  // The running update.
  std::shared_ptr<ZUMResourceCache> download_;
  std::shared_ptr<Listener> listener_;
  std::string pendingVersion_;
  Completion completion_;
};
