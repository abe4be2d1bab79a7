// The read-only configuration a mediation response becomes: global settings (refresh,
// time-outs, impression rule, ping templates, rewards) and the ordered ad network
// entries, each with the adapter class chosen for it. One configuration is shared by a
// slot's waterfall and every connector made for it.
//
// Values are copies of the decoded response: changing it afterwards changes nothing.
// Made on the main thread (it reads the user defaults); immutable, so read anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"

class ZUMMAdNetworkConfig;

// The user defaults that replace the 10 s a network is given (text or number).
inline constexpr const char* kZUMMAdNetworkTimeoutKey = "/vantor/ads/default_ad_network_timeout";
inline constexpr const char* kZUMMFinalAdNetworkTimeoutKey = "/vantor/ads/default_final_ad_network_timeout";

// The most ad network entries one response may name; the waterfall tries each in turn,
// so the server must not make a pass (and its statistics and pings) grow without bound.
inline constexpr std::size_t kZUMMMaximumAdNetworks = 1000;

class ZUMMConfig {
 public:
  using Json = nlohmann::ordered_json;
  using Templates = std::optional<std::vector<std::string>>;

  // The configuration of `dictionary` for the slot's ad unit `appKey`; nullptr with
  // *error when "ad_networks" is missing or no array (code 7) or an entry fails with any
  // code but 8. Code-8 problems of an entry are logged for the app's developer and the
  // entry is kept without an adapter class. Entries past kZUMMMaximumAdNetworks are
  // dropped with one log line.
  [[nodiscard]] static std::shared_ptr<const ZUMMConfig> create(const std::string& appKey, const Json& dictionary,
                                                                platform::ErrorPtr* error);

  const std::vector<std::shared_ptr<ZUMMAdNetworkConfig>>& adNetworkConfigs() const { return adNetworkConfigs_; }
  bool allowPublisherRenderedAttribution() const { return allowPublisherRenderedAttribution_; }
  // Seconds; 0 when the response gives none or 30000 or more.
  double refreshInterval() const { return refreshInterval_; }
  std::int64_t bannerAnimationType() const { return bannerAnimationType_; }
  // Seconds allowed to each network but the last, and to the last.
  double adNetworkTimeout() const { return adNetworkTimeout_; }
  double finalAdNetworkTimeout() const { return finalAdNetworkTimeout_; }
  // 0: an impression counts when the ad has loaded; 1: when it is first seen on screen.
  std::int64_t impressionDefinition() const { return impressionDefinition_; }
  const Templates& impressionURLs() const { return impressionURLs_; }
  const Templates& clickURLs() const { return clickURLs_; }
  const Templates& noFillURLs() const { return noFillURLs_; }
  const std::optional<std::string>& qdata() const { return qdata_; }
  const std::string& appKey() const { return appKey_; }
  // The "rewards" array; nullptr when absent.
  const Json* rewards() const { return rewards_.get(); }
  const std::optional<std::string>& defaultSlotSize() const { return defaultSlotSize_; }
  const std::optional<std::string>& defaultAdSize() const { return defaultAdSize_; }

  // "<ZUMMConfig: 0x...>:\nqdata:<qdata> refresh:<seconds> transition:<type> ad_networks:(...)".
  std::string description() const;

 private:
  explicit ZUMMConfig(std::string appKey);
  void readSettings(const Json& settings);
  [[nodiscard]] bool readNetworks(const Json& networks, platform::ErrorPtr* error);

  std::vector<std::shared_ptr<ZUMMAdNetworkConfig>> adNetworkConfigs_;
  bool allowPublisherRenderedAttribution_ = false;
  double refreshInterval_ = 0;
  std::int64_t bannerAnimationType_ = 8;
  double adNetworkTimeout_ = 10.0;
  double finalAdNetworkTimeout_ = 10.0;
  std::int64_t impressionDefinition_ = 0;
  Templates impressionURLs_, clickURLs_, noFillURLs_;
  std::optional<std::string> qdata_;
  std::string appKey_;
  std::shared_ptr<const Json> rewards_;
  std::optional<std::string> defaultSlotSize_, defaultAdSize_;
};
