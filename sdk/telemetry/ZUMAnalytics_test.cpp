// The analytics bridge against a framework of the tests' own: when it exists, what
// requests and tracking URLs carry, what it logs, and ad-unit exposure on the real view
// tree sampled on virtual time.
#include "sdk/telemetry/ZUMAnalytics.h"

#include <algorithm>
#include <functional>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/ASCIIString.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/request/ZUMSDKConstants.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/telemetry/ZUMAdExposureMonitor.h"
#include "sdk/telemetry/ZUMAdUnitExposure.h"
#include "sdk/telemetry/ZUMAnalyticsPresentation.h"
#include "sdk/telemetry/ZUMAnalyticsTestSupport.h"
#include "sdk/telemetry/ZUMTelemetry.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace analyticstest;
using Json = nlohmann::ordered_json;
using platform::URL;

constexpr const char* kMacroKey = "/vantor/ads/zums:sai:using_macro:enabled";
constexpr const char* kClickSchemaKey = "/vantor/ads/zums:sai:click_ping_schema";
constexpr const char* kImpressionSchemaKey = "/vantor/ads/zums:sai:impression_ping_schema";

std::vector<URL> urls(std::initializer_list<const char*> strings) {
  std::vector<URL> result;
  for (const char* s : strings) result.push_back(*URL::fromString(s));
  return result;
}

std::vector<std::string> strings(const std::vector<URL>& list) {
  std::vector<std::string> result;
  for (const auto& url : list) result.push_back(url.absoluteString());
  return result;
}

class ZUMAnalyticsTest : public testenv::PlatformTest {
 protected:
  std::vector<std::string> stamp(std::initializer_list<const char*> input, const std::string& event) {
    return strings(telemetry.trackingURLsWithAdEventID(urls(input), event));
  }
  ZUMTelemetry telemetry;
};

TEST(ZUMAnalyticsBridgeTest, TheBridgeExistsOnlyWhenSwitchedOnAndTheFrameworkAnswersWhatItNeeds) {
  const struct {
    const char* name;
    std::function<void()> setUp;
    bool exists;
  } rows[] = {
      {"switch absent", [] { platform::UserDefaults::standard().removeObjectForKey(kEnabledKey); }, false},
      {"switch off", [] { setDefault(kEnabledKey, "0"); }, false},
      {"switch \"true\"", [] { setDefault(kEnabledKey, "true"); }, true},
      {"no identifiers class", [] { platform::ClassRegistry::shared().unregisterClass("QENAIdentifiers"); }, false},
      {"identifiers without adEventID",
       [] { install("QENAIdentifiers", std::make_shared<IdentifiersWithoutAdEventID>()); }, false},
      {"analytics without the logging operation", [] { install("QENAnalytics", std::make_shared<Identifiers>()); },
       false},
      {"identifiers class without sharedInstance",
       [] {
         platform::ClassRegistry::shared().registerClass<Stubs::Object>("QENAIdentifiers",
                                                                        [] { return std::make_shared<Identifiers>(); });
       },
       false},
      {"no reporters",
       [] {
         platform::ClassRegistry::shared().unregisterClass("QENAAdExposureReporter");
         platform::ClassRegistry::shared().unregisterClass("QENAScreenViewReporter");
       },
       true},
  };
  for (const auto& row : rows) {
    testenv::TestEnvironment env;  // a bridge is made once: each row starts afresh
    ZUMTelemetry telemetry;
    Framework framework;
    row.setUp();
    EXPECT_EQ(ZUMAnalytics::sharedInstance() != nullptr, row.exists) << row.name;
    Json parameters{{"k", "v"}};
    EXPECT_EQ(telemetry.addAnalyticsIdentifiers(parameters), row.exists) << row.name;
    telemetry.logAnalyticsEvent("_ai", "event-2");
    if (row.exists) continue;
    EXPECT_EQ(parameters, (Json{{"k", "v"}})) << row.name;
    setDefault(kImpressionSchemaKey, Json::array({"."}));
    setDefault(kMacroKey, "1");
    const auto given = urls({"https://t.example/i", "https://t.example/i"});
    EXPECT_EQ(telemetry.trackingURLsWithAdEventID(given, "_ai"), given) << row.name;
    EXPECT_FALSE(ZUMTrackingURLStringsWithAdEventID({"https://t.example/c?lvn_aeid=[pw_lvnaeid]"}, "_ac")) << row.name;
    EXPECT_EQ(*framework.lines, Lines{}) << row.name;
  }
}

