#include "platform/net/URLConnection.h"

#include <cmath>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/TestingReset.h"
#include "platform/base/Timer.h"
#include "platform/net/BodyBuffer.h"
#include "platform/net/CurlTransport.h"
#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/URLLoading.h"
#include "platform/net/URLProtocol.h"

namespace platform {

// Delegate defaults: follow every redirect, ignore everything else.
std::optional<URLRequest> URLConnectionDelegate::connectionWillSendRequest(URLConnection&, URLRequest request,
                                                                           const HTTPURLResponse&) {
  return request;
}
void URLConnectionDelegate::connectionDidReceiveResponse(URLConnection&, const HTTPURLResponse&) {}
void URLConnectionDelegate::connectionDidReceiveData(URLConnection&, std::string_view) {}
void URLConnectionDelegate::connectionDidFinishLoading(URLConnection&) {}
void URLConnectionDelegate::connectionDidFailWithError(URLConnection&, const ErrorPtr&) {}

namespace detail {

namespace {

constexpr int kMaxRedirects = 16;

bool isRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool schemeIs(const URL& url, std::string_view scheme) {
  return url.scheme() && HTTPHeaderFields::namesEqual(*url.scheme(), scheme);
}

TimeInterval effectiveTimeout(TimeInterval timeout) {
  if (!std::isfinite(timeout) || timeout <= 0) return URLRequest::kDefaultTimeoutInterval;
  return timeout;
}

// The request that follows `response` to `location`, as HTTP redirects rewrite it.
URLRequest redirectedRequest(const URLRequest& previous, const HTTPURLResponse& response, URL location) {
  URLRequest next = previous;
  next.setURL(std::move(location));
  const int status = response.statusCode();
  const bool keepsMethod = status == 307 || status == 308;
  if (!keepsMethod && (previous.httpMethod() == "POST" || status == 303) && previous.httpMethod() != "HEAD") {
    next.setHTTPMethod("GET");
    next.setHTTPBody(std::nullopt);
    next.setValue(std::nullopt, "Content-Type");
    next.setValue(std::nullopt, "Content-Length");
  }
  return next;
}

}  // namespace

// The state of one connection's load, shared with the transport and handler clients
// that feed it. Everything the delegate sees passes through post(), which delivers on
// the connection's run loop or queue, one event at a time. Each hop (a network transfer
// or an interception handler) has a generation; news of an older generation, or any news
// after the load ended, is dropped at delivery.
class URLLoad : public std::enable_shared_from_this<URLLoad> {
 public:
  URLLoad(URLConnection& connection, std::shared_ptr<URLConnectionDelegate> delegate, URLRequest request)
      : connection_(connection), delegate_(std::move(delegate)), currentRequest_(std::move(request)) {}

  void scheduleInRunLoop(RunLoop& runLoop, std::string_view mode) {
    std::lock_guard lock(mutex_);
    runLoop_ = &runLoop;
    mode_ = std::string(mode);
    queue_ = nullptr;
  }
  void setDelegateQueue(std::shared_ptr<OperationQueue> queue) {
    std::lock_guard lock(mutex_);
    queue_ = std::move(queue);
  }

  URLRequest currentRequest() const {
    std::lock_guard lock(mutex_);
    return currentRequest_;
  }

  void start(std::shared_ptr<URLConnection> keepAlive);
  void cancel();
  void limitBodyLength(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    maxBodyBytes_ = bytes;
  }
  std::optional<std::size_t> maxBodyBytes() const {
    std::lock_guard lock(mutex_);
    return maxBodyBytes_;
  }

  // News of a hop, from any thread.
  void hopResponse(std::uint64_t generation, HTTPURLResponse response);
  // `receipt` is held until the bytes reached the delegate (or were dropped).
  void hopData(std::uint64_t generation, std::string data, TransferClient::BodyReceipt receipt = nullptr);
  void hopFinished(std::uint64_t generation);
  void hopFailed(std::uint64_t generation, std::int64_t code);
  void hopFailed(std::uint64_t generation, ErrorPtr error);
  void hopRedirected(std::uint64_t generation, URLRequest request, HTTPURLResponse response, std::string body);

  bool accepting(std::uint64_t generation) const {
    std::lock_guard lock(mutex_);
    return state_ == State::Running && generation == generation_;
  }

