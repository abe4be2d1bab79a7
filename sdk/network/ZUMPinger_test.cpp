#include "sdk/network/ZUMPinger.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/PropertyList.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMNetwork.h"
#include "sdk/network/ZUMPingerRetryStore.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using nlohmann::ordered_json;

constexpr const char* kHost = "ads.vantor.test";
constexpr const char* kCrashGroup = "/vantor/ads/crash_reporting";

class ZUMPingerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::mapHostForTesting(kHost, "127.0.0.1", server.port());
    ZUMNetwork::sharedInstance()->setUserAgentString("MorvaneTest/1.0 (Pinger)");
    env.runUntilIdle();
  }

  static std::string url(const std::string& pathAndQuery) { return std::string("https://") + kHost + pathAndQuery; }
  platform::UserDefaults& defaults() { return platform::UserDefaults::standard(); }
  std::vector<ZUMPingerRetryStore::Entry> stored(const std::string& group) {
    return ZUMPingerRetryStore(defaults()).entries(group);
  }
  // Pings (completing on the main queue when none is given); nullopt when no completion came.
  std::optional<bool> ping(const std::optional<std::string>& string,
                           std::shared_ptr<platform::DispatchQueue> queue = platform::DispatchQueue::main()) {
    std::optional<bool> result;
    pinger->pingURLString(string, queue, [&](bool ok) { result = ok; });
    env.runUntil([&] { return result.has_value(); });
    return result;
  }
  void tick() {
    env.advance(60.5);
    env.runUntilIdle();
  }

  testenv::LoopbackServer server;
  std::shared_ptr<ZUMPinger> pinger = ZUMPinger::create();
};

TEST_F(ZUMPingerTest, APingIsOneGetWithTheSDKUserAgentCompletingOnTheGivenQueue) {
  server.route("/ping", {.status = 204});
  auto queue = platform::DispatchQueue::serial("com.vantor.morvane.test");
  bool onQueue = false;
  std::optional<bool> result;
  pinger->pingURLString(url("/ping?a=1&b=two"), queue, [&](bool ok) { onQueue = queue->isCurrent(), result = ok; });
  ASSERT_TRUE(env.runUntil([&] { return result.has_value(); }));
  EXPECT_TRUE(*result && onQueue);
  auto requests = server.requests("/ping");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].query, "a=1&b=two");
  EXPECT_EQ(requests[0].header("User-Agent"), "MorvaneTest/1.0 (Pinger)");

  pinger->pingURLString(url("/ping"), nullptr, nullptr);  // fire and forget
  ASSERT_TRUE(env.runUntil([&] { return pinger->pingsInFlight() == 0; }));
  EXPECT_EQ(server.requests("/ping").size(), 2u);
}

TEST_F(ZUMPingerTest, BadStringsAndFailedAnswersCompleteNo) {
  for (const auto& string :
       std::vector<std::optional<std::string>>{std::nullopt, "", "not a url", "ftp://ads.vantor.test/x", "tolm://click",
                                               "file:///etc/passwd", "https://", std::string("https://a/\0b", 12)}) {
    EXPECT_EQ(ping(string), false) << string.value_or("(none)");
  }
  EXPECT_EQ(ping("", nullptr), false) << "without a queue the completion still comes";
  EXPECT_EQ(server.requestCount(), 0u);
  server.route("/error", {.status = 500});
  server.route("/ok", {.status = 200});
  EXPECT_EQ(ping(url("/error")), false);
  platform::URLLoading::setOffline(true);
  EXPECT_EQ(ping(url("/ok")), false);
}

