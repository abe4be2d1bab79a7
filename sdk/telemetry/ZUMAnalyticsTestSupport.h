// A small app-analytics framework of the tests' own, registered under the framework's
// class names, that writes down everything the SDK sends it, in order:
//   "event am _ac {"_aeid":"event-1","_r":1}", "begin unit-A", "end unit-A",
//   "screen Home/Interstitial".
// Also objects that answer only part of a group, which the bridge must not take.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/UserDefaults.h"
#include "sdk/telemetry/ZUMAnalytics.h"

namespace analyticstest {

using Stubs = ZUMStubsForQENAnalytics;
using Lines = std::vector<std::string>;

inline constexpr const char* kEnabledKey = "/vantor/ads/zums:sai:enabled";

struct Identifiers : Stubs::Identifiers {
  std::optional<std::string> vantorAppID() override { return appID; }
  std::optional<std::string> appInstanceID() override { return instanceID; }
  std::optional<std::string> adEventID() override { return eventID; }
  std::optional<std::string> appID = "app-1";
  std::optional<std::string> instanceID = "instance-1";
  std::optional<std::string> eventID = "event-1";
};

// The event log and both reporters in one.
struct Recorder : Stubs::InternalEventLogger, Stubs::AdExposureReporter, Stubs::ScreenViewReporter {
  void logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                  const nlohmann::ordered_json& parameters) override {
    lines->push_back("event " + origin + " " + name + " " + parameters.dump());
  }
  void beginAdUnitExposure(const std::string& id) override { lines->push_back("begin " + id); }
  void endAdUnitExposure(const std::string& id) override { lines->push_back("end " + id); }
  void setScreenName(const std::optional<std::string>& name, const std::optional<std::string>&) override {
    lines->push_back("screen " + name.value_or("(nil)"));
  }
  void getScreenName(std::optional<std::string>& name, std::optional<std::string>&) override { name = screenName; }
  const std::shared_ptr<Lines> lines = std::make_shared<Lines>();
  std::optional<std::string> screenName;
};

// Answers only part of a group.
struct IdentifiersWithoutAdEventID : Stubs::Object {
  std::optional<std::string> vantorAppID() { return "app-1"; }
  std::optional<std::string> appInstanceID() { return "instance-1"; }
};
struct BeginOnlyReporter : Stubs::Object {
  void beginAdUnitExposure(const std::string&) {}
};

struct SharedInstanceClass : Stubs::Class {
  explicit SharedInstanceClass(std::shared_ptr<Stubs::Object> instance) : instance(std::move(instance)) {}
  std::shared_ptr<Stubs::Object> sharedInstance() override { return instance; }
  std::shared_ptr<Stubs::Object> instance;
};

// Registers `instance` as the shared instance of the framework class `name`.
inline void install(const char* name, std::shared_ptr<Stubs::Object> instance) {
  platform::ClassRegistry::shared().registerClass<Stubs::Class>(
      name, [instance] { return std::make_shared<SharedInstanceClass>(instance); });
}

inline void setDefault(const char* key, const nlohmann::ordered_json& value) {
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(value, key)) << key;
}

// The framework with the reporters asked for; the server's switch as the constants
// handler writes it.
class Framework {
 public:
  enum Reporters : unsigned { kNoReporters = 0, kExposure = 1, kScreen = 2, kAllReporters = 3 };

  explicit Framework(unsigned reporters = kAllReporters) {
    install(ZUMAnalytics::kIdentifiersClassName, identifiers);
    install(ZUMAnalytics::kAnalyticsClassName, recorder);
    if (reporters & kExposure) install(ZUMAnalytics::kAdExposureReporterClassName, recorder);
    if (reporters & kScreen) install(ZUMAnalytics::kScreenViewReporterClassName, recorder);
    setDefault(kEnabledKey, "1");
  }

  const std::shared_ptr<Identifiers> identifiers = std::make_shared<Identifiers>();
  const std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
  const std::shared_ptr<Lines> lines = recorder->lines;
};

}  // namespace analyticstest
