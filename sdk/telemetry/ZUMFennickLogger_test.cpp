#include "sdk/telemetry/ZUMFennickLogger.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/base/SystemLog.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/telemetry/ZUMBufferedFennickLogger.h"
#include "sdk/telemetry/ZUMFennickCommand.h"
#include "sdk/telemetry/ZUMFennickTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;
using fennicktest::paramsOf;
using fennicktest::received;
using fennicktest::storeConfig;

Json count(const std::string& key) { return Json{{"slot", {{key, 1}}}}; }

class ZUMFennickLoggerTest : public testenv::PlatformTest {
 protected:
  // The service with its script loaded.
  std::shared_ptr<ZUMFennick> loadedService(bool useJSCore = true) {
    storeConfig(fennicktest::enabledConfig(true, useJSCore));
    auto fennick = ZUMFennick::sharedInstance();
    fennick->updateIfNeeded();
    EXPECT_TRUE(env.runUntil([&] { return fennick->isLoaded(); }));
    return fennick;
  }

  fennicktest::ScriptHost host;
};

TEST(ZUMFennickCommandTest, BuildersGiveTheirShapesOrNothing) {
  testenv::TestEnvironment env;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Json deep = 1;
  for (int i = 0; i < 300; ++i) deep = Json::array({deep});
  struct Case {
    const char* what;
    std::optional<Json> got, want;
  };
  const auto error = ZUMMakeErrorWithDescription(3, "server says no");
  const Case cases[] = {
      {"count", ZUMFennickCountEvent("slot", "loading_started"), count("loading_started")},
      {"count, empty name", ZUMFennickCountEvent("", "loading_started"), std::nullopt},
      {"count, no key", ZUMFennickCountEvent("slot", std::nullopt), std::nullopt},
      {"value", ZUMFennickEvent("slot", Json{{"a", 1}}), Json{{"slot", {{"a", 1}}}}},
      {"value, empty name", ZUMFennickEvent("", Json(1)), std::nullopt},
      {"value, no value", ZUMFennickEvent("slot", std::nullopt), std::nullopt},
      {"error", ZUMFennickErrorParameters(error), Json{{"error_message", "server says no"}, {"error_code", 3}}},
      {"no error", ZUMFennickErrorParameters(nullptr), std::nullopt},
      {"command, empty id", ZUMFennickCommand("", count("x")), std::nullopt},
      {"command, empty map", ZUMFennickCommand("id", Json::object()), std::nullopt},
      {"command, not a map", ZUMFennickCommand("id", Json::array({1})), std::nullopt},
      {"command, NaN", ZUMFennickCommand("id", Json{{"v", nan}}), std::nullopt},
      {"command, not UTF-8", ZUMFennickCommand("id", Json{{"v", "\xff\xfe"}}), std::nullopt},
      {"command, key not UTF-8", ZUMFennickCommand("id", Json{{"\xc3", 1}}), std::nullopt},
      {"command, too deep", ZUMFennickCommand("id", Json{{"v", deep}}), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.got, c.want);
  }
  env.runUntilIdle();  // the cases' lines are written
  platform::SystemLog::Capture capture(true);
  (void)ZUMFennickCommand("id", Json{{"v", nan}});
  env.runUntilIdle();
  EXPECT_EQ(capture.messages(), std::vector<std::string>{"Fennick: dropped an event that cannot be written as JSON."});
  env.advance(2500ms);
  auto command = ZUMFennickCommand("app:1", count("x"));
  ASSERT_TRUE(command);
  EXPECT_EQ((*command)["id"], "app:1");
  EXPECT_EQ((*command)["params"], count("x"));
  EXPECT_EQ((*command)["awake_timeinterval_since_boot_sec"].get<double>(),
            static_cast<double>(ZUMMonotonicTimeInMilliseconds()) / 1000.0);
  EXPECT_EQ((*command)["timeinterval_since_boot_sec"].get<double>(), ZUMTimeIntervalSinceBoot());
  EXPECT_EQ(command->size(), 4u);
}