TEST_F(ZUMPingerTest, PlainHTTPGoesThroughAHiddenWebViewUnlessSwitchedOffAndTimesOut) {
  server.route("/held", {.status = 200, .body = "<html></html>", .held = true});
  server.route("/never", {.status = 200, .held = true});
  server.route("/plain", {.status = 204});
  auto window = ZUMApplication::sharedInstance()->placeholderWindow();
  auto webViews = [&] {
    int count = 0;
    for (const auto& view : window->subviews()) count += std::dynamic_pointer_cast<platform::WebView>(view) ? 1 : 0;
    return count;
  };
  std::optional<bool> result;
  auto start = [&](const std::string& path) {
    result.reset();
    pinger->pingURLString(server.baseURL() + path, nullptr, [&](bool ok) { result = ok; });
  };

  start("/held");
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/held") == 1; }));
  EXPECT_EQ(webViews(), 1);
  EXPECT_EQ(server.requests("/held")[0].header("User-Agent"), "MorvaneTest/1.0 (Pinger)");
  server.release("/held");
  ASSERT_TRUE(env.runUntil([&] { return result.has_value(); }));
  EXPECT_TRUE(*result);
  env.runUntilIdle();
  EXPECT_EQ(webViews(), 0) << "the web view is taken down after the ping";

  // A web view ping that never ends fails after the timeout and is taken down too.
  start("/never");
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/never") == 1; }));
  env.advance(ZUMPinger::kPingTimeout + 1);
  ASSERT_TRUE(env.runUntil([&] { return result.has_value(); }));
  EXPECT_FALSE(*result);
  server.release("/never");

  // Switched off, no web view.
  EXPECT_TRUE(defaults().setObject("0", "/vantor/ads/enable_http_web_view_pings"));
  start("/plain");
  env.runUntilIdle();
  EXPECT_EQ(webViews(), 0);
  ASSERT_TRUE(env.runUntil([&] { return result.has_value(); }));
  EXPECT_TRUE(*result);
}

TEST_F(ZUMPingerTest, AFailedRetryGroupPingSurvivesARestartAndIsResentAtTheTick) {
  server.route("/crash", {.status = 503});
  const std::string report = url("/crash?r=1");
  pinger->storeRetryURLString(report, kCrashGroup);
  ASSERT_EQ(stored(kCrashGroup).size(), 1u) << "stored before the call returns";
  pinger->pingWithRetryGroupKey(kCrashGroup, *platform::URL::fromString(report), report);
  ASSERT_TRUE(env.runUntil([&] { return server.requests("/crash").size() == 1 && pinger->pingsInFlight() == 0; }));
  env.runUntilIdle();
  pinger.reset();
  ASSERT_EQ(stored(kCrashGroup).size(), 1u) << "a failed ping stays stored";

  // A new launch over the same file.
  platform::UserDefaults::setStandardFile(env.userDefaultsFile());
  server.route("/crash", {.status = 204});
  pinger = ZUMPinger::create();
  pinger->startRetrySchedule();
  env.advance(59);
  EXPECT_EQ(server.requests("/crash").size(), 1u) << "nothing before the first tick";
  env.advance(1.5);
  ASSERT_TRUE(env.runUntil([&] { return stored(kCrashGroup).empty(); }));
  ASSERT_EQ(server.requests("/crash").size(), 2u);
  EXPECT_EQ(server.requests("/crash")[1].query, "r=1");
  EXPECT_FALSE(defaults().objectForKey(kCrashGroup)) << "an emptied group goes";
  EXPECT_FALSE(defaults().objectForKey(kZUMPingerRetryGroupKeysKey));
  tick();
  EXPECT_EQ(server.requests("/crash").size(), 2u);
}

TEST_F(ZUMPingerTest, ASuccessfulRetryGroupPingRemovesItsEntryAndTheTickDoesNotDuplicateIt) {
  server.route("/iap", {.status = 200, .held = true});
  EXPECT_TRUE(defaults().setObject("20", "/vantor/ads/ping_interval"));
  pinger->startRetrySchedule();
  const std::string target = url("/iap?p=1");
  pinger->pingWithRetryGroupKey("/vantor/ads/auto-iap", *platform::URL::fromString(target), target + "&retry=1");
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/iap") == 1; }));
  ASSERT_EQ(stored("/vantor/ads/auto-iap").size(), 1u) << "stored before the ping";
  EXPECT_EQ(stored("/vantor/ads/auto-iap")[0].urlString, target + "&retry=1");
  env.advance(41);  // ticks while the ping is on its way leave it alone
  env.runUntilIdle();
  server.release("/iap");
  ASSERT_TRUE(env.runUntil([&] { return stored("/vantor/ads/auto-iap").empty(); }));
  EXPECT_EQ(server.requests("/iap").size(), 1u);
}

