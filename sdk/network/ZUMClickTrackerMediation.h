// What the click tracker asks of mediation when it sends mediation pings: filling one
// ping template with its macro values, and the analytics step of click ("_ac") and
// impression ("_ai") pings. The mediation area implements it and the SDK's load entry
// installs it once with setShared().
//
// Unregistered (shared() is nullptr): no template can be filled, so mediation pings
// send nothing (one log line per call).
//
// Any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/base/URL.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"

// The values of one mediation ping's macros; std::nullopt leaves a macro in place
// (except fillStatus, which then fills the empty string).
struct ZUMMediationURLValues {
  std::optional<std::string> adLocationID;
  bool adNetworkRefresh = false;
  std::optional<std::string> allocationID;
  std::optional<std::string> adNetworkID;
  std::optional<std::string> qData;
  std::optional<std::string> sessionID;
  std::optional<std::string> sequenceNumber;
  std::optional<std::string> exitCodes;
  std::optional<std::string> durations;
  std::optional<std::string> fillStatus;
};

class ZUMClickTrackerMediation : public ZUMSharedInterface<ZUMClickTrackerMediation> {
 public:
  virtual ~ZUMClickTrackerMediation() = default;

  // The filled template as a URL; std::nullopt when it gives none.
  [[nodiscard]] virtual std::optional<platform::URL> mediationURL(const std::string& urlTemplate,
                                                                  const ZUMMediationURLValues& values) = 0;
  // The URLs to ping for the event, stamped by the analytics bridge when there is one.
  virtual std::vector<platform::URL> trackingURLsWithAdEventID(const std::vector<platform::URL>& urls,
                                                               const std::string& eventType) = 0;
};
