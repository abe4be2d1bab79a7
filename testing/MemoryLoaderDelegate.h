#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/media/AssetResourceLoader.h"

namespace testenv {

// Answers every request at once from `bytes`: content information (an MPEG-4 type, the
// length, ranges supported) and the bytes asked for, then finishes it. With `answer`
// false it declines. Records every request.
class MemoryLoaderDelegate final : public platform::AssetResourceLoaderDelegate {
 public:
  explicit MemoryLoaderDelegate(std::string bytes, bool answer = true) : bytes_(std::move(bytes)), answer_(answer) {}
  bool resourceLoaderShouldWaitForLoadingOfRequestedResource(
      platform::AssetResourceLoader& loader,
      const std::shared_ptr<platform::AssetResourceLoadingRequest>& request) override;
  std::vector<std::shared_ptr<platform::AssetResourceLoadingRequest>> requests;

 private:
  std::string bytes_;
  bool answer_;
};

}  // namespace testenv
