#include "sdk/rendering/ZUMVideoMetadataTOLMHandler.h"

#include <nlohmann/json.hpp>

#include "platform/base/MainThreadChecker.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"

namespace {

// The number of `key` when present: false when it is there but not finite.
template <class Number, class Set>
void applyNumber(const std::optional<Number>& value, bool present, const char* key, Set set) {
  if (!present) return;
  if (!value) {
    ZUMLog(kZUMLogLevelDefault, std::string("Video metadata \"") + key + "\" refused: not a finite number.");
    return;
  }
  set(*value);
}

}  // namespace

std::shared_ptr<ZUMVideoMetadataTOLMHandler> ZUMVideoMetadataTOLMHandler::create() {
  return std::shared_ptr<ZUMVideoMetadataTOLMHandler>(new ZUMVideoMetadataTOLMHandler());
}

const ZUMTOLMHandler::ActionTable* ZUMVideoMetadataTOLMHandler::actionBlockDictionary() const {
  static const auto* table =
      new ActionTable{{"videoMeta", action(&ZUMVideoMetadataTOLMHandler::adViewDidReceiveVideoMetadataAction)}};
  return table;
}

void ZUMVideoMetadataTOLMHandler::adViewDidReceiveVideoMetadataAction(ZUMAdView& adView,
                                                                      const nlohmann::ordered_json& parameters) {
  platform::assertMainThread();
  const auto& controller = adView.videoController();
  if (!controller) return;
  controller->setHasVideoContent(true);
  const auto has = [&](const char* key) { return hasParameter(parameters, key); };
  applyNumber(finiteFloatParameter(parameters, "duration"), has("duration"), "duration",
              [&](float v) { controller->setVideoDuration(v); });
  applyNumber(finiteFloatParameter(parameters, "currentTime"), has("currentTime"), "currentTime",
              [&](float v) { controller->setCurrentPlaybackTime(v); });
  if (has("playbackState")) controller->setVideoPlaybackState(integerParameter(parameters, "playbackState"));
  if (has("muted")) controller->setVideoMuted(boolParameter(parameters, "muted"));
  applyNumber(finiteDoubleParameter(parameters, "aspectRatio"), has("aspectRatio"), "aspectRatio",
              [&](double v) { controller->setAspectRatio(v); });
  if (has("customControlsAllowed"))
    controller->setCustomControlsEnabled(boolParameter(parameters, "customControlsAllowed"));
}
