#include "sdk/network/ZUMClickTrackerCollection.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "platform/base/SystemLog.h"
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
  std::shared_ptr<ZUMClickTrackerCollection> collection = ZUMClickTrackerCollection::sharedInstance();
};

TEST_F(ZUMClickTrackerCollectionTest, EachURLIsPingedOnceAndItsTrackerKeptUntilTheEnd) {
  server.route("/click", {.status = 204, .held = true});
  collection->trackURLs(
      std::vector<std::string>{"https://ads.vantor.test/click?n=1", "https://ads.vantor.test/click?n=2"});
  collection->trackURLs(std::vector<platform::URL>{*platform::URL::fromString("https://ads.vantor.test/click?n=3")});
  EXPECT_EQ(server.requestCount(), 0u) << "nothing is sent before the main queue runs";
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/click") == 3; }));
  EXPECT_EQ(collection->activeTrackerCount(), 3u) << "kept while on their way";
  server.release("/click");
  ASSERT_TRUE(env.runUntil([&] { return collection->activeTrackerCount() == 0; }));
  std::multiset<std::string> queries;
  for (const auto& request : server.requests("/click")) {
    queries.insert(request.query.value_or(""));
    EXPECT_EQ(request.header("User-Agent"), "MorvaneTest/1.0 (Tracker)");
  }
  EXPECT_EQ(queries, (std::multiset<std::string>{"n=1", "n=2", "n=3"}));
}

TEST_F(ZUMClickTrackerCollectionTest, NoURLABadOneOrAFailedPingEndsItsTracker) {
  server.route("/click", {.status = 500});
  collection->trackURL(std::nullopt);
  platform::SystemLog::Capture capture(true);
  collection->trackURLs(std::vector<std::string>{"", "not a url", "mailto:a@b"});
  collection->trackURLs(std::vector<platform::URL>{});
  collection->trackURL(platform::URL::fromString("https://ads.vantor.test/click"));
  EXPECT_EQ(collection->activeTrackerCount(), 5u);
  ASSERT_TRUE(env.runUntil([&] { return collection->activeTrackerCount() == 0; }));
  EXPECT_EQ(server.requestCount(), 1u);
  // Each of the three is logged, whether it is no URL at all or one the pinger refuses.
  EXPECT_EQ(std::ranges::count_if(capture.messages(),
                                  [](const std::string& line) { return line.starts_with("Invalid ping URL"); }),
            3);
}

}  // namespace
