#include "sdk/network/ZUMURLConnection.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "platform/base/RunLoop.h"
#include "platform/net/CurlTransport.h"
#include "platform/net/URLLoading.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

platform::URLRequest requestFor(const std::string& url) {
  return platform::URLRequest(*platform::URL::fromString(url));
}

// Writes down what the connection tells it, in order, and whether all of it came on the main thread.
class Recorder : public ZUMURLConnectionDelegate {
 public:
  platform::ErrorPtr connectionShouldRedirectToURL(ZUMURLConnection&, const platform::URL& url) override {
    note("should-redirect " + url.absoluteString());
    return veto;
  }
  void connectionWillPerformRedirect(ZUMURLConnection&,
                                     const std::shared_ptr<ZUMURLConnectionRedirect>& redirect) override {
    note("redirect " + std::to_string(redirect->response().statusCode()) + " -> " +
         redirect->request().url()->absoluteString());
  }
  bool connectionLoadShouldUseCacheForResponse(ZUMURLConnection&, const platform::HTTPURLResponse& r) override {
    note("use-cache? " + std::to_string(r.statusCode()));
    return useCache;
  }
  void connectionLoadDidReceiveCachedResponse(ZUMURLConnection&, const platform::HTTPURLResponse& r) override {
    note("cached " + r.valueForHTTPHeaderField("x-qyra-mediation").value_or(""));
  }
  void connectionLoadDidFinish(ZUMURLConnection&, const std::string& text, const platform::URL& baseURL) override {
    body = text;
    note("finish " + baseURL.absoluteString());
  }
  void connectionLoadDidFail(ZUMURLConnection&, const platform::ErrorPtr& e, std::int64_t status) override {
    error = e;
    note("fail " + std::to_string(status));
  }
  void note(std::string event) {
    done = done || event.starts_with("finish") || event.starts_with("fail");
    events.push_back(std::move(event));
    mainThread = mainThread && platform::isMainThread();
  }

  platform::ErrorPtr veto;
  bool useCache = false;
  std::vector<std::string> events;
  std::string body;
  platform::ErrorPtr error;
  bool done = false;
  bool mainThread = true;
};

class ZUMURLConnectionTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
    server.route("/ad", {.headers = {{"x-qyra-mediation", "1"}}, .body = "<html>ad</html>"});
    server.route("/slow", {.body = "x", .held = true});
    server.redirect("/click", "/ad");
  }
  void TearDown() override { platform::URLLoading::removeHostMappingsForTesting(); }

  std::shared_ptr<Recorder> load(const platform::URLRequest& request, bool useCache = false,
                                 platform::ErrorPtr veto = nullptr) {
    auto recorder = std::make_shared<Recorder>();
    recorder->useCache = useCache;
    recorder->veto = std::move(veto);
    auto connection = ZUMURLConnection::create();
    EXPECT_TRUE(connection->startWithRequestURL(request, recorder, nullptr));
    EXPECT_TRUE(env.runUntil([&] { return recorder->done; }));
    return recorder;
  }

  testenv::LoopbackServer server;
};

TEST_F(ZUMURLConnectionTest, FollowsRedirectsReportingEachHopAndLoadsTheBodyOnTheMainThread) {
  auto recorder = load(requestFor("https://ads.example.com/click"));
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"should-redirect https://ads.example.com/ad",
                                                        "redirect 302 -> https://ads.example.com/ad", "use-cache? 200",
                                                        "finish https://ads.example.com/ad"}));
  EXPECT_EQ(recorder->body, "<html>ad</html>");
  EXPECT_TRUE(recorder->mainThread);

  // A redirect the delegate stops fails with status -1 and goes no further.
  auto veto = ZUMMakeErrorWithDescription(kZUMErrorInvalidResponse, "no");
  recorder = load(requestFor("https://ads.example.com/click"), false, veto);
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"should-redirect https://ads.example.com/ad", "fail -1"}));
  EXPECT_EQ(recorder->error, veto);
  EXPECT_EQ(server.requests("/ad").size(), 1u);
}

