#include "platform/net/URLConnection.h"

#include <arpa/inet.h>
#include <atomic>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/TestingReset.h"
#include "platform/net/CurlTransport.h"
#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/URLLoading.h"
#include "platform/net/URLProtocol.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

URL url(const std::string& string) { return *URL::fromString(string); }

// Writes down everything a connection delivers, in order.
class Recorder : public URLConnectionDelegate {
 public:
  std::optional<URLRequest> connectionWillSendRequest(URLConnection&, URLRequest request,
                                                      const HTTPURLResponse& response) override {
    events.push_back("redirect " + std::to_string(response.statusCode()) + " " + response.url().absoluteString() +
                     " -> " + request.url()->absoluteString());
    onMainThread = onMainThread && isMainThread();
    return onRedirect ? onRedirect(std::move(request)) : std::optional<URLRequest>(std::move(request));
  }
  void connectionDidReceiveResponse(URLConnection&, const HTTPURLResponse& r) override {
    events.push_back("response " + std::to_string(r.statusCode()));
    response.emplace(r);
    onMainThread = onMainThread && isMainThread();
  }
  void connectionDidReceiveData(URLConnection& connection, std::string_view data) override {
    body.append(data);
    if (cancelOnData) connection.cancel();
  }
  void connectionDidFinishLoading(URLConnection&) override {
    events.push_back("finish");
    done = true;
  }
  void connectionDidFailWithError(URLConnection&, const ErrorPtr& e) override {
    events.push_back("fail " + std::to_string(e->code()));
    error = e;
    done = true;
  }

  std::function<std::optional<URLRequest>(URLRequest)> onRedirect;
  bool cancelOnData = false;
  std::vector<std::string> events;
  std::optional<HTTPURLResponse> response;
  std::string body;
  ErrorPtr error;
  bool done = false;
  bool onMainThread = true;
};

class URLConnectionTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    URLLoading::setLoopbackOnlyForTesting(true);
    URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
  }

  std::shared_ptr<Recorder> load(URLRequest request,
                                 std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>()) {
    auto connection = URLConnection::create(std::move(request), recorder);
    connection->start();
    EXPECT_TRUE(env.runUntil([&] { return recorder->done; }));
    return recorder;
  }

  testenv::LoopbackServer server;
};

TEST_F(URLConnectionTest, RedirectChainArrivesHopByHopUnderTheOriginalHost) {
  server.redirect("/r1", "/r2", 301);
  server.redirect("/r2", "https://ads.example.com/final?x=1", 307);
  server.route("/final", {.status = 200, .headers = {{"X-Qyra-Refresh-Rate", "30"}}, .body = "<html>ad</html>"});

  auto recorder = load(URLRequest(url("https://ads.example.com/r1")));

  EXPECT_EQ(recorder->events,
            (std::vector<std::string>{"redirect 301 https://ads.example.com/r1 -> https://ads.example.com/r2",
                                      "redirect 307 https://ads.example.com/r2 -> https://ads.example.com/final?x=1",
                                      "response 200", "finish"}));
  EXPECT_TRUE(recorder->onMainThread);
  EXPECT_EQ(recorder->response->url().absoluteString(), "https://ads.example.com/final?x=1");
  EXPECT_EQ(recorder->response->valueForHTTPHeaderField("x-qyra-refresh-rate"), "30");
  EXPECT_EQ(recorder->body, "<html>ad</html>");
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].path, "/final");
  EXPECT_EQ(requests[2].query, "x=1");
  EXPECT_EQ(requests[2].header("Host"), "ads.example.com");
}

