#include "testing/LoopbackServer.h"

#include "platform/base/ASCIIString.h"

// Load tests open hundreds of connections at once; a short listen queue would drop some.
#define CPPHTTPLIB_LISTEN_BACKLOG 4096
#include <algorithm>
#include <cctype>
#include <charconv>
#include <httplib.h>
#include <stdexcept>

namespace testenv {

namespace {

std::optional<std::uint64_t> parseNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The byte range [first, last] that a single-range "bytes=" header asks of a body of
// `size` bytes; std::nullopt when it cannot be satisfied. `ignored` is set when the
// header is not one single byte range (the whole body is then sent).
std::optional<std::pair<std::uint64_t, std::uint64_t>> rangeOf(std::string_view header, std::uint64_t size,
                                                               bool& ignored) {
  ignored = true;
  constexpr std::string_view kPrefix = "bytes=";
  if (header.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  std::string_view rangeText = header.substr(kPrefix.size());
  if (rangeText.find(',') != std::string_view::npos) return std::nullopt;
  auto dash = rangeText.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  auto first = parseNumber(rangeText.substr(0, dash));
  auto last = parseNumber(rangeText.substr(dash + 1));
  if (!first && !last) return std::nullopt;
  ignored = false;
  if (!first) {  // "bytes=-N": the last N bytes
    if (*last == 0 || size == 0) return std::nullopt;
    std::uint64_t n = std::min(*last, size);
    return std::make_pair(size - n, size - 1);
  }
  if (*first >= size) return std::nullopt;
  if (last && *last < *first) {
    ignored = true;  // a syntactically invalid range is ignored
    return std::nullopt;
  }
  std::uint64_t end = last ? std::min(*last, size - 1) : size - 1;
  return std::make_pair(*first, end);
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (platform::equalsIgnoringASCIICase(key, name)) return value;
  }
  return std::nullopt;
}

struct LoopbackServer::Route {
  std::function<ScriptedResponse(const RecordedRequest&)> handler;
  bool released = false;
};

LoopbackServer::LoopbackServer() : server_(std::make_unique<httplib::Server>()) {
  auto handle = [this](const httplib::Request& in, httplib::Response& out) {
    // The library would apply any Range header to every answer; ranges are ours to serve.
    const_cast<httplib::Request&>(in).ranges.clear();

    RecordedRequest request;
    request.method = in.method;
    std::string_view target = in.target;
    auto question = target.find('?');
    request.path = std::string(target.substr(0, question));
    if (question != std::string_view::npos) request.query = std::string(target.substr(question + 1));
    for (const auto& [key, value] : in.headers) {
      // The library adds the socket's addresses as pseudo-headers.
      if (key == "REMOTE_ADDR" || key == "REMOTE_PORT" || key == "LOCAL_ADDR" || key == "LOCAL_PORT") {
        continue;
      }
      request.headers.emplace_back(key, value);
    }
    request.body = in.body;

    ScriptedResponse response = answer(request);
    out.status = response.status;
    std::string contentType = response.contentType;
    for (const auto& [key, value] : response.headers) {
      if (platform::equalsIgnoringASCIICase(key, "Content-Type")) {
        contentType = value;
      } else {
        out.set_header(key, value);
      }
    }

    std::string body = std::move(response.body);
    if (response.ranges) {
      out.set_header("Accept-Ranges", "bytes");
      if (auto header = request.header("Range")) {
        bool ignored = false;
        auto range = rangeOf(*header, body.size(), ignored);
        if (range) {
          out.status = 206;
          out.set_header("Content-Range", "bytes " + std::to_string(range->first) + "-" +
                                              std::to_string(range->second) + "/" + std::to_string(body.size()));
          body = body.substr(range->first, range->second - range->first + 1);
        } else if (!ignored) {
          out.status = 416;
          out.set_header("Content-Range", "bytes */" + std::to_string(body.size()));
          body.clear();
        }
      }
    }

    if (response.endless) {
      auto shared = std::make_shared<std::string>(body.empty() ? std::string(1, 'x') : std::move(body));
      out.set_chunked_content_provider(contentType, [this, shared](std::size_t, httplib::DataSink& sink) {
        {
          std::lock_guard lock(mutex_);
          if (stopping_) return false;
        }
        return sink.write(shared->data(), shared->size());
      });
    } else if (response.pausedAfterBytes && *response.pausedAfterBytes < body.size()) {
      auto shared = std::make_shared<std::string>(std::move(body));
      const std::size_t pause = *response.pausedAfterBytes;
      const std::string path = request.path;
      out.set_content_provider(
          shared->size(), contentType,
          [this, shared, pause, path](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            if (offset >= pause && !waitForRelease(path)) return false;
            const std::size_t end = offset < pause ? pause : shared->size();
            sink.write(shared->data() + offset, std::min(length, end - offset));
            return true;
          });
    } else if (response.cutAfterBytes && *response.cutAfterBytes < body.size()) {
      auto shared = std::make_shared<std::string>(std::move(body));
      std::size_t cut = *response.cutAfterBytes;
      out.set_content_provider(shared->size(), contentType,
                               [shared, cut](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                 if (offset >= cut) return false;  // drops the connection
                                 std::size_t n = std::min(length, cut - offset);
                                 sink.write(shared->data() + offset, n);
                                 return true;
                               });
    } else {
      out.set_content(body, contentType);
    }
  };
  server_->Get(".*", handle);
  server_->Post(".*", handle);
  server_->Put(".*", handle);
  server_->Patch(".*", handle);
  server_->Delete(".*", handle);
  server_->Options(".*", handle);

  // One request per connection: an idle kept-alive connection would hold the server's
  // shutdown for seconds.
  server_->set_keep_alive_max_count(1);
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("loopback server: cannot bind 127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() only takes effect once the accept loop runs; wait for it so the destructor
  // can never miss it. Connections made meanwhile wait in the listen backlog.
  while (!server_->is_running()) std::this_thread::yield();
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  released_.notify_all();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string LoopbackServer::baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }

void LoopbackServer::route(const std::string& path, ScriptedResponse response) {
  route(path, [response = std::move(response)](const RecordedRequest&) { return response; });
}

void LoopbackServer::route(const std::string& path, std::function<ScriptedResponse(const RecordedRequest&)> handler) {
  auto entry = std::make_shared<Route>();
  entry->handler = std::move(handler);
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(entry);
}

void LoopbackServer::redirect(const std::string& path, const std::string& location, int status) {
  ScriptedResponse response;
  response.status = status;
  response.headers = {{"Location", location}};
  response.contentType = "text/plain";
  route(path, std::move(response));
}

void LoopbackServer::release(const std::string& path) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = routes_.find(path); it != routes_.end()) it->second->released = true;
  }
  released_.notify_all();
}

