#include "sdk/request/ZUMAdFetcher.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/network/ZUMURLConnection.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcherDelegate.h"
#include "sdk/request/ZUMAdTelemetry.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

// Content fingerprinting as the fetcher switches it.
struct Hashing : ZUMAdTelemetry {
  std::vector<platform::URL> trackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                       const std::string&) override {
    return urls;
  }
  void startContentHashing() override { ++started; }
  void stopContentHashing() override { ++stopped; }
  int started = 0;
  int stopped = 0;
};

using Json = nlohmann::ordered_json;

class Recorder : public ZUMAdFetcherDelegate {
 public:
  void adFetcherDidFetchAd(ZUMAdFetcher&, const std::shared_ptr<ZUMAd>& fetched) override {
    ++calls;
    ad = fetched;
    mainThread = mainThread && platform::isMainThread();
  }
  void adFetcherDidFailToFetchAd(ZUMAdFetcher&, const std::shared_ptr<ZUMAd>& fetched, const platform::ErrorPtr& e,
                                 std::int64_t status) override {
    ++calls;
    ad = fetched;
    error = e;
    responseCode = status;
    mainThread = mainThread && platform::isMainThread();
  }
  std::int64_t code() const { return error ? error->code() : -100; }
  int calls = 0;
  std::shared_ptr<ZUMAd> ad;
  platform::ErrorPtr error;
  std::int64_t responseCode = -100;
  bool mainThread = true;
};

platform::UserDefaults& defaults() { return platform::UserDefaults::standard(); }

class ZUMAdFetcherTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::URLLoading::mapHostForTesting("ads.vantor.test", "127.0.0.1", server.port());
    ZUMRegisterAdFetcher();
  }
  void TearDown() override {
    ZUMAdFetcher::setFactory(nullptr);
    ZUMAdTelemetry::setShared(nullptr);
    platform::URLLoading::removeHostMappingsForTesting();
  }
  std::shared_ptr<ZUMAd> adFor(const std::string& path) {
    auto ad = ZUMAd::create();
    ad->setAdURL(platform::URL::fromString("https://ads.vantor.test" + path));
    return ad;
  }
  // Fetches the ad to its end.
  std::shared_ptr<Recorder> fetch(const std::shared_ptr<ZUMAd>& ad, const std::optional<Json>& headers = std::nullopt) {
    auto recorder = std::make_shared<Recorder>();
    fetcher = ZUMAdFetcher::create();
    EXPECT_TRUE(fetcher->fetchRemainingContentForAd(ad, headers, recorder, nullptr));
    EXPECT_TRUE(env.runUntil([&] { return recorder->calls > 0; }));
    env.runUntilIdle();
    EXPECT_EQ(recorder->calls, 1);
    EXPECT_TRUE(recorder->mainThread);
    return recorder;
  }
  std::uint64_t typeOf(const Json& headers) { return ZUMAdFetcher::adResponseTypeFromHeaders(headers, nullptr); }

  testenv::LoopbackServer server;
  std::shared_ptr<ZUMAdFetcher> fetcher;
};

TEST_F(ZUMAdFetcherTest, ResponseTypeTable) {
  EXPECT_EQ(typeOf(Json::object()), 1u);
  EXPECT_EQ(typeOf({{"x-qyra-mediation", "1"}, {"content-type", "application/json; charset=utf-8"}}), 2u);
  EXPECT_EQ(typeOf({{"x-qyra-mediation", "0"}, {"x-qyra-ad-format", "NATIVE"}}), 3u);
  EXPECT_EQ(typeOf({{"x-qyra-ad-format", "native"}, {"x-qyra-custom-rendering-allowed", "yes"}}), 3u);
  EXPECT_EQ(typeOf({{"x-qyra-custom-rendering-allowed", "true"}}), 4u);
  EXPECT_EQ(typeOf({{"x-qyra-ad-format", "banner"}, {"x-qyra-custom-rendering-allowed", "no"}}), 1u);
  platform::ErrorPtr error;
  EXPECT_EQ(
      ZUMAdFetcher::adResponseTypeFromHeaders({{"x-qyra-mediation", "true"}, {"content-type", "text/html"}}, &error),
      0u);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), kZUMErrorServerError);
}

