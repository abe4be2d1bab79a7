#include "sdk/mediation/ZUMMUtilities.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/mediation/ZUMMediation.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/request/ZUMAdTelemetry.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

const std::string kBase = "https://p.example/?";

TEST(ZUMMUtilitiesTest, MacrosAreFilledLiterallyAndEscapedAtSignsAreKept) {
  const struct {
    std::string urlTemplate;
    std::string qdata;
    std::string filled;
    bool isURL;
  } rows[] = {
      {kBase + "x=@pw_qdata@", "abc", kBase + "x=abc", true},
      {kBase + "x=@@pw_qdata@", "abc", kBase + "x=@@pw_qdata@", true},  // an escaped at-sign: no macro
      {kBase + "x=@@@pw_qdata@", "abc", kBase + "x=@@abc", true},       // the pair stays doubled
      {kBase + "x=@pw_unknown@", "abc", kBase + "x=@pw_unknown@", true},
      {kBase + "x=@pw_qdata@&y=@pw_qdata@", "$1\\%41", kBase + "x=$1\\%41&y=$1\\%41", false},
      {kBase + "x=@pw_qdata@", "a b", kBase + "x=a b", false},  // not encoded: no URL
      {"", "abc", "", false},
  };
  for (const auto& row : rows) {
    ZUMMediationURLValues values;
    values.qData = row.qdata;
    EXPECT_EQ(ZUMMUtilities::filledMediationTemplate(row.urlTemplate, values), row.filled) << row.urlTemplate;
    EXPECT_EQ(ZUMMUtilities::mediationURLFrom(row.urlTemplate, values).has_value(), row.isURL) << row.urlTemplate;
  }
}

TEST(ZUMMUtilitiesTest, MacrosFillInTheirOrderAndNilLeavesThemInPlace) {
  const std::string all =
      "@pw_adlocid@|@pw_qdata@|@pw_sdkver@|@pw_sessid@|@pw_seqnum@|@pw_devid@|@pw_adnetrefresh@|@pw_adnetid@|"
      "@pw_allocid@|@pw_aec@|@pw_adt@|@pw_adnetstatus@";
  EXPECT_EQ(ZUMMUtilities::filledMediationTemplate(all, {}),
            "@pw_adlocid@|@pw_qdata@|" + std::string(kZUMSDKVersion) +
                "|@pw_sessid@|@pw_seqnum@||0|@pw_adnetid@|@pw_allocid@|@pw_aec@|@pw_adt@|");
  const ZUMMediationURLValues values{"L", true, "A", "N", "Q", "S", "7", "1,0", "120,80", "6"};
  EXPECT_EQ(ZUMMUtilities::filledMediationTemplate(all, values),
            "L|Q|" + std::string(kZUMSDKVersion) + "|S|7||1|N|A|1,0|120,80|6");
  // A value holding a later macro is filled again; one holding an earlier macro is not.
  ZUMMediationURLValues nested;
  nested.adLocationID = "@pw_qdata@";
  nested.qData = "@pw_adlocid@";
  EXPECT_EQ(ZUMMUtilities::filledMediationTemplate("@pw_adlocid@", nested), "@pw_adlocid@");
  nested.qData = "Q";
  EXPECT_EQ(ZUMMUtilities::filledMediationTemplate("@pw_adlocid@", nested), "Q");
}

TEST(ZUMMUtilitiesTest, DefaultTemplatesAreFixed) {
  const std::string host = kZUMMEventPingServer;
  EXPECT_EQ(ZUMMUtilities::defaultNoFillTemplate(),
            host +
                "/nofill?ad_loc=@pw_adlocid@&qdata=@pw_qdata@&js=@pw_sdkver@&session_id=@pw_sessid@"
                "&seq_num=@pw_seqnum@&aec=@pw_aec@&adt=@pw_adt@");
  EXPECT_EQ(ZUMMUtilities::defaultClickTemplate(),
            host +
                "/clk?ad_loc=@pw_adlocid@&qdata=@pw_qdata@&ad_network_id=@pw_adnetid@&js=@pw_sdkver@"
                "&session_id=@pw_sessid@&seq_num=@pw_seqnum@&nr=@pw_adnetrefresh@");
  EXPECT_EQ(ZUMMUtilities::defaultImpressionTemplate(),
            host +
                "/imp?ad_loc=@pw_adlocid@&qdata=@pw_qdata@&ad_network_id=@pw_adnetid@&js=@pw_sdkver@"
                "&session_id=@pw_sessid@&seq_num=@pw_seqnum@&nr=@pw_adnetrefresh@&adt=@pw_adt@&aec=@pw_aec@");
}