TEST_F(ZUMPingerTest, TheSizeLimitAndTimeToLiveHold) {
  server.route("/r", {.status = 500});
  EXPECT_TRUE(defaults().setObject("2", "/vantor/ads/maximum_retry_url_count"));
  EXPECT_TRUE(defaults().setObject("100", "/vantor/ads/url_time_to_live"));
  for (const char* query : {"/r?1", "/r?1", "/r?2", "/r?3"}) pinger->storeRetryURLString(url(query), kCrashGroup);
  auto entries = stored(kCrashGroup);  // the repeat is not stored twice; the last finds the group full
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].urlString, url("/r?2"));

  pinger->startRetrySchedule();
  env.advance(60.5);
  ASSERT_TRUE(env.runUntil([&] { return server.requests("/r").size() == 2 && pinger->pingsInFlight() == 0; }));
  env.runUntilIdle();
  EXPECT_EQ(stored(kCrashGroup).size(), 2u);
  env.advance(60);  // 120 s old now: past the time to live
  env.runUntilIdle();
  EXPECT_TRUE(stored(kCrashGroup).empty());
  EXPECT_EQ(server.requests("/r").size(), 2u);
}

TEST_F(ZUMPingerTest, HostileSwitchesFallBackToDefaultsOrSafeBounds) {
  struct Case {
    ordered_json value;
    std::size_t count;
    double timeToLive, interval;
  };
  const std::size_t count = kZUMPingerDefaultMaximumRetryURLCount;
  const double ttl = kZUMPingerDefaultURLTimeToLive, interval = kZUMPingerDefaultPingInterval;
  // Text reads as the platform reads it: no leading number is 0.
  for (const Case& c :
       {Case{"-5", count, ttl, interval}, Case{ordered_json::array(), count, ttl, interval},
        Case{"0.001", 0, 0.001, 10}, Case{"1e300", 1, 1e300, 24 * 3600},
        Case{"5000", ZUMPingerRetryStore::kMaximumRetryURLCountCap, 5000, 5000}, Case{"30", 30, 30, 30}}) {
    for (const char* key :
         {"/vantor/ads/maximum_retry_url_count", "/vantor/ads/url_time_to_live", "/vantor/ads/ping_interval"}) {
      EXPECT_TRUE(defaults().setObject(c.value, key));
    }
    auto limits = ZUMPingerRetryStore::currentLimits();
    EXPECT_EQ(limits.maximumCount, c.count) << c.value.dump();
    EXPECT_EQ(limits.timeToLive, c.timeToLive) << c.value.dump();
    EXPECT_EQ(ZUMPingerRetryStore::currentPingInterval(), c.interval) << c.value.dump();
  }
}

TEST_F(ZUMPingerTest, DamagedStoresAreSurvivedKeepingWhatIsUsable) {
  server.route("/ok", {.status = 204});
  const double now = platform::clock().wallNow();
  EXPECT_TRUE(defaults().setObject(ordered_json{{url("/ok?good"), platform::makeDate(now)},
                                                {url("/ok?number"), now},
                                                {url("/ok?text"), "yesterday"},
                                                {"", now},
                                                {"not a url", now},
                                                {url("/ok?nested"), ordered_json::array({1, 2})}},
                                   kCrashGroup));
  EXPECT_TRUE(defaults().setObject("foreign", "/vantor/ads/foreign"));
  // The list also names a settings dictionary that holds no retry entry: somebody else's.
  const ordered_json settings = {{"values", {{"app_id", "app-1"}}}};
  EXPECT_TRUE(defaults().setObject(settings, "/vantor/ads/application_configuration"));
  EXPECT_TRUE(defaults().setObject(
      ordered_json::array({1, "", kCrashGroup, "/vantor/ads/foreign", kCrashGroup, "/vantor/ads/missing",
                           "/vantor/ads/application_configuration", ordered_json::object()}),
      kZUMPingerRetryGroupKeysKey));

  pinger->startRetrySchedule();
  env.advance(60.5);
  ASSERT_TRUE(env.runUntil([&] { return server.requests("/ok").size() == 2; }));
  ASSERT_TRUE(env.runUntil([&] { return !defaults().objectForKey(kCrashGroup); }));
  EXPECT_EQ(defaults().objectForKey("/vantor/ads/foreign"), ordered_json("foreign")) << "not ours: left alone";
  EXPECT_EQ(defaults().objectForKey("/vantor/ads/application_configuration"), settings);
  EXPECT_FALSE(defaults().objectForKey(kZUMPingerRetryGroupKeysKey));
}

}  // namespace