TEST_F(ZUMAdFetcherTest, AServedAdBecomesTheHTMLAndOnlyMediationIsCached) {
  server.route("/ad", {.body = "<html>ad</html>"});
  auto recorder = fetch(adFor("/ad"));
  ASSERT_TRUE(recorder->ad);
  EXPECT_FALSE(recorder->error);
  EXPECT_EQ(recorder->ad->adHTML(), "<html>ad</html>");
  EXPECT_EQ(recorder->ad->adBaseURL()->absoluteString(), "https://ads.vantor.test/ad");
  EXPECT_EQ(recorder->ad->responseType(), 1u);
  EXPECT_EQ(recorder->ad->originalRequest()->url()->absoluteString(), "https://ads.vantor.test/ad");
  fetch(adFor("/ad"));
  EXPECT_EQ(server.requests("/ad").size(), 2u);

  server.route("/mediation", {.headers = {{"X-Qyra-Mediation", "1"}},
                              .body = "{\"ad_networks\":[]}",
                              .contentType = "application/json; charset=utf-8"});
  EXPECT_EQ(fetch(adFor("/mediation"))->ad->responseType(), 2u);
  auto cached = fetch(adFor("/mediation"));
  EXPECT_EQ(cached->ad->responseType(), 2u) << "a cached answer keeps its type";
  EXPECT_EQ(cached->ad->adHTML(), "{\"ad_networks\":[]}");
  EXPECT_EQ(server.requests("/mediation").size(), 1u);

  server.route("/bad-mediation", {.headers = {{"x-qyra-mediation", "1"}}, .body = "<html>"});
  auto bad = fetch(adFor("/bad-mediation"));
  EXPECT_EQ(bad->code(), kZUMErrorServerError);
  EXPECT_EQ(bad->responseCode, 0);
  EXPECT_EQ(bad->ad->responseType(), 0u);
}

TEST_F(ZUMAdFetcherTest, StatusesMapToTheErrorModel) {
  struct Case {
    int served;
    std::int64_t code;
    std::int64_t status;
    bool httpStatusEntry;
  };
  for (const Case& c : {Case{400, kZUMErrorInvalidRequest, 400, false}, Case{404, kZUMErrorServerError, 404, true},
                        Case{500, kZUMErrorServerError, 500, true}, Case{204, kZUMErrorNoFill, 0, false}}) {
    const std::string path = "/" + std::to_string(c.served);
    server.route(path, {.status = c.served});
    auto recorder = fetch(adFor(path));
    ASSERT_TRUE(recorder->error) << path;
    EXPECT_EQ(recorder->code(), c.code) << path;
    EXPECT_EQ(recorder->responseCode, c.status) << path;
    EXPECT_EQ(recorder->error->userInfo().contains(kZUMErrorHTTPStatusKey), c.httpStatusEntry) << path;
    EXPECT_EQ(recorder->ad->adHTML().value_or(""), "") << path;
  }

  // A connection refused: no status, a network error.
  int closedPort;
  {
    testenv::LoopbackServer gone;
    closedPort = gone.port();
  }
  platform::URLLoading::mapHostForTesting("down.vantor.test", "127.0.0.1", closedPort);
  auto ad = ZUMAd::create();
  ad->setAdURL(platform::URL::fromString("https://down.vantor.test/ad"));
  auto refused = fetch(ad);
  EXPECT_EQ(refused->code(), kZUMErrorNetworkError);
  EXPECT_EQ(refused->responseCode, 0);

  // A request that cannot be made has no status at all (-1).
  auto recorder = std::make_shared<Recorder>();
  auto unmade = ZUMAdFetcher::create();
  EXPECT_TRUE(unmade->fetchRequestURL(platform::URLRequest(), recorder, nullptr));
  env.runUntilIdle();
  EXPECT_EQ(recorder->calls, 1);
  EXPECT_EQ(recorder->code(), kZUMErrorInvalidResponse);
  EXPECT_EQ(recorder->responseCode, -1);
}