TEST_F(URLConnectionTest, VetoedRedirectIsTheFinalResponse) {
  server.route("/r1", {.status = 302, .headers = {{"Location", "/r2"}}, .body = "moved"});
  auto recorder = std::make_shared<Recorder>();
  recorder->onRedirect = [](URLRequest) { return std::nullopt; };

  load(URLRequest(url("https://ads.example.com/r1")), recorder);

  EXPECT_EQ(recorder->events,
            (std::vector<std::string>{"redirect 302 https://ads.example.com/r1 -> https://ads.example.com/r2",
                                      "response 302", "finish"}));
  EXPECT_EQ(recorder->body, "moved");
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(URLConnectionTest, DelegateMayRewriteTheNextRequest) {
  server.redirect("/r1", "/elsewhere");
  server.route("/chosen", {.body = "chosen"});
  auto recorder = std::make_shared<Recorder>();
  recorder->onRedirect = [](URLRequest request) {
    request.setURL(url("https://ads.example.com/chosen"));
    request.setValue("1", "X-Hop");
    return request;
  };
  load(URLRequest(url("https://ads.example.com/r1")), recorder);
  EXPECT_EQ(recorder->body, "chosen");
  ASSERT_EQ(server.requests("/chosen").size(), 1u);
  EXPECT_EQ(server.requests("/chosen")[0].header("x-hop"), "1");
}

TEST_F(URLConnectionTest, PostTurnsIntoGetOn303AndSendsBodyAndHeaders) {
  server.redirect("/submit", "/done", 303);
  server.route("/done", {.body = "ok"});
  URLRequest request(url("https://ads.example.com/submit"));
  request.setHTTPMethod("POST");
  request.setHTTPBody("a=1&b=2");
  request.setValue("application/x-www-form-urlencoded", "Content-Type");
  request.setValue("SDK/1.0", "User-Agent");
  request.setValue("x\r\nInjected: yes", "X-Hostile");

  load(request);

  auto submit = server.requests("/submit");
  ASSERT_EQ(submit.size(), 1u);
  EXPECT_EQ(submit[0].method, "POST");
  EXPECT_EQ(submit[0].body, "a=1&b=2");
  EXPECT_EQ(submit[0].header("User-Agent"), "SDK/1.0");
  EXPECT_FALSE(submit[0].header("Injected"));
  EXPECT_FALSE(submit[0].header("X-Hostile"));
  auto done = server.requests("/done");
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].method, "GET");
  EXPECT_EQ(done[0].body, "");
}

TEST_F(URLConnectionTest, HTTPErrorsAreResponsesWithBodies) {
  server.route("/missing", {.status = 404, .body = "no such ad", .contentType = "text/plain"});
  auto recorder = load(URLRequest(url("https://ads.example.com/missing")));
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"response 404", "finish"}));
  EXPECT_EQ(recorder->response->statusCode(), 404);
  EXPECT_EQ(recorder->response->MIMEType(), "text/plain");
  EXPECT_EQ(recorder->response->expectedContentLength(), 10);
  EXPECT_EQ(recorder->body, "no such ad");
}

TEST_F(URLConnectionTest, RangeRequestsGetTheRightBytes) {
  std::string video(100000, '\0');
  for (std::size_t i = 0; i < video.size(); ++i) video[i] = static_cast<char>('a' + i % 26);
  server.route("/video.mp4", {.body = video, .contentType = "video/mp4", .ranges = true});

  URLRequest request(url("https://ads.example.com/video.mp4"), URLRequest::CachePolicy::ReloadIgnoringLocalCacheData);
  request.setValue("bytes=50000-", "Range");
  auto tail = load(request);
  EXPECT_EQ(tail->response->statusCode(), 206);
  EXPECT_EQ(tail->response->valueForHTTPHeaderField("Content-Range"), "bytes 50000-99999/100000");
  EXPECT_EQ(tail->response->expectedContentLength(), 50000);
  EXPECT_EQ(tail->body, video.substr(50000));

  request.setValue("bytes=200000-", "Range");
  auto beyond = load(request);
  EXPECT_EQ(beyond->response->statusCode(), 416);
}

TEST_F(URLConnectionTest, CancelDeliversNothingMore) {
  server.route("/slow", {.body = "late", .held = true});
  server.route("/fast", {.body = "fast"});
  auto recorder = std::make_shared<Recorder>();
  auto connection = URLConnection::create(URLRequest(url("https://ads.example.com/slow")), recorder);
  connection->start();
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/slow") == 1; }));

  connection->cancel();
  server.release("/slow");
  // A later load on the same loader finishing shows the first had time to deliver.
  auto barrier = load(URLRequest(url("https://ads.example.com/fast")));
  env.advance(120);

  EXPECT_EQ(barrier->body, "fast");
  EXPECT_TRUE(recorder->events.empty());
}

