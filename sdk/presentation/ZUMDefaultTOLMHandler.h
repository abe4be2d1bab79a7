// The page's plain messages: "httpTrack" pings "u" through the click trackers, "log"
// writes "string" to the SDK's log, "touch" reports a touch ("tx", "ty", "td") to the
// signal provider, "vibrate" plays the vibration, "canOpenURLs" answers the page with
// "openableURLs" (which of the comma-separated "urls" the device can open), and "close"
// makes a full-screen controller give up the screen. "touch" and "canOpenURLs" act on a
// later turn of the main queue; "canOpenURLs" is the one message answered.
//
// Touch values missing or not finite read as -1; the others are clamped to the range of
// a 32-bit integer, so a huge number never becomes an undefined conversion.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMDefaultTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMDefaultTOLMHandler> create();
  const ActionTable* actionBlockDictionary() const override;

  // The touch value of `key`: -1 when missing or not finite, else clamped to 32 bits.
  static std::int32_t touchValue(const nlohmann::ordered_json& parameters, std::string_view key);

 private:
  ZUMDefaultTOLMHandler() = default;
  void httpTrack(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void log(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void touch(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void vibrate(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void canOpenURLs(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void close(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
};