TEST_F(ZUMAdFetcherTest, ASecondStartFailsAndLeavesTheFirstRunning) {
  server.route("/slow", {.body = "<html>", .held = true});
  auto first = std::make_shared<Recorder>();
  auto second = std::make_shared<Recorder>();
  fetcher = ZUMAdFetcher::create();
  ASSERT_TRUE(fetcher->fetchRemainingContentForAd(adFor("/slow"), std::nullopt, first, nullptr));
  platform::ErrorPtr error;
  EXPECT_FALSE(fetcher->fetchRemainingContentForAd(adFor("/slow"), std::nullopt, second, &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), kZUMErrorNetworkError);
  EXPECT_EQ(error->localizedDescription(), "Could not start fetch. This object has already been used to fetch.");
  server.release("/slow");
  ASSERT_TRUE(env.runUntil([&] { return first->calls > 0; }));
  env.runUntilIdle();
  EXPECT_EQ(first->calls, 1);
  EXPECT_FALSE(first->error);
  EXPECT_EQ(second->calls, 0);
}

TEST_F(ZUMAdFetcherTest, WithoutARequestItCompletesOnALaterTurn) {
  auto recorder = std::make_shared<Recorder>();
  fetcher = ZUMAdFetcher::create();
  auto ad = ZUMAd::create();
  ad->setAdHTML("<html>given</html>");
  ad->setAdURL(platform::URL::fromString("https://ads.vantor.test/never"));
  ASSERT_TRUE(fetcher->fetchRemainingContentForAd(ad, std::nullopt, recorder, nullptr));
  EXPECT_EQ(recorder->calls, 0);
  env.runUntilIdle();
  EXPECT_EQ(recorder->calls, 1);
  EXPECT_FALSE(recorder->error);
  EXPECT_EQ(server.requestCount(), 0u);

  EXPECT_EQ(fetch(ZUMAd::create())->code(), kZUMErrorNoFill) << "neither HTML nor URL";
}

TEST_F(ZUMAdFetcherTest, RedirectsAccumulateTrackingURLsAndHeadersOfAnyCase) {
  server.route("/r1", {.status = 302,
                       .headers = {{"Location", "/r2"},
                                   {"X-Qyra-Tracking-Urls", "https://t.example/a  https://t.example/b"},
                                   {"x-qyra-click-tracking-urls", "https://t.example/c"}}});
  server.route("/r2", {.status = 302,
                       .headers = {{"Location", "https://ads.vantor.test/final"},
                                   {"X-QYRA-TRACKING-URLS", "https://t.example/b https://t.example/d"},
                                   {"x-qyra-use-https", "0"}}});
  server.route("/final", {.headers = {{"X-QYRA-REFRESH-RATE", "30"},
                                      {"X-Qyra-Content-Url-Opted-Out", "false"},
                                      {"x-qyra-manual-tracking-urls", "https://t.example/m"},
                                      {"x-qyra-orientation", "landscape"},
                                      {"x-qyra-fluid", "HEIGHT"},
                                      {"x-qyra-debug-signals", "sig"},
                                      {"x-qyra-activeview", "{\"a\":1}"}},
                          .body = "<html>final</html>"});
  auto hashing = std::make_shared<Hashing>();
  ZUMAdTelemetry::setShared(hashing);
  const int& started = hashing->started;
  auto recorder = fetch(adFor("/r1"));
  ASSERT_FALSE(recorder->error);
  const auto& ad = recorder->ad;
  ASSERT_EQ(ad->redirects().size(), 2u);
  EXPECT_EQ(ad->redirects()[0]->request().url()->absoluteString(), "https://ads.vantor.test/r2");
  std::vector<std::string> impressions;
  for (const auto& each : ad->impressionURLs()) impressions.push_back(each.absoluteString());
  EXPECT_EQ(impressions,
            (std::vector<std::string>{"https://t.example/a", "https://t.example/b", "https://t.example/d"}));
  EXPECT_EQ(ad->clickURLs().size(), 1u);
  EXPECT_EQ(ad->manualImpressionURLs().size(), 1u);
  EXPECT_DOUBLE_EQ(ad->reloadInterval(), 30.0);
  EXPECT_EQ(started, 1);
  EXPECT_TRUE(defaults().boolForKey("/vantor/ads/content_url_enabled"));
  EXPECT_EQ(ad->supportedOrientations(), 24u);
  EXPECT_TRUE(ad->fluid());
  EXPECT_EQ(ad->debugSignalInformation(), "sig");
  EXPECT_EQ(ad->activeViewConfigurations(), (Json{{"a", 1}}));
  // The ad's headers are every hop's, lowercased: a repeated one keeps its first place and takes its last value.
  const Json headers = *ad->responseHeaders();
  EXPECT_EQ(headers.value("x-qyra-refresh-rate", ""), "30");
  EXPECT_EQ(headers.value("x-qyra-click-tracking-urls", ""), "https://t.example/c");
  EXPECT_EQ(headers.value("x-qyra-tracking-urls", ""), "https://t.example/b https://t.example/d");
  std::vector<std::string> names;
  for (const auto& [name, value] : headers.items()) names.push_back(name);
  EXPECT_LT(std::find(names.begin(), names.end(), "x-qyra-tracking-urls"),
            std::find(names.begin(), names.end(), "x-qyra-use-https"));
  EXPECT_FALSE(defaults().objectForKey("/vantor/ads/use_https")) << "a redirect hop decides nothing about HTTPS";
}

