#include "sdk/network/ZUMNetworkDelivery.h"

#include <gtest/gtest.h>

#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/network/ZUMPinger.h"
#include "sdk/network/ZUMPingerRetryStore.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using ZUMNetworkDeliveryTest = testenv::PlatformTest;

TEST_F(ZUMNetworkDeliveryTest, FillsTheHubsHooksAndTheForegroundPingIsKeptForRetries) {
  testenv::LoopbackServer server;
  platform::URLLoading::mapHostForTesting("ads.vantor.test", "127.0.0.1", server.port());
  server.route("/fg", {.status = 503});

  ZUMRegisterNetworkDelivery();
  const auto hooks = ZUMCurrentStartupHooks();
  ASSERT_TRUE(hooks.registerURLInterception && hooks.startPingerRetrySchedule && hooks.sendForegroundPing);

  ZUMPingerRetryStore store(platform::UserDefaults::standard());
  hooks.sendForegroundPing("https://ads.vantor.test/fg?s=1");
  hooks.sendForegroundPing("not a url");
  ASSERT_TRUE(env.runUntil(
      [&] { return server.requests("/fg").size() == 1 && ZUMPinger::sharedInstance()->pingsInFlight() == 0; }));
  env.runUntilIdle();
  ASSERT_EQ(store.entries(kZUMForegroundPingRetryGroupKey).size(), 1u);

  // The retry schedule (started twice: once counts) re-sends it; a success removes it.
  server.route("/fg", {.status = 204});
  hooks.startPingerRetrySchedule();
  hooks.startPingerRetrySchedule();
  env.advance(60.5);
  ASSERT_TRUE(env.runUntil([&] { return store.entries(kZUMForegroundPingRetryGroupKey).empty(); }));
  EXPECT_EQ(server.requests("/fg").size(), 2u);
}

}  // namespace