// A load still on its way when a test ends is ended with the test: it keeps its
// connection alive while it runs, so left alone it would deliver into the next test, or
// stay at exit as a cycle the leak checker reports.
TEST_F(URLConnectionTest, ALoadStillRunningWhenATestEndsIsEndedWithIt) {
  server.route("/slow", {.body = "late", .held = true});
  auto recorder = std::make_shared<Recorder>();
  std::weak_ptr<URLConnection> weak;
  {
    auto connection = URLConnection::create(URLRequest(url("https://ads.example.com/slow")), recorder);
    connection->start();
    weak = connection;
  }
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/slow") == 1; }));
  ASSERT_FALSE(weak.expired());  // the running load holds it

  runTestingResets();  // as the test environment does when a test ends
  EXPECT_TRUE(weak.expired());
  server.release("/slow");
  URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
  auto barrier = load(URLRequest(url("https://ads.example.com/fast")));
  EXPECT_TRUE(barrier->done);
  EXPECT_TRUE(recorder->events.empty());
}

TEST_F(URLConnectionTest, CancelFromADelegateCallbackStopsThere) {
  server.route("/big", {.body = std::string(1 << 20, 'x')});
  auto recorder = std::make_shared<Recorder>();
  recorder->cancelOnData = true;
  auto connection = URLConnection::create(URLRequest(url("https://ads.example.com/big")), recorder);
  connection->start();
  ASSERT_TRUE(env.runUntil([&] { return !recorder->body.empty(); }));
  auto barrier = load(URLRequest(url("https://ads.example.com/nothing")));
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"response 200"}));
  EXPECT_LT(recorder->body.size(), std::size_t{1} << 20);
}

TEST_F(URLConnectionTest, ClosedPortFailsToConnect) {
  // A socket that is bound but not listening: connections to it are refused.
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  URLLoading::mapHostForTesting("closed.example.com", "127.0.0.1", ntohs(address.sin_port));

  auto recorder = load(URLRequest(url("https://closed.example.com/ad")));
  close(fd);

  ASSERT_TRUE(recorder->error);
  EXPECT_EQ(recorder->error->domain(), kURLErrorDomain);
  EXPECT_EQ(recorder->error->code(), kURLErrorCannotConnectToHost);
  EXPECT_EQ(recorder->error->userInfoString(kErrorFailingURLStringKey), "https://closed.example.com/ad");
}

TEST_F(URLConnectionTest, RequestTimeOutFiresOnVirtualTime) {
  server.route("/held", {.body = "never", .held = true});
  URLRequest request(url("https://ads.example.com/held"));
  request.setTimeoutInterval(5);
  auto recorder = std::make_shared<Recorder>();
  auto connection = URLConnection::create(request, recorder);
  connection->start();
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/held") == 1; }));

  env.advance(4.9);
  EXPECT_FALSE(recorder->done);
  env.advance(0.2);
  ASSERT_TRUE(recorder->done);
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"fail -1001"}));
  EXPECT_EQ(recorder->error->userInfoString(kErrorFailingURLStringKey), "https://ads.example.com/held");
  server.release("/held");
}

TEST_F(URLConnectionTest, ConnectionLostMidBodyAndOfflineAndForeignHostsFail) {
  server.route("/cut", {.body = std::string(10000, 'x'), .cutAfterBytes = 100});
  EXPECT_EQ(load(URLRequest(url("https://ads.example.com/cut")))->error->code(), kURLErrorNetworkConnectionLost);

  // The loopback guard keeps tests off the real network.
  EXPECT_EQ(load(URLRequest(url("https://elsewhere.invalid/")))->error->code(), kURLErrorCannotFindHost);
  EXPECT_EQ(load(URLRequest(url("ftp://ads.example.com/")))->error->code(), kURLErrorUnsupportedURL);
  EXPECT_EQ(load(URLRequest())->error->code(), kURLErrorBadURL);

  URLLoading::setOffline(true);
  EXPECT_EQ(load(URLRequest(url("https://ads.example.com/ad")))->error->code(), kURLErrorNotConnectedToInternet);
  URLLoading::setOffline(false);
  EXPECT_EQ(server.requests("/ad").size(), 0u);
}

