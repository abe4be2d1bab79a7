// The timings of one action (a slot's ad load: "load_ad_ios"), as the slot and the
// SDK-core controller record them. The telemetry area provides the implementation and
// reports it; the slot makes one per load through ZUMSlotTelemetry::makeTimeRecorder.
//
// Every operation may be called from any thread (an implementation guards its timings).
#pragma once

#include <string>

class ZUMCSITimeRecorder {
 public:
  virtual ~ZUMCSITimeRecorder() = default;
  virtual void startTimingVariableWithName(const std::string& name) = 0;
  virtual void endTimingVariableWithName(const std::string& name) = 0;
  // Drops a running timing without reporting it.
  virtual void cancelTimingVariableWithName(const std::string& name) = 0;
  // An experiment id that the recorder's report carries (the SDK-core controller adds
  // each piece of the request's "eid").
  virtual void addExperimentID(const std::string& experimentID) = 0;
  // Ignored for an empty key.
  virtual void setCustomizedParameterValue(const std::string& value, const std::string& key) = 0;
};
