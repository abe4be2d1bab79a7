#include "platform/media/MediaTestSupport.h"

#include <algorithm>
#include <fstream>

#include "platform/media/UniformTypeIdentifiers.h"

namespace platform::mediatest {

URL writeClip(testenv::TestEnvironment& env, const std::string& bytes, const std::string& name) {
  const auto path = env.temporaryDirectory() / name;
  std::ofstream(path, std::ios::binary) << bytes;
  return URL::fileURL(path);
}

bool MemoryLoaderDelegate::resourceLoaderShouldWaitForLoadingOfRequestedResource(
    AssetResourceLoader&, const std::shared_ptr<AssetResourceLoadingRequest>& request) {
  requests.push_back(request);
  if (!answer_) return false;
  if (auto* info = request->contentInformationRequest()) {
    info->setContentType(preferredTypeIdentifierForMIMEType("video/mp4"));
    info->setContentLength(static_cast<std::int64_t>(bytes_.size()));
    info->setByteRangeAccessSupported(true);
  }
  if (auto* data = request->dataRequest()) {
    const auto size = static_cast<std::int64_t>(bytes_.size());
    const std::int64_t start = std::min(data->requestedOffset(), size);
    const std::int64_t end = std::min(size, data->requestedOffset() + data->requestedLength());
    if (end > start) request->respondWithData(std::string_view(bytes_).substr(start, end - start));
  }
  request->finishLoading();
  return true;
}

}  // namespace platform::mediatest
