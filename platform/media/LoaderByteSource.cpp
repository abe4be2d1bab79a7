#include "platform/media/LoaderByteSource.h"

#include "platform/base/DispatchQueue.h"
#include "platform/media/MediaError.h"

namespace platform {
namespace {
// The first request asks for the content information and this many bytes, as a probe.
constexpr std::int64_t kProbeLength = 2;
}  // namespace

std::shared_ptr<LoaderByteSource> LoaderByteSource::create(URL url, std::shared_ptr<AssetResourceLoader> loader) {
  return std::shared_ptr<LoaderByteSource>(new LoaderByteSource(std::move(url), std::move(loader)));
}

LoaderByteSource::~LoaderByteSource() {
  std::shared_ptr<AssetResourceLoadingRequest> pending;
  {
    std::lock_guard lock(stateMutex_);
    pending = std::move(pending_);
  }
  if (pending) cancelRequest(pending);
}

std::optional<std::string> LoaderByteSource::contentType() const {
  std::lock_guard lock(stateMutex_);
  return contentType_;
}

bool LoaderByteSource::fetchWillReach(std::int64_t offset) const {
  std::lock_guard lock(stateMutex_);
  if (!pending_) return false;
  if (pending_->contentInformationRequest()) return true;  // the probe settles the length first
  const auto* data = pending_->dataRequest();
  return offset >= data->currentOffset() && offset < data->requestedOffset() + data->requestedLength();
}

void LoaderByteSource::fetch(std::int64_t offset) {
  const auto total = length();
  const bool info = !total;
  const auto data = info ? AssetResourceLoadingRequest::DataRange{0, kProbeLength, false}
                         : AssetResourceLoadingRequest::DataRange{offset, *total - offset, true};
  auto request = std::make_shared<AssetResourceLoadingRequest>(URLRequest(url_), weak_from_this(), info, data);
  std::shared_ptr<AssetResourceLoadingRequest> replaced;
  {
    std::lock_guard lock(stateMutex_);
    replaced = std::exchange(pending_, request);
  }
  if (replaced) cancelRequest(replaced);
  sendToDelegate(request);
}

void LoaderByteSource::sendToDelegate(std::shared_ptr<AssetResourceLoadingRequest> request) {
  // Called on the decoder's thread: the delegate is only locked on its own queue, where its
  // owner may drop it.
  auto delegate = loader_->weakDelegate();
  if (delegate.expired()) return failWithoutDelegate();
  std::weak_ptr<LoaderByteSource> weak = weak_from_this();
  auto loader = loader_;
  loader_->delegateQueue()->async([weak, loader, delegate, request] {
    if (request->isCancelled()) return;
    auto self = weak.lock();
    auto strong = delegate.lock();
    if (!strong) {
      if (self) self->failWithoutDelegate();
      return;
    }
    if (!strong->resourceLoaderShouldWaitForLoadingOfRequestedResource(*loader, request) && self) {
      self->fail(
          makeMediaError(kMediaErrorUnsupportedURL, "The resource loader declined " + self->url_.absoluteString()));
    }
  });
}

void LoaderByteSource::failWithoutDelegate() {
  fail(makeMediaError(kMediaErrorUnsupportedURL, "No resource loader delegate for " + url_.absoluteString()));
}

void LoaderByteSource::cancelRequest(const std::shared_ptr<AssetResourceLoadingRequest>& request) {
  if (request->isFinished()) return;
  request->cancel();
  auto delegate = loader_->weakDelegate();
  if (delegate.expired()) return;
  auto loader = loader_;
  loader_->delegateQueue()->async([loader, delegate, request] {
    if (auto strong = delegate.lock()) strong->resourceLoaderDidCancelLoadingRequest(*loader, request);
  });
}

void LoaderByteSource::requestDelivered(AssetResourceLoadingRequest&, std::int64_t offset, std::string_view data) {
  deliver(offset, data);
}

void LoaderByteSource::requestFinished(AssetResourceLoadingRequest& request, ErrorPtr error) {
  {
    std::lock_guard lock(stateMutex_);
    if (pending_.get() == &request) pending_.reset();
    if (auto* info = request.contentInformationRequest()) contentType_ = info->contentType();
  }
  if (error) return fail(makeMediaError(kMediaErrorResourceUnavailable, "The resource loader failed", error));
  if (auto* info = request.contentInformationRequest()) {
    if (info->contentLength() <= 0) {
      return fail(makeMediaError(kMediaErrorResourceUnavailable, "The resource loader gave no content length"));
    }
    setLength(info->contentLength());
  } else if (const auto* data = request.dataRequest(); data && data->currentOffset() == data->requestedOffset()) {
    // A delegate that finishes requests without data would be asked again for ever.
    if (++emptyAnswers_ >= kMaxEmptyAnswers) {
      return fail(makeMediaError(kMediaErrorResourceUnavailable, "The resource loader gave no data"));
    }
  } else {
    emptyAnswers_ = 0;
  }
  wakeReaders();
}

}  // namespace platform
