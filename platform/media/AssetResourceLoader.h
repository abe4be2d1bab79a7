// How an asset whose URL has a scheme the platform does not load itself gets its bytes:
// the asset's resource loader hands loading requests to a delegate on the delegate's
// queue. A request may ask for content information (type, length, whether byte ranges
// may be asked for) and for a range of bytes; the delegate answers with data (any number
// of times), then finishes it or fails it, from any thread. The first request of an asset
// asks for the content information and the first two bytes; later ones for the bytes
// from an offset to the end of the resource. A request the platform no longer needs is
// cancelled and the delegate told so.
//
// Every member may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Error.h"
#include "platform/net/URLRequest.h"

namespace platform {

class AssetResourceLoader;
class DispatchQueue;
class LoaderByteSource;

class AssetResourceLoadingContentInformationRequest {
 public:
  // A uniform type identifier ("public.mpeg-4"), see UniformTypeIdentifiers.h.
  std::optional<std::string> contentType() const;
  void setContentType(std::optional<std::string> type);
  std::int64_t contentLength() const;  // 0 until set
  void setContentLength(std::int64_t length);
  bool isByteRangeAccessSupported() const;
  void setByteRangeAccessSupported(bool supported);

 private:
  mutable std::mutex mutex_;
  std::optional<std::string> type_;
  std::int64_t length_ = 0;
  bool ranges_ = false;
};

class AssetResourceLoadingDataRequest {
 public:
  AssetResourceLoadingDataRequest(std::int64_t offset, std::int64_t length, bool toEnd)
      : requestedOffset_(offset), requestedLength_(length), toEnd_(toEnd), currentOffset_(offset) {}

  std::int64_t requestedOffset() const { return requestedOffset_; }
  std::int64_t requestedLength() const { return requestedLength_; }
  bool requestsAllDataToEndOfResource() const { return toEnd_; }
  // Where the next respondWithData() bytes go.
  std::int64_t currentOffset() const;

 private:
  friend class AssetResourceLoadingRequest;
  const std::int64_t requestedOffset_;
  const std::int64_t requestedLength_;
  const bool toEnd_;
  mutable std::mutex mutex_;
  std::int64_t currentOffset_;
};

class AssetResourceLoadingRequest {
 public:
  const URLRequest& request() const { return request_; }
  // nullptr when the request does not ask for it.
  AssetResourceLoadingContentInformationRequest* contentInformationRequest() const { return info_.get(); }
  AssetResourceLoadingDataRequest* dataRequest() const { return data_.get(); }

  // Bytes at the data request's current offset. Ignored once finished or cancelled.
  void respondWithData(std::string_view data);
  void finishLoading();
  void finishLoadingWithError(ErrorPtr error);
  bool isFinished() const;
  bool isCancelled() const;
  // What finishLoadingWithError() gave; nullptr otherwise.
  ErrorPtr error() const;

  struct DataRange {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    bool toEnd = false;
  };
  AssetResourceLoadingRequest(URLRequest request, std::weak_ptr<LoaderByteSource> source, bool info,
                              std::optional<DataRange> data);

 private:
  friend class LoaderByteSource;
  void cancel();

  const URLRequest request_;
  const std::weak_ptr<LoaderByteSource> source_;
  std::unique_ptr<AssetResourceLoadingContentInformationRequest> info_;
  std::unique_ptr<AssetResourceLoadingDataRequest> data_;
  mutable std::mutex mutex_;
  bool finished_ = false;
  bool cancelled_ = false;
  ErrorPtr error_;
};

class AssetResourceLoaderDelegate {
 public:
  virtual ~AssetResourceLoaderDelegate() = default;
  // Whether the delegate will answer `request` (now or later). Declining fails the asset.
  virtual bool resourceLoaderShouldWaitForLoadingOfRequestedResource(
      AssetResourceLoader& loader, const std::shared_ptr<AssetResourceLoadingRequest>& request) = 0;
  virtual void resourceLoaderDidCancelLoadingRequest(AssetResourceLoader& /*loader*/,
                                                     const std::shared_ptr<AssetResourceLoadingRequest>& /*request*/) {}
};

class AssetResourceLoader : public std::enable_shared_from_this<AssetResourceLoader> {
 public:
  static std::shared_ptr<AssetResourceLoader> create() {
    return std::shared_ptr<AssetResourceLoader>(new AssetResourceLoader());
  }
  // The delegate (held weakly) and the queue its calls run on; nullptr queue: the main queue.
  void setDelegate(std::weak_ptr<AssetResourceLoaderDelegate> delegate, std::shared_ptr<DispatchQueue> queue);
  std::shared_ptr<AssetResourceLoaderDelegate> delegate() const;
  // For callers off the delegate's queue: a strong reference taken there could be the
  // last one and end the delegate on the wrong thread.
  std::weak_ptr<AssetResourceLoaderDelegate> weakDelegate() const;
  std::shared_ptr<DispatchQueue> delegateQueue() const;

 private:
  AssetResourceLoader() = default;
  mutable std::mutex mutex_;
  std::weak_ptr<AssetResourceLoaderDelegate> delegate_;
  std::shared_ptr<DispatchQueue> queue_;
};

}  // namespace platform
