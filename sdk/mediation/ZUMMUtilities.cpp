#include "sdk/mediation/ZUMMUtilities.h"

#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMMacros.h"
#include "sdk/foundation/ZUMValues.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMConfig.h"

std::string ZUMMUtilities::filledMediationTemplate(std::string_view urlTemplate, const ZUMMediationURLValues& values) {
  std::string text(urlTemplate);
  // The order matters only when a value holds a macro itself.
  const std::pair<const char*, std::optional<std::string>> macros[] = {
      {"pw_adlocid", values.adLocationID},
      {"pw_qdata", values.qData},
      {"pw_sdkver", std::string(kZUMSDKVersion)},
      {"pw_sessid", values.sessionID},
      {"pw_seqnum", values.sequenceNumber},
      {"pw_devid", std::string()},
      {"pw_adnetrefresh", ZUMStringFromBOOL(values.adNetworkRefresh)},
      {"pw_adnetid", values.adNetworkID},
      {"pw_allocid", values.allocationID},
      {"pw_aec", values.exitCodes},
      {"pw_adt", values.durations},
      {"pw_adnetstatus", values.fillStatus.value_or(std::string())},
  };
  for (const auto& [name, value] : macros) {
    if (value) ZUMReplaceMacro(text, name, *value);
  }
  return text;
}

std::optional<platform::URL> ZUMMUtilities::mediationURLFrom(std::string_view urlTemplate,
                                                             const ZUMMediationURLValues& values) {
  return platform::URL::fromString(filledMediationTemplate(urlTemplate, values));
}

std::string ZUMMUtilities::defaultNoFillTemplate() {
  return std::string(kZUMMEventPingServer) +
         "/nofill?ad_loc=@pw_adlocid@&qdata=@pw_qdata@&js=@pw_sdkver@&session_id=@pw_sessid@&seq_num=@pw_seqnum@"
         "&aec=@pw_aec@&adt=@pw_adt@";
}

std::string ZUMMUtilities::defaultClickTemplate() {
  return std::string(kZUMMEventPingServer) +
         "/clk?ad_loc=@pw_adlocid@&qdata=@pw_qdata@&ad_network_id=@pw_adnetid@&js=@pw_sdkver@"
         "&session_id=@pw_sessid@&seq_num=@pw_seqnum@&nr=@pw_adnetrefresh@";
}

std::string ZUMMUtilities::defaultImpressionTemplate() {
  return std::string(kZUMMEventPingServer) +
         "/imp?ad_loc=@pw_adlocid@&qdata=@pw_qdata@&ad_network_id=@pw_adnetid@&js=@pw_sdkver@"
         "&session_id=@pw_sessid@&seq_num=@pw_seqnum@&nr=@pw_adnetrefresh@&adt=@pw_adt@&aec=@pw_aec@";
}

ZUMMediationPing ZUMMUtilities::pingForEntry(const ZUMMConfig* config, const ZUMMAdNetworkConfig* entry) {
  ZUMMediationPing ping;
  if (entry) {
    ping.networkID = entry->networkID();
    ping.allocationID = entry->allocationID();
  }
  if (config) {
    ping.qData = config->qdata();
    ping.appKey = config->appKey();
  }
  return ping;
}

std::optional<std::vector<std::string>> ZUMMUtilities::joinedTemplates(
    const std::optional<std::vector<std::string>>& first, const std::optional<std::vector<std::string>>& second) {
  if (!first && !second) return std::nullopt;
  std::vector<std::string> all = first.value_or(std::vector<std::string>{});
  if (second) all.insert(all.end(), second->begin(), second->end());
  return all;
}