TEST_F(URLConnectionTest, RedirectLoopsAndHostileRequestsEndCleanly) {
  server.redirect("/loop", "/loop");
  auto loop = load(URLRequest(url("https://ads.example.com/loop")));
  EXPECT_EQ(loop->error->code(), kURLErrorHTTPTooManyRedirects);
  EXPECT_EQ(server.requests("/loop").size(), 17u);

  URLRequest badMethod(url("https://ads.example.com/ad"));
  badMethod.setHTTPMethod("GET /x HTTP/1.1\r\nHost: evil");
  EXPECT_EQ(load(badMethod)->error->code(), kURLErrorBadURL);
  EXPECT_EQ(server.requests("/ad").size(), 0u);

  // Without a delegate the load still runs to its end and lets go of itself.
  server.route("/ping", {.body = "ok"});
  auto connection = URLConnection::create(URLRequest(url("https://ads.example.com/ping")), nullptr);
  connection->start();
  std::weak_ptr<URLConnection> weak = connection;
  connection.reset();
  EXPECT_TRUE(env.runUntil([&] { return weak.expired(); }));
  EXPECT_EQ(server.requests("/ping").size(), 1u);
}

TEST_F(URLConnectionTest, CookiesComeBackToTheirHost) {
  server.route("/set", {.headers = {{"Set-Cookie", "id=abc; Path=/"}, {"Set-Cookie", "gone=1; Max-Age=0"}}});
  server.route("/next", {.body = "ok"});
  load(URLRequest(url("https://ads.example.com/set")));
  load(URLRequest(url("https://ads.example.com/next")));
  URLRequest without(url("https://ads.example.com/next"));
  without.setHTTPShouldHandleCookies(false);
  load(without);

  auto next = server.requests("/next");
  ASSERT_EQ(next.size(), 2u);
  EXPECT_EQ(next[0].header("Cookie"), "id=abc");
  EXPECT_FALSE(next[1].header("Cookie"));
  EXPECT_EQ(HTTPCookieStorage::sharedStorage().cookieHeaderForURL(url("https://other.example.com/")), std::nullopt);
}

TEST_F(URLConnectionTest, DeliversOnTheChosenQueueAndCompletesAsynchronousRequests) {
  server.route("/ad", {.body = "body"});
  auto queue = OperationQueue::create("delivery");
  queue->setMaxConcurrentOperationCount(1);
  auto recorder = std::make_shared<Recorder>();
  auto connection = URLConnection::create(URLRequest(url("https://ads.example.com/ad")), recorder);
  connection->setDelegateQueue(queue);
  connection->start();
  ASSERT_TRUE(env.runUntil([&] { return recorder->done; }));
  EXPECT_FALSE(recorder->onMainThread);
  EXPECT_EQ(recorder->body, "body");

  std::optional<HTTPURLResponse> response;
  std::string data;
  bool called = false;
  URLConnection::sendAsynchronousRequest(URLRequest(url("https://ads.example.com/ad")), nullptr,
                                         [&](std::optional<HTTPURLResponse> r, std::string d, ErrorPtr e) {
                                           EXPECT_TRUE(isMainThread());
                                           EXPECT_FALSE(e);
                                           response = std::move(r);
                                           data = std::move(d);
                                           called = true;
                                         });
  ASSERT_TRUE(env.runUntil([&] { return called; }));
  EXPECT_EQ(response->statusCode(), 200);
  EXPECT_EQ(data, "body");
}