TEST_F(ZUMFennickLoggerTest, DisabledOrUnconfiguredChannelMakesNoLoggers) {
  EXPECT_FALSE(ZUMFennickLogger::create());
  EXPECT_FALSE(ZUMBufferedFennickLogger::create());
  storeConfig({{"enabled", false}, {"script_url", fennicktest::kScriptURL}});
  EXPECT_FALSE(ZUMFennickLogger::create());
  EXPECT_FALSE(ZUMBufferedFennickLogger::create());
  storeConfig(fennicktest::enabledConfig(false));
  EXPECT_TRUE(ZUMFennickLogger::create());
  EXPECT_TRUE(ZUMBufferedFennickLogger::create());
}

TEST_F(ZUMFennickLoggerTest, EventsBeforeTheScriptArriveInOneListAfterEnvironmentExperimentsAndCreated) {
  storeConfig(fennicktest::enabledConfig(false));  // enabled, no script yet
  auto logger = ZUMFennickLogger::create();
  ASSERT_TRUE(logger);
  const double createdAt = static_cast<double>(ZUMMonotonicTimeInMilliseconds()) / 1000.0;
  env.advance(3s);
  logger->reportEvent(count("loading_started"));
  const double firstAt = static_cast<double>(ZUMMonotonicTimeInMilliseconds()) / 1000.0;
  logger->reportEvent(Json::object());  // no command: dropped
  env.advance(4s);
  logger->reportEvent(count("url_build_request_started"));
  const double secondAt = static_cast<double>(ZUMMonotonicTimeInMilliseconds()) / 1000.0;
  EXPECT_GE(secondAt, firstAt + 3.9);
  EXPECT_EQ(logger->bufferedLogger()->bufferedCommandCount(), 3u);

  auto fennick = loadedService();
  auto executor = std::dynamic_pointer_cast<ZUMFennickTimerCommandExecutor>(fennick->commandExecutor());
  auto context = std::dynamic_pointer_cast<ZUMFennickJSCoreCommandExecutor>(executor->executor())->context();
  context->evaluateScript(
      "var lists = []; var inner = QYRA_Fennick;"
      "QYRA_Fennick = function (l) { lists.push(l.length); inner(l); };");
  env.advance(5s);
  logger->reportEvent(count("loading_succeeded"));  // no experiment ids stored yet
  (void)platform::UserDefaults::standard().setObject(Json("e1,e2"), kZUMExperimentIDStringKey);
  logger->reportEvent(count("dismissed"));
  logger->reportEvent(count("presented"));

  const Json commands = received(*fennick);
  const std::string& id = logger->fennickID();
  ASSERT_EQ(commands.size(), 8u) << commands.dump();
  EXPECT_EQ(paramsOf(commands, id).size(), 8u) << "every command carries the logger's id";
  EXPECT_EQ(commands[0]["params"]["env"]["sdk_version"], ZUMRequest::sdkVersion());
  EXPECT_TRUE(commands[0]["params"]["env"]["device"].is_object());
  EXPECT_TRUE(commands[0]["params"]["env"]["network"].is_object());
  EXPECT_EQ(commands[1]["params"], Json::parse(R"({"fennick":{"created":{"js_config":"cfg-1"}}})"));
  EXPECT_EQ(commands[1]["awake_timeinterval_since_boot_sec"].get<double>(), createdAt);
  EXPECT_EQ(commands[2]["params"], count("loading_started"));
  EXPECT_EQ(commands[2]["awake_timeinterval_since_boot_sec"].get<double>(), firstAt);
  EXPECT_EQ(commands[3]["params"], count("url_build_request_started"));
  EXPECT_EQ(commands[3]["awake_timeinterval_since_boot_sec"].get<double>(), secondAt);
  EXPECT_EQ(commands[4]["params"], count("loading_succeeded"));
  EXPECT_EQ(commands[5]["params"], Json::parse(R"({"experiments":"e1,e2"})"));
  EXPECT_EQ(commands[6]["params"], count("dismissed"));
  EXPECT_EQ(commands[7]["params"], count("presented"));
  EXPECT_EQ(context->evaluateScript("lists").toJSON(), Json::array({1, 3, 1, 1, 1, 1}))
      << "environment, the buffer in one list, then one command a call";
  EXPECT_FALSE(logger->bufferedLogger());
  EXPECT_TRUE(logger->environmentReported());
  EXPECT_TRUE(logger->experimentIDsReported());
}