 private:
  enum class State { Idle, Running, Done };
  class NetworkClient;
  class HandlerClient;

  void startHop(URLRequest request);
  void lookUpHandler(std::uint64_t generation, URLRequest request);
  void startNetwork(std::uint64_t generation, const URLRequest& request);
  void stopHopLocked();
  void post(std::function<void()> event);
  void drain();
  void rearmTimer();
  void timedOut();
  // Ends the load when `generation` is current: lets the connection go (the caller holds
  // it for its last call) and hands out the delegate for that call. False when the load
  // had already ended.
  bool endLoad(std::uint64_t generation, std::shared_ptr<URLConnectionDelegate>& delegate);
  ErrorPtr errorWithCode(std::int64_t code) const;
  // The connection, held for the length of one delegate call.
  std::shared_ptr<URLConnection> keepAliveConnection() const {
    std::lock_guard lock(mutex_);
    return keepAlive_;
  }
  std::shared_ptr<URLConnectionDelegate> delegateIfAccepting(std::uint64_t generation) const {
    std::lock_guard lock(mutex_);
    if (state_ != State::Running || generation != generation_) return nullptr;
    return delegate_;
  }

  URLConnection& connection_;
  mutable std::mutex mutex_;
  State state_ = State::Idle;
  std::shared_ptr<URLConnection> keepAlive_;  // a running load keeps its connection
  std::shared_ptr<URLConnectionDelegate> delegate_;
  URLRequest currentRequest_;
  RunLoop* runLoop_ = nullptr;
  std::string mode_ = std::string(kCommonRunLoopModes);
  std::shared_ptr<OperationQueue> queue_;
  std::uint64_t generation_ = 0;
  std::uint64_t transferId_ = 0;
  std::shared_ptr<URLProtocol> handler_;
  std::shared_ptr<HandlerClient> handlerClient_;
  std::shared_ptr<Timer> timer_;
  TimeInterval timeout_ = URLRequest::kDefaultTimeoutInterval;
  int redirects_ = 0;
  std::optional<std::size_t> maxBodyBytes_;
  std::deque<std::function<void()>> events_;
  bool drainScheduled_ = false;
};

// Turns the transport's news of one network hop into events; runs on the I/O thread.
class URLLoad::NetworkClient final : public TransferClient {
 public:
  NetworkClient(std::weak_ptr<URLLoad> load, std::uint64_t generation, URLRequest request)
      : load_(std::move(load)), generation_(generation), request_(std::move(request)) {}

  void transferDidReceiveHead(int statusCode, std::string httpVersion, HTTPHeaderFields fields,
                              std::vector<std::string> setCookieValues) override {
    const URL& url = *request_.url();
    if (request_.httpShouldHandleCookies() && !setCookieValues.empty()) {
      HTTPCookieStorage::sharedStorage().setCookiesFromHeaderValues(setCookieValues, url);
    }
    HTTPURLResponse response(url, statusCode, std::move(fields), std::move(httpVersion));
    if (isRedirectStatus(statusCode)) {
      if (auto location = response.valueForHTTPHeaderField("Location")) {
        if (auto target = URL::fromString(*location, url); target && target->scheme()) {
          redirect_.emplace(redirectedRequest(request_, response, std::move(*target)));
        }
      }
    }
    if (redirect_) {
      redirectResponse_.emplace(std::move(response));
      return;
    }
    if (auto load = load_.lock()) load->hopResponse(generation_, std::move(response));
  }

  void transferDidReceiveBody(std::string_view bytes, BodyReceipt receipt) override {
    if (redirect_) {
      // Kept in case the delegate stops at this hop; bounded, as a redirect body is not content.
      if (redirectBody_.size() < 1024 * 1024) redirectBody_.append(bytes.substr(0, 1024 * 1024 - redirectBody_.size()));
      return;
    }
    if (auto load = load_.lock()) load->hopData(generation_, std::string(bytes), std::move(receipt));
  }

  void transferDidComplete(std::int64_t errorCode) override {
    auto load = load_.lock();
    if (!load) return;
    if (errorCode != 0) {
      load->hopFailed(generation_, errorCode);
    } else if (redirect_) {
      load->hopRedirected(generation_, std::move(*redirect_), std::move(*redirectResponse_), std::move(redirectBody_));
    } else {
      load->hopFinished(generation_);
    }
  }

