// The timings of one CSI action ("load_ad_ios": a slot's ad load), with the experiment
// ids and custom parameters that its beacon carries (ZUMCSIReporter builds the beacon).
//
// A timing is running (ongoingVariables()), completed and waiting for a beacon
// (completedVariables()), or gone: cancelled, or taken by a beacon. Timings are stored
// under a key, usually their name; the keyed forms let one name run several times at
// once. Times are seconds of the monotonic clock (currentTime()).
//
// Any thread. Everything the recorder holds lives on its serial queue
// "com.vantor.morvane.csi-time-recorder": changes are queued, reads (and the millisecond
// form of ending) wait for it, so the calls of one thread take effect in order (an end
// issued after a start always finds it).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class DispatchQueue;
}

class ZUMCSIVariableTiming;

class ZUMCSITimeRecorder : public std::enable_shared_from_this<ZUMCSITimeRecorder> {
 public:
  using Timings = std::map<std::string, std::shared_ptr<ZUMCSIVariableTiming>>;

  static std::shared_ptr<ZUMCSITimeRecorder> create(std::string action);
  ZUMCSITimeRecorder(const ZUMCSITimeRecorder&) = delete;
  ZUMCSITimeRecorder& operator=(const ZUMCSITimeRecorder&) = delete;

  // Now, in seconds of the monotonic clock.
  static double currentTime();

  // --- Timings (the one-argument forms use the name as key) ----------------------------
  // Starts a timing now; a running timing under the key is replaced. An empty name does
  // nothing.
  void startTimingVariableWithName(const std::string& name);
  void startTimingVariableWithName(const std::string& name, const std::string& key);
  // Ends the running timing under the key and keeps it for the beacon; when a completed
  // timing is already kept under the key, this one is kept under the key followed by a
  // random number. No running timing: nothing.
  void endTimingVariableWithName(const std::string& name);
  void endTimingVariableWithName(const std::string& name, const std::string& key);
  // The same, waiting for it: the timing's length in whole milliseconds (0 when none ran).
  std::int64_t durationAfterEndTimingVariableWithName(const std::string& name);
  // Drops a running timing without reporting it.
  void cancelTimingVariableWithName(const std::string& name);
  void cancelTimingVariableWithName(const std::string& name, const std::string& key);

  Timings ongoingVariables() const;
  Timings completedVariables() const;
  // Keeps a timing made elsewhere under its name (or `key`), replacing one of that key.
  void addCompletedVariable(const std::shared_ptr<ZUMCSIVariableTiming>& timing);
  void addCompletedVariable(const std::shared_ptr<ZUMCSIVariableTiming>& timing, const std::string& key);
  void removeCompletedVariableForKey(const std::string& key);
  // Takes every completed timing out of the recorder, in one step: a beacon's share.
  Timings takeCompletedVariables();

  // --- What the beacon carries besides timings -------------------------------------------
  // Experiment ids in the order added; an id added twice is kept twice.
  void addExperimentID(const std::string& experimentID);
  // Removes every entry equal to the id.
  void removeExperimentID(const std::string& experimentID);
  std::vector<std::string> experimentIDs() const;
  // Sets a parameter, replacing one of that key; ignored for an empty key.
  void setCustomizedParameterValue(const std::string& value, const std::string& key);
  std::map<std::string, std::string> customizedParameters() const;

  std::string action() const;
  void setAction(std::string action);

 private:
  explicit ZUMCSITimeRecorder(std::string action);
  // On the queue: ends the timing under `key`; its length in seconds, 0 when none ran.
  double durationAfterCommonEndTimingVariableWithName(const std::string& name, const std::string& key);

  const std::shared_ptr<platform::DispatchQueue> lockQueue_;
  // On lockQueue_.
  std::string action_;
  Timings ongoingVariables_;
  Timings completedVariables_;
  std::vector<std::string> experimentIDs_;
  std::map<std::string, std::string> customizedParameters_;
};
