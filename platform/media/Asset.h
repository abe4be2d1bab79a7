// A timed media resource at a URL, after the platform's URL asset: file URLs are read from
// the file, http(s) URLs through the platform's URL loading with byte ranges, and any other
// scheme through the asset's resource loader and its delegate (AssetResourceLoader.h).
// Loading its values opens the resource on a decoding thread of its own (MediaDecoder):
// the duration and the tracks are known once "duration" (or "tracks") has loaded.
//
// One player item per asset: the item plays through the asset's decoder.
// Any thread; completions of loadValuesAsynchronously() run on the global queue.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/base/Error.h"
#include "platform/base/URL.h"
#include "platform/media/AssetResourceLoader.h"
#include "platform/media/AssetTrack.h"
#include "platform/media/MediaDecoder.h"
#include "platform/media/MediaTime.h"

namespace platform {

class ByteSource;

class Asset : public std::enable_shared_from_this<Asset> {
 public:
  enum class KeyValueStatus { Unknown = 0, Loading = 1, Loaded = 2, Failed = 3, Cancelled = 4 };

  static std::shared_ptr<Asset> create(URL url);
  ~Asset();

  const URL& url() const { return url_; }
  // Set its delegate before loading values.
  const std::shared_ptr<AssetResourceLoader>& resourceLoader() const { return loader_; }

  // Loads the keys ("duration", "tracks", "playable"; all load together) and calls
  // `completion` once on the global queue when they have loaded or failed.
  void loadValuesAsynchronously(const std::vector<std::string>& keys, std::function<void()> completion);
  KeyValueStatus statusOfValue(const std::string& key, ErrorPtr* error = nullptr) const;
  void cancelLoading();

  // Invalid until loaded.
  MediaTime duration() const;
  std::vector<std::shared_ptr<AssetTrack>> tracks() const;
  std::vector<std::shared_ptr<AssetTrack>> tracksWithMediaType(const std::string& mediaType) const;

  // For the player item: the decoder (started by the first load) and what it found.
  std::shared_ptr<MediaDecoder> decoder();
  std::shared_ptr<ByteSource> byteSource() const { return source_; }
  // Calls `handler` once on the decoding thread when loading ends (at once when it has).
  void whenLoaded(std::function<void()> handler);
  const MediaInfo* mediaInfo() const;  // nullptr until loaded

 private:
  explicit Asset(URL url);
  void startLoading();
  void opened(const MediaInfo* info, ErrorPtr error);
  std::shared_ptr<ByteSource> makeSource();

  const URL url_;
  const std::shared_ptr<AssetResourceLoader> loader_;
  mutable std::mutex mutex_;
  std::shared_ptr<ByteSource> source_;
  std::shared_ptr<MediaDecoder> decoder_;
  KeyValueStatus status_ = KeyValueStatus::Unknown;
  ErrorPtr error_;
  std::unique_ptr<MediaInfo> info_;
  std::vector<std::shared_ptr<AssetTrack>> tracks_;
  std::vector<std::function<void()>> waiting_;
};

}  // namespace platform