// The whole body is kept in memory, so a server that never stops sending must not take
// all of it.
TEST_F(URLConnectionTest, AsynchronousRequestRefusesAnEndlessBody) {
  server.route("/huge", {.body = std::string(URLConnection::kMaxAsynchronousBodyBytes + 1, 'x')});
  ErrorPtr error;
  std::string data;
  int calls = 0;
  URLConnection::sendAsynchronousRequest(URLRequest(url("https://ads.example.com/huge")), nullptr,
                                         [&](std::optional<HTTPURLResponse>, std::string d, ErrorPtr e) {
                                           error = std::move(e);
                                           data = std::move(d);
                                           ++calls;
                                         });
  ASSERT_TRUE(env.runUntil([&] { return calls > 0; }));
  env.runUntilIdle();
  EXPECT_EQ(calls, 1);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), kURLErrorDataLengthExceedsMaximum);
  EXPECT_TRUE(data.empty());
}

// Each caller chooses how much of a body it keeps; past it the load fails once.
TEST_F(URLConnectionTest, AsynchronousRequestKeepsAtMostTheCallersCap) {
  server.route("/endless", {.body = std::string(40000, 'x'), .endless = true});
  server.route("/exact", {.body = std::string(1000, 'x')});
  const struct {
    const char* path;
    std::size_t cap;
    bool fails;
  } rows[] = {{"/exact", 1000, false}, {"/exact", 999, true}, {"/endless", 100000, true}};
  for (const auto& row : rows) {
    ErrorPtr error;
    std::string data;
    int calls = 0;
    URLConnection::sendAsynchronousRequest(
        URLRequest(url(std::string("https://ads.example.com") + row.path)), nullptr,
        [&](std::optional<HTTPURLResponse>, std::string d, ErrorPtr e) {
          error = std::move(e);
          data = std::move(d);
          ++calls;
        },
        row.cap);
    ASSERT_TRUE(env.runUntil([&] { return calls > 0; })) << row.path;
    env.runUntilIdle();
    EXPECT_EQ(calls, 1) << row.path;
    EXPECT_EQ(error ? error->code() : std::int64_t{0}, row.fails ? std::int64_t{kURLErrorDataLengthExceedsMaximum} : 0)
        << row.path << row.cap;
    EXPECT_EQ(data.size(), row.fails ? 0 : 1000u) << row.path << row.cap;
  }
}

// A main thread that stops draining must not let the body pile up in memory: the transport
// pauses the transfer at its bound and resumes as the delegate catches up.
TEST_F(URLConnectionTest, StalledDelegatePausesAnEndlessBodyAtTheBound) {
  using detail::CurlTransport;
  constexpr std::size_t kBound = CurlTransport::kMaxQueuedBytesPerTransfer + 16384;
  server.route("/endless", {.body = std::string(40000, 'x'), .endless = true});
  auto& transport = CurlTransport::shared();
  transport.resetPeaksForTesting();
  auto idle = [&] {
    const auto statistics = transport.statisticsForTesting();
    return statistics.queuedBytes == 0 && statistics.running == 0;
  };
  // Cancelled while paused: nothing stays queued or paused.
  auto first = URLConnection::create(URLRequest(url("https://ads.example.com/endless")), nullptr);
  first->start();
  env.runUntilIdle();
  ASSERT_TRUE(transport.waitUntilPausedForTesting(20));
  first->cancel();
  EXPECT_TRUE(env.runUntil(idle));
  EXPECT_EQ(transport.statisticsForTesting().paused, 0u);

  auto recorder = std::make_shared<Recorder>();
  auto connection = URLConnection::create(URLRequest(url("https://ads.example.com/endless")), recorder);
  connection->start();
  env.runUntilIdle();  // hands the request to the transport

  ASSERT_TRUE(transport.waitUntilPausedForTesting(20));  // the main thread stalls meanwhile
  const auto stalled = transport.statisticsForTesting();
  EXPECT_GE(stalled.queuedBytes, CurlTransport::kMaxQueuedBytesPerTransfer);
  EXPECT_LT(stalled.peakQueuedBytes, kBound);

  ASSERT_TRUE(env.runUntil([&] { return recorder->body.size() >= 8 * CurlTransport::kMaxQueuedBytesPerTransfer; }));
  connection->cancel();
  EXPECT_LT(transport.statisticsForTesting().peakQueuedBytes, kBound);
  // Whatever was still queued is let go once dropped.
  EXPECT_TRUE(env.runUntil(idle));
  EXPECT_EQ(transport.statisticsForTesting().paused, 0u);
}

