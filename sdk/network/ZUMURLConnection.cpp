#include "sdk/network/ZUMURLConnection.h"

#include <list>
#include <mutex>
#include <utility>

#include "platform/base/PercentEncoding.h"
#include "platform/base/RunLoop.h"
#include "platform/base/TestingReset.h"
#include "platform/net/URLConnection.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"

namespace {

// The responses that delegates let in, newest last. Bounded, so a stream of distinct ad
// URLs cannot grow it without end.
class ResponseMemoryCache {
 public:
  struct Entry {
    std::string key;
    platform::HTTPURLResponse response;
    std::string body;
    platform::URL baseURL;
  };

  static ResponseMemoryCache& shared() {
    static ResponseMemoryCache* cache = [] {
      auto* made = new ResponseMemoryCache;
      platform::registerTestingReset(made, [made] {
        std::lock_guard lock(made->mutex_);
        made->entries_.clear();
      });
      return made;
    }();
    return *cache;
  }

  std::optional<Entry> find(const std::string& key) {
    std::lock_guard lock(mutex_);
    for (const auto& entry : entries_) {
      if (entry.key == key) return entry;
    }
    return std::nullopt;
  }

  void store(Entry entry) {
    if (entry.body.size() > kMaximumBytes / 4) return;
    std::lock_guard lock(mutex_);
    entries_.remove_if([&](const Entry& old) { return old.key == entry.key; });
    entries_.push_back(std::move(entry));
    std::size_t bytes = 0;
    for (const auto& e : entries_) bytes += e.body.size();
    while (entries_.size() > kMaximumEntries || bytes > kMaximumBytes) {
      bytes -= entries_.front().body.size();
      entries_.pop_front();
    }
  }

 private:
  static constexpr std::size_t kMaximumEntries = 32;
  static constexpr std::size_t kMaximumBytes = 8 * 1024 * 1024;

  std::mutex mutex_;
  std::list<Entry> entries_;
};

bool cachingAllowed(const platform::URLRequest& request) {
  using Policy = platform::URLRequest::CachePolicy;
  return request.httpMethod() == "GET" && request.cachePolicy() != Policy::ReloadIgnoringLocalCacheData;
}

std::string latin1ToUTF8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else {
      text += static_cast<char>(0xC0 | (c >> 6));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

// The body as text: UTF-8 unless the response names a Latin-1 charset; bytes that are not
// UTF-8 are read as Latin-1, so the text is always valid and no ad is lost to its bytes.
std::string bodyText(std::string body, const std::optional<platform::HTTPURLResponse>& response) {
  const auto& charset = response ? response->textEncodingName() : std::nullopt;
  const bool latin1 = charset && (*charset == "iso-8859-1" || *charset == "latin1" || *charset == "windows-1252");
  if (!latin1 && platform::PercentEncoding::isValidUTF8(body)) return body;
  return latin1ToUTF8(body);
}

platform::ErrorPtr tooLarge() {
  return ZUMMakeErrorWithDescription(kZUMErrorInvalidResponse, "Response body too large.");
}

}  // namespace

// Hands the platform connection's news to the ZUMURLConnection while it lives, tagged
// with the load it belongs to.
class ZUMURLConnection::Loader final : public platform::URLConnectionDelegate {
 public:
  Loader(std::weak_ptr<ZUMURLConnection> owner, std::uint64_t generation)
      : owner_(std::move(owner)), generation_(generation) {}

  std::optional<platform::URLRequest> connectionWillSendRequest(platform::URLConnection&, platform::URLRequest request,
                                                                const platform::HTTPURLResponse& response) override {
    auto owner = owner_.lock();
    if (!owner) return std::nullopt;
    return owner->willSendRequest(generation_, std::move(request), response);
  }
  void connectionDidReceiveResponse(platform::URLConnection&, const platform::HTTPURLResponse& response) override {
    if (auto owner = owner_.lock()) owner->didReceiveResponse(generation_, response);
  }
  void connectionDidReceiveData(platform::URLConnection&, std::string_view data) override {
    if (auto owner = owner_.lock()) owner->didReceiveData(generation_, data);
  }
  void connectionDidFinishLoading(platform::URLConnection&) override {
    if (auto owner = owner_.lock()) owner->didFinish(generation_);
  }
  void connectionDidFailWithError(platform::URLConnection&, const platform::ErrorPtr& error) override {
    auto owner = owner_.lock();
    if (!owner) return;
    if (error && error->domain() == platform::kURLErrorDomain &&
        error->code() == platform::kURLErrorDataLengthExceedsMaximum) {
      owner->didFail(generation_, tooLarge(), -1);
    } else {
      owner->didFail(generation_, error, 0);
    }
  }