 private:
  std::weak_ptr<URLLoad> load_;
  const std::uint64_t generation_;
  const URLRequest request_;
  std::optional<URLRequest> redirect_;
  std::optional<HTTPURLResponse> redirectResponse_;
  std::string redirectBody_;
};

// What an interception handler answers through; any thread.
class URLLoad::HandlerClient final : public URLProtocolClient {
 public:
  HandlerClient(std::weak_ptr<URLLoad> load, std::uint64_t generation, std::optional<std::size_t> maxBodyBytes)
      : load_(std::move(load)), generation_(generation), maxBodyBytes_(maxBodyBytes) {}

  void stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }

  void URLProtocolWasRedirectedToRequest(URLProtocol&, URLRequest request, HTTPURLResponse response) override {
    if (auto load = live()) load->hopRedirected(generation_, std::move(request), std::move(response), {});
  }
  void URLProtocolDidReceiveResponse(URLProtocol&, HTTPURLResponse response) override {
    if (auto load = live()) load->hopResponse(generation_, std::move(response));
  }
  void URLProtocolDidLoadData(URLProtocol&, std::string_view data) override {
    auto load = live();
    if (!load) return;
    bool tooLong;
    {
      std::lock_guard lock(mutex_);
      tooLong = maxBodyBytes_ && data.size() > *maxBodyBytes_ - bodyBytes_;
      if (tooLong) stopped_ = true;
      bodyBytes_ += data.size();
    }
    // Outside the lock: the load takes its own lock, and holds it while stopping this client.
    if (tooLong) {
      load->hopFailed(generation_, kURLErrorDataLengthExceedsMaximum);
    } else {
      load->hopData(generation_, std::string(data));
    }
  }
  void URLProtocolDidFinishLoading(URLProtocol&) override {
    if (auto load = live()) load->hopFinished(generation_);
  }
  void URLProtocolDidFailWithError(URLProtocol&, ErrorPtr error) override {
    if (auto load = live()) {
      load->hopFailed(generation_, error ? std::move(error) : makeURLError(kURLErrorUnknown));
    }
  }

 private:
  std::shared_ptr<URLLoad> live() {
    std::lock_guard lock(mutex_);
    return stopped_ ? nullptr : load_.lock();
  }

  std::mutex mutex_;
  std::weak_ptr<URLLoad> load_;
  const std::uint64_t generation_;
  const std::optional<std::size_t> maxBodyBytes_;
  std::size_t bodyBytes_ = 0;
  bool stopped_ = false;
};

namespace {

// Loads under way. A running load keeps its connection alive until it ends, so one still
// on its way when a test ends would deliver into the next test, or stay at exit as a
// cycle that the leak checker reports: the test environment ends them between tests.
std::mutex gRunningMutex;
std::unordered_map<const URLLoad*, std::weak_ptr<URLLoad>>& runningLoads() {
  static auto* loads = [] {
    auto* made = new std::unordered_map<const URLLoad*, std::weak_ptr<URLLoad>>();
    registerTestingReset(made, [made] {
      std::unordered_map<const URLLoad*, std::weak_ptr<URLLoad>> ending;
      {
        std::lock_guard lock(gRunningMutex);
        ending.swap(*made);
      }
      for (auto& [key, weak] : ending) {
        if (auto load = weak.lock()) load->cancel();
      }
    });
    return made;
  }();
  return *loads;
}

void noteRunning(const std::shared_ptr<URLLoad>& load) {
  auto& loads = runningLoads();
  std::lock_guard lock(gRunningMutex);
  loads[load.get()] = load;
}

void noteEnded(const URLLoad* load) {
  auto& loads = runningLoads();
  std::lock_guard lock(gRunningMutex);
  loads.erase(load);
}

}  // namespace

void URLLoad::start(std::shared_ptr<URLConnection> keepAlive) {
  URLRequest request;
  RunLoop* timerLoop;
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::Idle) return;
    state_ = State::Running;
    keepAlive_ = std::move(keepAlive);
    // Before any end can come: the end takes it out again.
    noteRunning(shared_from_this());
    if (!runLoop_ && !queue_) runLoop_ = &RunLoop::current();
    timerLoop = queue_ ? &RunLoop::main() : runLoop_;
    request = currentRequest_;
    timeout_ = effectiveTimeout(request.timeoutInterval());
    std::weak_ptr<URLLoad> weak = weak_from_this();
    timer_ = Timer::createOneShot(timeout_, [weak](Timer&) {
      if (auto load = weak.lock()) load->timedOut();
    });
  }
  timerLoop->addTimer(timer_, kCommonRunLoopModes);
  startHop(std::move(request));
}

