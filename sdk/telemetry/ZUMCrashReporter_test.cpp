#include "sdk/telemetry/ZUMCrashReporter.h"

#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/PercentEncoding.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/network/ZUMPingerRetryStore.h"
#include "sdk/telemetry/ZUMTelemetry.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

// Exported, so its frame resolves by name and marks the exception as the SDK's.
[[gnu::noinline]] void PXRRaiseForTest(std::optional<std::string> reason) {
  platform::Exception::raise("TestException", std::move(reason));
}

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The query of a report URL, decoded, in order.
std::vector<std::pair<std::string, std::string>> queryOf(const std::optional<platform::URL>& url) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (!url || !url->query()) return pairs;
  const std::string query = *url->query();
  std::size_t start = 0;
  while (start <= query.size()) {
    auto end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const auto pair = query.substr(start, end - start);
    const auto equals = pair.find('=');
    pairs.emplace_back(pair.substr(0, equals),
                       platform::PercentEncoding::decode(equals == std::string::npos ? "" : pair.substr(equals + 1))
                           .value_or("(undecodable)"));
    start = end + 1;
  }
  return pairs;
}

std::map<std::string, std::string> mapOf(const std::optional<platform::URL>& url) {
  std::map<std::string, std::string> map;
  for (auto& [key, value] : queryOf(url)) map[key] = value;
  return map;
}

ZUMCrashReporter::Report sdkReport() {
  ZUMCrashReporter::Report report;
  report.name = "TestException";
  report.reason = "ZUMSlot failed at 0x7ffe4c0";
  report.stackLines = {"app,main"};
  report.symbols = {"main"};
  report.os = "12.0.0";
  report.appid = "com.example.host";
  report.api = "3.1";
  report.js = "sdk-1.0";
  report.device = "TestPhone";
  return report;
}

TEST(ZUMCrashReporterTest, ReasonsAreRedactedAndTheSDKIsFoundInReasonOrSymbols) {
  struct Row {
    std::optional<std::string> reason;
    std::vector<std::string> symbols;
    std::optional<std::string> excr;  // none: nothing reported
    std::string exclc;
  };
  const std::vector<Row> rows = {
      {"index 3 beyond bounds", {"main", "start"}, std::nullopt, ""},
      {std::nullopt, {"main"}, std::nullopt, ""},
      {"zum pxr lower case", {"zumthing"}, std::nullopt, ""},
      {"ZUMSlot at 0x7ffe4c0 and 0XABCdef9, not 0x", {"main"}, "ZUMSlot at # and #, not 0x", "."},
      {"PXRView 0x1", {}, "PXRView #", "."},
      {"index 3 beyond bounds", {"main", "ZUMSlot::load()", "PXRView::x()"}, "redacted", "ZUMSlot::load()"},
      {std::nullopt, {"", "unavailable", "PXRView::x()"}, "redacted", "PXRView::x()"},
  };
  for (const auto& row : rows) {
    auto report = sdkReport();
    report.reason = row.reason;
    report.symbols = row.symbols;
    const auto url = ZUMCrashReporter::reportURL(report);
    ASSERT_EQ(url.has_value(), row.excr.has_value()) << row.reason.value_or("(none)");
    if (!url) continue;
    EXPECT_EQ(url->path(), "/sdk/exception_204");
    const auto query = mapOf(url);
    EXPECT_EQ(query.at("excr"), *row.excr);
    EXPECT_EQ(query.at("exclc"), row.exclc);
  }
}

TEST(ZUMCrashReporterTest, TheQueryHoldsEveryKeyInOrderWithFallbacksAndExperimentsLast) {
  auto report = sdkReport();
  report.reason = "ZUM & = ? # %";
  report.experimentIDs = "e1,e2";
  EXPECT_THAT(queryOf(ZUMCrashReporter::reportURL(report)),
              ElementsAre(std::pair<std::string, std::string>{"os", "12.0.0"}, std::pair{"appid", "com.example.host"},
                          std::pair{"api", "3.1"}, std::pair{"js", "sdk-1.0"}, std::pair{"device", "TestPhone"},
                          std::pair{"dev-build", "0"}, std::pair{"excn", "TestException"},
                          std::pair{"excr", "ZUM & = ? # %"}, std::pair{"exclc", "."}, std::pair{"excst", "app,main"},
                          std::pair{"id", "kvel-apps-report-exception"}, std::pair{"eids", "e1,e2"}));

  ZUMCrashReporter::Report unreadable;
  unreadable.reason = "ZUM";
  unreadable.appid = "";
  const auto query = mapOf(ZUMCrashReporter::reportURL(unreadable));
  for (const char* key : {"os", "appid", "api", "js", "device", "excst"}) EXPECT_EQ(query.at(key), "error") << key;
  EXPECT_EQ(query.at("excn"), "unknown");
  EXPECT_FALSE(query.contains("eids"));
}

