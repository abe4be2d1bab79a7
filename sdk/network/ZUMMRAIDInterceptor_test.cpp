#include "sdk/network/ZUMMRAIDInterceptor.h"

#include <gtest/gtest.h>

#include "platform/net/URLConnection.h"
#include "platform/net/URLLoading.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using platform::URL;
using platform::URLRequest;

URL url(const std::string& string) { return *URL::fromString(string); }

// Writes down what a connection delivers.
class Recorder : public platform::URLConnectionDelegate {
 public:
  std::optional<URLRequest> connectionWillSendRequest(platform::URLConnection&, URLRequest request,
                                                      const platform::HTTPURLResponse& response) override {
    events.push_back("redirect " + std::to_string(response.statusCode()) + " -> " + request.url()->absoluteString());
    return request;
  }
  void connectionDidReceiveResponse(platform::URLConnection&, const platform::HTTPURLResponse& response) override {
    events.push_back("response " + std::to_string(response.statusCode()));
  }
  void connectionDidReceiveData(platform::URLConnection&, std::string_view data) override { body.append(data); }
  void connectionDidFinishLoading(platform::URLConnection&) override { done = true; }
  void connectionDidFailWithError(platform::URLConnection&, const platform::ErrorPtr& error) override {
    events.push_back("fail " + std::to_string(error->code()));
    done = true;
  }

  std::vector<std::string> events;
  std::string body;
  bool done = false;
};

struct FakeAdView : ZUMMRAIDInterceptor::AdView {
  FakeAdView(bool interstitial, bool main) : interstitial(interstitial), main(main) {}
  bool isInterstitialAdType() const override { return interstitial; }
  bool isMainAdView() const override { return main; }
  bool interstitial;
  bool main;
};

constexpr const char* kBannerScript = "https://cdn.example.com/hosted/banner/mraid.js";
constexpr const char* kCreativeScript = "https://ads.example.com/creative/mraid.js";

class ZUMMRAIDInterceptorTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
    platform::URLLoading::mapHostForTesting("cdn.example.com", "127.0.0.1", server.port());
    server.route("/hosted/banner/mraid.js", {.body = "var mraidFrom = 'hosted';", .contentType = "text/javascript"});
    server.route("/creative/mraid.js", {.body = "var mraidFrom = 'creative';", .contentType = "text/javascript"});
    ZUMRegisterURLInterception();
    ZUMRegisterURLInterception();  // a second registration changes nothing
  }
  void TearDown() override {
    platform::URLLoading::removeHostMappingsForTesting();
    platform::URLLoading::setLoopbackOnlyForTesting(false);
  }

  void configure(std::optional<std::string> banner, bool enabled) {
    interceptor->setBannerImplementationURLString(std::move(banner));
    interceptor->setEnabled(enabled);
    env.runUntilIdle();
  }

  std::shared_ptr<Recorder> load(URLRequest request) {
    auto recorder = std::make_shared<Recorder>();
    auto connection = platform::URLConnection::create(std::move(request), recorder);
    connection->start();
    EXPECT_TRUE(env.runUntil([&] { return recorder->done; }));
    return recorder;
  }

  testenv::LoopbackServer server;
  std::shared_ptr<ZUMMRAIDInterceptor> interceptor = ZUMMRAIDInterceptor::sharedInstance();
};

TEST_F(ZUMMRAIDInterceptorTest, RedirectsAScriptLoadToTheHostedScriptAndLeavesOthersAlone) {
  configure(kBannerScript, true);
  URLRequest script(url(std::string(kCreativeScript) + "?v=2"));
  script.setValue("TestAgent/1", "User-Agent");
  auto redirected = load(script);
  EXPECT_EQ(redirected->events,
            (std::vector<std::string>{"redirect 302 -> " + std::string(kBannerScript), "response 200"}));
  EXPECT_EQ(redirected->body, "var mraidFrom = 'hosted';");
  EXPECT_TRUE(server.requests("/creative/mraid.js").empty());
  auto hosted = server.requests("/hosted/banner/mraid.js");
  ASSERT_EQ(hosted.size(), 1u);
  EXPECT_EQ(hosted[0].header("User-Agent"), "TestAgent/1");

  // Other methods and the hosted script itself go to the network as asked.
  URLRequest post(url(kCreativeScript));
  post.setHTTPMethod("POST");
  post.setHTTPBody("x");
  EXPECT_EQ(load(post)->body, "var mraidFrom = 'creative';");
  // Only the last path component counts.
  for (const char* other : {"https://ads.example.com/notmraid.js", "file:///tmp/mraid.js", kBannerScript}) {
    EXPECT_FALSE(interceptor->redirectURLStringForRequest(URLRequest(url(other)))) << other;
  }
  EXPECT_EQ(interceptor->redirectURLStringForRequest(URLRequest(url("HTTP://ads.example.com/mraid.js"))),
            kBannerScript);
}

