#include "platform/media/HTTPByteSource.h"

#include <string>

#include "platform/base/DispatchQueue.h"
#include "platform/net/ContentRange.h"
#include "platform/net/URLConnection.h"

namespace platform {
namespace {
constexpr int kMaxEmptyTransfers = 3;
}

class HTTPByteSource::Transfer final : public URLConnectionDelegate {
 public:
  Transfer(std::weak_ptr<HTTPByteSource> source, std::int64_t offset, int generation)
      : source_(std::move(source)), position_(offset), asked_(offset), generation_(generation) {}

  void connectionDidReceiveResponse(URLConnection&, const HTTPURLResponse& response) override {
    auto source = current();
    if (!source) return;
    if (response.statusCode() == 206) {
      const auto range = ContentRange::parse(response.valueForHTTPHeaderField("Content-Range").value_or(""));
      if (!range || range->firstByte != asked_) return source->fail(makeURLError(kURLErrorBadServerResponse));
      if (range->completeLength) source->setLength(*range->completeLength);
    } else if (response.statusCode() == 200) {
      // The whole body, whatever was asked.
      position_ = 0;
      wholeBody_ = true;
      {
        std::lock_guard lock(source->stateMutex_);
        source->rangesIgnored_ = true;
        source->cursor_ = 0;
      }
      if (response.expectedContentLength() >= 0) source->setLength(response.expectedContentLength());
    } else {
      return source->fail(makeURLError(kURLErrorResourceUnavailable, source->url_.absoluteString()));
    }
  }

  void connectionDidReceiveData(URLConnection&, std::string_view data) override {
    auto source = current();
    if (!source) return;
    source->emptyTransfers_ = 0;
    source->deliver(position_, data);
    position_ += static_cast<std::int64_t>(data.size());
    std::lock_guard lock(source->stateMutex_);
    source->cursor_ = position_;
  }

  void connectionDidFinishLoading(URLConnection&) override {
    auto source = current();
    if (!source) return;
    // A body without a length ends where it ends.
    if (wholeBody_ || asked_ == 0) source->setLength(position_);
    // A server that keeps ending transfers without bytes would be asked again for ever.
    if (position_ == asked_ && !wholeBody_ && ++source->emptyTransfers_ >= kMaxEmptyTransfers) {
      return source->fail(makeURLError(kURLErrorNetworkConnectionLost, source->url_.absoluteString()));
    }
    source->transferEnded(*this);
    source->wakeReaders();
  }

  void connectionDidFailWithError(URLConnection&, const ErrorPtr& error) override {
    if (auto source = current()) source->fail(error);
  }

  int generation() const { return generation_; }

 private:
  std::shared_ptr<HTTPByteSource> current() const {
    auto source = source_.lock();
    if (!source) return nullptr;
    std::lock_guard lock(source->stateMutex_);
    return source->transfers_ == generation_ ? source : nullptr;
  }

  std::weak_ptr<HTTPByteSource> source_;
  std::int64_t position_;
  const std::int64_t asked_;
  const int generation_;
  bool wholeBody_ = false;
};

std::shared_ptr<HTTPByteSource> HTTPByteSource::create(URL url) {
  return std::shared_ptr<HTTPByteSource>(new HTTPByteSource(std::move(url)));
}

HTTPByteSource::~HTTPByteSource() {
  if (auto connection = std::move(connection_)) {
    DispatchQueue::main()->async([connection] { connection->cancel(); });
  }
}

int HTTPByteSource::transferCount() const {
  std::lock_guard lock(stateMutex_);
  return transfers_;
}

bool HTTPByteSource::fetchWillReach(std::int64_t offset) const {
  std::lock_guard lock(stateMutex_);
  if (!cursor_) return false;
  if (rangesIgnored_) return offset >= *cursor_;
  return offset >= *cursor_ && offset < *cursor_ + kReachAhead;
}

void HTTPByteSource::fetch(std::int64_t offset) {
  int generation = 0;
  {
    std::lock_guard lock(stateMutex_);
    // A server that ignores ranges sends everything once; nothing more to ask. Once its
    // body has ended, bytes still missing will never come.
    if (rangesIgnored_ && cursor_) return;
    if (rangesIgnored_) generation = -1;
    if (generation == 0) {
      cursor_ = offset;
      generation = ++transfers_;  // the transfer under way stops counting now
    }
  }
  if (generation < 0) return fail(makeURLError(kURLErrorNetworkConnectionLost, url_.absoluteString()));
  std::weak_ptr<HTTPByteSource> weak = weak_from_this();
  DispatchQueue::main()->async([weak, offset, generation] {
    if (auto self = weak.lock()) self->startTransfer(offset, generation);
  });
}

void HTTPByteSource::startTransfer(std::int64_t offset, int generation) {
  if (connection_) connection_->cancel();
  connection_.reset();
  {
    std::lock_guard lock(stateMutex_);
    if (transfers_ != generation) return;  // a later fetch replaced this one
  }
  if (isCancelled()) return;
  URLRequest request(url_, URLRequest::CachePolicy::ReloadIgnoringLocalCacheData);
  request.setValue("bytes=" + std::to_string(offset) + "-", "Range");
  connection_ = URLConnection::create(request, std::make_shared<Transfer>(weak_from_this(), offset, generation));
  connection_->start();
}

void HTTPByteSource::transferEnded(const Transfer& transfer) {
  std::lock_guard lock(stateMutex_);
  if (transfers_ == transfer.generation()) cursor_.reset();
}

}  // namespace platform
