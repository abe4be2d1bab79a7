// What the slot asks of telemetry: load timings, the content fingerprint, the crash
// reporter's switch and the analytics bridge. The area implements it and the SDK's load
// entry installs it once with setShared().
//
// Unregistered (shared() is nullptr): no timings, no fingerprint, crash reporting off
// ("cre" = "0"), no analytics identifiers, no event logger.
//
// Called on the main thread; reportTimeRecorder also from the slot's destructor (it
// receives only the recorder).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMCSITimeRecorder;
class ZUMSlot;

class ZUMSlotTelemetry : public ZUMSharedInterface<ZUMSlotTelemetry> {
 public:
  virtual ~ZUMSlotTelemetry() = default;

  // A time recorder for `action`, or nullptr when timings are not sampled in.
  virtual std::shared_ptr<ZUMCSITimeRecorder> makeTimeRecorder(const std::string& action) = 0;
  // Reports a load's timings ("bqi" already set).
  virtual void reportTimeRecorder(const std::shared_ptr<ZUMCSITimeRecorder>& recorder) = 0;
  // The hub's current content fingerprint (nullopt: none now).
  virtual std::optional<std::string> contentFingerprint() = 0;
  // Whether the crash reporter reports.
  virtual bool crashReportingEnabled() = 0;
  // With an analytics bridge: adds "kqp_app_id", "lvn_aiid" and "lvn_aeid" (each when
  // known) and answers true; false without one.
  virtual bool addAnalyticsIdentifiers(nlohmann::ordered_json& parameters) = 0;
  // Logs an event (name, ad event id) through the analytics bridge.
  virtual void logAnalyticsEvent(const std::string& name, const std::string& adEventID) = 0;

  // The slot is made (its ad view too): it becomes a root of the logging hierarchy,
  // without a logger yet, with its ad view linked below it.
  virtual void makeRootLoggingObject(ZUMSlot& /*slot*/) {}
  // A load starts: the slot gets a new event logger (slot.setLogger()), which becomes
  // the logger of its tree.
  virtual void resetLogger(ZUMSlot& /*slot*/) {}
};
