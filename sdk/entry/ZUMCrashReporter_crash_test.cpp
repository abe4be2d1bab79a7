// Real crashes: a child host loads the SDK and dies of an uncaught exception; its
// defaults file then holds the report, and a later start over that file sends it.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/FileManager.h"
#include "platform/base/PercentEncoding.h"
#include "platform/base/URL.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "sdk/network/ZUMPinger.h"
#include "sdk/network/ZUMPingerRetryStore.h"
#include "sdk/telemetry/ZUMCrashReporter.h"
#include "testing/ChildProcess.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kProfile = "<plist><dict><key>get-task-allow</key>\n<true/>\n</dict></plist>";

struct ChildRun {
  int status = 0;
  std::vector<std::string> hostLines;
  std::vector<std::string> reports;  // the crash group's retry URL strings
};

class ZUMCrashReporterCrashTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "embedded.mobileprovision") << kProfile;
    childServer.route("/sdk/exception_204", {.status = 204, .held = true});  // the child dies first
    server.route("/sdk/exception_204", {.status = 204});
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  ChildRun runChild(const std::string& mode) {
    const auto output = folder / "host.txt";
    ChildRun run;
    // A child that hangs (a reporter waiting on the queue that raised) fails by its status.
    const auto status = testenv::runChildProcess({MORVANE_CRASH_REPORTER_CHILD, mode, defaultsFile().string(),
                                                  std::to_string(childServer.port()), folder.string(), output.string()},
                                                 folder / "stderr.txt");
    if (!status) return run;
    run.status = *status;
    std::ifstream in(output);
    for (std::string line; std::getline(in, line);) run.hostLines.push_back(line);
    std::ifstream file(defaultsFile());
    const auto stored = nlohmann::ordered_json::parse(file, nullptr, false);
    if (stored.is_object() && stored.contains(kZUMCrashReportingRetryGroupKey)) {
      for (const auto& [url, storedAt] : stored[kZUMCrashReportingRetryGroupKey].items()) run.reports.push_back(url);
    }
    return run;
  }

  std::filesystem::path defaultsFile() const { return folder / "defaults.json"; }
  static std::string queryValue(const std::string& url, const std::string& key) {
    const auto query = platform::URL::fromString(url)->query().value_or("");
    const auto start = query.find("&" + key + "=");
    if (start == std::string::npos) return "(absent)";
    const auto valueStart = start + key.size() + 2;
    return platform::PercentEncoding::decode(query.substr(valueStart, query.find('&', valueStart) - valueStart))
        .value_or("(undecodable)");
  }

  // A folder of each test's own: a test that made the parent's defaults its child's file
  // may still write them there after it ended.
  const std::filesystem::path folder = platform::FileManager::makeUniqueSystemTemporaryDirectory("crash-reporter");
  testenv::LoopbackServer childServer;
  testenv::LoopbackServer server;
};

bool endedByAbort(int status) { return WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT; }

TEST_F(ZUMCrashReporterCrashTest, AnSDKCrashIsOnDiskWhenTheChildDiesAndALaterStartSendsIt) {
  const auto run = runChild("sdk");
  EXPECT_TRUE(endedByAbort(run.status)) << run.status;
  EXPECT_THAT(run.hostLines, ElementsAre("host handler: HostException"));
  ASSERT_EQ(run.reports.size(), 1u);
  const auto& report = run.reports[0];
  EXPECT_EQ(queryValue(report, "excr"), "redacted");
  EXPECT_EQ(queryValue(report, "exclc").rfind("ZUMRunOnMainThread(", 0), 0u) << report;
  EXPECT_EQ(queryValue(report, "excst").rfind("app,", 0), 0u) << report;
  EXPECT_LT(queryValue(report, "excst").size(), 600u);
  EXPECT_EQ(queryValue(report, "dev-build"), "1");
  EXPECT_EQ(queryValue(report, "appid"), "com.example.crashhost");

  // A later start over the same defaults sends it within one retry interval.
  platform::UserDefaults::setStandardFile(defaultsFile());
  // The child stored it at the real time; the test's clock stands at a fixed date.
  EXPECT_TRUE(
      platform::UserDefaults::standard().setObject(nlohmann::ordered_json("1e9"), "/vantor/ads/url_time_to_live"));
  platform::URLLoading::mapHostForTesting("pings.adnetwork.example", "127.0.0.1", server.port());
  ZUMPinger::sharedInstance()->startRetrySchedule();
  env.advance(61s);
  ASSERT_TRUE(
      env.runUntil([&] { return server.requestCount() == 1 && ZUMPinger::sharedInstance()->pingsInFlight() == 0; }));
  EXPECT_EQ("https://pings.adnetwork.example/sdk/exception_204?" + server.requests()[0].query.value_or(""), report);
  env.runUntilIdle();
  EXPECT_THAT(ZUMPingerRetryStore(platform::UserDefaults::standard()).entries(kZUMCrashReportingRetryGroupKey),
              IsEmpty());
  platform::URLLoading::removeHostMappingsForTesting();
}

TEST_F(ZUMCrashReporterCrashTest, AnExceptionOnThePingersOwnQueueIsStoredWithoutDeadlock) {
  const auto run = runChild("pinger-queue");
  EXPECT_TRUE(endedByAbort(run.status)) << run.status;
  EXPECT_THAT(run.hostLines, ElementsAre("host handler: PingerException"));
  ASSERT_EQ(run.reports.size(), 1u);
  EXPECT_EQ(queryValue(run.reports[0], "excr"), "ZUMPinger broke at #");
}

TEST_F(ZUMCrashReporterCrashTest, HostCrashesAndOptedOutCrashesStoreNothingAndReachTheHostsHandler) {
  for (const char* mode : {"host", "opted-out"}) {
    const auto run = runChild(mode);
    EXPECT_TRUE(endedByAbort(run.status)) << mode;
    EXPECT_THAT(run.hostLines, ElementsAre("host handler: HostException")) << mode;
    EXPECT_THAT(run.reports, IsEmpty()) << mode;
    std::filesystem::remove(folder / "host.txt");
    std::filesystem::remove(defaultsFile());
  }
}

}  // namespace
