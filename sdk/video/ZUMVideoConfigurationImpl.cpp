#include "sdk/video/ZUMVideoConfigurationImpl.h"

#include <algorithm>

#include "platform/base/DispatchQueue.h"
#include "platform/base/JSONObjectIndex.h"
#include "sdk/foundation/ZUMDevice.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"

namespace {

using Json = nlohmann::ordered_json;
constexpr auto kText = ZUMJSONStrings::Read;

// A "...Ms" key in seconds, within [0, kMaxTimeInterval]; std::nullopt when absent.
std::optional<double> secondsForKey(const Json& dictionary, std::string_view key) {
  const auto milliseconds = ZUMJSONDoubleForKey(dictionary, key, kText);
  if (!milliseconds) return std::nullopt;
  return std::clamp(*milliseconds / 1000.0, 0.0, ZUMVideoConfigurationImpl::kMaxTimeInterval);
}

// An integer limit; anything below -1 means none (-1).
std::int64_t limitForKey(const Json& dictionary, std::string_view key, std::int64_t fallback) {
  return std::max<std::int64_t>(-1, ZUMJSONIntegerForKey(dictionary, key, fallback, kText));
}

bool has(const Json& dictionary, std::string_view key) {
  return ZUMJSONDoubleForKey(dictionary, key, kText).has_value();
}

}  // namespace

ZUMVideoConfigurationImpl::ZUMVideoConfigurationImpl()
    : lockQueue_(ZUMDispatchQueueCreate("com.vantor.morvane.video-configuration", ZUMDispatchQueueSerial,
                                        ZUMQualityOfServiceClassBackground)) {}

std::shared_ptr<ZUMVideoConfigurationImpl> ZUMVideoConfigurationImpl::create(const Json& dictionary) {
  std::shared_ptr<ZUMVideoConfigurationImpl> configuration(new ZUMVideoConfigurationImpl());
  const Json all = merged(dictionary);
  configuration->loadStatic(all);
  configuration->dynamic_ = readDynamic(all);  // not shared yet
  return configuration;
}

std::shared_ptr<ZUMVideoConfigurationImpl> ZUMVideoConfigurationImpl::from(
    const std::shared_ptr<ZUMVideoConfiguration>& configuration) {
  if (auto own = std::dynamic_pointer_cast<ZUMVideoConfigurationImpl>(configuration)) return own;
  return create();
}

Json ZUMVideoConfigurationImpl::merged(const Json& dictionary) {
  Json all = ZUMUserDefaults::dictionaryForKey(ZUMUserDefaults::keyForName(kUserDefaultName)).value_or(Json::object());
  if (!all.is_object()) all = Json::object();
  if (dictionary.is_object()) platform::assignMembers(all, dictionary);
  return all;
}

void ZUMVideoConfigurationImpl::loadStatic(const Json& all) {
  const bool osBefore10 = !ZUMDevice::sharedInstance()->isOSAtLeastMajor(10, 0, 0);
  enableAVPlayerPlaybackBuffering_ =
      osBefore10 || ZUMJSONBoolForKey(all, "enableAVPlayerPlaybackBuffering", !has(all, "bufferForPlaybackMs"), kText);
  videoBufferShouldIgnoreCanPlayThrough_ = ZUMJSONBoolForKey(
      all, "videoBufferShouldIgnoreCanPlayThrough", enableAVPlayerPlaybackBuffering_ || has(all, "maxBufferMs"), kText);
  enableAdvanceBufferingControl_ = ZUMJSONBoolForKey(all, "enableAdvanceBufferingControl",
                                                     has(all, "minBufferMs") || has(all, "maxBufferMs"), kText);
  enableInMemoryVideoBuffer_ = ZUMJSONBoolForKey(all, "enableInMemoryVideoBuffer", false, kText);
  precacheMaxBufferBytes_ = limitForKey(all, "maxBufferBytes", -1);
  downloadWait_ = secondsForKey(all, "videoAssetLoaderMaxDownloadWaitTimeMs").value_or(0);
  maxContentSize_ = limitForKey(all, "videoAssetLoaderMaxContentSizeInBytes", -1);
  // A chunk of no bytes would never serve anything.
  maxChunkSize_ = limitForKey(all, "videoAssetMaxLoadableChunkSizeInBytes", -1);
  if (maxChunkSize_ < 1) maxChunkSize_ = -1;
  refreshInterval_ = secondsForKey(all, "assetLoadingPlayerItemRefreshTimeMs").value_or(0);
  precacheCheckInterval_ = secondsForKey(all, "precacheUpdateCheckMs").value_or(0);
  noUpdateMaxContentSize_ = limitForKey(all, "assetLoadingPlayerItemNoBufferUpdateMaxContentSize", -1);
  maxContentFailedAttempts_ = limitForKey(all, "assetLoadingPlayerItemMaxContentLoadingFailedAttempts", 1);
  maxDataFailedAttempts_ = limitForKey(all, "assetLoadingPlayerItemMaxDataLoadingFailedAttempts", -1);
}

ZUMVideoConfigurationImpl::Dynamic ZUMVideoConfigurationImpl::readDynamic(const Json& all) {
  return {secondsForKey(all, "minBufferMs").value_or(0), secondsForKey(all, "maxBufferMs").value_or(0),
          secondsForKey(all, "bufferForPlaybackMs").value_or(0),
          secondsForKey(all, "bufferForPlaybackAfterRebufferMs").value_or(0)};
}

void ZUMVideoConfigurationImpl::updateDynamicConfigurationWithDictionary(const Json& dictionary) {
  std::weak_ptr<ZUMVideoConfigurationImpl> weak = weak_from_this();
  lockQueue_->async([weak, dictionary] {
    if (auto self = weak.lock()) self->dynamic_ = readDynamic(merged(dictionary));
  });
}

ZUMVideoConfigurationImpl::Dynamic ZUMVideoConfigurationImpl::dynamic() const {
  return lockQueue_->syncResult([this] { return dynamic_; });
}

double ZUMVideoConfigurationImpl::minBufferTimeInterval() const { return dynamic().minBuffer; }
double ZUMVideoConfigurationImpl::maxBufferTimeInterval() const { return dynamic().maxBuffer; }
double ZUMVideoConfigurationImpl::bufferForPlaybackTimeInterval() const { return dynamic().bufferForPlayback; }
double ZUMVideoConfigurationImpl::bufferForPlaybackAfterRebufferTimeInterval() const {
  return dynamic().bufferForPlaybackAfterRebuffer;
}
