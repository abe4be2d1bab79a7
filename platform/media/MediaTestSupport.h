// Helpers of the media tests: clips as files, a resource-loader delegate that serves
// bytes from memory, and waiting for an asset or item to settle.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/base/URL.h"
#include "platform/media/AssetResourceLoader.h"
#include "testing/TestEnvironment.h"

namespace platform::mediatest {

// Writes `bytes` to a file in the test's temporary folder and returns its URL.
URL writeClip(testenv::TestEnvironment& env, const std::string& bytes, const std::string& name = "clip.mp4");

// Answers every request at once from `bytes`: content information (an MPEG-4 type, the
// length, ranges supported) and the bytes asked for, then finishes it. With `answer`
// false it declines. Records every request.
class MemoryLoaderDelegate final : public AssetResourceLoaderDelegate {
 public:
  explicit MemoryLoaderDelegate(std::string bytes, bool answer = true) : bytes_(std::move(bytes)), answer_(answer) {}
  bool resourceLoaderShouldWaitForLoadingOfRequestedResource(
      AssetResourceLoader& loader, const std::shared_ptr<AssetResourceLoadingRequest>& request) override;
  std::vector<std::shared_ptr<AssetResourceLoadingRequest>> requests;

 private:
  std::string bytes_;
  bool answer_;
};

}  // namespace platform::mediatest
