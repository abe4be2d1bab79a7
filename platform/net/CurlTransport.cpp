#include "platform/net/CurlTransport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <map>
#include <mutex>
#include <sys/resource.h>
#include <thread>

#include <curl/curl.h>

#include "platform/base/Error.h"
#include "platform/net/HTTPResponseHeadParser.h"

namespace platform::detail {

namespace {

// A transfer's body bytes handed on and not yet consumed; guarded by the Impl's mutex.
struct Flow {
  std::uint64_t id = 0;
  std::size_t queued = 0;
  bool paused = false;
};

struct Transfer {
  std::uint64_t id = 0;
  CurlTransport::Impl* impl = nullptr;
  std::shared_ptr<TransferClient> client;
  std::shared_ptr<Flow> flow = std::make_shared<Flow>();
  std::string hostKey;  // "scheme://host:port", what the per-host cap counts
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  HTTPResponseHeadParser parser;
  bool headDelivered = false;
  bool badHead = false;
  std::optional<std::uint64_t> maxBodyBytes;
  std::uint64_t bodyBytes = 0;
  bool tooLarge = false;
  char errorBuffer[CURL_ERROR_SIZE] = {};

  ~Transfer() {
    if (easy) curl_easy_cleanup(easy);
    if (headers) curl_slist_free_all(headers);
  }
};

std::int64_t urlErrorForCurlCode(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return 0;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return kURLErrorUnsupportedURL;
    case CURLE_URL_MALFORMAT:
      return kURLErrorBadURL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
      return kURLErrorCannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT:
      return kURLErrorTimedOut;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return kURLErrorNetworkConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
      return kURLErrorBadServerResponse;
    case CURLE_FILESIZE_EXCEEDED:
      return kURLErrorDataLengthExceedsMaximum;
    case CURLE_PEER_FAILED_VERIFICATION:
      return kURLErrorServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return kURLErrorSecureConnectionFailed;
    default:
      return kURLErrorUnknown;
  }
}

std::string hostKeyOf(const std::string& url) {
  const auto scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  const auto end = url.find_first_of("/?#", scheme + 3);
  std::string key = url.substr(0, end);
  // Credentials are not part of the host.
  if (auto at = key.rfind('@'); at != std::string::npos && at > scheme) key.erase(scheme + 3, at - scheme - 2);
  return key;
}

}  // namespace

struct CurlTransport::Impl {
  std::mutex mutex;
  std::condition_variable pausedChanged;
  // Started and not yet running, in order: they wait for a connection.
  std::deque<std::unique_ptr<Transfer>> waiting;
  std::vector<std::uint64_t> toCancel;
  std::vector<std::uint64_t> toResume;
  std::uint64_t nextId = 1;
  std::size_t totalLimit = 0;    // 0: the default
  std::size_t perHostLimit = 0;  // 0: the default
  Statistics statistics;

  // I/O thread only.
  CURLM* multi = nullptr;
  std::map<std::uint64_t, std::unique_ptr<Transfer>> running;
  std::map<std::string, std::size_t> perHost;
  long curlTotalLimit = -1;
  std::thread thread;

  void loop();
  // Moves waiting transfers that fit the caps to `starting`; under the mutex.
  void takeStartableLocked(std::vector<std::unique_ptr<Transfer>>& starting);
  std::size_t totalCapLocked() const;
  void begin(std::unique_ptr<Transfer> transfer);
  void finish(std::uint64_t id, CURLcode result);
  void remove(std::map<std::uint64_t, std::unique_ptr<Transfer>>::iterator it);

  // Flow control. admit() runs on the I/O thread for each chunk; false pauses.
  bool admit(Flow& flow, std::size_t bytes);
  void consumed(Flow& flow, std::size_t bytes);
};