TEST(ZUMCrashReporterTest, InvalidUTF8IsReplacedAndLongTextsAreCut) {
  auto report = sdkReport();
  report.name = "Bad\xff\xfeName";
  report.reason = "ZUM \xc3";
  const auto query = mapOf(ZUMCrashReporter::reportURL(report));
  EXPECT_EQ(query.at("excn"), "Bad\uFFFD\uFFFDName");
  EXPECT_EQ(query.at("excr"), "ZUM \uFFFD");

  const std::string megabyte(1 << 20, 'a');
  EXPECT_EQ(ZUMCrashReporter::sanitizedText("ZUM " + megabyte).size(), ZUMCrashReporter::kMaximumTextLength);
  // A cut never splits a character.
  const std::string accents = std::string(ZUMCrashReporter::kMaximumTextLength - 1, 'a') + "\xc3\xa9";
  EXPECT_EQ(ZUMCrashReporter::sanitizedText(accents), std::string(ZUMCrashReporter::kMaximumTextLength - 1, 'a'));
}

TEST(ZUMCrashReporterTest, StackTextKeepsLinesWhileTheRunningTotalStaysBelow600) {
  const auto line = [](std::size_t length) { return std::string(length, 'x'); };
  struct Row {
    std::vector<std::string> lines;
    std::optional<std::size_t> bytes;  // of the text; none: no text ("error")
  };
  const std::vector<Row> rows = {
      {{line(598)}, 598},                      // total 599: kept
      {{line(599)}, std::nullopt},             // total 600: cut, and nothing fits
      {{line(300), line(298)}, 300},           // 301 + 299 = 600: the second is cut
      {{line(300), line(297), line(0)}, 598},  // 301 + 298 = 599 kept, then 600
      {{line(10), line(700), line(1)}, 10},    // stops at the first line that does not fit
      {{}, std::nullopt},
      {{"\u00e9\U0001F600" + line(595)}, 601},  // UTF-16 units: 1 + 2 + 595 + 1 = 599
      {{"\u00e9\U0001F600" + line(596)}, std::nullopt},
  };
  for (const auto& row : rows) {
    const auto text = ZUMCrashReporter::stackText(row.lines);
    EXPECT_EQ(text ? std::optional(text->size()) : std::nullopt, row.bytes) << row.lines.size();
  }
  EXPECT_EQ(ZUMCrashReporter::stackText({"a,b", "c,d"}), "a,b\nc,d");
}

TEST(ZUMCrashReporterTest, FramesAreLabelledAppMissingOrUnavailable) {
  platform::ResolvedAddress own{.imagePath = "/opt/host/bin/hostapp", .symbol = "ZUMSlot::load()"};
  platform::ResolvedAddress library{.imagePath = "/usr/lib/libc.so.6", .symbol = std::nullopt};
  platform::ResolvedAddress noImage{.imagePath = "", .symbol = "f"};
  EXPECT_EQ(ZUMCrashReporter::stackLine(own, "hostapp"), "app,ZUMSlot::load()");
  EXPECT_EQ(ZUMCrashReporter::stackLine(library, "hostapp"), "libc.so.6,");
  EXPECT_EQ(ZUMCrashReporter::stackLine(noImage, "hostapp"), "missing,f");
  EXPECT_EQ(ZUMCrashReporter::stackLine(std::nullopt, "hostapp"), "missing,unavailable");
}

TEST(ZUMCrashReporterTest, DevBuildOnlyForATrueValueElementAfterTheKey) {
  struct Row {
    std::optional<std::string> profile;
    bool devBuild;
  };
  const std::vector<Row> rows = {
      {"<dict><key>get-task-allow</key>\n<true/>\n</dict>", true},
      {"<key>get-task-allow</key><false/></dict>", false},
      {"<key>get-task-allow</key><true/>", false},  // only two "<" after the key
      {"<key>get-task-allow", false},
      {"<key>other</key><true/></dict>", false},
      {"", false},
      {std::nullopt, false},
      {std::string("\0\xff<key>get-task-allow</key>\0<true/><", 36), true},
      {"get-task-allow<true<<", false},  // "true" lies between the first and second
      {"get-task-allow<<<true", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ZUMCrashReporter::isDevelopmentBuild(row.profile), row.devBuild) << row.profile.value_or("(none)");
    auto report = sdkReport();
    report.profile = row.profile;
    EXPECT_EQ(mapOf(ZUMCrashReporter::reportURL(report)).at("dev-build"), row.devBuild ? "1" : "0");
  }
}

void recordingPrevious(const platform::Exception& exception);
std::vector<std::string>* gPreviousCalls = nullptr;
void recordingPrevious(const platform::Exception& exception) {
  if (gPreviousCalls) gPreviousCalls->push_back(exception.name());
}

class ZUMCrashReporterHandlerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    gPreviousCalls = &previousCalls;
    platform::setUncaughtExceptionHandler(&recordingPrevious);
  }
  void TearDown() override { gPreviousCalls = nullptr; }
  std::vector<ZUMPingerRetryStore::Entry> stored() {
    return ZUMPingerRetryStore(platform::UserDefaults::standard()).entries(kZUMCrashReportingRetryGroupKey);
  }
  static platform::Exception raisedBySDK(std::optional<std::string> reason) {
    try {
      PXRRaiseForTest(std::move(reason));
    } catch (const platform::Exception& exception) {
      return exception;
    }
    return platform::Exception("none", std::nullopt);
  }
  std::vector<std::string> previousCalls;
};

TEST_F(ZUMCrashReporterHandlerTest, HostExceptionsAndOptedOutReportsStoreNothingAndReachThePreviousHandler) {
  auto reporter = ZUMCrashReporter::sharedInstance();
  EXPECT_EQ(reporter->previousUncaughtExceptionHandler(), &recordingPrevious);
  reporter->handleUncaughtException(platform::Exception("HostException", "index 3 beyond bounds"));
  EXPECT_THAT(stored(), IsEmpty());

  ZUMRegisterTelemetry();
  ZUMOptOutOfCrashReporting();
  EXPECT_FALSE(reporter->reportingEnabled());
  EXPECT_FALSE(ZUMTelemetry().crashReportingEnabled());
  reporter->handleUncaughtException(raisedBySDK("ZUMSlot broke"));
  EXPECT_THAT(stored(), IsEmpty());
  EXPECT_THAT(previousCalls, ElementsAre("HostException", "TestException"));
}

TEST_F(ZUMCrashReporterHandlerTest, AnSDKExceptionIsStoredBeforeTheHandlerReturnsAndFullGroupsDrop) {
  ZUMRegisterTelemetry();
  ZUMCurrentStartupHooks().installCrashReporter();
  EXPECT_TRUE(ZUMTelemetry().crashReportingEnabled());
  EXPECT_EQ(platform::getUncaughtExceptionHandler() != &recordingPrevious, true);
  platform::getUncaughtExceptionHandler()(raisedBySDK(std::nullopt));
  platform::getUncaughtExceptionHandler()(raisedBySDK("ZUM second"));  // each one is reported
  const auto entries = stored();
  ASSERT_EQ(entries.size(), 2u);
  const auto query = mapOf(platform::URL::fromString(entries[0].urlString));
  EXPECT_EQ(query.at("excr"), "redacted");
  EXPECT_EQ(query.at("exclc"),
            "PXRRaiseForTest(std::optional<std::__cxx11::basic_string<char, std::char_traits<char>, "
            "std::allocator<char> > >)");
  EXPECT_EQ(query.at("excst").rfind("app,PXRRaiseForTest(", 0), 0u) << query.at("excst");
  EXPECT_EQ(previousCalls.size(), 2u);

  // The pings go out once the pinger's queue runs, and its success empties the group.
  testenv::LoopbackServer server;
  server.route("/sdk/exception_204", {.status = 204});
  platform::URLLoading::mapHostForTesting("pings.adnetwork.example", "127.0.0.1", server.port());
  ASSERT_TRUE(env.runUntil([&] { return server.requestCount() == 2 && stored().empty(); }));
  std::vector<std::optional<std::string>> queries;
  for (const auto& request : server.requests()) queries.push_back(request.query);
  EXPECT_THAT(queries, ::testing::UnorderedElementsAre(platform::URL::fromString(entries[0].urlString)->query(),
                                                       platform::URL::fromString(entries[1].urlString)->query()));

  // A full group drops the report; nothing is sent.
  EXPECT_TRUE(
      platform::UserDefaults::standard().setObject(nlohmann::ordered_json("1"), "/vantor/ads/maximum_retry_url_count"));
  ASSERT_TRUE(ZUMCrashReporter::sharedInstance()->reportUncaughtException(raisedBySDK("ZUM first")));
  EXPECT_TRUE(ZUMCrashReporter::sharedInstance()->reportUncaughtException(raisedBySDK("ZUM other")));
  ASSERT_EQ(stored().size(), 1u);
  EXPECT_EQ(mapOf(platform::URL::fromString(stored()[0].urlString)).at("excr"), "ZUM first");
  EXPECT_FALSE(ZUMCrashReporter::sharedInstance()->reportUncaughtException(platform::Exception("Host", "x")));
  ASSERT_TRUE(env.runUntil([&] { return server.requestCount() == 3 && stored().empty(); }));
  EXPECT_EQ(previousCalls.size(), 2u);
  platform::URLLoading::removeHostMappingsForTesting();
}

}  // namespace
