#include "sdk/rendering/ZUMVideoConfiguration.h"

#include "sdk/rendering/ZUMAdViewVideo.h"

std::shared_ptr<ZUMVideoConfiguration> ZUMVideoConfiguration::create(const nlohmann::ordered_json& dictionary) {
  auto video = ZUMAdViewVideo::shared();
  return video ? video->makeVideoConfiguration(dictionary) : nullptr;
}