TEST_F(ZUMAdFetcherTest, HTTPSSwitchChangesOnlyWhenAResponseSaysSo) {
  auto given = [&](const Json& headers) {
    auto ad = ZUMAd::create();
    ad->setAdHTML("<html>");
    return fetch(ad, headers);
  };
  given(Json{{"x-qyra-refresh-rate", "5"}});
  EXPECT_FALSE(defaults().objectForKey("/vantor/ads/use_https")) << "an absent switch stays absent";
  given(Json{{"X-Qyra-Use-Https", "1"}});
  EXPECT_TRUE(defaults().boolForKey("/vantor/ads/use_https"));
  given(Json::object());
  EXPECT_TRUE(defaults().boolForKey("/vantor/ads/use_https"));
  given(Json{{"x-qyra-use-https", "false"}});
  EXPECT_FALSE(defaults().boolForKey("/vantor/ads/use_https"));
  ASSERT_TRUE(defaults().objectForKey("/vantor/ads/use_https"));
}

TEST_F(ZUMAdFetcherTest, RefreshRatesAndOtherValuesAreChecked) {
  struct Case {
    Json value;
    double expected;
  };
  for (const Case& c : {Case{"-1", 7}, Case{"0", 0}, Case{"", 7}, Case{"1e999", 7}, Case{"12.5", 12.5}, Case{45, 7}}) {
    auto ad = ZUMAd::create();
    ad->setAdHTML("<html>");
    ad->setReloadInterval(7);
    fetch(ad, Json{{"x-qyra-refresh-rate", c.value}});
    EXPECT_DOUBLE_EQ(ad->reloadInterval(), c.expected) << c.value.dump();
  }
  auto ad = ZUMAd::create();
  ad->setAdHTML("<html>");
  auto recorder = fetch(ad, Json{{"x-qyra-activeview", "[1]"},
                                 {"x-qyra-safe-browsing", "{broken"},
                                 {"x-qyra-orientation", Json::array()},
                                 {"x-qyra-tracking-urls", 42},
                                 {"x-qyra-disable-activation-and-scroll", "YES"},
                                 {"x-qyra-custom-close-blocked", "1"}});
  EXPECT_FALSE(recorder->error);
  EXPECT_FALSE(ad->activeViewConfigurations());
  EXPECT_FALSE(ad->safeBrowsingReporter());
  EXPECT_EQ(ad->supportedOrientations(), 30u);
  EXPECT_TRUE(ad->impressionURLs().empty());
  EXPECT_FALSE(ad->scrollEnabled());
  EXPECT_TRUE(ad->customCloseBlocked());
}

TEST_F(ZUMAdFetcherTest, ARejectedResponseFailsWithCodeThreeAndItsHeadersStillApply) {
  auto hashing = std::make_shared<Hashing>();
  ZUMAdTelemetry::setShared(hashing);
  const int& stopped = hashing->stopped;
  defaults().setBool(true, "/vantor/ads/content_url_enabled");
  auto ad = ZUMAd::create();
  ad->setAdHTML("<html>");
  auto recorder = fetch(ad, Json{{"x-qyra-mediation", "1"},
                                 {"content-type", "text/html"},
                                 {"x-qyra-refresh-rate", "30"},
                                 {"x-qyra-use-https", "1"},
                                 {"x-qyra-tracking-urls", "https://t.example/a"}});
  EXPECT_EQ(recorder->code(), kZUMErrorServerError);
  EXPECT_EQ(recorder->responseCode, 0);
  EXPECT_EQ(ad->responseType(), 0u);
  EXPECT_DOUBLE_EQ(ad->reloadInterval(), 30.0);
  EXPECT_EQ(ad->impressionURLs().size(), 1u);
  EXPECT_TRUE(defaults().boolForKey("/vantor/ads/use_https"));
  EXPECT_EQ(stopped, 1) << "no opt-out header: fingerprinting stops";
  EXPECT_FALSE(defaults().objectForKey("/vantor/ads/content_url_enabled"));
}

