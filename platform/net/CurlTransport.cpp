#include "platform/net/CurlTransport.h"

#include <csignal>
#include <curl/curl.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/base/Error.h"
#include "platform/net/HTTPResponseHeadParser.h"

namespace platform::detail {

namespace {

struct Transfer {
  std::uint64_t id = 0;
  std::shared_ptr<TransferClient> client;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  HTTPResponseHeadParser parser;
  bool headDelivered = false;
  bool badHead = false;
  char errorBuffer[CURL_ERROR_SIZE] = {};

  ~Transfer() {
    if (easy) curl_easy_cleanup(easy);
    if (headers) curl_slist_free_all(headers);
  }
};

std::int64_t urlErrorForCurlCode(CURLcode code) {
  switch (code) {
    case CURLE_OK: return 0;
    case CURLE_UNSUPPORTED_PROTOCOL: return kURLErrorUnsupportedURL;
    case CURLE_URL_MALFORMAT: return kURLErrorBadURL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return kURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT: return kURLErrorCannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT: return kURLErrorTimedOut;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM: return kURLErrorNetworkConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING: return kURLErrorBadServerResponse;
    case CURLE_FILESIZE_EXCEEDED: return kURLErrorDataLengthExceedsMaximum;
    case CURLE_PEER_FAILED_VERIFICATION: return kURLErrorServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS: return kURLErrorSecureConnectionFailed;
    default: return kURLErrorUnknown;
  }
}

}  // namespace

struct CurlTransport::Impl {
  std::mutex mutex;
  std::deque<std::unique_ptr<Transfer>> toStart;
  std::vector<std::uint64_t> toCancel;
  std::uint64_t nextId = 1;

  // I/O thread only.
  CURLM* multi = nullptr;
  std::map<std::uint64_t, std::unique_ptr<Transfer>> running;
  std::thread thread;

  void loop();
  void begin(std::unique_ptr<Transfer> transfer);
  void finish(std::uint64_t id, CURLcode result);
};

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
                                             transfer->parser.headerFields(),
                                             transfer->parser.setCookieValues());
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
  if (length > 0) transfer->client->transferDidReceiveBody(std::string_view(data, length));
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
  transfer->client = std::move(client);
  transfer->easy = curl_easy_init();
  CURL* easy = transfer->easy;
  std::uint64_t id;
  {
    std::lock_guard lock(impl_->mutex);
    id = impl_->nextId++;
  }
  transfer->id = id;
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
    impl_->toStart.push_back(std::move(transfer));
  }
  curl_multi_wakeup(impl_->multi);
  return id;
}

void CurlTransport::cancel(std::uint64_t id) {
  {
    std::lock_guard lock(impl_->mutex);
    auto it = std::find_if(impl_->toStart.begin(), impl_->toStart.end(),
                           [&](const auto& t) { return t->id == id; });
    if (it != impl_->toStart.end()) {
      impl_->toStart.erase(it);
      return;
    }
    impl_->toCancel.push_back(id);
  }
  curl_multi_wakeup(impl_->multi);
}

void CurlTransport::Impl::begin(std::unique_ptr<Transfer> transfer) {
  if (!transfer->easy) {
    transfer->client->transferDidComplete(kURLErrorUnknown);
    return;
  }
  if (curl_multi_add_handle(multi, transfer->easy) != CURLM_OK) {
    transfer->client->transferDidComplete(kURLErrorUnknown);
    return;
  }
  running[transfer->id] = std::move(transfer);
}

void CurlTransport::Impl::finish(std::uint64_t id, CURLcode result) {
  auto it = running.find(id);
  if (it == running.end()) return;
  std::unique_ptr<Transfer> transfer = std::move(it->second);
  running.erase(it);
  curl_multi_remove_handle(multi, transfer->easy);
  std::int64_t error = urlErrorForCurlCode(result);
  if (transfer->badHead) {
    error = kURLErrorBadServerResponse;
  } else if (error == 0 && !transfer->headDelivered) {
    error = kURLErrorBadServerResponse;
  }
  transfer->client->transferDidComplete(error);
}

void CurlTransport::Impl::loop() {
  for (;;) {
    std::deque<std::unique_ptr<Transfer>> starting;
    std::vector<std::uint64_t> cancelling;
    {
      std::lock_guard lock(mutex);
      starting.swap(toStart);
      cancelling.swap(toCancel);
    }
    for (std::uint64_t id : cancelling) {
      auto it = running.find(id);
      if (it == running.end()) continue;
      curl_multi_remove_handle(multi, it->second->easy);
      running.erase(it);
    }
    for (auto& transfer : starting) begin(std::move(transfer));

    int stillRunning = 0;
    curl_multi_perform(multi, &stillRunning);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      void* pointer = nullptr;
      curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &pointer);
      const CURLcode result = message->data.result;
      if (pointer) finish(static_cast<Transfer*>(pointer)->id, result);
    }
    curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
  }
}

}  // namespace platform::detail