std::size_t LoopbackServer::heldCount(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto it = held_.find(path);
  return it == held_.end() ? 0 : it->second;
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<RecordedRequest> LoopbackServer::requests(const std::string& path) const {
  std::lock_guard lock(mutex_);
  std::vector<RecordedRequest> result;
  std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(result),
               [&](const RecordedRequest& r) { return r.path == path; });
  return result;
}

std::size_t LoopbackServer::requestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

bool LoopbackServer::waitForRelease(const std::string& path) {
  std::unique_lock lock(mutex_);
  auto it = routes_.find(path);
  if (it == routes_.end()) return false;
  auto entry = it->second;
  ++held_[path];
  released_.wait(lock, [&] { return entry->released || stopping_; });
  --held_[path];
  return !stopping_;
}

ScriptedResponse LoopbackServer::answer(const RecordedRequest& request) {
  std::shared_ptr<Route> entry;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (auto it = routes_.find(request.path); it != routes_.end()) entry = it->second;
  }
  if (!entry) {
    ScriptedResponse notFound;
    notFound.status = 404;
    notFound.body = "not found";
    notFound.contentType = "text/plain";
    return notFound;
  }
  ScriptedResponse response = entry->handler(request);
  if (response.held) {
    std::unique_lock lock(mutex_);
    ++held_[request.path];
    released_.wait(lock, [&] { return entry->released || stopping_; });
    --held_[request.path];
  }
  return response;
}

}  // namespace testenv

#if defined(__SANITIZE_THREAD__)
// The server library comes from the system, built without ThreadSanitizer: its own
// locking is invisible to the sanitizer, so what it does inside is not ours to report.
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libcpp-httplib.so\n"; }
#endif
