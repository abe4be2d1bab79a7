// The Fennick channel as the loaded SDK starts it: the SDK-core page's constants name the
// script, the script runs and receives commands and its beacon on virtual time.
#include <chrono>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMMobileAds.h"
#include "platform/net/URLLoading.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "sdk/telemetry/ZUMFennick.h"
#include "sdk/telemetry/ZUMFennickCommandExecutors.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;

constexpr const char* kScript = R"(
var received = [];
function QYRA_FennickInit(options) { received.push(typeof options.netIOFn); }
function QYRA_Fennick(list) { for (var i = 0; i < list.length; i++) received.push(list[i]); })";

using ZUMFennickDeliveryTest = testenv::PlatformTest;

TEST_F(ZUMFennickDeliveryTest, TheSDKCorePagesConstantsStartTheChannelAndItsBeacon) {
  ZUMMobileAds::load();
  sdkcoretest::NetworkHosts hosts;
  platform::URLLoading::mapHostForTesting("cdn.fennick.example", "127.0.0.1", hosts.server.port());
  hosts.server.route("/fennick.js", {.body = kScript, .contentType = "text/javascript"});
  hosts.servePage(sdkcoretest::pageWith(
      "SDK_CONSTANTS['zums:fennick_config'] = JSON.stringify({enabled: true, use_js_core: true, version: '3',"
      " script_url: 'https://cdn.fennick.example/fennick.js', beacon_interval_in_sec: 60});"));
  auto fennick = ZUMFennick::sharedInstance();
  EXPECT_FALSE(fennick->isUpdating()) << "nothing to fetch before the constants";
  ZUMSDKCoreController::sharedInstance()->executeJavaScriptFromBlockWhenReady(
      [](const std::string&) { return std::optional<std::string>("1"); }, {});
  ASSERT_TRUE(env.runUntil([&] { return fennick->isLoaded(); }));
  EXPECT_EQ(hosts.server.requests("/fennick.js").size(), 1u);

  fennick->asynchronouslyExecuteCommands(Json::parse(R"([{"id":"one"}])"));
  env.advance(60s);
  fennick->asynchronouslyExecuteCommands(Json::parse(R"([{"id":"two"}])"));
  env.advance(120s);
  auto timer = std::dynamic_pointer_cast<ZUMFennickTimerCommandExecutor>(fennick->commandExecutor());
  ASSERT_TRUE(timer);
  auto engine = std::dynamic_pointer_cast<ZUMFennickJSCoreCommandExecutor>(timer->executor());
  ASSERT_TRUE(engine);
  const Json beacon = Json::parse(R"({"beacon":{"time_interval_sec":60}})");
  EXPECT_EQ(engine->context()->evaluateScript("received").toJSON(),
            Json::array({"function", Json{{"id", "one"}}, beacon, Json{{"id", "two"}}, beacon, beacon}));
}

}  // namespace
