// Turns one time recorder into one latency beacon: a GET of the configuration's endpoint
// whose query carries the service, the beacon version, the action, the recorder's custom
// parameters and experiment ids, and its completed timings ("it": name.milliseconds,
// comma-separated). A beacon takes the recorder's completed timings with it.
//
// Any thread. A reporter keeps itself alive until its beacon's completion, which runs on
// the main operation queue.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include "platform/base/Error.h"
#include "platform/base/URL.h"
#include "platform/net/HTTPURLResponse.h"

class ZUMCSIConfiguration;
class ZUMCSITimeRecorder;

class ZUMCSIReporter : public std::enable_shared_from_this<ZUMCSIReporter> {
 public:
  // Called with the server's response, or with the error of a beacon that failed.
  using CompletionBlock =
      std::function<void(const std::optional<platform::HTTPURLResponse>& response, const platform::ErrorPtr& error)>;

  // nullptr without a configuration.
  static std::shared_ptr<ZUMCSIReporter> create(std::shared_ptr<ZUMCSIConfiguration> configuration);
  ZUMCSIReporter(const ZUMCSIReporter&) = delete;
  ZUMCSIReporter& operator=(const ZUMCSIReporter&) = delete;

  // Sends the recorder's beacon, with the configuration's User-Agent, when the
  // configuration reports and the recorder has completed timings; the completion (may be
  // empty) then hears how it went. Otherwise nothing is sent and the completion is not
  // called. Failures are not retried.
  void reportTimeRecorder(const std::shared_ptr<ZUMCSITimeRecorder>& recorder, CompletionBlock completion);
  // The beacon's URL; std::nullopt when the recorder has no completed timing or the
  // endpoint makes no URL. Takes the recorder's completed timings.
  [[nodiscard]] std::optional<platform::URL> URLForTimeRecorder(ZUMCSITimeRecorder& recorder);

  const std::shared_ptr<ZUMCSIConfiguration>& configuration() const { return configuration_; }

  // Beacons of the process sent whose completion has not run yet.
  static std::size_t beaconsInFlight();

 private:
  explicit ZUMCSIReporter(std::shared_ptr<ZUMCSIConfiguration> configuration);

  const std::shared_ptr<ZUMCSIConfiguration> configuration_;
};
