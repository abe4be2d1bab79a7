// Where and how CSI beacons go: the endpoint, the service name and beacon version they
// carry, whether this configuration reports at all (a sampling decision drawn once), and
// the User-Agent of its beacons.
//
// Every ZUMCSI has its own configuration, so each draws its own sampling decision; a
// disabled configuration sends nothing.
//
// Any thread: the fields are guarded by the configuration's own lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

// The built-in endpoint of latency beacons.
inline constexpr const char* kZUMCSIDefaultServer = "https://csi.adnetwork.example/csi";
// The service that the SDK's beacons name.
inline constexpr const char* kZUMCSIDefaultServiceName = "kvel_sdk";
// The share of configurations that report when the server says nothing.
inline constexpr double kZUMCSIDefaultReportingProbability = 0.05;
// The user defaults that override the endpoint and the share (strings or numbers).
inline constexpr const char* kZUMCSIReportingURLKey = "/vantor/ads/csi_reporting_url";
inline constexpr const char* kZUMCSIReportingProbabilityKey = "/vantor/ads/csi_reporting_probability";

class ZUMCSIConfiguration {
 public:
  // Service "kvel_sdk", the endpoint and the reporting probability of the user defaults
  // (the built-in endpoint and 0.05 when absent or unusable), sampled now.
  static std::shared_ptr<ZUMCSIConfiguration> defaultConfiguration();
  // A configuration that reports, to the built-in endpoint, beacon version 3.
  static std::shared_ptr<ZUMCSIConfiguration> create(std::string serviceName);
  ZUMCSIConfiguration(const ZUMCSIConfiguration&) = delete;
  ZUMCSIConfiguration& operator=(const ZUMCSIConfiguration&) = delete;

  // Draws the sampling decision: reports when a uniform draw in [0, 999] is below
  // p × 1000 cut to a whole number (0.05 keeps draws 0 to 49; so does 0.0505). p is
  // clamped to [0, 1] first: 0 or less never reports, 1 or more always does; NaN never.
  void setReportingProbability(double probability);

  bool reportingEnabled() const;
  void setReportingEnabled(bool enabled);
  // The endpoint's URL string; the beacon's parameters are appended as its query.
  std::string server() const;
  void setServer(std::string server);
  std::string serviceName() const;
  void setServiceName(std::string serviceName);
  std::int64_t version() const;
  void setVersion(std::int64_t version);

  // "VantorCsi/1.0 (<device>; U; CPU <system name> <version, "." as "_">; <locale, "_" as
  // "-">) <bundle name>/<bundle version>", built on first use and kept.
  std::string userAgent();
  // "Simulator" on a simulator; otherwise the hardware model identifier with "/" before
  // its first digit and every "," as "." ("TestPhone10,4" -> "TestPhone/10.4"); "Unknown"
  // when the device has none.
  static std::string deviceVersionString();

 private:
  explicit ZUMCSIConfiguration(std::string serviceName);

  mutable std::mutex mutex_;
  std::optional<std::string> cachedUserAgentString_;
  bool reportingEnabled_ = true;
  std::string server_ = kZUMCSIDefaultServer;
  std::string serviceName_;
  std::int64_t version_ = 3;
};