TEST_F(ZUMFennickLoggerTest, ALoggerReleasedSendsFinishOnceOrIsDroppedWithoutAnExecutor) {
  storeConfig(fennicktest::enabledConfig(false));
  auto early = ZUMFennickLogger::create();
  early->reportEvent(count("loading_started"));
  const std::string earlyID = early->fennickID();
  early.reset();  // no executor: dropped, nothing kept for later

  auto fennick = loadedService();
  auto logger = ZUMFennickLogger::create();
  const std::string id = logger->fennickID();
  std::thread([moved = std::move(logger)]() mutable { moved.reset(); }).join();
  const Json commands = received(*fennick);
  EXPECT_EQ(paramsOf(commands, earlyID), Json::array());
  EXPECT_EQ(paramsOf(commands, id), Json::parse(R"([{"fennick":{"finish":1}}])"));
}

TEST_F(ZUMFennickLoggerTest, TheBufferKeepsTheNewestCommandsUpToItsSizeAndCountsTheRest) {
  auto config = fennicktest::enabledConfig(false);
  config["max_buffer_size"] = 3;
  storeConfig(config);
  auto logger = ZUMFennickLogger::create();
  platform::SystemLog::Capture capture(true);
  for (const char* key : {"a", "b", "c", "d", "e"}) logger->reportEvent(count(key));
  env.runUntilIdle();
  EXPECT_EQ(capture.messages(),
            std::vector<std::string>{"Fennick: the buffer is full; its oldest commands are dropped."})
      << "the first drop is logged";
  EXPECT_EQ(logger->bufferedLogger()->bufferedCommandCount(), 3u);
  EXPECT_EQ(logger->bufferedLogger()->droppedCommandCount(), 3) << "created, a and b";

  auto buffer = ZUMBufferedFennickLogger::create();
  buffer->bufferParameters(Json{{"id", "buffered"}, {"params", count("y")}});  // no list: ignored
  buffer->bufferParameters(Json::array({Json{{"id", "buffered"}, {"params", count("x")}}}));
  buffer->reportBufferedEventsToLogger(*logger);  // not loaded: kept in the logger's buffer
  EXPECT_EQ(logger->bufferedLogger()->droppedCommandCount(), 4);
  EXPECT_EQ(buffer->bufferedCommandCount(), 0u);

  config["script_url"] = fennicktest::kScriptURL;
  storeConfig(config);
  auto fennick = ZUMFennick::sharedInstance();
  fennick->updateIfNeeded();
  ASSERT_TRUE(env.runUntil([&] { return fennick->isLoaded(); }));
  logger->reportEvent(count("f"));
  const Json params = paramsOf(received(*fennick), logger->fennickID());
  EXPECT_EQ(params, Json::array({params[0], count("d"), count("e"), count("x"), count("f")}));
}