namespace {

// Dropping the last copy tells the transport the bytes were consumed.
struct Receipt {
  Receipt(CurlTransport::Impl* impl, std::shared_ptr<Flow> flow, std::size_t bytes)
      : impl(impl), flow(std::move(flow)), bytes(bytes) {}
  ~Receipt() { impl->consumed(*flow, bytes); }
  Receipt(const Receipt&) = delete;
  Receipt& operator=(const Receipt&) = delete;
  CurlTransport::Impl* impl;
  std::shared_ptr<Flow> flow;
  std::size_t bytes;
};

}  // namespace

bool CurlTransport::Impl::admit(Flow& flow, std::size_t bytes) {
  std::lock_guard lock(mutex);
  if (flow.queued >= kMaxQueuedBytesPerTransfer) {
    if (!flow.paused) {
      flow.paused = true;
      ++statistics.paused;
      pausedChanged.notify_all();
    }
    return false;
  }
  flow.queued += bytes;
  statistics.queuedBytes += bytes;
  statistics.peakQueuedBytes = std::max(statistics.peakQueuedBytes, statistics.queuedBytes);
  return true;
}

void CurlTransport::Impl::consumed(Flow& flow, std::size_t bytes) {
  {
    std::lock_guard lock(mutex);
    flow.queued -= bytes;
    statistics.queuedBytes -= bytes;
    if (!flow.paused || flow.queued > kMaxQueuedBytesPerTransfer / 2) return;
    flow.paused = false;
    --statistics.paused;
    toResume.push_back(flow.id);
  }
  curl_multi_wakeup(multi);
}

namespace {

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  auto state = transfer->parser.addLine(std::string_view(data, length));
  if (state == HTTPResponseHeadParser::State::Invalid) {
    transfer->badHead = true;
    return 0;  // aborts the transfer
  }
  if (state == HTTPResponseHeadParser::State::Complete && !transfer->headDelivered) {
    transfer->headDelivered = true;
    transfer->client->transferDidReceiveHead(transfer->parser.statusCode(), transfer->parser.httpVersion(),
                                             transfer->parser.headerFields(), transfer->parser.setCookieValues());
  }
  return length;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  if (!transfer->headDelivered) {
    transfer->badHead = true;  // a body without a complete head
    return 0;
  }
  if (length == 0) return 0;
  if (transfer->maxBodyBytes && length > *transfer->maxBodyBytes - transfer->bodyBytes) {
    transfer->tooLarge = true;
    return 0;  // aborts the transfer
  }
  // Refused bytes stay with curl and come again once the transfer resumes.
  if (!transfer->impl->admit(*transfer->flow, length)) return CURL_WRITEFUNC_PAUSE;
  transfer->bodyBytes += length;
  auto receipt = std::make_shared<const Receipt>(transfer->impl, transfer->flow, length);
  transfer->client->transferDidReceiveBody(std::string_view(data, length), std::move(receipt));
  return length;
}

}  // namespace

CurlTransport& CurlTransport::shared() {
  // Made once and never destroyed: the I/O thread may run until the process ends.
  static CurlTransport* instance = new CurlTransport();
  return *instance;
}

CurlTransport::CurlTransport() : impl_(new Impl()) {
  // With signals off for curl, a peer that closes its socket mid-write would raise
  // SIGPIPE and end the whole process; the loader reports such failures instead.
  std::signal(SIGPIPE, SIG_IGN);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  impl_->multi = curl_multi_init();
  impl_->thread = std::thread([impl = impl_] { impl->loop(); });
  impl_->thread.detach();
}

