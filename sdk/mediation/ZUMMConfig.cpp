#include "sdk/mediation/ZUMMConfig.h"

#include <cstdio>
#include <utility>

#include <nlohmann/json.hpp>

#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"

namespace {

using Json = nlohmann::ordered_json;

// A refresh of this many seconds or more means none.
constexpr double kRefreshLimit = 30000;
constexpr std::int64_t kMaxBannerAnimationType = 8;

}  // namespace

ZUMMConfig::ZUMMConfig(std::string appKey) : appKey_(std::move(appKey)) {
  adNetworkTimeout_ = ZUMUserDefaults::doubleForKey(kZUMMAdNetworkTimeoutKey).value_or(10.0);
  finalAdNetworkTimeout_ = ZUMUserDefaults::doubleForKey(kZUMMFinalAdNetworkTimeoutKey).value_or(10.0);
}

std::shared_ptr<const ZUMMConfig> ZUMMConfig::create(const std::string& appKey, const Json& dictionary,
                                                     platform::ErrorPtr* error) {
  std::shared_ptr<ZUMMConfig> config(new ZUMMConfig(appKey));
  if (const Json* settings = ZUMJSONObjectForKey(dictionary, "settings")) config->readSettings(*settings);
  if (const Json* qdata = ZUMJSONValueForKey(dictionary, "qdata")) config->qdata_ = ZUMJSONStringOrNumberText(*qdata);
  const Json* networks = ZUMJSONArrayForKey(dictionary, "ad_networks");
  if (!networks) {
    if (error) *error = ZUMMakeErrorWithCode(kZUMErrorInvalidMediationResponse);
    return nullptr;
  }
  if (!config->readNetworks(*networks, error)) return nullptr;
  config->defaultAdSize_ = ZUMJSONStringForKey(dictionary, "default_ad_sz");
  config->defaultSlotSize_ = ZUMJSONStringForKey(dictionary, "default_slot_sz");
  return config;
}

void ZUMMConfig::readSettings(const Json& settings) {
  if (auto refresh = ZUMJSONDoubleForKey(settings, "refresh")) {
    refreshInterval_ = *refresh >= kRefreshLimit ? 0 : *refresh;
  }
  if (auto timeout = ZUMJSONDoubleForKey(settings, "ad_network_timeout_millis")) {
    adNetworkTimeout_ = finalAdNetworkTimeout_ = *timeout / 1000.0;
  }
  if (auto animation = ZUMJSONIntegerForKey(settings, "ad_transition_anim")) {
    if (*animation >= 0 && *animation <= kMaxBannerAnimationType) bannerAnimationType_ = *animation;
  }
  if (auto urls = ZUMJSONStringItemsForKey(settings, "imp_urls")) impressionURLs_ = std::move(urls);
  if (auto urls = ZUMJSONStringItemsForKey(settings, "click_urls")) clickURLs_ = std::move(urls);
  if (auto urls = ZUMJSONStringItemsForKey(settings, "nofill_urls")) noFillURLs_ = std::move(urls);
  if (const Json* rewards = ZUMJSONArrayForKey(settings, "rewards")) rewards_ = std::make_shared<const Json>(*rewards);
  if (ZUMJSONBoolForKey(settings, "use_displayed_impression", false)) impressionDefinition_ = 1;
  if (auto allow = ZUMJSONBoolForKey(settings, "allow_pub_rendered_attribution")) {
    allowPublisherRenderedAttribution_ = *allow;
  }
}

bool ZUMMConfig::readNetworks(const Json& networks, platform::ErrorPtr* error) {
  for (std::size_t index = 0; index < networks.size(); ++index) {
    const Json& element = networks[index];
    if (!element.is_object()) continue;
    if (adNetworkConfigs_.size() == kZUMMMaximumAdNetworks) {
      ZUMLog(kZUMLogLevelDefault, "Mediation: the response names more than " + std::to_string(kZUMMMaximumAdNetworks) +
                                      " ad networks; the remaining " + std::to_string(networks.size() - index) +
                                      " entries are dropped.");
      break;
    }
    platform::ErrorPtr entryError;
    auto entry = ZUMMAdNetworkConfig::create(element, &entryError);
    if (entry) adNetworkConfigs_.push_back(std::move(entry));
    if (!entryError) continue;
    if (entryError->code() != kZUMErrorNoMediationAdapter) {
      if (error) *error = std::move(entryError);
      return false;
    }
    ZUMLogger::sharedInstance()->logPublicMessage(entryError->localizedDescription());
  }
  return true;
}

std::string ZUMMConfig::description() const {
  char head[64];
  std::snprintf(head, sizeof head, "<ZUMMConfig: %p>", static_cast<const void*>(this));
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, " refresh:%f transition:%lld", refreshInterval_,
                static_cast<long long>(bannerAnimationType_));
  std::string networks = "(";
  for (std::size_t i = 0; i < adNetworkConfigs_.size(); ++i) {
    networks += (i ? ",\n    " : "\n    ") + adNetworkConfigs_[i]->description();
  }
  networks += "\n)";
  return std::string(head) + ":\nqdata:" + qdata_.value_or("(null)") + numbers + " ad_networks:" + networks;
}
