// Filling mediation ping templates: the "pw" macros ("@pw_qdata@") with the values of
// one ping, inserted as they are (not percent-encoded: server tokens may come encoded
// already), and the built-in templates used when a response gives none. Unknown and
// unfilled macros, and "@@", stay as written. Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/URL.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/network/ZUMClickTrackerMediation.h"

class ZUMMAdNetworkConfig;
class ZUMMConfig;

// The mediation event-ping server of the built-in templates.
inline constexpr const char* kZUMMEventPingServer = "https://mediation.adnetwork.example";

class ZUMMUtilities {
 public:
  ZUMMUtilities() = delete;

  // The template with its macros filled in the fixed order (ad location id, qdata, SDK
  // version, session id, sequence number, device id, refresh, network id, allocation
  // id, exit codes, durations, fill status), parsed as a URL: std::nullopt when the text
  // is empty or no URL.
  [[nodiscard]] static std::optional<platform::URL> mediationURLFrom(std::string_view urlTemplate,
                                                                     const ZUMMediationURLValues& values);
  // The filled text itself, before parsing.
  static std::string filledMediationTemplate(std::string_view urlTemplate, const ZUMMediationURLValues& values);

  // The built-in templates of the no-fill, click and impression pings.
  static std::string defaultNoFillTemplate();
  static std::string defaultClickTemplate();
  static std::string defaultImpressionTemplate();

  // A ping of a connector's entry: the entry's network and allocation ids, the
  // response's qdata and app key (each left out when its owner is missing).
  static ZUMMediationPing pingForEntry(const ZUMMConfig* config, const ZUMMAdNetworkConfig* entry);
  // The first templates followed by the second; std::nullopt when both are absent (an
  // empty list stays empty: it sends nothing, where none sends the default).
  static std::optional<std::vector<std::string>> joinedTemplates(const std::optional<std::vector<std::string>>& first,
                                                                 const std::optional<std::vector<std::string>>& second);
};