TEST_F(ZUMAnalyticsTest, OptionalReportersAreKeptOnlyWhenTheyAnswerTheirWholeGroup) {
  Framework framework(Framework::kNoReporters);
  install("QENAAdExposureReporter", std::make_shared<BeginOnlyReporter>());
  install("QENAScreenViewReporter", std::make_shared<BeginOnlyReporter>());
  auto analytics = ZUMAnalytics::sharedInstance();
  ASSERT_TRUE(analytics);
  EXPECT_FALSE(analytics->hasAdExposureReporter());
  EXPECT_FALSE(analytics->hasScreenViewReporter());
  analytics->beginAdUnitExposure("unit-A");
  ZUMAnalyticsPresentation presentation;
  presentation.setScreenName("Home");
  EXPECT_FALSE(presentation.currentScreen().name);
  EXPECT_EQ(*framework.lines, Lines{});
}

TEST_F(ZUMAnalyticsTest, RequestsCarryEachIdentifierOnlyWhenKnownAndClicksLogTheRepeatFlag) {
  Framework framework;
  framework.identifiers->instanceID.reset();
  Json parameters = Json::object();
  EXPECT_TRUE(telemetry.addAnalyticsIdentifiers(parameters));
  EXPECT_EQ(parameters, (Json{{"kqp_app_id", "app-1"}, {"lvn_aeid", "event-1"}}));
  framework.identifiers->appID.reset();
  framework.identifiers->eventID.reset();
  framework.identifiers->instanceID = "instance-1";
  parameters = Json::object();
  EXPECT_TRUE(telemetry.addAnalyticsIdentifiers(parameters));
  EXPECT_EQ(parameters, (Json{{"lvn_aiid", "instance-1"}}));
  telemetry.logAnalyticsEvent("_ac", "e-1");
  telemetry.logAnalyticsEvent("_ai", "e-2");
  ZUMAnalytics::sharedInstance()->logEventWithName("_ac", std::nullopt);
  EXPECT_EQ(*framework.lines, (Lines{R"(event am _ac {"_aeid":"e-1","_r":1})", R"(event am _ai {"_aeid":"e-2"})"}));
}

