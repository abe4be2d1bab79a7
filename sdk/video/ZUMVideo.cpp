#include "sdk/video/ZUMVideo.h"

#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/video/ZUMAudioVideoManagerImpl.h"
#include "sdk/video/ZUMVideoConfigurationImpl.h"

std::shared_ptr<ZUMVideoConfiguration> ZUMVideo::makeVideoConfiguration(const nlohmann::ordered_json& dictionary) {
  return ZUMVideoConfigurationImpl::create(dictionary);
}

void ZUMRegisterVideo() {
  ZUMAdViewVideo::setShared(std::make_shared<ZUMVideo>());
  ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
    hooks.makeAudioVideoManager = [] { return std::shared_ptr<ZUMAudioVideoManager>(ZUMAudioVideoManagerImpl::create()); };
  });
}