void URLLoad::startHop(URLRequest request) {
  std::uint64_t generation;
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::Running) return;
    stopHopLocked();
    generation = ++generation_;
    currentRequest_ = request;
  }
  if (!request.url()) {
    hopFailed(generation, kURLErrorBadURL);
    return;
  }
  std::weak_ptr<URLLoad> weak = weak_from_this();
  URLProtocol::loadingQueue()->async([weak, generation, request = std::move(request)]() mutable {
    if (auto load = weak.lock()) load->lookUpHandler(generation, std::move(request));
  });
}

// On the URL-loading queue.
void URLLoad::lookUpHandler(std::uint64_t generation, URLRequest request) {
  if (!accepting(generation)) return;
  auto client = std::make_shared<HandlerClient>(weak_from_this(), generation, maxBodyBytes());
  auto handler = URLProtocol::handlerForRequest(request, client);
  if (!handler) {
    startNetwork(generation, request);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::Running || generation != generation_) return;
    handler_ = handler;
    handlerClient_ = client;
  }
  handler->startLoading();
}

void URLLoad::startNetwork(std::uint64_t generation, const URLRequest& request) {
  const URL& url = *request.url();
  if (!schemeIs(url, "http") && !schemeIs(url, "https")) {
    hopFailed(generation, kURLErrorUnsupportedURL);
    return;
  }
  if (!url.host() || url.host()->empty()) {
    hopFailed(generation, kURLErrorBadURL);
    return;
  }
  if (URLLoading::isOffline()) {
    hopFailed(generation, kURLErrorNotConnectedToInternet);
    return;
  }
  const std::string method = request.httpMethod().empty() ? "GET" : request.httpMethod();
  if (!CurlTransport::isSendableField(method, {})) {
    hopFailed(generation, kURLErrorBadURL);  // would break the request line
    return;
  }
  auto destination = URLLoading::destinationForURL(url);
  if (!destination) {
    hopFailed(generation, kURLErrorCannotFindHost);
    return;
  }
  TransferRequest transfer;
  transfer.url = std::move(destination->url);
  transfer.method = method;
  transfer.headers = request.allHTTPHeaderFields();
  if (destination->hostHeader) transfer.headers.set("Host", *destination->hostHeader);
  if (request.httpShouldHandleCookies() && !transfer.headers.contains("Cookie")) {
    if (auto cookies = HTTPCookieStorage::sharedStorage().cookieHeaderForURL(url)) {
      transfer.headers.set("Cookie", std::move(*cookies));
    }
  }
  transfer.body = request.httpBody();
  transfer.timeout = effectiveTimeout(request.timeoutInterval());
  transfer.maxBodyBytes = maxBodyBytes();
  auto client = std::make_shared<NetworkClient>(weak_from_this(), generation, request);
  const std::uint64_t id = CurlTransport::shared().start(std::move(transfer), std::move(client));
  {
    std::lock_guard lock(mutex_);
    if (state_ == State::Running && generation == generation_) {
      transferId_ = id;
      return;
    }
  }
  CurlTransport::shared().cancel(id);
}

void URLLoad::stopHopLocked() {
  if (transferId_ != 0) {
    CurlTransport::shared().cancel(transferId_);
    transferId_ = 0;
  }
  if (handler_) {
    handlerClient_->stop();
    URLProtocol::loadingQueue()->async([handler = std::move(handler_)] { handler->stopLoading(); });
    handler_ = nullptr;
    handlerClient_ = nullptr;
  }
}

void URLLoad::cancel() {
  auto self = shared_from_this();
  std::shared_ptr<URLConnectionDelegate> delegate;
  std::shared_ptr<URLConnection> keepAlive;
  std::shared_ptr<Timer> timer;
  {
    std::lock_guard lock(mutex_);
    if (state_ == State::Done) return;
    state_ = State::Done;
    ++generation_;
    stopHopLocked();
    delegate = std::move(delegate_);
    keepAlive = std::move(keepAlive_);
    timer = std::move(timer_);
  }
  noteEnded(this);
  if (timer) timer->invalidate();
  // The delegate and the connection are released here, outside the lock.
}

