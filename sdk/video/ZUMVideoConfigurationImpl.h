// The buffering and asset-loading settings of one video source, made from one merged
// dictionary: the server's JSON kept in the user default
// "/vantor/ads/zums:video_configuration", overlaid by the dictionary the page or caller
// passes. Static settings are read once, when the object is made; the four dynamic
// buffer times ("minBufferMs", "maxBufferMs", "bufferForPlaybackMs",
// "bufferForPlaybackAfterRebufferMs") are read then and again on every update.
//
// Values are untrusted: times ("...Ms", milliseconds, stored as seconds) that are not
// finite count as absent, negative ones as 0, and none exceeds kMaxTimeInterval; integer
// limits below -1 mean no limit (-1), as does a chunk limit below 1. Text that reads as a
// number or a boolean counts (page messages carry text).
//
// Static getters: any thread (written before the object is shared). Dynamic ones: any
// thread, read through a synchronous hop to the lock queue, on which updates are written.
#pragma once

#include <cstdint>
#include <memory>

#include <nlohmann/json.hpp>

#include "sdk/rendering/ZUMVideoConfiguration.h"

namespace platform {
class DispatchQueue;
}

class ZUMVideoConfigurationImpl final : public ZUMVideoConfiguration,
                                        public std::enable_shared_from_this<ZUMVideoConfigurationImpl> {
 public:
  // "/vantor/ads/" + this: the server's JSON text.
  static constexpr const char* kUserDefaultName = "zums:video_configuration";
  // The longest buffer or wait time accepted: one hour.
  static constexpr double kMaxTimeInterval = 3600;

  static std::shared_ptr<ZUMVideoConfigurationImpl> create(
      const nlohmann::ordered_json& dictionary = nlohmann::ordered_json::object());
  // `configuration` when it is one of these; otherwise (nullptr, another kind) a new
  // default one.
  static std::shared_ptr<ZUMVideoConfigurationImpl> from(const std::shared_ptr<ZUMVideoConfiguration>& configuration);

  // Reloads the four dynamic times from a fresh merge, asynchronously on the lock queue.
  void updateDynamicConfigurationWithDictionary(const nlohmann::ordered_json& dictionary) override;

  bool enableAVPlayerPlaybackBuffering() const { return enableAVPlayerPlaybackBuffering_; }
  bool videoBufferShouldIgnoreCanPlayThrough() const { return videoBufferShouldIgnoreCanPlayThrough_; }
  bool enableAdvanceBufferingControl() const { return enableAdvanceBufferingControl_; }
  bool enableInMemoryVideoBuffer() const { return enableInMemoryVideoBuffer_; }
  std::int64_t precacheMaxBufferBytes() const override { return precacheMaxBufferBytes_; }
  double videoAssetLoaderMaxDownloadWaitTimeInterval() const { return downloadWait_; }
  std::int64_t videoAssetLoaderMaxContentSizeInBytes() const { return maxContentSize_; }
  std::int64_t videoAssetMaxLoadableChunkSizeInBytes() const { return maxChunkSize_; }
  double assetLoadingPlayerItemRefreshInterval() const { return refreshInterval_; }
  double precacheUpdateCheckIntervals() const { return precacheCheckInterval_; }
  std::int64_t assetLoadingPlayerItemNoBufferUpdateMaxContentSize() const { return noUpdateMaxContentSize_; }
  std::int64_t assetLoadingPlayerItemMaxContentLoadingFailedAttempts() const { return maxContentFailedAttempts_; }
  std::int64_t assetLoadingPlayerItemMaxDataLoadingFailedAttempts() const { return maxDataFailedAttempts_; }

  double minBufferTimeInterval() const;
  double maxBufferTimeInterval() const;
  double bufferForPlaybackTimeInterval() const;
  double bufferForPlaybackAfterRebufferTimeInterval() const;

  ZUMVideoConfigurationImpl(const ZUMVideoConfigurationImpl&) = delete;
  ZUMVideoConfigurationImpl& operator=(const ZUMVideoConfigurationImpl&) = delete;

 private:
  struct Dynamic {
    double minBuffer = 0;
    double maxBuffer = 0;
    double bufferForPlayback = 0;
    double bufferForPlaybackAfterRebuffer = 0;
  };
  ZUMVideoConfigurationImpl();
  // The stored JSON overlaid by `dictionary`.
  static nlohmann::ordered_json merged(const nlohmann::ordered_json& dictionary);
  static Dynamic readDynamic(const nlohmann::ordered_json& merged);
  void loadStatic(const nlohmann::ordered_json& merged);
  Dynamic dynamic() const;

  const std::shared_ptr<platform::DispatchQueue> lockQueue_;
  bool enableAVPlayerPlaybackBuffering_ = true;
  bool videoBufferShouldIgnoreCanPlayThrough_ = true;
  bool enableAdvanceBufferingControl_ = false;
  bool enableInMemoryVideoBuffer_ = false;
  std::int64_t precacheMaxBufferBytes_ = -1;
  double downloadWait_ = 0;
  std::int64_t maxContentSize_ = -1;
  std::int64_t maxChunkSize_ = -1;
  double refreshInterval_ = 0;
  double precacheCheckInterval_ = 0;
  std::int64_t noUpdateMaxContentSize_ = -1;
  std::int64_t maxContentFailedAttempts_ = 1;
  std::int64_t maxDataFailedAttempts_ = -1;
  Dynamic dynamic_;  // lock queue
};