// The cap is checked as bytes arrive, for network transfers and interception handlers alike.
TEST_F(URLConnectionTest, BodyLimitFailsTheLoadAsTheBytesArrive) {
  server.route("/endless", {.body = std::string(40000, 'x'), .endless = true});
  server.route("/exact", {.body = std::string(1000, 'x')});
  struct Row {
    std::string path;
    std::size_t limit;
    std::string last;
  } rows[] = {
      {"/endless", 100000, "fail -1103"},
      {"/exact", 1000, "finish"},
      {"/exact", 999, "fail -1103"},
  };
  for (const auto& row : rows) {
    auto recorder = std::make_shared<Recorder>();
    auto connection = URLConnection::create(URLRequest(url("https://ads.example.com" + row.path)), recorder);
    connection->limitBodyLength(row.limit);
    connection->start();
    ASSERT_TRUE(env.runUntil([&] { return recorder->done; })) << row.path;
    EXPECT_EQ(recorder->events.back(), row.last) << row.path << " " << row.limit;
    EXPECT_LE(recorder->body.size(), row.limit);
  }
}

// A burst past the caps waits for connections instead of failing.
TEST_F(URLConnectionTest, ConnectionsPastTheCapsWaitTheirTurn) {
  using detail::CurlTransport;
  server.route("/held", {.body = "late", .held = true});
  struct Row {
    std::size_t total, perHost, running;
  } rows[] = {{3, 100, 3}, {100, 2, 2}};
  for (const auto& row : rows) {
    CurlTransport::shared().setConnectionLimitsForTesting(row.total, row.perHost);
    CurlTransport::shared().resetPeaksForTesting();
    std::vector<std::shared_ptr<Recorder>> recorders;
    std::vector<std::shared_ptr<URLConnection>> connections;
    for (int i = 0; i < 10; ++i) {
      recorders.push_back(std::make_shared<Recorder>());
      connections.push_back(URLConnection::create(URLRequest(url("https://ads.example.com/held")), recorders.back()));
      connections.back()->start();
    }
    ASSERT_TRUE(env.runUntil([&] {
      auto statistics = CurlTransport::shared().statisticsForTesting();
      return statistics.running == row.running && statistics.waiting == 10 - row.running;
    }));
    // One waiting load cancelled leaves the queue; the rest finish once answers flow.
    connections.back()->cancel();
    EXPECT_EQ(CurlTransport::shared().statisticsForTesting().waiting, 9 - row.running);
    server.release("/held");
    ASSERT_TRUE(env.runUntil(
        [&] { return std::all_of(recorders.begin(), recorders.end() - 1, [](auto& r) { return r->done; }); }));
    for (std::size_t i = 0; i + 1 < recorders.size(); ++i) EXPECT_EQ(recorders[i]->body, "late");
    EXPECT_TRUE(recorders.back()->events.empty());
    EXPECT_TRUE(env.runUntil([] { return CurlTransport::shared().statisticsForTesting().running == 0; }));
    // The caps held while the queue drained too.
    EXPECT_EQ(CurlTransport::shared().statisticsForTesting().peakRunning, row.running);
    server.route("/held", {.body = "late", .held = true});
  }
  CurlTransport::shared().setConnectionLimitsForTesting(0, 0);
}

