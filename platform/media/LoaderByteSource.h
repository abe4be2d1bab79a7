// The bytes of an asset whose scheme is served by its resource loader's delegate (see
// AssetResourceLoader.h): each fetch becomes a loading request on the delegate's queue.
// Any thread.
#pragma once

#include <atomic>
#include <memory>

#include "platform/base/URL.h"
#include "platform/media/AssetResourceLoader.h"
#include "platform/media/ByteSource.h"

namespace platform {

class LoaderByteSource final : public ByteSource, public std::enable_shared_from_this<LoaderByteSource> {
 public:
  static std::shared_ptr<LoaderByteSource> create(URL url, std::shared_ptr<AssetResourceLoader> loader);
  ~LoaderByteSource() override;

  // The content type the delegate gave, once it did.
  std::optional<std::string> contentType() const;

 private:
  friend class AssetResourceLoadingRequest;
  LoaderByteSource(URL url, std::shared_ptr<AssetResourceLoader> loader)
      : url_(std::move(url)), loader_(std::move(loader)) {}
  void fetch(std::int64_t offset) override;
  bool fetchWillReach(std::int64_t offset) const override;
  void sendToDelegate(std::shared_ptr<AssetResourceLoadingRequest> request);
  void failWithoutDelegate();
  void cancelRequest(const std::shared_ptr<AssetResourceLoadingRequest>& request);

  // From the requests.
  void requestDelivered(AssetResourceLoadingRequest& request, std::int64_t offset, std::string_view data);
  void requestFinished(AssetResourceLoadingRequest& request, ErrorPtr error);

  const URL url_;
  const std::shared_ptr<AssetResourceLoader> loader_;
  mutable std::mutex stateMutex_;
  std::shared_ptr<AssetResourceLoadingRequest> pending_;
  std::optional<std::string> contentType_;
  static constexpr int kMaxEmptyAnswers = 3;
  std::atomic<int> emptyAnswers_{0};
};

}  // namespace platform
