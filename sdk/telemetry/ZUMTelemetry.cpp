#include "sdk/telemetry/ZUMTelemetry.h"

#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/csi/ZUMCSIReporter.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMStartupHooks.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMSDKConstants.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/telemetry/ZUMAnalytics.h"
#include "sdk/telemetry/ZUMApplication+ContentHashing.h"
#include "sdk/telemetry/ZUMCharacterSets.h"
#include "sdk/telemetry/ZUMCrashReporter.h"
#include "sdk/telemetry/ZUMFennick.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMInAppPurchaseTransactionReporter.h"
#include "sdk/telemetry/ZUMLoggingHierarchy.h"

std::shared_ptr<ZUMCSITimeRecorder> ZUMTelemetry::makeTimeRecorder(const std::string& action) {
  return ZUMCSITimeRecorder::create(action);
}

void ZUMTelemetry::reportTimeRecorder(const std::shared_ptr<ZUMCSITimeRecorder>& recorder) {
  // Sampled at each report; the reporter keeps itself until its beacon has completed.
  ZUMCSIReporter::create(ZUMCSIConfiguration::defaultConfiguration())->reportTimeRecorder(recorder, nullptr);
}

std::optional<std::string> ZUMTelemetry::contentFingerprint() {
  return fingerprintWithServedPenaltyDeduction(*ZUMApplication::sharedInstance());
}

bool ZUMTelemetry::crashReportingEnabled() { return ZUMCrashReporter::sharedInstance()->reportingEnabled(); }

bool ZUMTelemetry::addAnalyticsIdentifiers(nlohmann::ordered_json& parameters) {
  if (!ZUMAnalytics::sharedInstance()) return false;
  ZUMAddAnalyticsIdentifiers(parameters);
  return true;
}

void ZUMTelemetry::logAnalyticsEvent(const std::string& name, const std::string& adEventID) {
  if (auto analytics = ZUMAnalytics::sharedInstance()) analytics->logEventWithName(name, adEventID);
}

std::vector<platform::URL> ZUMTelemetry::trackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                                   const std::string& eventName) {
  return ZUMTrackingURLsWithAdEventID(urls, eventName);
}

void ZUMTelemetry::makeRootLoggingObject(ZUMSlot& slot) {
  auto hierarchy = ZUMLoggingHierarchy::sharedInstance();
  auto root = slot.shared_from_this();
  hierarchy->setLogger(nullptr, root);
  if (auto adView = slot.adView()) hierarchy->linkObject(root, {adView});
}

void ZUMTelemetry::resetLogger(ZUMSlot& slot) {
  auto logger = ZUMFennickLogger::create();
  slot.setLogger(logger);
  ZUMLoggingHierarchy::sharedInstance()->setLogger(logger, slot.shared_from_this());
}

std::shared_ptr<ZUMFennickLogger> ZUMTelemetry::loggerForAdView(const std::shared_ptr<ZUMAdView>& adView) {
  return ZUMLoggingHierarchy::sharedInstance()->loggerForObject(adView);
}

void ZUMTelemetry::startContentHashing() { ::startContentHashing(*ZUMApplication::sharedInstance()); }

void ZUMTelemetry::stopContentHashing() { ::stopContentHashing(*ZUMApplication::sharedInstance()); }

void ZUMRegisterTelemetry() {
  auto telemetry = std::make_shared<ZUMTelemetry>();
  ZUMSlotTelemetry::setShared(telemetry);
  ZUMAdTelemetry::setShared(telemetry);
  ZUMAdViewLogging::setShared(telemetry);
  ZUMRegisterStartupHooks([](ZUMStartupHooks& hooks) {
    hooks.startContentHashing = [] { startContentHashing(*ZUMApplication::sharedInstance()); };
  });
  ZUMRegisterCrashReporter();
  ZUMRegisterInAppPurchaseReporting();
  // Range lists delivered by the server cut the next walk's text, not the next launch's.
  ZUMSDKConstantsTargets::registerTargets([](ZUMSDKConstantsTargets& targets) {
    targets.updateCharacterSets = [] { ZUMCharacterSets::sharedInstance()->updateCharacterSets(); };
    targets.updateFennick = [] { ZUMFennick::sharedInstance()->updateIfNeeded(); };
  });
}
