// The telemetry area's side of the slot's and the ad model's telemetry interfaces: load
// timings sent as CSI beacons, content fingerprints for requests, and the responses'
// switch of content hashing, whether crash reporting is on, and the analytics bridge
// (ZUMAnalytics): request identifiers, events and stamped tracking URLs.
//
// Any thread, as the interfaces say.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/rendering/ZUMAdViewLogging.h"
#include "sdk/request/ZUMAdTelemetry.h"
#include "sdk/request/ZUMSlotTelemetry.h"

class ZUMTelemetry final : public ZUMSlotTelemetry, public ZUMAdTelemetry, public ZUMAdViewLogging {
 public:
  // ZUMSlotTelemetry
  // A new recorder at every call.
  std::shared_ptr<ZUMCSITimeRecorder> makeTimeRecorder(const std::string& action) override;
  // A beacon of the recorder through a new reporter with the default configuration.
  void reportTimeRecorder(const std::shared_ptr<ZUMCSITimeRecorder>& recorder) override;
  // The hub's best recent fingerprint, its content's score lowered for the next request.
  std::optional<std::string> contentFingerprint() override;
  bool crashReportingEnabled() override;
  bool addAnalyticsIdentifiers(nlohmann::ordered_json& parameters) override;
  void logAnalyticsEvent(const std::string& name, const std::string& adEventID) override;
  void makeRootLoggingObject(ZUMSlot& slot) override;
  void resetLogger(ZUMSlot& slot) override;

  // ZUMAdTelemetry
  std::vector<platform::URL> trackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                       const std::string& eventName) override;
  void startContentHashing() override;
  void stopContentHashing() override;

  // ZUMAdViewLogging
  std::shared_ptr<ZUMFennickLogger> loggerForAdView(const std::shared_ptr<ZUMAdView>& adView) override;
};

// Installs ZUMTelemetry for the slot, the ad model and the ad view, content hashing and the crash
// reporter (with its opt-out) in the hub's start-up, and the character sets' and the
// Fennick channel's refresh in every delivery of SDK constants. Called
// once by the SDK's load entry.
void ZUMRegisterTelemetry();