ErrorPtr URLLoad::errorWithCode(std::int64_t code) const {
  std::lock_guard lock(mutex_);
  std::optional<std::string> failing;
  if (currentRequest_.url()) failing = currentRequest_.url()->absoluteString();
  return makeURLError(code, std::move(failing));
}

void URLLoad::post(std::function<void()> event) {
  RunLoop* runLoop;
  std::shared_ptr<OperationQueue> queue;
  std::string mode;
  {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    if (drainScheduled_) return;
    drainScheduled_ = true;
    runLoop = runLoop_;
    queue = queue_;
    mode = mode_;
  }
  auto self = shared_from_this();
  if (queue) {
    queue->addOperation([self] { self->drain(); });
  } else {
    runLoop->perform({mode}, [self] { self->drain(); });
  }
}

void URLLoad::drain() {
  for (;;) {
    std::function<void()> event;
    {
      std::lock_guard lock(mutex_);
      if (events_.empty()) {
        drainScheduled_ = false;
        return;
      }
      event = std::move(events_.front());
      events_.pop_front();
    }
    event();
  }
}

void URLLoad::rearmTimer() {
  std::lock_guard lock(mutex_);
  if (timer_) timer_->setFireDate(clock().monotonicNow() + timeout_);
}

void URLLoad::timedOut() {
  std::uint64_t generation;
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::Running) return;
    stopHopLocked();
    generation = ++generation_;
  }
  hopFailed(generation, kURLErrorTimedOut);
}

bool URLLoad::endLoad(std::uint64_t generation, std::shared_ptr<URLConnectionDelegate>& delegate) {
  std::shared_ptr<Timer> timer;
  std::shared_ptr<URLConnection> released;
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::Running || generation != generation_) return false;
    state_ = State::Done;
    ++generation_;
    stopHopLocked();
    delegate = std::move(delegate_);
    timer = std::move(timer_);
    released = std::move(keepAlive_);
  }
  noteEnded(this);
  if (timer) timer->invalidate();
  return true;
}

void URLLoad::hopResponse(std::uint64_t generation, HTTPURLResponse response) {
  post([this, generation, response = std::move(response)] {
    // The connection first: a cancel() on another thread between the two may release it.
    auto keep = keepAliveConnection();
    auto delegate = delegateIfAccepting(generation);
    if (!delegate) return;
    rearmTimer();
    delegate->connectionDidReceiveResponse(connection_, response);
  });
}

void URLLoad::hopData(std::uint64_t generation, std::string data, TransferClient::BodyReceipt receipt) {
  post([this, generation, data = std::move(data), receipt = std::move(receipt)] {
    // The connection first: a cancel() on another thread between the two may release it.
    auto keep = keepAliveConnection();
    auto delegate = delegateIfAccepting(generation);
    if (!delegate) return;
    rearmTimer();
    delegate->connectionDidReceiveData(connection_, data);
  });
}

void URLLoad::hopFinished(std::uint64_t generation) {
  post([this, generation] {
    auto keep = keepAliveConnection();
    std::shared_ptr<URLConnectionDelegate> delegate;
    if (endLoad(generation, delegate)) delegate->connectionDidFinishLoading(connection_);
  });
}

void URLLoad::hopFailed(std::uint64_t generation, std::int64_t code) { hopFailed(generation, errorWithCode(code)); }

void URLLoad::hopFailed(std::uint64_t generation, ErrorPtr error) {
  post([this, generation, error = std::move(error)] {
    auto keep = keepAliveConnection();
    std::shared_ptr<URLConnectionDelegate> delegate;
    if (endLoad(generation, delegate)) delegate->connectionDidFailWithError(connection_, error);
  });
}

