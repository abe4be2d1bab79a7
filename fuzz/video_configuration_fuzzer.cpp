// The video configuration from the server's JSON text in the user defaults and the page's
// dictionary. The input is the stored text, a line "---", then the page's dictionary as
// JSON, or as "name=value" lines (page messages carry text). Nothing crashes; every time
// is finite and within [0, one hour]; every limit is -1 or more, the chunk limit -1 or at
// least 1; an update changes only the four buffer times.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/UserDefaults.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"

using json = nlohmann::ordered_json;

namespace {

json pageDictionary(std::string_view text) {
  json dictionary = json::parse(text, nullptr, false);
  if (!dictionary.is_discarded()) return dictionary;
  dictionary = json::object();
  for (auto& [name, value] : fuzzenv::pairsFromLines(text, '=', false)) dictionary[name] = value;
  return dictionary;
}

void checkTime(double seconds) {
  fuzzenv::check(std::isfinite(seconds) && seconds >= 0 && seconds <= ZUMVideoConfigurationImpl::kMaxTimeInterval);
}

void check(const ZUMVideoConfigurationImpl& c) {
  for (double t : {c.videoAssetLoaderMaxDownloadWaitTimeInterval(), c.assetLoadingPlayerItemRefreshInterval(),
                   c.precacheUpdateCheckIntervals(), c.minBufferTimeInterval(), c.maxBufferTimeInterval(),
                   c.bufferForPlaybackTimeInterval(), c.bufferForPlaybackAfterRebufferTimeInterval()}) {
    checkTime(t);
  }
  for (std::int64_t limit : {c.precacheMaxBufferBytes(), c.videoAssetLoaderMaxContentSizeInBytes(),
                             c.assetLoadingPlayerItemNoBufferUpdateMaxContentSize(),
                             c.assetLoadingPlayerItemMaxContentLoadingFailedAttempts(),
                             c.assetLoadingPlayerItemMaxDataLoadingFailedAttempts()}) {
    fuzzenv::check(limit >= -1);
  }
  const auto chunk = c.videoAssetMaxLoadableChunkSizeInBytes();
  fuzzenv::check(chunk == -1 || chunk >= 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("video-configuration-fuzzer");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t split = text.find("\n---\n");
  const std::string_view stored = text.substr(0, split);
  const std::string_view page = split == std::string_view::npos ? std::string_view() : text.substr(split + 5);
  static_cast<void>(
      platform::UserDefaults::standard().setObject(json(std::string(stored)), "/vantor/ads/zums:video_configuration"));
  const json dictionary = pageDictionary(page);
  auto configuration = ZUMVideoConfigurationImpl::create(dictionary);
  check(*configuration);
  const auto staticBefore = std::make_tuple(
      configuration->enableAVPlayerPlaybackBuffering(), configuration->videoBufferShouldIgnoreCanPlayThrough(),
      configuration->enableAdvanceBufferingControl(), configuration->precacheMaxBufferBytes(),
      configuration->videoAssetMaxLoadableChunkSizeInBytes());
  configuration->updateDynamicConfigurationWithDictionary(dictionary);
  fuzzenv::drainMainLoop();
  check(*configuration);
  fuzzenv::check(staticBefore == std::make_tuple(configuration->enableAVPlayerPlaybackBuffering(),
                                                 configuration->videoBufferShouldIgnoreCanPlayThrough(),
                                                 configuration->enableAdvanceBufferingControl(),
                                                 configuration->precacheMaxBufferBytes(),
                                                 configuration->videoAssetMaxLoadableChunkSizeInBytes()));
  return 0;
}