// With only 256 descriptors, a thousand loads at once all complete.
TEST_F(URLConnectionTest, ThousandConcurrentLoadsCompleteUnderALowOpenFileLimit) {
  using detail::CurlTransport;
  server.route("/ping", {.body = "ok"});
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = std::min<rlim_t>(256, saved.rlim_cur);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  CurlTransport::shared().resetPeaksForTesting();

  int ok = 0, failed = 0;
  std::map<std::int64_t, int> errors;
  for (int i = 0; i < 1000; ++i) {
    URLConnection::sendAsynchronousRequest(URLRequest(url("https://ads.example.com/ping")), nullptr,
                                           [&](std::optional<HTTPURLResponse> response, std::string data, ErrorPtr e) {
                                             ++(response && data == "ok" ? ok : failed);
                                             if (e) ++errors[e->code()];
                                           });
  }
  const bool done = env.runUntil([&] { return ok + failed == 1000; }, std::chrono::seconds(120));
  setrlimit(RLIMIT_NOFILE, &saved);
  ASSERT_TRUE(done);
  EXPECT_EQ(ok, 1000) << ::testing::PrintToString(errors);
  const auto peak = CurlTransport::shared().statisticsForTesting().peakRunning;
  EXPECT_LE(peak, CurlTransport::kMaxConnectionsPerHost);
  EXPECT_GE(peak, 2u);
}

// An interception handler that answers "https://ads.example.com/mraid.js" itself, and
// redirects "/hop" to a request of its own that it marks so as not to claim it again.
class ScriptProtocol : public URLProtocol {
 public:
  using URLProtocol::URLProtocol;
  static inline int started = 0;
  static inline int stopped = 0;

  static bool canInitWithRequest(const URLRequest& request) {
    if (request.property("ScriptProtocolHandled")) return false;
    const auto path = request.url()->path();
    return path == "/mraid.js" || path == "/hop";
  }
  void startLoading() override {
    ++started;
    if (request().url()->path() == "/hop") {
      URLRequest own(url("https://ads.example.com/real"));
      own.setProperty("1", "ScriptProtocolHandled");
      client()->URLProtocolWasRedirectedToRequest(*this, own,
                                                  HTTPURLResponse(*request().url(), 302, {{"Location", "/real"}}));
      return;
    }
    client()->URLProtocolDidReceiveResponse(
        *this, HTTPURLResponse(*request().url(), 200, {{"Content-Type", "application/javascript"}}));
    client()->URLProtocolDidLoadData(*this, "window.mraid = {};");
    client()->URLProtocolDidFinishLoading(*this);
    // Anything after the finish is ignored.
    client()->URLProtocolDidLoadData(*this, "late");
  }
  void stopLoading() override { ++stopped; }
};

// Registered later, so asked first; claims nothing.
class DecliningProtocol : public URLProtocol {
 public:
  using URLProtocol::URLProtocol;
  static inline int asked = 0;
  static bool canInitWithRequest(const URLRequest&) {
    ++asked;
    return false;
  }
  void startLoading() override {}
  void stopLoading() override {}
};

TEST_F(URLConnectionTest, InterceptionAnswersWithoutTheNetwork) {
  ScriptProtocol::started = ScriptProtocol::stopped = DecliningProtocol::asked = 0;
  URLProtocol::registerClass<ScriptProtocol>();
  URLProtocol::registerClass<DecliningProtocol>();
  server.route("/real", {.body = "from network"});

  auto script = load(URLRequest(url("https://ads.example.com/mraid.js")));
  EXPECT_EQ(script->events, (std::vector<std::string>{"response 200", "finish"}));
  EXPECT_EQ(script->body, "window.mraid = {};");
  EXPECT_EQ(script->response->MIMEType(), "application/javascript");
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_EQ(DecliningProtocol::asked, 1);

  // A handler's redirect goes to the delegate; the marked request then goes to the network.
  auto hop = load(URLRequest(url("https://ads.example.com/hop")));
  EXPECT_EQ(hop->events,
            (std::vector<std::string>{"redirect 302 https://ads.example.com/hop -> https://ads.example.com/real",
                                      "response 200", "finish"}));
  EXPECT_EQ(hop->body, "from network");
  EXPECT_EQ(server.requests("/real").size(), 1u);
  env.runUntilIdle();
  EXPECT_EQ(ScriptProtocol::started, 2);
  EXPECT_EQ(ScriptProtocol::stopped, 2);

  // A handler's body counts against the limit as it is handed over.
  for (auto [limit, last] : {std::pair<std::size_t, std::string>{17, "fail -1103"}, {18, "finish"}}) {
    auto limited = std::make_shared<Recorder>();
    auto connection = URLConnection::create(URLRequest(url("https://ads.example.com/mraid.js")), limited);
    connection->limitBodyLength(limit);
    connection->start();
    ASSERT_TRUE(env.runUntil([&] { return limited->done; }));
    EXPECT_EQ(limited->events, (std::vector<std::string>{"response 200", last}));
    EXPECT_EQ(limited->body.size(), last == "finish" ? limit : 0u);
  }

  URLProtocol::unregisterClass<ScriptProtocol>();
  load(URLRequest(url("https://ads.example.com/mraid.js")));
  EXPECT_EQ(server.requests("/mraid.js").size(), 1u);
}

