#include "platform/media/AssetResourceLoader.h"

#include "platform/base/DispatchQueue.h"
#include "platform/media/LoaderByteSource.h"

namespace platform {

std::optional<std::string> AssetResourceLoadingContentInformationRequest::contentType() const {
  std::lock_guard lock(mutex_);
  return type_;
}
void AssetResourceLoadingContentInformationRequest::setContentType(std::optional<std::string> type) {
  std::lock_guard lock(mutex_);
  type_ = std::move(type);
}
std::int64_t AssetResourceLoadingContentInformationRequest::contentLength() const {
  std::lock_guard lock(mutex_);
  return length_;
}
void AssetResourceLoadingContentInformationRequest::setContentLength(std::int64_t length) {
  std::lock_guard lock(mutex_);
  length_ = length;
}
bool AssetResourceLoadingContentInformationRequest::isByteRangeAccessSupported() const {
  std::lock_guard lock(mutex_);
  return ranges_;
}
void AssetResourceLoadingContentInformationRequest::setByteRangeAccessSupported(bool supported) {
  std::lock_guard lock(mutex_);
  ranges_ = supported;
}

std::int64_t AssetResourceLoadingDataRequest::currentOffset() const {
  std::lock_guard lock(mutex_);
  return currentOffset_;
}

AssetResourceLoadingRequest::AssetResourceLoadingRequest(URLRequest request, std::weak_ptr<LoaderByteSource> source,
                                                         bool info, std::optional<DataRange> data)
    : request_(std::move(request)), source_(std::move(source)) {
  if (info) info_ = std::make_unique<AssetResourceLoadingContentInformationRequest>();
  if (data) {
    data_ = std::make_unique<AssetResourceLoadingDataRequest>(data->offset, data->length, data->toEnd);
  }
}

void AssetResourceLoadingRequest::respondWithData(std::string_view data) {
  if (!data_ || data.empty()) return;
  std::int64_t offset = 0;
  {
    std::lock_guard lock(mutex_);
    if (finished_ || cancelled_) return;
    std::lock_guard dataLock(data_->mutex_);
    offset = data_->currentOffset_;
    data_->currentOffset_ += static_cast<std::int64_t>(data.size());
  }
  if (auto source = source_.lock()) source->requestDelivered(*this, offset, data);
}

void AssetResourceLoadingRequest::finishLoading() {
  {
    std::lock_guard lock(mutex_);
    if (finished_ || cancelled_) return;
    finished_ = true;
  }
  if (auto source = source_.lock()) source->requestFinished(*this, nullptr);
}

void AssetResourceLoadingRequest::finishLoadingWithError(ErrorPtr error) {
  if (!error) error = makeURLError(kURLErrorUnknown);
  {
    std::lock_guard lock(mutex_);
    if (finished_ || cancelled_) return;
    finished_ = true;
    error_ = error;
  }
  if (auto source = source_.lock()) source->requestFinished(*this, std::move(error));
}

bool AssetResourceLoadingRequest::isFinished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

ErrorPtr AssetResourceLoadingRequest::error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

bool AssetResourceLoadingRequest::isCancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

void AssetResourceLoadingRequest::cancel() {
  std::lock_guard lock(mutex_);
  if (!finished_) cancelled_ = true;
}

void AssetResourceLoader::setDelegate(std::weak_ptr<AssetResourceLoaderDelegate> delegate,
                                      std::shared_ptr<DispatchQueue> queue) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
  queue_ = std::move(queue);
}

std::shared_ptr<AssetResourceLoaderDelegate> AssetResourceLoader::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

std::weak_ptr<AssetResourceLoaderDelegate> AssetResourceLoader::weakDelegate() const {
  std::lock_guard lock(mutex_);
  return delegate_;
}

std::shared_ptr<DispatchQueue> AssetResourceLoader::delegateQueue() const {
  std::lock_guard lock(mutex_);
  return queue_ ? queue_ : DispatchQueue::main();
}

}  // namespace platform