TEST_F(ZUMAdFetcherTest, AConnectionThatRefusesToStartFailsOnceWithNoStatus) {
  server.route("/slow", {.body = "<html>", .held = true});
  fetcher = ZUMAdFetcher::create();
  // The fetcher's connection is busy with another load, so it refuses this one.
  ASSERT_TRUE(fetcher->adConnection()->startWithRequestURL(
      platform::URLRequest(*platform::URL::fromString("https://ads.vantor.test/slow")), nullptr, nullptr));
  auto recorder = std::make_shared<Recorder>();
  platform::ErrorPtr error;
  EXPECT_FALSE(fetcher->fetchRemainingContentForAd(adFor("/ad"), std::nullopt, recorder, &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->localizedDescription(), "Failed to start ad connection.");
  EXPECT_EQ(recorder->calls, 1);
  EXPECT_EQ(recorder->error, error);
  EXPECT_EQ(recorder->responseCode, 0);
  server.release("/slow");
  env.runUntilIdle();
  EXPECT_EQ(recorder->calls, 1);
  EXPECT_TRUE(fetcher->adConnectionHasCompleted());
}

TEST_F(ZUMAdFetcherTest, ASlotWhoseConnectionRefusesFailsOnce) {
  struct Controller : ZUMSDKCoreController {
    void buildAdURL(const std::shared_ptr<ZUMSDKCoreControllerDelegate>&) override {}
    void executeJavaScriptFromBlockWhenReady(ZUMSDKCoreScriptBlock, ZUMSDKCoreCompletionBlock) override {}
    void executeExportedJavaScriptCommand(const std::string&, const std::optional<Json>&,
                                          ZUMSDKCoreCompletionBlock) override {}
    void postJavaScriptNotification(const std::string&, const std::optional<Json>&) override {}
    std::shared_ptr<ZUMSDKCoreWebView> activeSDKCoreWebView() override { return nullptr; }
  };
  struct Owner : ZUMSlotAdLoadDelegate {
    void slotFinishedLoadingAdContent(ZUMSlot&) override {}
    void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr&) override { ++failed; }
    int failed = 0;
  };
  server.route("/slow", {.body = "<html>", .held = true});
  ZUMSDKCoreController::setSharedInstance(std::make_shared<Controller>());
  ZUMAdFetcher::setFactory([&] {
    auto busy = ZUMAdFetcher::createDefault();
    EXPECT_TRUE(busy->adConnection()->startWithRequestURL(
        platform::URLRequest(*platform::URL::fromString("https://ads.vantor.test/slow")), nullptr, nullptr));
    return busy;
  });
  auto owner = std::make_shared<Owner>();
  auto slot = ZUMSlot::create({{0, 0}, {320, 50}});
  slot->setAdLoadDelegate(owner);
  slot->loadRequest(ZUMRequest::create());
  slot->loadAdURLWithParameters(Json{{"url", "https://ads.vantor.test/ad"}});
  server.release("/slow");
  env.runUntilIdle();
  EXPECT_EQ(owner->failed, 1);
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
  ZUMSDKCoreController::setSharedInstance(nullptr);
}

TEST_F(ZUMAdFetcherTest, CancelledOrReleasedFetchesTellNobody) {
  server.route("/slow", {.body = "<html>", .held = true});
  auto recorder = std::make_shared<Recorder>();
  fetcher = ZUMAdFetcher::create();
  ASSERT_TRUE(fetcher->fetchRemainingContentForAd(adFor("/slow"), std::nullopt, recorder, nullptr));
  auto released = ZUMAdFetcher::create();
  ASSERT_TRUE(released->fetchRemainingContentForAd(adFor("/slow"), std::nullopt, recorder, nullptr));
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/slow") == 2; }));
  fetcher->cancel();
  EXPECT_TRUE(fetcher->adConnectionHasCompleted());
  released.reset();
  server.release("/slow");
  auto control = fetch(adFor("/slow"));
  EXPECT_FALSE(control->error);
  EXPECT_EQ(recorder->calls, 0);
}

}  // namespace