TEST_F(ZUMAnalyticsTest, MacroModePutsTheEncodedIDInPlaceOfTheMacro) {
  Framework framework;
  framework.identifiers->eventID = "e&=#1";
  setDefault(kMacroKey, "1");
  setDefault(kClickSchemaKey, Json::array({"."}));  // not read in macro mode
  const struct {
    const char* url;
    const char* expected;
  } rows[] = {
      {"https://t.example/c?lvn_aeid=%5Bpw_lvnaeid%5D&x=1", "https://t.example/c?lvn_aeid=e%26%3D%231&x=1"},
      {"https://t.example/c?lvn_aeid=%5bpw_lvnaeid%5d", "https://t.example/c?lvn_aeid=e%26%3D%231"},
      {"https://t.example/c?a=%5Bpw_lvnaeid%5D&lvn_aeid=%5Bpw_lvnaeid%5D",
       "https://t.example/c?a=e%26%3D%231&lvn_aeid=e%26%3D%231"},
      {"https://t.example/c?lvn_aeid=other&a=%5Bpw_lvnaeid%5D",
       "https://t.example/c?lvn_aeid=other&a=%5Bpw_lvnaeid%5D"},
      {"https://t.example/c?lvn_aeid=%5Bpw%5Flvnaeid%5D", "https://t.example/c?lvn_aeid=%5Bpw%5Flvnaeid%5D"},
      {"https://t.example/c?x=1", "https://t.example/c?x=1"},
  };
  for (const auto& row : rows) {
    framework.lines->clear();
    EXPECT_EQ(stamp({row.url}, "_ac"), std::vector<std::string>{row.expected}) << row.url;
    const bool stamped = std::string(row.url) != row.expected;
    EXPECT_EQ(*framework.lines, stamped ? Lines{R"(event am _ac {"_aeid":"e&=#1","_r":1})"} : Lines{}) << row.url;
  }
  // The plain macro makes no URL; given as a string it is stamped instead of dropped.
  EXPECT_EQ(ZUMTrackingURLStringsWithAdEventID({"https://t.example/c?lvn_aeid=[pw_lvnaeid]", "bad url"}, "_ac"),
            std::vector<std::string>{"https://t.example/c?lvn_aeid=e%26%3D%231"});
}

TEST_F(ZUMAnalyticsTest, SchemaModeAppendsTheIDToMatchingURLsThatLackIt) {
  Framework framework;
  setDefault(kImpressionSchemaKey, Json::array({"", "(unclosed", "^https://imp\\.example/"}));
  setDefault(kClickSchemaKey, Json::array({"click\\.example"}));
  platform::SystemLog::Capture capture(true);
  const struct {
    const char* url;
    const char* event;
    const char* expected;
  } rows[] = {
      {"https://imp.example/p?a=1", "_ai", "https://imp.example/p?a=1&lvn_aeid=event-1"},
      {"HTTPS://IMP.example/p", "_ai", "https://imp.example/p?lvn_aeid=event-1"},
      {"https://imp.example/p?lvn_aeid=x", "_ai", "https://imp.example/p?lvn_aeid=x"},
      {"https://other.example/p", "_ai", "https://other.example/p"},
      {"https://click.example/p", "_ai", "https://click.example/p"},
      {"https://click.example/p", "_ac", "https://click.example/p?lvn_aeid=event-1"},
      {"https://imp.example/p", "_ac", "https://imp.example/p"},
      {"https://click.example/p", "_zz", "https://click.example/p"},
  };
  for (const auto& row : rows) {
    framework.lines->clear();
    const auto result = stamp({row.url}, row.event);
    ASSERT_EQ(result.size(), 1u) << row.url;
    EXPECT_TRUE(platform::equalsIgnoringASCIICase(result[0], row.expected)) << row.url << " gave " << result[0];
    const bool stamped = std::string(row.url).find("lvn_aeid") == std::string::npos &&
                         std::string(row.expected).find("lvn_aeid") != std::string::npos;
    EXPECT_EQ(framework.lines->size(), stamped ? 1u : 0u) << row.url;
  }
  env.runUntilIdle();
  const auto messages = capture.messages();
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const auto& m) { return m.find("does not compile: \"(unclosed\"") != std::string::npos; }),
            1)
      << "logged once for the schema, not at every ping";
  EXPECT_TRUE(capture.contains("does not compile: \"\"")) << "an empty pattern would match everything";
}

TEST_F(ZUMAnalyticsTest, ResultsKeepTheInputOrderWithoutDuplicates) {
  Framework framework;
  setDefault(kImpressionSchemaKey, Json::array({"stamp"}));
  EXPECT_EQ(stamp({"https://b.example/", "https://a.example/stamp", "https://b.example/", "https://c.example/"}, "_ai"),
            (std::vector<std::string>{"https://b.example/", "https://a.example/stamp?lvn_aeid=event-1",
                                      "https://c.example/"}));
  framework.identifiers->eventID.reset();
  EXPECT_EQ(stamp({"https://a.example/stamp", "https://a.example/stamp"}, "_ai"),
            std::vector<std::string>{"https://a.example/stamp"});
  EXPECT_EQ(framework.lines->size(), 1u) << "one event for the one stamped URL; none without an id";
}