bool CurlTransport::isSendableField(std::string_view name, std::string_view value) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool token = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    if (!token) return false;
  }
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::uint64_t CurlTransport::start(TransferRequest request, std::shared_ptr<TransferClient> client) {
  auto transfer = std::make_unique<Transfer>();
  transfer->impl = impl_;
  transfer->client = std::move(client);
  transfer->hostKey = hostKeyOf(request.url);
  transfer->maxBodyBytes = request.maxBodyBytes;
  transfer->easy = curl_easy_init();
  CURL* easy = transfer->easy;
  std::uint64_t id;
  {
    std::lock_guard lock(impl_->mutex);
    id = impl_->nextId++;
  }
  transfer->id = id;
  transfer->flow->id = id;
  if (easy) {
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // A proxy from the environment must never carry loopback traffic.
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, static_cast<void*>(transfer.get()));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorBuffer);

    TimeInterval timeout = request.timeout;
    if (!std::isfinite(timeout) || timeout <= 0) timeout = 60;
    timeout = std::min(timeout, 86400.0);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout * 1000));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::ceil(timeout)));

    const std::string& method = request.method;
    const bool hasBody = request.body.has_value() && method != "GET" && method != "HEAD";
    if (method == "HEAD") {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (method == "GET") {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
      if (method == "POST") {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
      } else {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
      }
      if (hasBody || method == "POST") {
        const std::string& body = hasBody ? *request.body : std::string();
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body.c_str());
      }
    }

    bool hasExpect = false;
    for (const auto& [name, value] : request.headers) {
      if (!isSendableField(name, value)) continue;
      if (HTTPHeaderFields::namesEqual(name, "Expect")) hasExpect = true;
      // "Name;" is how curl is told to send a field with an empty value.
      std::string line = value.empty() ? name + ";" : name + ": " + value;
      transfer->headers = curl_slist_append(transfer->headers, line.c_str());
    }
    // The server answers at once; waiting for "100 Continue" only slows uploads.
    if (!hasExpect) transfer->headers = curl_slist_append(transfer->headers, "Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers);
  }
  {
    std::lock_guard lock(impl_->mutex);
    impl_->waiting.push_back(std::move(transfer));
    ++impl_->statistics.waiting;
  }
  curl_multi_wakeup(impl_->multi);
  return id;
}

void CurlTransport::cancel(std::uint64_t id) {
  {
    std::lock_guard lock(impl_->mutex);
    auto it = std::find_if(impl_->waiting.begin(), impl_->waiting.end(), [&](const auto& t) { return t->id == id; });
    if (it != impl_->waiting.end()) {
      impl_->waiting.erase(it);
      --impl_->statistics.waiting;
      return;
    }
    impl_->toCancel.push_back(id);
  }
  curl_multi_wakeup(impl_->multi);
}

CurlTransport::Statistics CurlTransport::statisticsForTesting() {
  std::lock_guard lock(impl_->mutex);
  return impl_->statistics;
}

void CurlTransport::resetPeaksForTesting() {
  std::lock_guard lock(impl_->mutex);
  impl_->statistics.peakQueuedBytes = impl_->statistics.queuedBytes;
  impl_->statistics.peakRunning = impl_->statistics.running;
}

void CurlTransport::setConnectionLimitsForTesting(std::size_t total, std::size_t perHost) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->totalLimit = total;
    impl_->perHostLimit = perHost;
  }
  curl_multi_wakeup(impl_->multi);
}

bool CurlTransport::waitUntilPausedForTesting(TimeInterval realSeconds) {
  std::unique_lock lock(impl_->mutex);
  return impl_->pausedChanged.wait_for(lock, std::chrono::duration<double>(realSeconds),
                                       [&] { return impl_->statistics.paused > 0; });
}

std::size_t CurlTransport::Impl::totalCapLocked() const {
  std::size_t cap = totalLimit ? totalLimit : kMaxConnections;
  // Each connection is a descriptor, and the process needs most of them for other things.
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    cap = std::min<std::size_t>(cap, std::max<std::size_t>(1, static_cast<std::size_t>(limit.rlim_cur / 4)));
  }
  return cap;
}