TEST_F(ZUMURLConnectionTest, RefusesASecondLoadWhileOneRuns) {
  auto recorder = std::make_shared<Recorder>();
  auto connection = ZUMURLConnection::create();
  ASSERT_TRUE(connection->startWithRequestURL(requestFor("https://ads.example.com/slow"), recorder, nullptr));
  platform::ErrorPtr error;
  EXPECT_FALSE(connection->startWithRequestURL(requestFor("https://ads.example.com/ad"), recorder, &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->localizedDescription(), "Ignoring -- Currently loading https://ads.example.com/slow");
  server.release("/slow");
  EXPECT_TRUE(env.runUntil([&] { return recorder->done; }));
  EXPECT_TRUE(connection->startWithRequestURL(requestFor("https://ads.example.com/ad"), recorder, nullptr));
}

TEST_F(ZUMURLConnectionTest, AnswersACachedURLAtOnceWithoutTheNetworkWhenTheDelegateLetItIn) {
  load(requestFor("https://ads.example.com/ad"), /*useCache=*/false);
  load(requestFor("https://ads.example.com/ad"), /*useCache=*/true);
  ASSERT_EQ(server.requestCount(), 2u);

  auto recorder = std::make_shared<Recorder>();
  ASSERT_TRUE(
      ZUMURLConnection::create()->startWithRequestURL(requestFor("https://ads.example.com/ad"), recorder, nullptr));
  // Heard before start returned, without running the loop.
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"cached 1", "finish https://ads.example.com/ad"}));
  EXPECT_EQ(recorder->body, "<html>ad</html>");

  // A reload bypasses the memory cache.
  load(platform::URLRequest(*platform::URL::fromString("https://ads.example.com/ad"),
                            platform::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData));
  EXPECT_EQ(server.requestCount(), 3u);
}

TEST_F(ZUMURLConnectionTest, ReportsHTTPErrorsTransportFailuresAndUnloadableRequests) {
  EXPECT_EQ(load(requestFor("https://ads.example.com/missing"))->events, (std::vector<std::string>{"fail 404"}));
  auto unreachable = load(requestFor("https://elsewhere.example.org/ad"));
  EXPECT_EQ(unreachable->events, (std::vector<std::string>{"fail 0"}));
  EXPECT_TRUE(unreachable->error);
  EXPECT_EQ(load(platform::URLRequest())->events, (std::vector<std::string>{"fail -1"}));
}

TEST_F(ZUMURLConnectionTest, NothingReachesTheDelegateAfterCancelOrRelease) {
  auto cancelled = std::make_shared<Recorder>();
  auto released = std::make_shared<Recorder>();
  auto connection = ZUMURLConnection::create();
  ASSERT_TRUE(connection->startWithRequestURL(requestFor("https://ads.example.com/slow"), cancelled, nullptr));
  auto other = ZUMURLConnection::create();
  ASSERT_TRUE(other->startWithRequestURL(requestFor("https://ads.example.com/slow"), released, nullptr));
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/slow") == 2; }));
  connection->cancel();
  other.reset();
  server.release("/slow");
  // A third load after them proves the loop has seen their answers go by.
  load(requestFor("https://ads.example.com/ad"));
  env.runUntilIdle();
  EXPECT_TRUE(cancelled->events.empty());
  EXPECT_TRUE(released->events.empty());
}

TEST_F(ZUMURLConnectionTest, BodiesThatAreNotUTF8BecomeText) {
  server.route("/latin", {.body = "caf\xE9", .contentType = "text/html; charset=iso-8859-1"});
  server.route("/broken", {.body = "a\xFF", .contentType = "text/html"});
  EXPECT_EQ(load(requestFor("https://ads.example.com/latin"))->body, "caf\xC3\xA9");
  EXPECT_EQ(load(requestFor("https://ads.example.com/broken"))->body, "a\xC3\xBF");
}

// An ad response past the cap fails once, as its bytes arrive: an endless one too, and
// without more than the cap ever held by the loader and the transport together.
TEST_F(ZUMURLConnectionTest, ABodyPastTheCapFailsOnceAtTheCap) {
  using platform::detail::CurlTransport;
  constexpr std::size_t kCap = ZUMURLConnection::kMaximumBodyBytes;
  server.route("/exact", {.body = std::string(kCap, 'x')});
  server.route("/over", {.body = std::string(kCap + 1, 'x')});
  server.route("/endless", {.body = std::string(40000, 'x'), .endless = true});
  const struct {
    const char* path;
    const char* last;
  } rows[] = {{"/exact", "finish https://ads.example.com/exact"}, {"/over", "fail -1"}, {"/endless", "fail -1"}};
  for (const auto& row : rows) {
    CurlTransport::shared().resetPeaksForTesting();
    auto recorder = load(requestFor(std::string("https://ads.example.com") + row.path));
    env.runUntilIdle();
    EXPECT_EQ(recorder->events.back(), row.last) << row.path;
    EXPECT_EQ(std::count_if(recorder->events.begin(), recorder->events.end(),
                            [](const std::string& e) { return e.starts_with("fail") || e.starts_with("finish"); }),
              1)
        << row.path;
    if (recorder->error) {
      EXPECT_EQ(recorder->error->localizedDescription(), "Response body too large.");
    } else {
      EXPECT_EQ(recorder->body, std::string(kCap, 'x'));
    }
    EXPECT_LE(CurlTransport::shared().statisticsForTesting().peakQueuedBytes,
              CurlTransport::kMaxQueuedBytesPerTransfer + 64 * 1024)
        << row.path;
  }
}

}  // namespace
