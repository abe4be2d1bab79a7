#include "sdk/network/ZUMResourceCache.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/base/Clock.h"
#include "platform/base/Digest.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/RunLoop.h"
#include "platform/net/ContentRange.h"
#include "platform/net/URLConnection.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMFiles.h"
#include "sdk/foundation/ZUMThreading.h"

namespace {

platform::ErrorPtr posixError(const std::string& description) {
  const int code = errno;
  return ZUMMakeError(kZUMErrorInternalError, -1, description, platform::makePOSIXError(code, description));
}

// Reads a non-negative decimal number at the front of `text`; std::nullopt on overflow
// or when there is no digit.
std::optional<std::int64_t> readNumber(std::string_view& text) {
  std::int64_t value = 0;
  std::size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value > (INT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (i == 0) return std::nullopt;
  text.remove_prefix(i);
  return value;
}

struct ByteRange {
  std::int64_t first;
  std::optional<std::int64_t> last;
};

// "bytes=first-" or "bytes=first-last", with optional white space around the value.
std::optional<ByteRange> parseRangeRequest(std::string_view text) {
  auto trim = [](std::string_view& s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  };
  trim(text);
  constexpr std::string_view kUnit = "bytes=";
  if (text.size() < kUnit.size()) return std::nullopt;
  for (std::size_t i = 0; i < kUnit.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kUnit[i]) return std::nullopt;
  }
  text.remove_prefix(kUnit.size());
  ByteRange range{};
  auto first = readNumber(text);
  if (!first || text.empty() || text.front() != '-') return std::nullopt;
  text.remove_prefix(1);
  range.first = *first;
  if (!text.empty()) {
    auto last = readNumber(text);
    if (!last || !text.empty() || *last < range.first) return std::nullopt;
    range.last = *last;
  }
  return range;
}

}  // namespace

// Hands the platform connection's news to the cache while it lives.
class ZUMResourceCache::Loader final : public platform::URLConnectionDelegate {
 public:
  explicit Loader(std::weak_ptr<ZUMResourceCache> owner) : owner_(std::move(owner)) {}

  void connectionDidReceiveResponse(platform::URLConnection&, const platform::HTTPURLResponse& response) override {
    if (auto owner = owner_.lock()) owner->didReceiveResponse(response);
  }
  void connectionDidReceiveData(platform::URLConnection&, std::string_view data) override {
    if (auto owner = owner_.lock()) owner->didReceiveData(data);
  }
  void connectionDidFinishLoading(platform::URLConnection&) override {
    if (auto owner = owner_.lock()) owner->didFinish();
  }
  void connectionDidFailWithError(platform::URLConnection&, const platform::ErrorPtr& error) override {
    if (auto owner = owner_.lock()) owner->end(Outcome::Failed, error);
  }

 private:
  std::weak_ptr<ZUMResourceCache> owner_;
};

std::optional<platform::URL> ZUMResourceCache::fileURLForCacheID(std::string_view cacheID, platform::ErrorPtr* error) {
  auto folder = ZUMCacheDirectoryURL(std::nullopt, error);
  if (!folder) return std::nullopt;
  auto folderPath = folder->path();
  const std::string hash = platform::md5Hex(cacheID);
  if (!folderPath || hash.empty()) {
    if (error) *error = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Failed to get cache directory path.");
    return std::nullopt;
  }
  return platform::URL::fileURL(*folderPath + "/" + hash + ".tcache");
}

std::shared_ptr<ZUMResourceCache> ZUMResourceCache::create(platform::URLRequest request, std::string cacheID,
                                                           platform::ErrorPtr* error) {
  auto fileURL = fileURLForCacheID(cacheID, error);
  auto path = fileURL ? fileURL->path() : std::nullopt;
  if (!path) return nullptr;
  return std::shared_ptr<ZUMResourceCache>(
      new ZUMResourceCache(std::move(request), *fileURL, *path, false, std::move(cacheID)));
}

