#include "sdk/video/ZUMVideo.h"

#include "sdk/video/ZUMVideoConfigurationImpl.h"

std::shared_ptr<ZUMVideoConfiguration> ZUMVideo::makeVideoConfiguration(const nlohmann::ordered_json& dictionary) {
  return ZUMVideoConfigurationImpl::create(dictionary);
}

void ZUMRegisterVideo() { ZUMAdViewVideo::setShared(std::make_shared<ZUMVideo>()); }
