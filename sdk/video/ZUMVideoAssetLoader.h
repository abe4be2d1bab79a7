// The byte source of an asset-loading player item: a main cache given by its maker (may
// be nullptr; starts at byte 0; never cancelled here) and one ranged download at a time,
// each into a new file "video_asset_<n>.cache" of the SDK's cache folder "VideoAsset"
// (n counts from 0 in each run; the first asset loader of a run empties the folder).
//
// A server that answers a "Range" request with the whole file ignores ranges: from then
// on the bytes come from one download from byte 0 without a range (and without a byte
// cap, which would cut it short of later offsets), kept until this object goes.
//
// Every member may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/base/Error.h"
#include "platform/base/URL.h"

class ZUMResourceCache;
class ZUMVideoConfigurationImpl;

class ZUMVideoAssetLoader {
 public:
  static constexpr const char* kFolderName = "VideoAsset";

  // `videoURL` is the URL to download; for a "tcache" URL, the URL inside it.
  static std::shared_ptr<ZUMVideoAssetLoader> create(const platform::URL& videoURL,
                                                     std::shared_ptr<ZUMResourceCache> mainResourceCache,
                                                     std::shared_ptr<ZUMVideoConfigurationImpl> configuration);

  struct Slice {
    std::shared_ptr<ZUMResourceCache> cache;
    // Resource offset of the cache's first byte.
    std::int64_t startingByteOffset = 0;
  };
  // A cache that will hold byte `loadingByteOffset` within the configuration's download
  // wait: the main cache, the current ranged one, or a new ranged download from that
  // byte. std::nullopt with the error when no file could be made for it.
  [[nodiscard]] std::optional<Slice> getResourceCache(std::int64_t loadingByteOffset, platform::ErrorPtr* error);
  // The item is done with `cache`: it is cancelled unless it is the main cache or the
  // download of a server that ignores ranges.
  void finishedUsingResourceCache(const std::shared_ptr<ZUMResourceCache>& cache);

  const platform::URL& sourceURL() const { return sourceURL_; }
  const std::shared_ptr<ZUMResourceCache>& mainResourceCache() const { return mainResourceCache_; }
  // The current ranged download and its offset.
  Slice currentRangedCache() const;

 private:
  ZUMVideoAssetLoader(platform::URL sourceURL, std::shared_ptr<ZUMResourceCache> mainResourceCache,
                      std::shared_ptr<ZUMVideoConfigurationImpl> configuration);
  // A started download of the source from `offset` ("Range" unless the server ignores
  // ranges) into a new file.
  std::shared_ptr<ZUMResourceCache> startDownload(std::int64_t offset, platform::ErrorPtr* error);

  const platform::URL sourceURL_;
  const std::shared_ptr<ZUMResourceCache> mainResourceCache_;
  const std::shared_ptr<ZUMVideoConfigurationImpl> configuration_;
  mutable std::mutex mutex_;
  std::shared_ptr<ZUMResourceCache> resourceCache_;
  std::int64_t resourceCacheStartingByteOffset_ = 0;
  bool serverIgnoresRanges_ = false;
};
