#include "testing/MemoryLoaderDelegate.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "platform/media/UniformTypeIdentifiers.h"

namespace testenv {

bool MemoryLoaderDelegate::resourceLoaderShouldWaitForLoadingOfRequestedResource(
    platform::AssetResourceLoader&, const std::shared_ptr<platform::AssetResourceLoadingRequest>& request) {
  requests.push_back(request);
  if (!answer_) return false;
  if (auto* info = request->contentInformationRequest()) {
    info->setContentType(platform::preferredTypeIdentifierForMIMEType("video/mp4"));
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

}  // namespace testenv