TEST_F(ZUMMRAIDInterceptorTest, StopsRedirectingWhenDisabledAndAppliesSettersInOrderOnItsQueue) {
  configure(kBannerScript, true);
  interceptor->setEnabled(false);
  EXPECT_TRUE(interceptor->canRedirect());  // not applied before its queue runs
  env.runUntilIdle();
  EXPECT_FALSE(interceptor->canRedirect());
  EXPECT_EQ(load(URLRequest(url(kCreativeScript)))->body, "var mraidFrom = 'creative';");

  // Enabled but without a usable banner script: nothing to redirect to.
  const URLRequest script(url(kCreativeScript));
  for (std::optional<std::string> unusable : {std::optional<std::string>(), std::optional<std::string>("not a url"),
                                              std::optional<std::string>("javascript:alert(1)")}) {
    configure(unusable, true);
    EXPECT_FALSE(interceptor->redirectURLStringForRequest(script)) << unusable.value_or("(none)");
  }
}

TEST_F(ZUMMRAIDInterceptorTest, PicksTheScriptByTheViewsAdTypeAndRole) {
  interceptor->setBannerImplementationURLString("https://cdn.example.com/b.js");
  interceptor->setInterstitialImplementationURLString("https://cdn.example.com/i.js");
  interceptor->setExpandedBannerImplementationURLString("https://cdn.example.com/e.js");
  env.runUntilIdle();
  EXPECT_EQ(interceptor->MRAIDURLStringForAdView(FakeAdView(false, true)), "https://cdn.example.com/b.js");
  EXPECT_EQ(interceptor->MRAIDURLStringForAdView(FakeAdView(false, false)), "https://cdn.example.com/e.js");
  EXPECT_EQ(interceptor->MRAIDURLStringForAdView(FakeAdView(true, false)), "https://cdn.example.com/i.js");
  EXPECT_FALSE(interceptor->canRedirect());  // off until switched on
}

// A web engine that puts the script in the page asks right before the load: the settings
// given just before count, and a page gets what its "mraid.js" loads would.
TEST_F(ZUMMRAIDInterceptorTest, APageAskingRightAfterTheSettingsGetsTheScriptItsLoadsWould) {
  interceptor->setBannerImplementationURLString("https://cdn.example.com/b.js");
  interceptor->setInterstitialImplementationURLString("https://cdn.example.com/i.js");
  interceptor->setEnabled(true);
  interceptor->setMRAIDURLStringForPage("page-i", "https://cdn.example.com/i.js");
  interceptor->setMRAIDURLStringForPage("page-x", "https://cdn.example.com/not-hosted.js");
  const struct {
    const char* page;
    std::optional<std::string> script;
  } rows[] = {
      {"page-i", "https://cdn.example.com/i.js"},
      {"page-x", "https://cdn.example.com/b.js"},  // its choice is no hosted script
      {"page-unknown", "https://cdn.example.com/b.js"},
  };
  for (const auto& row : rows) EXPECT_EQ(interceptor->MRAIDURLStringForPage(row.page), row.script) << row.page;
  interceptor->setEnabled(false);
  EXPECT_EQ(interceptor->MRAIDURLStringForPage("page-i"), std::nullopt);
  interceptor->setMRAIDURLStringForPage("page-i", std::nullopt);
  interceptor->setMRAIDURLStringForPage("page-x", std::nullopt);
}

}  // namespace