void URLLoad::hopRedirected(std::uint64_t generation, URLRequest request, HTTPURLResponse response, std::string body) {
  post([this, generation, request = std::move(request), response = std::move(response),
        body = std::move(body)]() mutable {
    auto keep = keepAliveConnection();
    auto delegate = delegateIfAccepting(generation);
    if (!delegate) return;
    rearmTimer();
    std::optional<URLRequest> next = delegate->connectionWillSendRequest(connection_, std::move(request), response);
    if (!accepting(generation)) return;  // cancelled by the delegate
    if (next) {
      bool tooMany;
      {
        std::lock_guard lock(mutex_);
        tooMany = ++redirects_ > kMaxRedirects;
      }
      if (tooMany) {
        auto error = errorWithCode(kURLErrorHTTPTooManyRedirects);
        if (endLoad(generation, delegate)) delegate->connectionDidFailWithError(connection_, error);
        return;
      }
      startHop(std::move(*next));
      return;
    }
    // Stopped here: the redirect answer is the final one.
    delegate->connectionDidReceiveResponse(connection_, response);
    if (!body.empty() && accepting(generation)) delegate->connectionDidReceiveData(connection_, body);
    if (endLoad(generation, delegate)) delegate->connectionDidFinishLoading(connection_);
  });
}

}  // namespace detail

URLConnection::URLConnection(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate)
    : originalRequest_(request),
      load_(std::make_shared<detail::URLLoad>(
          *this, delegate ? std::move(delegate) : std::make_shared<URLConnectionDelegate>(), std::move(request))) {}

URLConnection::~URLConnection() {
  if (load_) load_->cancel();
}

std::shared_ptr<URLConnection> URLConnection::create(URLRequest request,
                                                     std::shared_ptr<URLConnectionDelegate> delegate) {
  return std::shared_ptr<URLConnection>(new URLConnection(std::move(request), std::move(delegate)));
}

void URLConnection::scheduleInRunLoop(RunLoop& runLoop, std::string_view mode) {
  load_->scheduleInRunLoop(runLoop, mode);
}

void URLConnection::setDelegateQueue(std::shared_ptr<OperationQueue> queue) {
  load_->setDelegateQueue(std::move(queue));
}

void URLConnection::limitBodyLength(std::size_t bytes) { load_->limitBodyLength(bytes); }

void URLConnection::start() { load_->start(shared_from_this()); }

void URLConnection::cancel() { load_->cancel(); }

URLRequest URLConnection::currentRequest() const { return load_->currentRequest(); }

namespace {

class CollectingDelegate final : public URLConnectionDelegate {
 public:
  CollectingDelegate(URLConnection::CompletionHandler completion, std::size_t maxBodyBytes)
      : completion_(std::move(completion)), maxBodyBytes_(maxBodyBytes) {}

  void connectionDidReceiveResponse(URLConnection&, const HTTPURLResponse& response) override {
    response_.emplace(response);
    data_.clear();
  }
  void connectionDidReceiveData(URLConnection& connection, std::string_view data) override {
    if (data.size() > maxBodyBytes_ - data_.size()) {
      connection.cancel();
      data_.clear();
      const auto failing = connection.currentRequest().url();
      connectionDidFailWithError(connection,
                                 makeURLError(kURLErrorDataLengthExceedsMaximum,
                                              failing ? std::optional(failing->absoluteString()) : std::nullopt));
      return;
    }
    data_.append(data);
  }
  void connectionDidFinishLoading(URLConnection&) override {
    if (auto completion = std::exchange(completion_, nullptr)) {
      completion(std::move(response_), data_.take(), nullptr);
    }
  }
  void connectionDidFailWithError(URLConnection&, const ErrorPtr& error) override {
    if (auto completion = std::exchange(completion_, nullptr)) completion(std::nullopt, std::string(), error);
  }

 private:
  URLConnection::CompletionHandler completion_;
  const std::size_t maxBodyBytes_;
  std::optional<HTTPURLResponse> response_;
  BodyBuffer data_;
};

}  // namespace

std::shared_ptr<URLConnection> URLConnection::sendAsynchronousRequest(URLRequest request,
                                                                      std::shared_ptr<OperationQueue> queue,
                                                                      CompletionHandler completion,
                                                                      std::size_t maxBodyBytes) {
  auto connection = URLConnection::create(std::move(request),
                                          std::make_shared<CollectingDelegate>(std::move(completion), maxBodyBytes));
  connection->limitBodyLength(maxBodyBytes);
  connection->setDelegateQueue(queue ? std::move(queue) : OperationQueue::main());
  connection->start();
  return connection;
}

}  // namespace platform