// Stamps each URL with its event, as the analytics bridge inserts its ad-event id.
struct RecordingTelemetry : ZUMAdTelemetry {
  std::vector<platform::URL> trackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                       const std::string& eventName) override {
    events.push_back(eventName);
    std::vector<platform::URL> stamped;
    for (const auto& url : urls)
      stamped.push_back(*platform::URL::fromString(url.absoluteString() + "&ev=" + eventName));
    return stamped;
  }
  void startContentHashing() override {}
  void stopContentHashing() override {}
  std::vector<std::string> events;
};

class ZUMMediationPingTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::mapHostForTesting("mediation.adnetwork.example", "127.0.0.1", server.port());
    server.route("/nofill", {.body = "ok"});
    server.route("/clk", {.body = "ok"});
    server.route("/imp", {.body = "ok"});
    ZUMAdTelemetry::setShared(telemetry);
  }
  void TearDown() override { ZUMAdTelemetry::setShared(nullptr); }
  // The paths and queries the server received, once `count` requests arrived, sorted
  // (pings run side by side).
  std::vector<std::string> queries(std::size_t count) {
    EXPECT_TRUE(env.runUntil([&] { return server.requestCount() >= count; }));
    // Every ping ends before the test does.
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
    std::vector<std::string> result;
    for (const auto& request : server.requests()) result.push_back(request.path + "?" + request.query.value_or(""));
    std::sort(result.begin(), result.end());
    return result;
  }
  void track(const ZUMMediationPing& ping) {
    ZUMClickTrackerCollection::sharedInstance()->trackMediationURLsFromTemplates(ping);
  }

  testenv::LoopbackServer server;
  std::shared_ptr<RecordingTelemetry> telemetry = std::make_shared<RecordingTelemetry>();
};

TEST_F(ZUMMediationPingTest, WithoutMediationNothingIsSentAndTheCallIsLogged) {
  platform::SystemLog::Capture capture(true);
  track({.defaultTemplate = ZUMMUtilities::defaultNoFillTemplate()});
  env.runUntilIdle();
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_TRUE(capture.contains("Mediation pings not sent"));
}

TEST_F(ZUMMediationPingTest, TemplatesAreFilledWithAFreshSequenceNumberEachAndPinged) {
  ZUMRegisterMediation();
  const std::string session = ZUMApplication::sharedInstance()->sessionIdentifier();
  const std::string sdk = kZUMSDKVersion;
  // A nil list sends the default; qdata nil fills "".
  track({.defaultTemplate = ZUMMUtilities::defaultNoFillTemplate(),
         .appKey = "unit-A",
         .durations = "120",
         .exitCodes = "3"});
  // An empty list sends nothing, even with a default.
  track({.templates = std::vector<std::string>{}, .defaultTemplate = ZUMMUtilities::defaultNoFillTemplate()});
  // Each template on its own; one that gives no URL is skipped with a log line.
  platform::SystemLog::Capture capture(true);
  const std::string fill = std::string(kZUMMEventPingServer) + "/imp?n=@pw_adnetid@&s=@pw_seqnum@&st=@pw_adnetstatus@";
  track({.templates = std::vector<std::string>{fill, "https://x.example/?q=@pw_qdata@", fill},
         .networkID = "net",
         .qData = "a b",
         .fillStatus = "0"});
  const auto received = queries(3);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0], "/imp?n=net&s=2&st=0");
  EXPECT_EQ(received[1], "/imp?n=net&s=4&st=0");  // the skipped template used number 3
  EXPECT_EQ(received[2],
            "/nofill?ad_loc=unit-A&qdata=&js=" + sdk + "&session_id=" + session + "&seq_num=1&aec=3&adt=120");
  EXPECT_TRUE(capture.contains("Mediation ping template gives no URL: https://x.example/?q=@pw_qdata@"));
  EXPECT_TRUE(telemetry->events.empty());  // no event type: no analytics step
}

TEST_F(ZUMMediationPingTest, ClickAndImpressionPingsPassTheAnalyticsStep) {
  ZUMRegisterMediation();
  track({.defaultTemplate = ZUMMUtilities::defaultClickTemplate(),
         .networkID = "n1",
         .refresh = true,
         .eventType = "_ac"});
  track({.templates = std::vector<std::string>{std::string(kZUMMEventPingServer) + "/imp?a=@pw_allocid@"},
         .allocationID = "77",
         .eventType = "_ai"});
  track({.templates = std::vector<std::string>{std::string(kZUMMEventPingServer) + "/imp?plain=1"},
         .eventType = "_other"});
  const auto received = queries(3);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0], "/clk?ad_loc=@pw_adlocid@&qdata=&ad_network_id=n1&js=" + std::string(kZUMSDKVersion) +
                             "&session_id=" + ZUMApplication::sharedInstance()->sessionIdentifier() +
                             "&seq_num=1&nr=1&ev=_ac");
  EXPECT_EQ(received[1], "/imp?a=77&ev=_ai");
  EXPECT_EQ(received[2], "/imp?plain=1");
  EXPECT_EQ(telemetry->events, (std::vector<std::string>{"_ac", "_ai"}));
}

}  // namespace
