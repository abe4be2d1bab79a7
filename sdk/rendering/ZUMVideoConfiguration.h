// The buffering and asset-loading settings of one video source, as the in-page video
// messages use them: made from a message's whole parameter dictionary (static and dynamic
// settings from the stored server defaults overlaid by the keys it knows), later given
// new dynamic buffer times ("minBufferMs", "maxBufferMs", "bufferForPlaybackMs",
// "bufferForPlaybackAfterRebufferMs"), and read for the precache byte limit.
//
// Video playback implements it and makes it (ZUMAdViewVideo::makeVideoConfiguration);
// create() returns nullptr while no video playback is registered.
//
// Any thread.
#pragma once

#include <cstdint>
#include <memory>

#include <nlohmann/json_fwd.hpp>

class ZUMVideoConfiguration {
 public:
  virtual ~ZUMVideoConfiguration() = default;

  // A configuration from `dictionary` (the settings it knows are read, others ignored);
  // nullptr without registered video playback.
  static std::shared_ptr<ZUMVideoConfiguration> create(const nlohmann::ordered_json& dictionary);

  // Reloads only the four dynamic buffer times from the stored defaults overlaid by
  // `dictionary`.
  virtual void updateDynamicConfigurationWithDictionary(const nlohmann::ordered_json& dictionary) = 0;
  // The byte limit of a precache download ("maxBufferBytes"), -1 for none.
  virtual std::int64_t precacheMaxBufferBytes() const = 0;
};