TEST_F(URLConnectionTest, InterceptionRunsInDeterministicTimeWithoutRealWaits) {
  URLProtocol::registerClass<ScriptProtocol>();
  URLLoading::setOffline(true);  // handlers still answer, as on a device
  auto recorder = std::make_shared<Recorder>();
  auto connection = URLConnection::create(URLRequest(url("https://ads.example.com/mraid.js")), recorder);
  connection->scheduleInRunLoop(RunLoop::main(), kDefaultRunLoopMode);
  connection->start();
  EXPECT_TRUE(recorder->events.empty());  // nothing before start() returns
  env.runUntilIdle();
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"response 200", "finish"}));
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

// Real threads: deliveries on a concurrent operation queue, cancels from other threads.
TEST(URLConnectionThreadedTest, ManyLoadsDeliverInOrderWhileOthersAreCancelled) {
  testenv::TestEnvironment env({.executor = ExecutorKind::Threaded, .virtualTime = false});
  testenv::LoopbackServer server;
  URLLoading::setLoopbackOnlyForTesting(true);
  URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
  server.route("/ad", {.body = std::string(200000, 'a')});

  struct Counting : URLConnectionDelegate {
    std::atomic<int>* finished;
    std::mutex mutex;
    std::vector<std::string> events;
    std::size_t bytes = 0;
    void connectionDidReceiveResponse(URLConnection&, const HTTPURLResponse&) override {
      std::lock_guard lock(mutex);
      events.push_back("response");
    }
    void connectionDidReceiveData(URLConnection&, std::string_view data) override {
      std::lock_guard lock(mutex);
      if (events.empty() || events.back() != "data") events.push_back("data");
      bytes += data.size();
    }
    void connectionDidFinishLoading(URLConnection&) override {
      {
        std::lock_guard lock(mutex);
        events.push_back("finish");
      }
      ++*finished;
    }
    void connectionDidFailWithError(URLConnection&, const ErrorPtr&) override { ++*finished; }
  };

  auto queue = OperationQueue::create("deliveries");
  std::atomic<int> finished{0};
  std::vector<std::shared_ptr<Counting>> delegates;
  std::vector<std::shared_ptr<URLConnection>> connections;
  for (int i = 0; i < 24; ++i) {
    auto delegate = std::make_shared<Counting>();
    delegate->finished = &finished;
    auto connection = URLConnection::create(URLRequest(url("https://ads.example.com/ad")), delegate);
    connection->setDelegateQueue(queue);
    connection->start();
    delegates.push_back(delegate);
    connections.push_back(connection);
  }
  std::thread canceller([&] {
    for (std::size_t i = 0; i < connections.size(); i += 2) connections[i]->cancel();
  });
  canceller.join();
  // Every other load was cancelled; the rest must finish whole.
  ASSERT_TRUE(env.runUntil([&] { return finished >= 12; }));
  for (std::size_t i = 1; i < delegates.size(); i += 2) {
    ASSERT_TRUE(env.runUntil([&] {
      std::lock_guard lock(delegates[i]->mutex);
      return !delegates[i]->events.empty() && delegates[i]->events.back() == "finish";
    }));
    std::lock_guard lock(delegates[i]->mutex);
    EXPECT_EQ(delegates[i]->events, (std::vector<std::string>{"response", "data", "finish"}));
    EXPECT_EQ(delegates[i]->bytes, 200000u);
  }
}

}  // namespace
}  // namespace platform
