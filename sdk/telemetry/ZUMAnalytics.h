// The bridge to the optional app-analytics framework (ZUMStubsForQENAnalytics.h): its
// identifiers for ad requests, its internal event log, the exposure of ad units and the
// host's current screen. The bridge exists only while the server's switch
// "/vantor/ads/zums:sai:enabled" is on and the framework's identifiers and analytics
// classes are present; without it every caller leaves requests and URLs as they are.
//
// It holds no state of its own after it is made; the framework's objects are expected to
// be thread-safe, so any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/URL.h"
#include "sdk/telemetry/ZUMStubsForQENAnalytics.h"

class ZUMAnalytics {
 public:
  static constexpr const char* kIdentifiersClassName = "QENAIdentifiers";
  static constexpr const char* kAnalyticsClassName = "QENAnalytics";
  static constexpr const char* kAdExposureReporterClassName = "QENAAdExposureReporter";
  static constexpr const char* kScreenViewReporterClassName = "QENAScreenViewReporter";

  // nullptr while the switch is off (read at every call). Made once when first asked
  // with the switch on; a framework missing then stays missing for the process.
  static std::shared_ptr<ZUMAnalytics> sharedInstance();

  std::optional<std::string> vantorAppID() const;
  std::optional<std::string> appInstanceID() const;
  std::optional<std::string> adEventID() const;

  // Logs {"_aeid": id}, with "_r" = 1 for a click ("_ac"), under the origin "am";
  // nothing without an id.
  void logEventWithName(const std::string& name, const std::optional<std::string>& adEventID) const;

  // Through the screen-view reporter; nothing without one.
  void getScreenName(std::optional<std::string>& name, std::optional<std::string>& screenClass) const;
  void setScreenName(const std::optional<std::string>& name, const std::optional<std::string>& screenClass) const;

  // Through the exposure reporter; nothing without one or without an id. Owners pair
  // them through ZUMAdUnitExposure.
  void beginAdUnitExposure(const std::optional<std::string>& adUnitID) const;
  void endAdUnitExposure(const std::optional<std::string>& adUnitID) const;

  bool hasAdExposureReporter() const { return adExposureReporter_ != nullptr; }
  bool hasScreenViewReporter() const { return screenViewReporter_ != nullptr; }

 private:
  ZUMAnalytics() = default;
  // The bridge over the framework's classes; nullptr without identifiers or event log.
  static std::shared_ptr<ZUMAnalytics> create();

  std::shared_ptr<ZUMStubsForQENAnalytics::AdExposureReporter> adExposureReporter_;
  std::shared_ptr<ZUMStubsForQENAnalytics::Identifiers> analyticsIdentifiers_;
  std::shared_ptr<ZUMStubsForQENAnalytics::InternalEventLogger> analytics_;
  std::shared_ptr<ZUMStubsForQENAnalytics::ScreenViewReporter> screenViewReporter_;
};

// Adds "kqp_app_id", "lvn_aiid" and "lvn_aeid" to request parameters, each only when
// known; nothing without the bridge.
void ZUMAddAnalyticsIdentifiers(nlohmann::ordered_json& parameters);

// The tracking URLs of an event ("_ai" an impression, "_ac" a click) with the analytics
// ad-event id put in where the server's settings ask for it, one event logged per
// stamped URL. In input order, duplicates removed. Without the bridge: `urls` as given.
//
// Macro mode ("/vantor/ads/zums:sai:using_macro:enabled"): a URL whose "lvn_aeid" is the
// macro "[pw_lvnaeid]" gets the percent-encoded id in place of the macro. Otherwise, a
// URL matching one of the event's schema patterns ("/vantor/ads/zums:sai:
// impression_ping_schema" or "click_ping_schema", case-insensitive, step-limited) and
// without "lvn_aeid" gets it appended. A pattern that does not compile is skipped with a
// log line.
std::vector<platform::URL> ZUMTrackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                        const std::string& eventName);
// The same over strings: those that make no URL are dropped; std::nullopt when no URL
// results.
[[nodiscard]] std::optional<std::vector<std::string>> ZUMTrackingURLStringsWithAdEventID(
    const std::vector<std::string>& strings, const std::string& eventName);
