#include "sdk/telemetry/ZUMFennick.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Device.h"
#include "platform/web/JSContext.h"
#include "platform/web/JSVirtualMachine.h"
#include "platform/web/WKWebView.h"
#include "platform/web/WebTestSupport.h"
#include "platform/web/WebView.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMSDKConstants.h"
#include "sdk/telemetry/ZUMFennickCommandExecutors.h"
#include "sdk/telemetry/ZUMFennickConfig.h"
#include "sdk/telemetry/ZUMFennickNetworkBridge.h"
#include "sdk/telemetry/ZUMFennickScript.h"
#include "sdk/telemetry/ZUMTelemetry.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;

constexpr const char* kScriptURL = "https://cdn.fennick.example/fennick.js";

class ZUMFennickTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::JSVirtualMachine::registerClass();
    platform::JSContext::registerClass();
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::URLLoading::mapHostForTesting("cdn.fennick.example", "127.0.0.1", server.port());
    platform::URLLoading::mapHostForTesting("log.fennick.example", "127.0.0.1", server.port());
    // Nothing listens on port 1.
    platform::URLLoading::mapHostForTesting("refused.fennick.example", "127.0.0.1", 1);
    serveScript(ownScript());
    server.route("/upload", {.status = 204});
  }
  void TearDown() override { platform::URLLoading::removeHostMappingsForTesting(); }

  static std::string ownScript() {
    return "var QYRA_FennickUploadURL = 'https://log.fennick.example/upload';\n" + std::string(ZUMFennickScript());
  }
  void serveScript(const std::string& script, int status = 200) {
    server.route("/fennick.js", {.status = status, .body = script, .contentType = "text/javascript"});
  }
  static void storeConfig(const Json& config) {
    EXPECT_TRUE(platform::UserDefaults::standard().setObject(Json(config.dump()), kZUMFennickConfigKey));
  }
  static Json config(bool useJSCore, const std::string& version = "1") {
    return Json{{"enabled", true}, {"use_js_core", useJSCore}, {"script_url", kScriptURL}, {"version", version}};
  }
  static std::shared_ptr<ZUMFennickJSCoreCommandExecutor> jsCore(const ZUMFennick& fennick) {
    auto timer = std::dynamic_pointer_cast<ZUMFennickTimerCommandExecutor>(fennick.commandExecutor());
    return timer ? std::dynamic_pointer_cast<ZUMFennickJSCoreCommandExecutor>(timer->executor()) : nullptr;
  }
  static Json evaluate(ZUMFennickJSCoreCommandExecutor& executor, const std::string& script) {
    return executor.context()->evaluateScript(script).toJSON();
  }
  static std::string evaluate(ZUMAdView& view, const std::string& script) {
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(view.webView())
        ->engine()
        ->stringByEvaluatingJavaScriptFromString(script);
  }

  testenv::LoopbackServer server;
};

// --- Configuration ---------------------------------------------------------------------

TEST_F(ZUMFennickTest, ConfigurationKeysDefaultsAndBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    Json stored;
    bool enabled, useJSCore;
    double interval;
    std::int64_t buffer;
    std::optional<std::string> script, base, version;
    std::string jsConfig;
  };
  const Case cases[] = {
      {Json::object(), false, false, 60, 100, {}, {}, {}, ""},
      {{{"enabled", true},
        {"use_js_core", true},
        {"beacon_interval_in_sec", 30.5},
        {"max_buffer_size", 7},
        {"script_url", "https://a.example/f.js"},
        {"base_url", "http://b.example/"},
        {"version", "v9"},
        {"js_config", "{\"x\":1}"}},
       true,
       true,
       30.5,
       7,
       "https://a.example/f.js",
       "http://b.example/",
       "v9",
       "{\"x\":1}"},
      {{{"beacon_interval_in_sec", 0}, {"max_buffer_size", 0}}, false, false, 60, 100, {}, {}, {}, ""},
      {{{"beacon_interval_in_sec", -5}, {"max_buffer_size", -3}}, false, false, 60, 100, {}, {}, {}, ""},
      {{{"beacon_interval_in_sec", nan}}, false, false, 60, 100, {}, {}, {}, ""},
      {{{"beacon_interval_in_sec", 1e300}}, false, false, kZUMFennickMaxBeaconInterval, 100, {}, {}, {}, ""},
      {{{"beacon_interval_in_sec", 0.001}, {"max_buffer_size", 1}}, false, false, 1, 1, {}, {}, {}, ""},
      {{{"script_url", "ftp://a.example/f.js"}, {"base_url", "javascript:alert(1)"}},
       false,
       false,
       60,
       100,
       {},
       {},
       {},
       ""},
      {{{"script_url", 5}, {"js_config", 3}, {"version", false}}, false, false, 60, 100, {}, {}, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.dump());
    // NaN cannot be stored in the defaults; the dictionary's reading is the same.
    auto config = ZUMFennickConfig::fromDictionary(c.stored);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->enabled, c.enabled);
    EXPECT_EQ(config->useJSCore, c.useJSCore);
    EXPECT_EQ(config->beaconInterval, c.interval);
    EXPECT_EQ(config->maxBufferedCommandSize, c.buffer);
    EXPECT_EQ(config->scriptURL ? std::optional(config->scriptURL->absoluteString()) : std::nullopt, c.script);
    EXPECT_EQ(config->baseURL ? std::optional(config->baseURL->absoluteString()) : std::nullopt, c.base);
    EXPECT_EQ(config->version, c.version);
    EXPECT_EQ(config->JSConfig, c.jsConfig);
  }
}

