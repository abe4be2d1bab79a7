// The loopback HTTP server that stands in for the ad network in tests: it listens on
// 127.0.0.1 on a free port, on threads of its own, and answers scripted routes (exact
// path -> status, headers, body; redirects; byte ranges with 206 and Content-Range; a
// response cut short; an endless one; a response held until the test releases it). It records every
// request it receives. Stops in its destructor (held responses are released first).
//
//   testenv::LoopbackServer server;
//   server.route("/ad", {.status = 200, .body = "<html>"});
//   platform::URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
//
// Every member may be called from any thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace testenv {

struct RecordedRequest {
  std::string method;
  std::string path;                                          // without the query
  std::optional<std::string> query;                          // raw, without "?"
  std::vector<std::pair<std::string, std::string>> headers;  // as received
  std::string body;

  // The first header of that name (any case).
  std::optional<std::string> header(std::string_view name) const;
};

struct ScriptedResponse {
  int status = 200;
  // Extra header fields; a "Content-Type" here replaces contentType.
  std::vector<std::pair<std::string, std::string>> headers{};
  std::string body{};
  std::string contentType = "text/html; charset=utf-8";
  // Honour a single "Range: bytes=..." request with 206 and Content-Range (416 when it
  // cannot be satisfied); otherwise the whole body is sent with the status.
  bool ranges = false;
  // Announce the whole body but send only this many bytes, then drop the connection.
  std::optional<std::size_t> cutAfterBytes{};
  // Send `body` over and over, chunked, until the client goes away or the server stops.
  bool endless = false;
  // Hold the answer until release() of this path (or the server stops).
  bool held = false;
  // Send this many bytes of the body (after any range is applied), then hold the rest
  // until release() of this path: a body that arrives in two paces.
  std::optional<std::size_t> pausedAfterBytes{};
};

class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>"
  std::string baseURL() const;

  // Answers `path` (any method) with `response`. Unrouted paths get 404 "not found".
  void route(const std::string& path, ScriptedResponse response);
  // Answers `path` with what `handler` makes of each request.
  void route(const std::string& path, std::function<ScriptedResponse(const RecordedRequest&)> handler);
  // A redirect from `path` to `location` (relative or absolute), status 302 by default.
  void redirect(const std::string& path, const std::string& location, int status = 302);

  // Lets held answers of `path` go, now and from now on.
  void release(const std::string& path);
  // Requests of `path` now waiting in a held answer.
  std::size_t heldCount(const std::string& path) const;

  std::vector<RecordedRequest> requests() const;
  // Requests received for `path`.
  std::vector<RecordedRequest> requests(const std::string& path) const;
  std::size_t requestCount() const;

 private:
  struct Route;
  ScriptedResponse answer(const RecordedRequest& request);
  // Waits until `path` is released (or the server stops); false when stopping.
  bool waitForRelease(const std::string& path);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, std::shared_ptr<Route>> routes_;
  std::map<std::string, std::size_t> held_;
  std::vector<RecordedRequest> requests_;
  bool stopping_ = false;
};

}  // namespace testenv