 private:
  std::weak_ptr<ZUMURLConnection> owner_;
  std::uint64_t generation_;
};

std::shared_ptr<ZUMURLConnection> ZUMURLConnection::create() {
  return std::shared_ptr<ZUMURLConnection>(new ZUMURLConnection());
}

ZUMURLConnection::~ZUMURLConnection() {
  if (connection_) connection_->cancel();
}

bool ZUMURLConnection::startWithRequestURL(const platform::URLRequest& request,
                                           const std::shared_ptr<ZUMURLConnectionDelegate>& delegate,
                                           platform::ErrorPtr* error) {
  if (loading_) {
    if (error) {
      *error = ZUMMakeErrorWithDescription(kZUMErrorNetworkError,
                                           "Ignoring -- Currently loading " + loadingURL_->absoluteString());
    }
    return false;
  }
  auto self = shared_from_this();
  delegate_ = delegate;
  cacheAllowed_ = cachingAllowed(request);
  useCache_ = false;
  response_.reset();
  body_.clear();
  const std::uint64_t generation = ++generation_;

  if (!request.url()) {
    if (delegate) delegate->connectionLoadDidFail(*this, nullptr, -1);
    return true;
  }
  const std::string key = request.url()->absoluteString();

  if (cacheAllowed_) {
    if (auto cached = ResponseMemoryCache::shared().find(key)) {
      if (delegate) {
        delegate->connectionLoadDidReceiveCachedResponse(*this, cached->response);
        // The delegate may have started another load meanwhile; this one is over.
        if (generation == generation_) delegate->connectionLoadDidFinish(*this, cached->body, cached->baseURL);
      }
      return true;
    }
  }

  loading_ = true;
  loadingURL_ = request.url();
  connection_ = platform::URLConnection::create(request, std::make_shared<Loader>(weak_from_this(), generation));
  connection_->limitBodyLength(kMaximumBodyBytes);
  connection_->scheduleInRunLoop(platform::RunLoop::main(), platform::kCommonRunLoopModes);
  connection_->start();
  return true;
}

void ZUMURLConnection::cancel() {
  delegate_.reset();
  loading_ = false;
  ++generation_;
  if (auto connection = std::exchange(connection_, nullptr)) connection->cancel();
}

std::shared_ptr<ZUMURLConnectionDelegate> ZUMURLConnection::endLoad() {
  loading_ = false;
  ++generation_;
  if (auto connection = std::exchange(connection_, nullptr)) connection->cancel();
  return delegate_.lock();
}

std::optional<platform::URLRequest> ZUMURLConnection::willSendRequest(
    std::uint64_t generation, platform::URLRequest request, const platform::HTTPURLResponse& redirectResponse) {
  if (!isCurrent(generation)) return std::nullopt;
  auto self = shared_from_this();
  auto delegate = delegate_.lock();
  if (!delegate) {
    cancel();
    return std::nullopt;
  }
  if (!request.url()) {
    didFail(generation, nullptr, -1);
    return std::nullopt;
  }
  if (auto veto = delegate->connectionShouldRedirectToURL(*this, *request.url())) {
    if (isCurrent(generation)) didFail(generation, veto, -1);
    return std::nullopt;
  }
  if (!isCurrent(generation)) return std::nullopt;
  delegate->connectionWillPerformRedirect(*this, ZUMURLConnectionRedirect::create(redirectResponse, request));
  if (!isCurrent(generation)) return std::nullopt;
  return request;
}

void ZUMURLConnection::didReceiveResponse(std::uint64_t generation, const platform::HTTPURLResponse& response) {
  if (!isCurrent(generation)) return;
  auto self = shared_from_this();
  const int status = response.statusCode();
  if (status < 200 || status > 299) {
    didFail(generation, nullptr, status);
    return;
  }
  response_.emplace(response);
  auto delegate = delegate_.lock();
  if (!delegate) {
    cancel();
    return;
  }
  const bool use = delegate->connectionLoadShouldUseCacheForResponse(*this, response);
  if (isCurrent(generation)) useCache_ = use;
}

void ZUMURLConnection::didReceiveData(std::uint64_t generation, std::string_view data) {
  if (!isCurrent(generation)) return;
  if (data.size() > kMaximumBodyBytes - body_.size()) {
    didFail(generation, tooLarge(), -1);
    return;
  }
  body_.append(data);
}

void ZUMURLConnection::didFinish(std::uint64_t generation) {
  if (!isCurrent(generation)) return;
  auto self = shared_from_this();
  auto delegate = endLoad();
  std::string text = bodyText(body_.take(), response_);
  // A load finished without a response answers the URL it asked for.
  platform::URL baseURL = response_ ? response_->url() : *loadingURL_;
  if (useCache_ && cacheAllowed_ && response_) {
    ResponseMemoryCache::shared().store({loadingURL_->absoluteString(), *response_, text, baseURL});
  }
  if (delegate) delegate->connectionLoadDidFinish(*this, text, baseURL);
}

void ZUMURLConnection::didFail(std::uint64_t generation, const platform::ErrorPtr& error, std::int64_t status) {
  if (!isCurrent(generation)) return;
  auto self = shared_from_this();
  body_.clear();
  auto delegate = endLoad();
  if (delegate) delegate->connectionLoadDidFail(*this, error, status);
}