TEST_F(ZUMFennickLoggerTest, BufferedCommandsOfAnotherObjectFollowTheFirstCommandsWithTheLoggersID) {
  auto fennick = loadedService();
  auto buffer = ZUMBufferedFennickLogger::create();
  buffer->bufferEvent(Json{{"interstitial", {{"loading_started", 1}}}});
  buffer->bufferEvent(Json::object());  // no command: ignored
  auto logger = ZUMFennickLogger::create();
  buffer->reportBufferedEventsToLogger(*logger);
  buffer->reportBufferedEventsToLogger(*logger);  // empty: nothing sent
  auto timer = std::dynamic_pointer_cast<ZUMFennickTimerCommandExecutor>(fennick->commandExecutor());
  auto context = std::dynamic_pointer_cast<ZUMFennickJSCoreCommandExecutor>(timer->executor())->context();
  context->evaluateScript(
      "var calls = 0; var inner = QYRA_Fennick; QYRA_Fennick = function (l) { calls++; inner(l); };");
  logger->reportBufferedParameters(Json::array());
  logger->reportBufferedParameters(Json{{"id", "buffered"}, {"params", count("x")}});  // no list
  EXPECT_EQ(context->evaluateScript("calls").toJSON(), 0) << "nothing to send";
  const Json params = paramsOf(received(*fennick), logger->fennickID());
  ASSERT_EQ(params.size(), 3u);
  EXPECT_TRUE(params[0].contains("env"));
  EXPECT_TRUE(params[1].contains("fennick"));
  EXPECT_EQ(params[2], Json::parse(R"({"interstitial":{"loading_started":1}})"));
}

TEST_F(ZUMFennickLoggerTest, CommandsReachTheScriptInTheHiddenAdViewToo) {
  auto fennick = loadedService(false);
  auto logger = ZUMFennickLogger::create();
  logger->reportEvent(count("loading_started"));
  env.runUntilIdle();
  const Json params = paramsOf(received(*fennick), logger->fennickID());
  ASSERT_EQ(params.size(), 3u) << received(*fennick).dump();
  EXPECT_EQ(params[2], count("loading_started"));
}

// Real threads report into one logger while the script becomes ready: one environment,
// and every event exactly once, after the first commands.
TEST(ZUMFennickLoggerThreadedTest, ThreadsReportingWhileTheScriptLoadsSendEachEventOnce) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded, .virtualTime = false});
  fennicktest::ScriptHost host;
  auto config = fennicktest::enabledConfig(false);
  config["max_buffer_size"] = 1000;
  storeConfig(config);
  auto logger = ZUMFennickLogger::create();
  constexpr int kThreads = 8, kBefore = 10, kDuring = 30;
  std::atomic<int> early{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      auto report = [&](int i) { logger->reportEvent(Json{{"t" + std::to_string(t), {{std::to_string(i), 1}}}}); };
      for (int i = 0; i < kBefore; ++i) report(i);
      ++early;
      while (!go) std::this_thread::yield();
      for (int i = kBefore; i < kBefore + kDuring; ++i) {
        report(i);
        std::this_thread::yield();
      }
    });
  }
  ASSERT_TRUE(env.runUntil([&] { return early == kThreads; }));
  config["script_url"] = fennicktest::kScriptURL;
  storeConfig(config);
  auto fennick = ZUMFennick::sharedInstance();
  go = true;
  fennick->updateIfNeeded();
  ASSERT_TRUE(env.runUntil([&] { return fennick->isLoaded(); }));
  for (auto& thread : threads) thread.join();
  logger->reportEvent(count("last"));

  const Json params = paramsOf(received(*fennick), logger->fennickID());
  ASSERT_GE(params.size(), 2u);
  EXPECT_TRUE(params[0].contains("env"));
  EXPECT_TRUE(params[1].contains("fennick"));
  std::multiset<std::string> events;
  int environments = 0;
  for (const auto& p : params) {
    if (p.contains("env")) ++environments;
    if (p.begin().key().front() == 't') events.insert(p.dump());
  }
  EXPECT_EQ(environments, 1);
  EXPECT_EQ(events.size(), std::size_t{kThreads * (kBefore + kDuring)});
  EXPECT_EQ(std::set<std::string>(events.begin(), events.end()).size(), events.size());
}

}  // namespace
