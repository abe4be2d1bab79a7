#include "sdk/network/ZUMClickTrackerCollection.h"

#include <gtest/gtest.h>

#include "platform/net/URLLoading.h"
#include "sdk/foundation/ZUMNetwork.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

class ZUMClickTrackerCollectionTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::mapHostForTesting("ads.vantor.test", "127.0.0.1", server.port());
    ZUMNetwork::sharedInstance()->setUserAgentString("MorvaneTest/1.0 (Tracker)");
    env.runUntilIdle();
  }
  testenv::LoopbackServer server;
};

TEST_F(ZUMClickTrackerCollectionTest, EachURLIsPingedOnceAndItsTrackerKeptUntilTheEnd) {
  server.route("/click", {.status = 204, .held = true});
  auto collection = ZUMClickTrackerCollection::sharedInstance();
  collection->trackURLs(std::vector<std::string>{"https://ads.vantor.test/click?n=1", "https://ads.vantor.test/click?n=2"});
  collection->trackURLs(std::vector<platform::URL>{*platform::URL::fromString("https://ads.vantor.test/click?n=3")});
  EXPECT_EQ(collection->activeTrackerCount(), 3u);
  EXPECT_EQ(server.requestCount(), 0u) << "nothing is sent before the main queue runs";
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/click") == 3; }));
  EXPECT_EQ(collection->activeTrackerCount(), 3u) << "kept while on their way";
  server.release("/click");
  ASSERT_TRUE(env.runUntil([&] { return collection->activeTrackerCount() == 0; }));
  std::multiset<std::string> queries;
  for (const auto& request : server.requests("/click")) {
    queries.insert(request.query.value_or(""));
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.header("User-Agent"), "MorvaneTest/1.0 (Tracker)");
  }
  EXPECT_EQ(queries, (std::multiset<std::string>{"n=1", "n=2", "n=3"}));
}

TEST_F(ZUMClickTrackerCollectionTest, NoURLOrABadOneSendsNothingAndEnds) {
  auto collection = ZUMClickTrackerCollection::sharedInstance();
  collection->trackURL(std::nullopt);
  collection->trackURLs(std::vector<std::string>{"", "not a url", "mailto:a@b"});
  collection->trackURLs(std::vector<platform::URL>{});
  EXPECT_EQ(collection->activeTrackerCount(), 4u);
  env.runUntilIdle();
  EXPECT_EQ(collection->activeTrackerCount(), 0u);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(ZUMClickTrackerCollectionTest, AFailedPingEndsItsTrackerToo) {
  server.route("/click", {.status = 500});
  auto collection = ZUMClickTrackerCollection::sharedInstance();
  collection->trackURL(platform::URL::fromString("https://ads.vantor.test/click"));
  ASSERT_TRUE(env.runUntil([&] { return collection->activeTrackerCount() == 0; }));
  EXPECT_EQ(server.requests("/click").size(), 1u);
}

}  // namespace
