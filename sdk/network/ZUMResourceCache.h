// A download of one request into one file, readable by ranges while it runs. Caching
// starts with start(), which empties the file, and ends once: on success (the whole
// answer, or the byte cap, is written), on failure, or by cancelWithError(). An answer
// that does not hold the bytes asked for (an HTTP error; a 200 or a mismatching
// Content-Range for a "Range" request; a body shorter than announced) is a failure, so
// the file never holds wrong bytes.
//
// The network answers on the main run loop; the file is written there and the delegate
// (held weakly) and "ZUMResourceCacheDidUpdateCacheNotification" (object: the cache) are
// called there too, after each chunk and when caching ends. Every member may be called
// from any thread; dataWithRange() reads the file without blocking the download.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Error.h"
#include "platform/base/URL.h"
#include "platform/net/HTTPHeaderFields.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"
#include "sdk/network/ZUMResourceCacheDelegate.h"

namespace platform {
class URLConnection;
}

// Posted when more bytes are cached and when caching ends.
inline constexpr const char* kZUMResourceCacheDidUpdateCacheNotification = "ZUMResourceCacheDidUpdateCacheNotification";

class ZUMResourceCache : public std::enable_shared_from_this<ZUMResourceCache> {
 public:
  // A cache whose file is "<MD5 of cacheID, lower-case hex>.tcache" in the SDK's cache
  // folder; nullptr with the error when that folder is unavailable. The file stays.
  static std::shared_ptr<ZUMResourceCache> create(platform::URLRequest request, std::string cacheID,
                                                  platform::ErrorPtr* error);
  // The file of a cache made with `cacheID`; std::nullopt with the error when the SDK's
  // cache folder is unavailable.
  [[nodiscard]] static std::optional<platform::URL> fileURLForCacheID(std::string_view cacheID,
                                                                      platform::ErrorPtr* error);
  // A cache writing to `fileURL` (a file URL); with removeFileOnDealloc the file is
  // deleted when the cache goes. nullptr when `fileURL` is not a file URL.
  static std::shared_ptr<ZUMResourceCache> create(platform::URLRequest request, const platform::URL& fileURL,
                                                  bool removeFileOnDealloc);

  std::shared_ptr<ZUMResourceCacheDelegate> delegate() const;
  void setDelegate(std::weak_ptr<ZUMResourceCacheDelegate> delegate);

  // The byte cap, -1 (any negative value) for none. Caching succeeds once the cached
  // size reaches it; lowering it below what is cached ends a running download at once.
  std::int64_t maxBytes() const;
  void setMaxBytes(std::int64_t maxBytes);

  // Empties the file and begins the download on the main run loop. Only the first call
  // of an object that has not ended does anything.
  void start();
  // Stops the download and ends caching; the delegate hears the failure with `error`.
  // A cache ended with an error is no longer valid; without one it stays valid.
  void cancelWithError(platform::ErrorPtr error);

  bool isStarted() const;
  // Caching has ended, with or without error.
  bool isCompleted() const;
  // False once caching ended with an error.
  bool isValid() const;
  // The final response has arrived.
  bool responseHeadersReceived() const;
  // Caching failed because the server answered the "Range" request with the whole
  // resource (a 2xx other than 206): it ignores ranges, and only a download from byte 0
  // without one can get its bytes.
  bool serverIgnoredRange() const;
  // Its header fields (empty before).
  platform::HTTPHeaderFields responseHeaders() const;
  // Its MIME type.
  std::optional<std::string> contentType() const;
  // The bytes the answer carries: the length of a 206's Content-Range, else the
  // Content-Length; -1 when unknown.
  std::int64_t contentLength() const;
  // Bytes written so far.
  std::int64_t cachedContentSize() const;
  // Bytes cached per second since start(); 0 before any time has passed.
  double networkSpeedInBytesPerSecond() const;

  // `length` bytes at `offset` of the file; std::nullopt with (11, "Failed to read file
  // <file URL>") for a negative or out-of-range request, or a file that is missing or
  // shorter than the range.
  [[nodiscard]] std::optional<std::string> dataWithRange(std::int64_t offset, std::int64_t length,
                                                         platform::ErrorPtr* error) const;

  const platform::URL& fileURL() const { return fileURL_; }
  const platform::URLRequest& request() const { return request_; }
  const std::optional<std::string>& cacheID() const { return cacheID_; }

  // Why `response` cannot fill a cache of `request`, or nullptr; `expectedLength` gets
  // the bytes the answer should carry (-1 when unknown). A "Range" request must be a
  // single "bytes=first-" or "bytes=first-last" range, answered by 206 with a
  // Content-Range that starts at `first`, ends within `last` and agrees with any
  // Content-Length; any other request must be answered by a 2xx other than 206.
  static platform::ErrorPtr checkResponse(const platform::URLRequest& request,
                                          const platform::HTTPURLResponse& response, std::int64_t* expectedLength);

  ~ZUMResourceCache();
  ZUMResourceCache(const ZUMResourceCache&) = delete;
  ZUMResourceCache& operator=(const ZUMResourceCache&) = delete;

 private:
  class Loader;
  ZUMResourceCache(platform::URLRequest request, platform::URL fileURL, std::string filePath, bool removeFileOnDealloc,
                   std::optional<std::string> cacheID);

  void beginLoad();
  void didReceiveResponse(const platform::HTTPURLResponse& response);
  void didReceiveData(std::string_view data);
  void didFinish();
  // A failure, or a cancel with an error, leaves the cache invalid; both are reported
  // to the delegate as failures.
  enum class Outcome { Succeeded, Failed, Cancelled };
  // Ends caching once and tells the delegate and the observers on the main thread.
  void end(Outcome outcome, platform::ErrorPtr error);
  bool capReachedLocked() const { return maxBytes_ >= 0 && cached_ >= maxBytes_; }
  void notifyUpdate();

  const platform::URLRequest request_;
  const platform::URL fileURL_;
  const std::string filePath_;
  const bool removeFileOnDealloc_;
  const std::optional<std::string> cacheID_;

  mutable std::mutex mutex_;
  std::weak_ptr<ZUMResourceCacheDelegate> delegate_;
  std::int64_t maxBytes_ = -1;
  bool started_ = false;
  bool completed_ = false;
  bool valid_ = true;
  bool serverIgnoredRange_ = false;
  int fd_ = -1;
  std::shared_ptr<platform::URLConnection> connection_;
  std::optional<platform::HTTPURLResponse> response_;
  std::int64_t expectedLength_ = -1;
  std::int64_t cached_ = 0;
  double startTime_ = 0;
};

// Whether `cache`, whose first byte is byte `startOffset` of the resource, will hold byte
// `wantedOffset` within `seconds` at its measured speed: false without a valid cache or
// for an offset before its start; true when the byte is cached; false when caching
// ended short of it or has not started; true when no speed is measured yet; otherwise
// whether the missing bytes arrive within the time.
bool ZUMResourceCacheWillHaveByteWithinTime(const std::shared_ptr<ZUMResourceCache>& cache, std::int64_t startOffset,
                                            std::int64_t wantedOffset, double seconds);
