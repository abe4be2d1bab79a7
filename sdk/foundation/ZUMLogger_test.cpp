#include "sdk/foundation/ZUMLogger.h"

#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/SystemLog.h"
#include "testing/TestEnvironment.h"

namespace {

class ZUMLoggerTest : public testenv::PlatformTest {
 protected:
  platform::SystemLog::Capture capture{true};
};

TEST_F(ZUMLoggerTest, PrintsAtOrBelowTheThresholdOnlyAndAsynchronously) {
  EXPECT_EQ(ZUMLogLevelThreshold(), 1);
  ZUMLog(1, "first");
  ZUMLog(2, "too detailed");
  EXPECT_TRUE(capture.lines().empty()) << "printing happens on the logging queue";
  env.runUntilIdle();
  EXPECT_EQ(capture.messages(), std::vector<std::string>{"first"});

  ZUMSetLogLevelThreshold(2);
  ZUMLog(2, "now shown");
  env.runUntilIdle();
  EXPECT_EQ(capture.messages(), (std::vector<std::string>{"first", "now shown"}));
}

TEST_F(ZUMLoggerTest, PublicMessagesCarryThePrefixAndKeepTheirOrder) {
  auto logger = ZUMLogger::sharedInstance();
  logger->logPublicMessage("Unable to set adSize property. %@ 100%");
  env.runUntilIdle();
  EXPECT_EQ(capture.messages(), (std::vector<std::string>{"<Vantor> Unable to set adSize property. %@ 100%"}));

  ZUMSetLogLevelThreshold(0);
  logger->logPublicMessage("not printed below level 1");
  env.runUntilIdle();
  EXPECT_EQ(capture.messages().size(), 1u);
}

TEST(ZUMLoggerThreadedTest, LinesFromManyThreadsAllArriveWhole) {
  testenv::TestEnvironment env(testenv::Options{platform::ExecutorKind::Threaded, false});
  platform::SystemLog::Capture capture(true);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) ZUMLogger::sharedInstance()->logPublicMessage(std::to_string(t * 100 + i));
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(env.runUntil([&] { return capture.lines().size() >= 200; }));
  std::set<std::string> seen;
  for (const auto& message : capture.messages()) seen.insert(message);
  EXPECT_EQ(seen.size(), 200u);
}

}  // namespace