TEST_F(ZUMFennickTest, AStoredValueThatIsNoDictionaryMeansNoConfigurationAndNoDownload) {
  for (const Json& stored : {Json(), Json(5), Json("[1,2]"), Json("not json"), Json::array({1})}) {
    SCOPED_TRACE(stored.dump());
    EXPECT_TRUE(platform::UserDefaults::standard().setObject(stored, kZUMFennickConfigKey));
    EXPECT_FALSE(ZUMFennickConfig::fromUserDefaults());
    auto fennick = ZUMFennick::create();
    fennick->updateIfNeeded();
    EXPECT_FALSE(fennick->isUpdating());
    env.runUntilIdle();
    EXPECT_FALSE(fennick->isLoaded());
  }
  storeConfig({{"enabled", true}});  // a dictionary without a script URL
  ZUMFennick::create()->updateIfNeeded();
  env.runUntilIdle();
  EXPECT_EQ(server.requestCount(), 0u);
}

// --- Service ---------------------------------------------------------------------------

TEST_F(ZUMFennickTest, AConstantsDeliveryStartsOneDownloadAndCommandsReachTheScriptInOrder) {
  ZUMRegisterTelemetry();
  auto targets = ZUMSDKConstantsTargets::registered();
  ASSERT_TRUE(targets.updateFennick);
  ZUMApplySDKConstants(Json{{"zums:fennick_config", config(true).dump()}}, targets);
  auto fennick = ZUMFennick::sharedInstance();
  fennick->updateIfNeeded();
  fennick->updateIfNeeded();
  ASSERT_TRUE(env.runUntil([&] { return fennick->isLoaded(); }));
  EXPECT_EQ(server.requests("/fennick.js").size(), 1u);
  const auto installed = fennick->commandExecutor();
  fennick->updateIfNeeded();
  env.runUntilIdle();
  EXPECT_EQ(server.requests("/fennick.js").size(), 1u);
  EXPECT_EQ(fennick->commandExecutor(), installed) << "an installed executor stays";

  fennick->asynchronouslyExecuteCommands(Json::parse(R"([{"id":"a"},{"id":"b"}])"));
  fennick->asynchronouslyExecuteCommands(Json::parse(R"([{"id":"c"}])"));
  ASSERT_TRUE(env.runUntil([&] {
    auto executor = jsCore(*fennick);
    return executor &&
           evaluate(*executor, "QYRA_FennickState.pending.length + (QYRA_FennickState.uploading ? 1 : 0)") == 0;
  }));
  std::vector<std::string> uploaded;
  for (const auto& request : server.requests("/upload")) {
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    const Json body = Json::parse(request.body);
    for (const auto& command : body["commands"]) uploaded.push_back(command["id"]);
  }
  EXPECT_EQ(uploaded, (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(ZUMFennickTest, TheSameVersionAtTheNextStartUsesTheCachedScriptWithoutADownload) {
  storeConfig(config(true, "7"));
  auto first = ZUMFennick::create();
  first->updateIfNeeded();
  ASSERT_TRUE(env.runUntil([&] { return first->isLoaded(); }));
  serveScript("", 500);
  auto next = ZUMFennick::create();
  next->updateIfNeeded();
  ASSERT_TRUE(env.runUntil([&] { return next->isLoaded(); }));
  EXPECT_EQ(server.requests("/fennick.js").size(), 1u);

  storeConfig(config(true, "8"));  // a newer version that fails: the older script runs
  auto third = ZUMFennick::create();
  third->updateIfNeeded();
  ASSERT_TRUE(env.runUntil([&] { return third->isLoaded(); }));
  EXPECT_EQ(server.requests("/fennick.js").size(), 2u);
}

TEST_F(ZUMFennickTest, AFailedDownloadOrAScriptThatDoesNotStartInstallsNothingAndALaterUpdateRetries) {
  const std::pair<int, std::string> failures[] = {{404, "nothing"}, {200, "throw new Error('broken');"}};
  for (const auto& [status, script] : failures) {
    SCOPED_TRACE(script);
    storeConfig(config(true, "v" + std::to_string(status)));
    serveScript(script, status);
    auto fennick = ZUMFennick::create();
    fennick->updateIfNeeded();
    ASSERT_TRUE(env.runUntil([&] { return !fennick->isUpdating(); }));
    EXPECT_FALSE(fennick->commandExecutor());
    EXPECT_FALSE(fennick->isLoaded());
    serveScript(ownScript());
    storeConfig(config(true, "w" + std::to_string(status)));
    fennick->updateIfNeeded();
    ASSERT_TRUE(env.runUntil([&] { return fennick->isLoaded(); }));
  }
}

TEST_F(ZUMFennickTest, UniqueIDsFromManyThreadsAreDistinctAndIncreasing) {
  auto fennick = ZUMFennick::create();
  const std::string first = fennick->nextUniqueID();
  EXPECT_EQ(first.substr(first.rfind(':')), ":1");
  constexpr int kThreads = 8, kEach = 200;
  std::vector<std::vector<long long>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        auto id = fennick->nextUniqueID();
        seen[t].push_back(std::stoll(id.substr(id.rfind(':') + 1)));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<long long> all;
  for (const auto& counters : seen) {
    EXPECT_TRUE(std::is_sorted(counters.begin(), counters.end()));
    all.insert(counters.begin(), counters.end());
  }
  EXPECT_EQ(all.size(), std::size_t{kThreads * kEach});
  EXPECT_EQ(*all.begin(), 2);
  EXPECT_EQ(*all.rbegin(), kThreads * kEach + 1);
}

// --- Executors -------------------------------------------------------------------------

TEST_F(ZUMFennickTest, TheScriptContextEngineIsNotMadeForScriptsThatCannotStart) {
  for (const char* script : {"", "throw new Error('x');", "var nothing = 1;",
                             "function QYRA_FennickInit() { throw 1; }", "var QYRA_FennickInit = 3;"}) {
    SCOPED_TRACE(script);
    EXPECT_FALSE(ZUMFennickJSCoreCommandExecutor::create(script));
  }
  EXPECT_TRUE(ZUMFennickJSCoreCommandExecutor::create("function QYRA_FennickInit() {}"));
  platform::ClassRegistry::shared().unregisterClass(platform::JSContext::kClassName);
  EXPECT_FALSE(ZUMFennickJSCoreCommandExecutor::create("function QYRA_FennickInit() {}"));
  EXPECT_FALSE(ZUMFennickAdViewCommandExecutor::create("", std::nullopt));
}

TEST_F(ZUMFennickTest, NoScriptContextEngineIsMadeBelowSystemVersion7) {
  platform::Device::current().setSystemVersion("6.1.4");
  EXPECT_FALSE(ZUMFennickJSCoreCommandExecutor::create("function QYRA_FennickInit() {}"));
}

TEST_F(ZUMFennickTest, AScriptContextWhoseProcessDiedIsNotLoaded) {
  platform::webtest::ProcessLimits limits(0.5, 8u << 20);
  auto fennick = ZUMFennick::create();
  fennick->updateCommandExecutorWithConfig(
      *ZUMFennickConfig::fromDictionary(Json{{"use_js_core", true}}),
      "function QYRA_FennickInit() {} function QYRA_Fennick(l) { while (l[0].spin) {} }");
  ASSERT_TRUE(fennick->isLoaded());
  fennick->asynchronouslyExecuteCommands(Json::parse(R"([{"spin": false}])"));
  EXPECT_TRUE(fennick->isLoaded());
  fennick->asynchronouslyExecuteCommands(Json::parse(R"([{"spin": true}])"));
  EXPECT_FALSE(fennick->isLoaded());
  fennick->asynchronouslyExecuteCommands(Json::parse(R"([{"spin": false}])"));  // dropped by the dead context
}

TEST_F(ZUMFennickTest, UseJSCorePicksTheScriptContextElseTheAdView) {
  for (bool useJSCore : {true, false}) {
    auto config = ZUMFennickConfig::fromDictionary(Json{{"use_js_core", useJSCore}});
    auto other = ZUMFennick::create();
    other->updateCommandExecutorWithConfig(*config, ownScript());
    auto timer = std::dynamic_pointer_cast<ZUMFennickTimerCommandExecutor>(other->commandExecutor());
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->beaconTimeInterval(), 60);
    EXPECT_EQ(std::dynamic_pointer_cast<ZUMFennickJSCoreCommandExecutor>(timer->executor()) != nullptr, useJSCore);
    EXPECT_EQ(std::dynamic_pointer_cast<ZUMFennickAdViewCommandExecutor>(timer->executor()) != nullptr, !useJSCore);
  }
}

TEST_F(ZUMFennickTest, TheAdViewEngineKeepsListsUntilItsPageLoadsThenRunsThemInOrder) {
  auto executor = ZUMFennickAdViewCommandExecutor::create(ownScript(), std::nullopt);
  ASSERT_TRUE(executor);
  EXPECT_FALSE(executor->isLoaded());
  executor->asynchronouslyExecuteCommands(Json::parse(R"([{"beacon":{"time_interval_sec":60}}])"));
  for (std::size_t n = 0; n < ZUMFennickAdViewCommandExecutor::kMaxWaitingCommandLists; ++n) {
    executor->asynchronouslyExecuteCommands(Json::array({Json{{"n", n}}}));  // the oldest, the beacon, goes
  }
  ASSERT_TRUE(env.runUntil([&] { return executor->isLoaded(); }));
  executor->asynchronouslyExecuteCommands(Json::parse(R"([{"id":"x","text":"a\u2028b</script>"}])"));
  env.runUntilIdle();
  const Json received = Json::parse(evaluate(*executor->adView(), "JSON.stringify(QYRA_FennickState.received)"));
  ASSERT_EQ(received.size(), ZUMFennickAdViewCommandExecutor::kMaxWaitingCommandLists + 1);
  EXPECT_EQ(received.front(), Json::parse(R"({"n":0})"));
  EXPECT_EQ(received.back(), Json::parse(R"({"id":"x","text":"a\u2028b</script>"})"));
}

TEST_F(ZUMFennickTest, TheAdViewPageRunsScriptsWithMarkupDollarsAndBackslashesUnchanged) {
  const std::string tricky = R"(var s = "</script><!-- $1 $& \\ \u2028 end";)";
  for (const std::string& script : {tricky, std::string(R"(var s = "$1 $& \\ plain";)")}) {
    SCOPED_TRACE(script);
    auto executor = ZUMFennickAdViewCommandExecutor::create(script + " function QYRA_Fennick(l) {}", std::nullopt);
    ASSERT_TRUE(env.runUntil([&] { return executor->isLoaded(); }));
    auto reference = platform::JSContext::create();
    EXPECT_EQ(evaluate(*executor->adView(), "s"), reference->evaluateScript(script + " s").toString());
  }
  EXPECT_EQ(ZUMFennickAdViewCommandExecutor::pageHTML("a()"),
            "<head><script type='text/javascript'>a()</script></head><body></body>");
  const auto command =
      ZUMFennickAdViewCommandExecutor::commandScript(Json::parse(R"([{"t":"\u2028\u2029</script>"}])"));
  ASSERT_TRUE(command);
  EXPECT_EQ(command->find("</"), std::string::npos);
  EXPECT_EQ(command->find("\xE2\x80\xA8"), std::string::npos);
  EXPECT_EQ(command->find("\xE2\x80\xA9"), std::string::npos);
}

class RecordingExecutor : public ZUMFennickCommandExecuting {
 public:
  bool isLoaded() const override { return true; }
  void asynchronouslyExecuteCommands(const Json& commands) override { lists.push_back(commands); }
  std::vector<Json> lists;
};

TEST_F(ZUMFennickTest, TheBeaconArrivesAtEachIntervalWithoutAnID) {
  auto recorder = std::make_shared<RecordingExecutor>();
  auto timer = ZUMFennickTimerCommandExecutor::create(recorder, 60);
  const Json beacon = Json::parse(R"([{"beacon":{"time_interval_sec":60}}])");
  const std::pair<std::chrono::seconds, std::size_t> steps[] = {{59s, 0}, {1s, 1}, {60s, 2}, {60s, 3}};
  for (const auto& [step, count] : steps) {
    env.advance(step);
    ASSERT_EQ(recorder->lists.size(), count);
  }
  for (const auto& list : recorder->lists) {
    EXPECT_EQ(list, beacon);
    EXPECT_FALSE(list[0].contains("id"));
  }
  timer.reset();
  env.advance(120s);
  EXPECT_EQ(recorder->lists.size(), 3u) << "the timer ends with its executor";
}

// --- Network bridge --------------------------------------------------------------------

TEST_F(ZUMFennickTest, BridgeAnswersCapTheirTextOnACharacterBoundary) {
  bool failed = true;
  const std::string text = std::string(kZUMFennickMaxResponseTextBytes - 1, 'a') + "\xC3\xA9" + "tail";
  auto result = ZUMFennickBridgeResult(std::nullopt, text, nullptr, &failed);
  EXPECT_FALSE(failed);
  EXPECT_EQ(result["response"].get<std::string>().size(), kZUMFennickMaxResponseTextBytes - 1);
  EXPECT_EQ(ZUMFennickBridgeResult(std::nullopt, "\xFF", nullptr, &failed)["response"], "");
}

TEST_F(ZUMFennickTest, BridgeRequestsAreCheckedBeforeTheyAreSent) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    Json parameters;
    std::optional<std::string> body;  // nullopt: refused
    std::string method = "GET";
  };
  const Case cases[] = {
      {{{"url", "https://a.example/"}, {"body_type", "byte_array"}, {"body", {72, 361}}}, "Hi"},
      {{{"url", "https://a.example/"}, {"body_type", "byte_array"}, {"body", {-1, nan, 1e300, 255.9, "x", -1e300}}},
       std::string("\xFF\0\0\xFF\0\0", 6)},
      {{{"url", "https://a.example/"}, {"body_type", "byte_array"}, {"body", Json::array()}}, ""},
      {{{"url", "http://a.example/"}, {"body_type", "string"}, {"body", "text"}, {"request_type", "PUT"}},
       "text",
       "PUT"},
      {{{"url", "http://a.example/"}, {"body_type", "other"}, {"body", "text"}}, ""},
      {{{"url", "file:///etc/passwd"}}, std::nullopt},
      {{{"url", "javascript:alert(1)"}}, std::nullopt},
      {{{"url", 5}}, std::nullopt},
      {Json::array(), std::nullopt},
      {{{"url", "https://a.example/"}, {"request_type", "GET\r\nX-Evil: 1"}}, std::nullopt},
      {{{"url", "https://a.example/"}, {"request_type", 3}}, std::nullopt},
      {{{"url", "https://a.example/"},
        {"body_type", "byte_array"},
        {"body", Json(std::vector<int>(kZUMFennickMaxRequestBodyBytes + 1, 1))}},
       std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parameters.dump().substr(0, 200));
    auto made = ZUMFennickMakeBridgeRequest(c.parameters);
    ASSERT_EQ(made.request.has_value(), c.body.has_value()) << made.refusal;
    if (!made.request) {
      EXPECT_FALSE(made.refusal.empty());
      continue;
    }
    EXPECT_EQ(made.request->httpBody().value_or(""), *c.body);
    EXPECT_EQ(made.request->httpMethod(), c.method);
  }
  auto headers = ZUMFennickMakeBridgeRequest(
      {{"url", "https://a.example/"},
       {"request_headers",
        {{"X-Ok", "yes"}, {"X-Number", 5}, {"X-Split", "a\r\nb"}, {"X-Lead", "\nb"}, {"Bad Name", "v"}}}});
  ASSERT_TRUE(headers.request);
  EXPECT_EQ(headers.request->allHTTPHeaderFields().size(), 1u);
  EXPECT_EQ(headers.request->valueForHTTPHeaderField("X-Ok"), "yes");
}