void CurlTransport::Impl::takeStartableLocked(std::vector<std::unique_ptr<Transfer>>& starting) {
  const std::size_t total = totalCapLocked();
  const std::size_t hostCap = perHostLimit ? perHostLimit : kMaxConnectionsPerHost;
  std::map<std::string, std::size_t> hosts = perHost;
  std::size_t count = running.size();
  for (auto it = waiting.begin(); it != waiting.end() && count < total;) {
    std::size_t& onHost = hosts[(*it)->hostKey];
    if (onHost >= hostCap) {
      ++it;
      continue;
    }
    ++onHost;
    ++count;
    starting.push_back(std::move(*it));
    it = waiting.erase(it);
    --statistics.waiting;
  }
  const long curlLimit = static_cast<long>(total);
  if (curlLimit != curlTotalLimit) {
    // Idle kept-alive connections count too, so curl closes them to make room.
    curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, curlLimit);
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, std::max(1L, curlLimit / 2));
    curlTotalLimit = curlLimit;
  }
}

void CurlTransport::Impl::begin(std::unique_ptr<Transfer> transfer) {
  if (!transfer->easy || curl_multi_add_handle(multi, transfer->easy) != CURLM_OK) {
    transfer->client->transferDidComplete(kURLErrorUnknown);
    return;
  }
  ++perHost[transfer->hostKey];
  const std::uint64_t id = transfer->id;
  running[id] = std::move(transfer);
  std::lock_guard lock(mutex);
  statistics.running = running.size();
  statistics.peakRunning = std::max(statistics.peakRunning, statistics.running);
}

void CurlTransport::Impl::remove(std::map<std::uint64_t, std::unique_ptr<Transfer>>::iterator it) {
  Transfer& transfer = *it->second;
  curl_multi_remove_handle(multi, transfer.easy);
  if (auto host = perHost.find(transfer.hostKey); host != perHost.end() && --host->second == 0) perHost.erase(host);
  std::lock_guard lock(mutex);
  if (transfer.flow->paused) {
    transfer.flow->paused = false;
    --statistics.paused;
  }
  statistics.running = running.size() - 1;
}

void CurlTransport::Impl::finish(std::uint64_t id, CURLcode result) {
  auto it = running.find(id);
  if (it == running.end()) return;
  remove(it);
  std::unique_ptr<Transfer> transfer = std::move(it->second);
  running.erase(it);
  std::int64_t error = urlErrorForCurlCode(result);
  if (transfer->tooLarge) {
    error = kURLErrorDataLengthExceedsMaximum;
  } else if (transfer->badHead) {
    error = kURLErrorBadServerResponse;
  } else if (error == 0 && !transfer->headDelivered) {
    error = kURLErrorBadServerResponse;
  }
  transfer->client->transferDidComplete(error);
}

void CurlTransport::Impl::loop() {
  bool busy = false;
  for (;;) {
    // Finished transfers free connections for waiting ones: no idle wait then.
    curl_multi_poll(multi, nullptr, 0, busy ? 0 : 1000, nullptr);
    busy = false;
    std::vector<std::uint64_t> cancelling;
    std::vector<std::uint64_t> resuming;
    {
      std::lock_guard lock(mutex);
      cancelling.swap(toCancel);
      resuming.swap(toResume);
    }
    for (std::uint64_t id : cancelling) {
      auto it = running.find(id);
      if (it == running.end()) continue;
      remove(it);
      running.erase(it);
    }
    std::vector<std::unique_ptr<Transfer>> starting;
    {
      std::lock_guard lock(mutex);
      takeStartableLocked(starting);
    }
    for (auto& transfer : starting) begin(std::move(transfer));
    for (std::uint64_t id : resuming) {
      // May deliver what curl kept back, through onBody, right here.
      if (auto it = running.find(id); it != running.end()) curl_easy_pause(it->second->easy, CURLPAUSE_CONT);
    }

    int stillRunning = 0;
    curl_multi_perform(multi, &stillRunning);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      void* pointer = nullptr;
      curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &pointer);
      const CURLcode result = message->data.result;
      if (pointer) finish(static_cast<Transfer*>(pointer)->id, result);
      busy = true;
    }
  }
}

}  // namespace platform::detail
