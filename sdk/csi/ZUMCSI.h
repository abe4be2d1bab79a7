// A registry of CSI latency timings: one time recorder per action ("load_ad_ios",
// "load_med", "make_wv") and wall-clock timestamps by label ("native:view_create",
// "native:view_load", "native:view_show"). sendReport() sends every recorder's completed
// timings as sampled beacons.
//
// Each slot and each SDK-core web view owns one; sharedInstance() is the process's own.
// Each has its own configuration and so its own sampling decision: a sampled-out
// registry gives no recorder (callers then record nothing) and sends nothing.
//
// Any thread. The recorders and timestamps live on the serial queue
// "com.vantor.morvane.csi-lock": lookups and reads wait for it, writes and reports are
// queued, so the calls of one thread take effect in order.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace platform {
class DispatchQueue;
}

class ZUMCSIConfiguration;
class ZUMCSITimeRecorder;

class ZUMCSI : public std::enable_shared_from_this<ZUMCSI> {
 public:
  static std::shared_ptr<ZUMCSI> sharedInstance();
  // A registry with the default configuration (sampled now).
  static std::shared_ptr<ZUMCSI> create();
  ZUMCSI(const ZUMCSI&) = delete;
  ZUMCSI& operator=(const ZUMCSI&) = delete;

  // The action's recorder, made on first use (with the custom parameter "sdkVersion" and
  // the SDK version as its first experiment id); nullptr when this registry does not
  // report. A recorder found gets the custom parameter "bqi" = BRVQueryID() when set.
  // Threads asking for one action at once get the same recorder.
  std::shared_ptr<ZUMCSITimeRecorder> timeRecorderForAction(const std::string& action);

  // Stores the wall-clock time now, in milliseconds since 1970, under the label.
  void recordTimestampForLabel(const std::string& label);
  void setTimestamp(std::int64_t milliseconds, const std::string& label);
  // 0 when the label has none.
  std::int64_t timestampForLabel(const std::string& label) const;

  // Sends each recorder's beacon (recorders stay; their completed timings go with the
  // beacons), then drops every timestamp.
  void sendReport();

  // The server's query id of the ad shown now.
  std::optional<std::string> BRVQueryID() const;
  void setBRVQueryID(std::optional<std::string> queryID);

  const std::shared_ptr<ZUMCSIConfiguration>& configuration() const { return configuration_; }

 private:
  ZUMCSI();

  const std::shared_ptr<ZUMCSIConfiguration> configuration_;
  const std::shared_ptr<platform::DispatchQueue> lockQueue_;
  // On lockQueue_.
  std::map<std::string, std::shared_ptr<ZUMCSITimeRecorder>> timeRecorders_;
  std::map<std::string, std::int64_t> timestamps_;
  mutable std::mutex mutex_;  // guards BRVQueryID_
  std::optional<std::string> BRVQueryID_;
};