constexpr const char* kBridgeScript = R"(
var results = [], io;
function QYRA_FennickInit(options) { io = options.netIOFn; }
function QYRA_Fennick(list) {
  for (var i = 0; i < list.length; i++) {
    io(list[i], function (r) { results.push(['ok', r]); }, function (r) { results.push(['fail', r]); });
  }
})";

TEST_F(ZUMFennickTest, BridgeAnswersReachTheScriptsCallbacks) {
  server.route("/ok", {.status = 200, .body = "fine"});
  server.route("/missing", {.status = 404, .body = "no such log"});
  server.route("/held", {.status = 200, .body = "late", .held = true});
  auto executor = ZUMFennickJSCoreCommandExecutor::create(kBridgeScript);
  ASSERT_TRUE(executor);
  executor->asynchronouslyExecuteCommands(Json::parse(R"([
    {"url": "https://log.fennick.example/held"},
    {"url": "https://log.fennick.example/ok", "request_type": "POST", "request_headers": {"X-Log": "1"},
     "body_type": "byte_array", "body": [72, 361]},
    {"url": "https://log.fennick.example/missing"},
    {"url": "https://refused.fennick.example/x"},
    {"url": "ftp://log.fennick.example/x"}])"));
  ASSERT_TRUE(env.runUntil([&] { return evaluate(*executor, "results.length") == 4; }));
  EXPECT_EQ(server.heldCount("/held"), 1u);
  auto results = evaluate(*executor, "results");
  std::map<int, Json> byStatus;
  for (const auto& result : results)
    byStatus[result[1]["status_code"].get<int>() * 10 + (result[0] == "ok")] = result[1];
  EXPECT_EQ(byStatus[2001], Json::parse(R"({"status_code":200,"response":"fine"})"));
  EXPECT_EQ(
      byStatus[4040],
      Json::parse(
          R"({"status_code":404,"error_code":11,"error_message":"Invalid response received.","response":"no such log"})"));
  ASSERT_EQ(results.size(), 4u);
  int refusedOrFailed = 0;
  for (const auto& result : results) refusedOrFailed += result[0] == "fail" && result[1]["status_code"] == 0;
  EXPECT_EQ(refusedOrFailed, 2) << results.dump();
  const auto sent = server.requests("/ok");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].method, "POST");
  EXPECT_EQ(sent[0].header("X-Log"), "1");
  EXPECT_EQ(sent[0].body, "Hi");
  EXPECT_EQ(server.requests().size(), 3u) << "nothing but http(s) leaves";

  server.release("/held");
  ASSERT_TRUE(env.runUntil([&] { return evaluate(*executor, "results.length") == 5; }));
  EXPECT_EQ(evaluate(*executor, "results[4][1].response"), "late");
}