std::shared_ptr<ZUMResourceCache> ZUMResourceCache::create(platform::URLRequest request, const platform::URL& fileURL,
                                                           bool removeFileOnDealloc) {
  auto path = fileURL.isFileURL() ? fileURL.path() : std::nullopt;
  if (!path || path->empty()) return nullptr;
  return std::shared_ptr<ZUMResourceCache>(
      new ZUMResourceCache(std::move(request), fileURL, *path, removeFileOnDealloc, std::nullopt));
}

ZUMResourceCache::ZUMResourceCache(platform::URLRequest request, platform::URL fileURL, std::string filePath,
                                   bool removeFileOnDealloc, std::optional<std::string> cacheID)
    : request_(std::move(request)),
      fileURL_(std::move(fileURL)),
      filePath_(std::move(filePath)),
      removeFileOnDealloc_(removeFileOnDealloc),
      cacheID_(std::move(cacheID)) {}

ZUMResourceCache::~ZUMResourceCache() {
  if (connection_) connection_->cancel();
  if (fd_ >= 0) ::close(fd_);
  if (removeFileOnDealloc_) ::unlink(filePath_.c_str());
}

std::shared_ptr<ZUMResourceCacheDelegate> ZUMResourceCache::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void ZUMResourceCache::setDelegate(std::weak_ptr<ZUMResourceCacheDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

std::int64_t ZUMResourceCache::maxBytes() const {
  std::lock_guard lock(mutex_);
  return maxBytes_;
}

void ZUMResourceCache::setMaxBytes(std::int64_t maxBytes) {
  bool reached;
  {
    std::lock_guard lock(mutex_);
    maxBytes_ = maxBytes < 0 ? -1 : maxBytes;
    reached = started_ && !completed_ && response_ && capReachedLocked();
  }
  if (reached) end(Outcome::Succeeded, nullptr);
}

void ZUMResourceCache::start() {
  platform::ErrorPtr error;
  {
    std::lock_guard lock(mutex_);
    if (started_ || completed_) return;
    started_ = true;
    startTime_ = platform::clock().monotonicNow();
    fd_ = ::open(filePath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) error = posixError("Failed to create file " + fileURL_.absoluteString());
  }
  if (error) {
    end(Outcome::Failed, error);
    return;
  }
  platform::DispatchQueue::main()->async(ZUMBindWeak(weak_from_this(), &ZUMResourceCache::beginLoad));
}

void ZUMResourceCache::beginLoad() {
  auto self = shared_from_this();
  if (isCompleted()) return;
  if (auto delegate = this->delegate()) delegate->resourceCacheDidStartCaching(self);
  auto connection = platform::URLConnection::create(request_, std::make_shared<Loader>(weak_from_this()));
  connection->scheduleInRunLoop(platform::RunLoop::main(), platform::kCommonRunLoopModes);
  {
    std::lock_guard lock(mutex_);
    if (completed_) return;
    connection_ = connection;
  }
  connection->start();
}

void ZUMResourceCache::cancelWithError(platform::ErrorPtr error) { end(Outcome::Cancelled, std::move(error)); }

bool ZUMResourceCache::isStarted() const {
  std::lock_guard lock(mutex_);
  return started_;
}

bool ZUMResourceCache::isCompleted() const {
  std::lock_guard lock(mutex_);
  return completed_;
}

bool ZUMResourceCache::isValid() const {
  std::lock_guard lock(mutex_);
  return valid_;
}

bool ZUMResourceCache::responseHeadersReceived() const {
  std::lock_guard lock(mutex_);
  return response_.has_value();
}

bool ZUMResourceCache::serverIgnoredRange() const {
  std::lock_guard lock(mutex_);
  return serverIgnoredRange_;
}

platform::HTTPHeaderFields ZUMResourceCache::responseHeaders() const {
  std::lock_guard lock(mutex_);
  return response_ ? response_->allHeaderFields() : platform::HTTPHeaderFields();
}

std::optional<std::string> ZUMResourceCache::contentType() const {
  std::lock_guard lock(mutex_);
  return response_ ? response_->MIMEType() : std::nullopt;
}

std::int64_t ZUMResourceCache::contentLength() const {
  std::lock_guard lock(mutex_);
  return expectedLength_;
}

std::int64_t ZUMResourceCache::cachedContentSize() const {
  std::lock_guard lock(mutex_);
  return cached_;
}

double ZUMResourceCache::networkSpeedInBytesPerSecond() const {
  std::lock_guard lock(mutex_);
  if (!started_) return 0;
  const double elapsed = platform::clock().monotonicNow() - startTime_;
  if (!(elapsed > 0)) return 0;
  return static_cast<double>(cached_) / elapsed;
}

std::optional<std::string> ZUMResourceCache::dataWithRange(std::int64_t offset, std::int64_t length,
                                                           platform::ErrorPtr* error) const {
  auto fail = [&]() -> std::optional<std::string> {
    if (error) {
      *error = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Failed to read file " + fileURL_.absoluteString());
    }
    return std::nullopt;
  };
  if (offset < 0 || length < 0) return fail();
  const int fd = ::open(filePath_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail();
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || offset > status.st_size ||
      length > status.st_size - offset) {
    ::close(fd);
    return fail();
  }
  std::string data(static_cast<std::size_t>(length), '\0');
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n =
        ::pread(fd, data.data() + done, data.size() - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (done != data.size()) return fail();
  return data;
}

platform::ErrorPtr ZUMResourceCache::checkResponse(const platform::URLRequest& request,
                                                   const platform::HTTPURLResponse& response,
                                                   std::int64_t* expectedLength) {
  const int status = response.statusCode();
  const std::string url = response.url().absoluteString();
  auto fail = [&](const std::string& text) { return ZUMMakeErrorWithHTTPStatus(kZUMErrorInternalError, status, text); };
  if (expectedLength) *expectedLength = -1;

  auto rangeHeader = request.valueForHTTPHeaderField("Range");
  if (!rangeHeader) {
    if (status < 200 || status > 299 || status == 206) {
      return fail("Unexpected HTTP status " + std::to_string(status) + " for " + url);
    }
    if (expectedLength) *expectedLength = response.expectedContentLength();
    return nullptr;
  }

  auto range = parseRangeRequest(*rangeHeader);
  if (!range) return fail("Unsupported range request for " + url);
  if (status != 206) {
    return fail("Range request for " + url + " answered with HTTP status " + std::to_string(status));
  }
  auto contentRange = response.valueForHTTPHeaderField("Content-Range");
  auto held = contentRange ? platform::ContentRange::parse(*contentRange) : std::nullopt;
  if (!held || !held->firstByte || !held->lastByte || *held->firstByte != range->first ||
      (range->last && *held->lastByte > *range->last)) {
    return fail("Content-Range does not match the range requested for " + url);
  }
  const std::int64_t length = *held->lastByte - *held->firstByte + 1;
  const std::int64_t announced = response.expectedContentLength();
  if (announced >= 0 && announced != length) {
    return fail("Content-Length does not match the Content-Range of " + url);
  }
  if (expectedLength) *expectedLength = length;
  return nullptr;
}

void ZUMResourceCache::didReceiveResponse(const platform::HTTPURLResponse& response) {
  auto self = shared_from_this();
  std::int64_t expected = -1;
  if (auto error = checkResponse(request_, response, &expected)) {
    const int status = response.statusCode();
    if (request_.valueForHTTPHeaderField("Range") && status >= 200 && status <= 299 && status != 206) {
      std::lock_guard lock(mutex_);
      serverIgnoredRange_ = true;
    }
    end(Outcome::Failed, error);
    return;
  }
  bool reached;
  {
    std::lock_guard lock(mutex_);
    if (completed_) return;
    response_.emplace(response);
    expectedLength_ = expected;
    reached = capReachedLocked();
  }
  if (auto delegate = this->delegate()) delegate->resourceCacheDidReceiveResponse(self);
  if (reached) end(Outcome::Succeeded, nullptr);
}

void ZUMResourceCache::didReceiveData(std::string_view data) {
  auto self = shared_from_this();
  platform::ErrorPtr error;
  bool reached;
  std::size_t written = 0;
  {
    std::lock_guard lock(mutex_);
    if (completed_ || fd_ < 0 || !response_) return;
    // Never more than the answer announced, nor past the cap (which another thread may
    // have lowered below what is cached).
    auto room = [&](std::int64_t limit) {
      return static_cast<std::size_t>(std::max<std::int64_t>(0, limit - cached_));
    };
    std::size_t wanted = data.size();
    if (expectedLength_ >= 0) wanted = std::min(wanted, room(expectedLength_));
    if (maxBytes_ >= 0) wanted = std::min(wanted, room(maxBytes_));
    while (written < wanted) {
      const ssize_t n = ::write(fd_, data.data() + written, wanted - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = posixError("Failed to write file " + fileURL_.absoluteString());
        break;
      }
      written += static_cast<std::size_t>(n);
    }
    cached_ += static_cast<std::int64_t>(written);
    reached = capReachedLocked();
  }
  if (error) {
    end(Outcome::Failed, error);
    return;
  }
  if (written > 0) {
    if (auto delegate = this->delegate()) delegate->resourceCacheDidReceiveData(self);
    notifyUpdate();
  }
  if (reached) end(Outcome::Succeeded, nullptr);
}

void ZUMResourceCache::didFinish() {
  std::int64_t cached;
  std::int64_t expected;
  bool responded;
  {
    std::lock_guard lock(mutex_);
    cached = cached_;
    expected = expectedLength_;
    responded = response_.has_value();
  }
  if (!responded) {
    end(Outcome::Failed,
        ZUMMakeErrorWithDescription(kZUMErrorInternalError, "No response for " + fileURL_.absoluteString()));
  } else if (expected >= 0 && cached < expected) {
    end(Outcome::Failed,
        ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Download ended after " + std::to_string(cached) + " of " +
                                                                std::to_string(expected) + " bytes"));
  } else {
    end(Outcome::Succeeded, nullptr);
  }
}

void ZUMResourceCache::end(Outcome outcome, platform::ErrorPtr error) {
  std::shared_ptr<platform::URLConnection> connection;
  const bool reportFailure = outcome != Outcome::Succeeded;
  {
    std::lock_guard lock(mutex_);
    if (completed_) return;
    completed_ = true;
    if (outcome == Outcome::Failed || error) valid_ = false;
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
    connection = std::exchange(connection_, nullptr);
  }
  if (connection) connection->cancel();
  ZUMRunOnMainThread([self = shared_from_this(), reportFailure, error = std::move(error)] {
    if (auto delegate = self->delegate()) {
      if (reportFailure) {
        delegate->resourceCacheDidFailCachingWithError(self, error);
      } else {
        delegate->resourceCacheDidSucceedCaching(self);
      }
    }
    self->notifyUpdate();
  });
}

void ZUMResourceCache::notifyUpdate() {
  platform::NotificationCenter::defaultCenter().post(kZUMResourceCacheDidUpdateCacheNotification, shared_from_this());
}

bool ZUMResourceCacheWillHaveByteWithinTime(const std::shared_ptr<ZUMResourceCache>& cache, std::int64_t startOffset,
                                            std::int64_t wantedOffset, double seconds) {
  if (!cache || !cache->isValid() || wantedOffset < startOffset) return false;
  const std::int64_t cached = cache->cachedContentSize();
  // wantedOffset >= startOffset, so the difference fits once widened.
  const __int128 needed = static_cast<__int128>(wantedOffset) - startOffset;
  if (needed < cached) return true;
  if (cache->isCompleted() || !cache->isStarted()) return false;
  const double speed = cache->networkSpeedInBytesPerSecond();
  if (!(speed > 0)) return true;
  const double missing = static_cast<double>(needed + 1 - cached);
  return missing / speed <= seconds;
}
