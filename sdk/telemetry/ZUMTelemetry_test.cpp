#include "sdk/telemetry/ZUMTelemetry.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "sdk/csi/ZUMCSIReporter.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

// A slot's load timings leave as a beacon, sampled at each report.
TEST(ZUMTelemetryTest, LoadTimingsAreReportedAsSampledBeacons) {
  testenv::TestEnvironment env;
  testenv::LoopbackServer server;
  server.route("/csi", {.status = 204});
  platform::URLLoading::mapHostForTesting("csi.adnetwork.example", "127.0.0.1", server.port());
  auto& defaults = platform::UserDefaults::standard();
  ZUMTelemetry telemetry;
  env.advance(1);
  auto recorder = telemetry.makeTimeRecorder("load_ad_ios");
  recorder->startTimingVariableWithName("ttc_ios");
  env.advance(1.5);
  recorder->endTimingVariableWithName("ttc_ios");

  EXPECT_TRUE(defaults.setObject(nlohmann::ordered_json("0"), "/vantor/ads/csi_reporting_probability"));
  telemetry.reportTimeRecorder(recorder);
  env.runUntilIdle();
  EXPECT_EQ(recorder->completedVariables().size(), 1u) << "sampled out: nothing sent, nothing taken";

  EXPECT_TRUE(defaults.setObject(nlohmann::ordered_json("1"), "/vantor/ads/csi_reporting_probability"));
  telemetry.reportTimeRecorder(recorder);
  ASSERT_TRUE(env.runUntil([&] { return server.requestCount() == 1 && ZUMCSIReporter::beaconsInFlight() == 0; }));
  const auto query = server.requests("/csi")[0].query.value_or("");
  EXPECT_NE(query.find("action=load_ad_ios"), std::string::npos) << query;
  EXPECT_NE(query.find("it=ttc_ios.1500"), std::string::npos) << query;
  platform::URLLoading::removeHostMappingsForTesting();
}

}  // namespace
