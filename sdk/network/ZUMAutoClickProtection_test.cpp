#include "sdk/network/ZUMAutoClickProtection.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "sdk/network/ZUMNavigationBlockedReporting.h"
#include "sdk/network/ZUMPinger.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

struct RecordingReporting : ZUMNavigationBlockedReporting {
  void navigationBlocked(const Json& info) override { posts.push_back(info); }
  std::vector<Json> posts;
};

class ZUMAutoClickProtectionTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::mapHostForTesting("report.example.com", "127.0.0.1", server.port());
    ZUMNavigationBlockedReporting::setShared(page);
  }
  std::multiset<std::string> reportQueries() {
    env.runUntil([&] { return server.requestCount() >= expectedPings; });
    env.runUntil([&] { return ZUMPinger::sharedInstance()->pingsInFlight() == 0; });
    std::multiset<std::string> queries;
    for (const auto& request : server.requests("/blocked")) queries.insert(request.query.value_or(""));
    return queries;
  }
  testenv::LoopbackServer server;
  std::shared_ptr<RecordingReporting> page = std::make_shared<RecordingReporting>();
  std::size_t expectedPings = 0;
};

TEST_F(ZUMAutoClickProtectionTest, WithoutTemplatesEachReportPostsTheEntriesThatHaveValues) {
  auto protection = ZUMAutoClickProtection::create(true);
  protection->reportSpamOpenAction("debug info", "https://landing.example.com/a");
  protection->reportSpamOpenAction(std::nullopt, std::nullopt);
  protection->reportSpamOpenAction(std::nullopt, "https://landing.example.com/b");
  EXPECT_EQ(page->posts,
            (std::vector<Json>{{{"debugDialog", "debug info"}, {"navigationURL", "https://landing.example.com/a"}},
                               Json::object(),
                               {{"navigationURL", "https://landing.example.com/b"}}}));
  ZUMNavigationBlockedReporting::setShared(nullptr);
  platform::SystemLog::Capture capture(true);
  protection->reportSpamOpenAction("debug", "https://landing.example.com/c");  // logged, never a crash
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Blocked navigation not reported"));
  EXPECT_EQ(page->posts.size(), 3u);
}

TEST_F(ZUMAutoClickProtectionTest, TemplatesArePingedInsteadWithEveryMacroReplacedByTheEncodedURL) {
  server.route("/blocked", {.status = 204});
  auto protection = ZUMAutoClickProtection::createWithDictionary(
      {{"enable_protection", true},
       {"reporting_urls",
        {"https://report.example.com/blocked?u={NAVIGATION_URL}&again={NAVIGATION_URL}", 7,
         "https://report.example.com/blocked?fixed=1"}}});
  ASSERT_TRUE(protection);
  EXPECT_TRUE(protection->isEnabled());
  protection->reportSpamOpenAction("debug", "https://landing.example.com/p?q=1&r=a b");
  platform::SystemLog::Capture capture(true);
  protection->reportSpamOpenAction("debug", std::nullopt);  // nothing to report with
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Blocked navigation without a URL not reported."));
  expectedPings = 2;
  const std::string encoded = "https%3A%2F%2Flanding.example.com%2Fp%3Fq%3D1%26r%3Da%20b";
  EXPECT_EQ(reportQueries(), (std::multiset<std::string>{"u=" + encoded + "&again=" + encoded, "fixed=1"}));
  EXPECT_TRUE(page->posts.empty());
}

TEST_F(ZUMAutoClickProtectionTest, SettingsDictionariesAreReadTypedAndHostileOnesNeverCrash) {
  const struct {
    const char* name;
    Json settings;
    bool made;
    bool enabled;
    std::optional<std::vector<std::string>> templates;
  } rows[] = {
      {"not a dictionary", Json::array({1}), false, false, std::nullopt},
      {"null", Json(), false, false, std::nullopt},
      {"empty", Json::object(), true, false, std::nullopt},
      {"string flag", {{"enable_protection", "1"}}, true, true, std::nullopt},
      {"unreadable flag", {{"enable_protection", Json::array()}}, true, false, std::nullopt},
      {"empty list",
       {{"enable_protection", true}, {"reporting_urls", Json::array()}},
       true,
       true,
       std::vector<std::string>{}},
      {"list is a string", {{"reporting_urls", "https://report.example.com/x"}}, true, false, std::nullopt},
      {"mixed list", {{"reporting_urls", {"a", Json(), 1.5, "b"}}}, true, false, std::vector<std::string>{"a", "b"}},
  };
  for (const auto& row : rows) {
    auto protection = ZUMAutoClickProtection::createWithDictionary(row.settings);
    ASSERT_EQ(protection != nullptr, row.made) << row.name;
    if (!protection) continue;
    EXPECT_EQ(protection->isEnabled(), row.enabled) << row.name;
    EXPECT_EQ(protection->reportingURLStringTemplates(), row.templates) << row.name;
  }
  // An empty template list reports nowhere: neither a ping nor the page.
  ZUMAutoClickProtection::createWithDictionary({{"reporting_urls", Json::array()}})->reportSpamOpenAction("d", "u");
  env.runUntilIdle();
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_TRUE(page->posts.empty());
}

}  // namespace