TEST_F(ZUMAnalyticsTest, APatternThatBacktracksWithoutEndStampsNothingAndTheURLStays) {
  Framework framework;
  setDefault(kClickSchemaKey, Json::array({"^(a+)+$"}));
  const std::string url = "https://t.example/?" + std::string(5000, 'a') + "!";
  EXPECT_EQ(strings(telemetry.trackingURLsWithAdEventID({*URL::fromString(url)}, "_ac")),
            std::vector<std::string>{url});
}

TEST_F(ZUMAnalyticsTest, URLStringsThatMakeNoURLAreDroppedAndNoneGivesNil) {
  Framework framework;
  setDefault(kClickSchemaKey, Json::array({"."}));
  EXPECT_EQ(ZUMTrackingURLStringsWithAdEventID({"not a url", "https://a.example/"}, "_ac"),
            std::vector<std::string>{"https://a.example/?lvn_aeid=event-1"});
  EXPECT_FALSE(ZUMTrackingURLStringsWithAdEventID({"not a url"}, "_ac"));
  EXPECT_FALSE(ZUMTrackingURLStringsWithAdEventID({}, "_ac"));
}

TEST_F(ZUMAnalyticsTest, AnOpenExposureEndsWithTheBridgeAndIDThatBeganIt) {
  Framework framework;
  auto exposure = ZUMAdUnitExposure::begin("unit-A");
  setDefault(kEnabledKey, "0");
  EXPECT_FALSE(ZUMAdUnitExposure::begin("unit-B")) << "no bridge now";
  exposure.reset();
  EXPECT_EQ(*framework.lines, (Lines{"begin unit-A", "end unit-A"}));
}

// --- Exposure monitor --------------------------------------------------------------------

struct SamplingController : ZUMSDKCoreController {
  void buildAdURL(const std::shared_ptr<ZUMSDKCoreControllerDelegate>&) override {}
  void executeJavaScriptFromBlockWhenReady(ZUMSDKCoreScriptBlock, ZUMSDKCoreCompletionBlock) override {}
  void executeExportedJavaScriptCommand(const std::string&, const std::optional<Json>&,
                                        ZUMSDKCoreCompletionBlock) override {}
  void postJavaScriptNotification(const std::string&, const std::optional<Json>&) override {}
  std::shared_ptr<ZUMSDKCoreWebView> activeSDKCoreWebView() override { return nullptr; }
  double activeViewSamplingInterval() override { return 0.5; }
};

class ZUMAdExposureMonitorTest : public testenv::PlatformTest {
 public:
  void SetUp() override {
    ZUMSDKCoreController::setSharedInstance(std::make_shared<SamplingController>());
    window->makeKeyAndVisible();
    window->addSubview(container);
    container->addSubview(view);
  }
  void TearDown() override { ZUMSDKCoreController::setSharedInstance(nullptr); }
  void postConstantsUpdate() {
    platform::NotificationCenter::defaultCenter().post(kZUMSDKCoreDidUpdateConstantsNotification);
    env.runUntilIdle();
  }

  std::shared_ptr<platform::Window> window = platform::Window::create(platform::Rect(0, 0, 375, 667));
  std::shared_ptr<platform::View> container = platform::View::create(platform::Rect(0, 0, 375, 667));
  std::shared_ptr<platform::View> view = platform::View::create(platform::Rect(10, 100, 100, 50));
};