TEST_F(ZUMFennickTest, ABridgeCallbackThatIsNoFunctionIsSkipped) {
  server.route("/ok", {.status = 200, .body = "fine"});
  auto executor = ZUMFennickJSCoreCommandExecutor::create(
      "var io; function QYRA_FennickInit(o) { io = o.netIOFn; }"
      "function QYRA_Fennick(l) { io(l[0], 5, null); io(l[1], {}, 'x'); }");
  ASSERT_TRUE(executor);
  executor->asynchronouslyExecuteCommands(
      Json::parse(R"([{"url": "https://log.fennick.example/ok"}, {"url": "https://log.fennick.example/none"}])"));
  ASSERT_TRUE(env.runUntil([&] { return server.requestCount() == 2 && executor->requestsInFlight() == 0; }));
  EXPECT_TRUE(executor->isLoaded());
  EXPECT_EQ(evaluate(*executor, "typeof io"), "function");

  // A script that floods the bridge gets a bounded number of requests.
  server.route("/slow", {.status = 200, .held = true});
  executor->context()->evaluateScript(
      "var refused = 0; for (var i = 0; i < 40; i++) io({url: 'https://log.fennick.example/slow'}, null,"
      " function (r) { if (r.status_code === 0) refused++; });");
  ASSERT_TRUE(env.runUntil(
      [&] { return evaluate(*executor, "refused") == 40 - ZUMFennickJSCoreCommandExecutor::kMaxRequestsInFlight; }));
  EXPECT_EQ(executor->requestsInFlight(), ZUMFennickJSCoreCommandExecutor::kMaxRequestsInFlight);
  server.release("/slow");
  ASSERT_TRUE(env.runUntil([&] { return executor->requestsInFlight() == 0; }));
}

}  // namespace