TEST_F(ZUMAdExposureMonitorTest, AViewShownAndHiddenTwiceBeginsAndEndsAtSamplingTicks) {
  Framework framework;
  auto monitor = ZUMAdExposureMonitor::create(view, "unit-A");
  view->setHidden(true);
  monitor->startMonitoring();
  env.advance(0.5);
  EXPECT_EQ(*framework.lines, Lines{}) << "hidden at the first tick";
  Lines expected;
  for (int round = 0; round < 2; ++round) {
    view->setHidden(false);
    env.advance(0.49);
    EXPECT_EQ(*framework.lines, expected) << "before the tick, round " << round;
    env.advance(0.01);
    expected.push_back("begin unit-A");
    EXPECT_EQ(*framework.lines, expected) << "at the tick, round " << round;
    env.advance(1);
    view->setHidden(true);
    env.advance(0.5);
    expected.push_back("end unit-A");
    EXPECT_EQ(*framework.lines, expected) << "round " << round;
  }
}

TEST_F(ZUMAdExposureMonitorTest, WhatCannotBeSeenEndsTheExposure) {
  const struct {
    const char* name;
    std::function<void(ZUMAdExposureMonitorTest&)> hide;
    std::function<void(ZUMAdExposureMonitorTest&)> show;
  } rows[] = {
      {"a hidden ancestor", [](auto& t) { t.container->setHidden(true); },
       [](auto& t) { t.container->setHidden(false); }},
      {"a window off screen", [](auto& t) { t.window->setFrame(platform::Rect(400, 0, 375, 667)); },
       [](auto& t) { t.window->setFrame(platform::Rect(0, 0, 375, 667)); }},
      {"the application in the background", [](auto&) { testenv::AppControls::background(); },
       [](auto&) { testenv::AppControls::foreground(); }},
  };
  Framework framework;
  for (const auto& row : rows) {
    framework.lines->clear();
    auto monitor = ZUMAdExposureMonitor::create(view, "unit-A");
    monitor->startMonitoring();
    env.advance(0.5);
    row.hide(*this);
    env.advance(0.5);
    row.show(*this);
    env.advance(0.5);
    EXPECT_EQ(*framework.lines, (Lines{"begin unit-A", "end unit-A", "begin unit-A"})) << row.name;
    monitor->finishMonitoring();
  }
}

TEST_F(ZUMAdExposureMonitorTest, MonitoringWaitsForTheBridgeAndStartsAtMostOnce) {
  setDefault(kEnabledKey, "0");
  auto monitor = ZUMAdExposureMonitor::create(view, "unit-A");
  monitor->startMonitoring();
  env.advance(1);
  EXPECT_FALSE(monitor->isMonitoring()) << "no bridge";
  Framework framework;
  postConstantsUpdate();
  EXPECT_TRUE(monitor->isMonitoring());
  postConstantsUpdate();
  monitor->startMonitoring();
  env.advance(0.5);
  EXPECT_EQ(*framework.lines, Lines{"begin unit-A"});
  monitor->finishMonitoring();
  EXPECT_EQ(*framework.lines, (Lines{"begin unit-A", "end unit-A"}));
  postConstantsUpdate();
  monitor->startMonitoring();
  env.advance(1);
  EXPECT_FALSE(monitor->isMonitoring()) << "a finished monitor never starts again";
  EXPECT_EQ(framework.lines->size(), 2u);
}

TEST_F(ZUMAdExposureMonitorTest, BeginAndEndPairWhenTheOwnerSkipsFinishingOrTheSwitchTurnsOff) {
  Framework framework;
  auto monitor = ZUMAdExposureMonitor::create(view, "unit-A");
  monitor->startMonitoring();
  env.advance(0.5);
  setDefault(kEnabledKey, "0");
  view->setHidden(true);
  env.advance(0.5);
  setDefault(kEnabledKey, "1");
  view->setHidden(false);
  env.advance(0.5);
  monitor.reset();
  EXPECT_EQ(*framework.lines, (Lines{"begin unit-A", "end unit-A", "begin unit-A", "end unit-A"}));
  EXPECT_FALSE(ZUMAdExposureMonitor::create(nullptr, "unit-A"));
  EXPECT_FALSE(ZUMAdExposureMonitor::create(view, std::nullopt));
}

}  // namespace
