#include "sdk/mediation/ZUMMAdNetworkConfig.h"

#include <utility>

#include <nlohmann/json.hpp>

#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/mediation/ZUMMAdNetworkAdapterImpl.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kInvalidPrefix = "The Morvane Mediation response was invalid: ";

std::shared_ptr<const Json> copyOf(const Json* value) { return value ? std::make_shared<const Json>(*value) : nullptr; }

std::string joined(const std::vector<std::string>& names, const char* separator) {
  std::string text;
  for (const auto& name : names) {
    if (!text.empty()) text += separator;
    text += name;
  }
  return text;
}

std::string missingAdaptersText(const std::string& names) {
  return "Cannot find an ad network adapter with the name(s): " + names +
         ". Remember to link all required ad network adapters and SDKs, and set -ObjC in the 'Other Linker "
         "Flags' setting of your build target.";
}

std::string oldAPIText(const std::vector<std::string>& names, bool noneChosen) {
  const std::string suffix = noneChosen ? " No valid adapters found for this ad network." : "";
  if (names.size() == 1) {
    return "Ad network adapter " + names.front() + " implements an old API. Please update the adapter." + suffix;
  }
  return "Ad network adapters (" + joined(names, ", ") + ") implement an old API. Please update the adapters." + suffix;
}

void setError(platform::ErrorPtr* error, platform::ErrorPtr made) {
  if (error) *error = std::move(made);
}

}  // namespace

std::shared_ptr<ZUMMAdNetworkConfig> ZUMMAdNetworkConfig::create(const Json& dictionary, platform::ErrorPtr* error) {
  const Json* id = ZUMJSONValueForKey(dictionary, "id");
  if (!id) {
    setError(error,
             ZUMMakeErrorWithDescription(kZUMErrorInvalidMediationResponse,
                                         std::string(kInvalidPrefix) + "An ad network config has no network ID."));
    return nullptr;
  }
  // A number (a boolean is one to the platform) is taken as its text.
  auto networkID = ZUMJSONStringOrNumberText(*id);
  if (!networkID) {
    setError(error, ZUMMakeErrorWithDescription(
                        kZUMErrorInvalidMediationResponse,
                        std::string(kInvalidPrefix) + "An ad network config has an invalid network ID."));
    return nullptr;
  }
  std::shared_ptr<ZUMMAdNetworkConfig> config(new ZUMMAdNetworkConfig());
  config->networkID_ = std::move(*networkID);
  config->readFields(dictionary);
  if (auto adapterError = config->chooseAdapterClass()) setError(error, std::move(adapterError));
  return config;
}

void ZUMMAdNetworkConfig::readFields(const Json& dictionary) {
  credentials_ = copyOf(ZUMJSONObjectForKey(dictionary, "data"));
  extras_ = copyOf(ZUMJSONObjectForKey(dictionary, "extras"));
  ad_ = copyOf(ZUMJSONObjectForKey(dictionary, "ad"));
  if (const Json* allocation = ZUMJSONValueForKey(dictionary, "allocation_id")) {
    allocationID_ = ZUMJSONStringOrNumberText(*allocation);
  }
  impressionURLs_ = ZUMJSONStringItemsForKey(dictionary, "imp_urls");
  clickURLs_ = ZUMJSONStringItemsForKey(dictionary, "clickurl");
  fillURLs_ = ZUMJSONStringItemsForKey(dictionary, "fill_urls");
  videoStartURLs_ = ZUMJSONStringItemsForKey(dictionary, "video_start_urls");
  rewardedUserURLs_ = ZUMJSONStringItemsForKey(dictionary, "video_complete_urls");
  nativeExpressAdLoaderOptions_ = copyOf(ZUMJSONObjectForKey(dictionary, "ad_loader_options"));
  nativeExpressHTMLTemplate_ = ZUMJSONStringForKey(dictionary, "html_template");
  nativeExpressAdBaseURL_ = ZUMJSONStringForKey(dictionary, "ad_base_url");
  nativeExpressTemplateIDs_ = copyOf(ZUMJSONArrayForKey(dictionary, "template_ids"));
  nativeExpressAssets_ = copyOf(ZUMJSONObjectForKey(dictionary, "assets"));
  adapterList_ = ZUMJSONStringItemsForKey(dictionary, "adapters").value_or(std::vector<std::string>());
  responseType_ = ZUMJSONStringForKey(dictionary, "response_type");
  slotSizes_ = ZUMJSONStringItemsForKey(dictionary, "slot_sizes");
}

platform::ErrorPtr ZUMMAdNetworkConfig::chooseAdapterClass() {
  std::vector<std::string> oldAPI;
  for (const auto& name : adapterList_) {
    if (!ZUMMAdNetworkAdapterImpl::classExists(name)) continue;
    if (!ZUMMAdNetworkAdapterImpl::classImplementsCurrentAdapterAPI(name)) {
      oldAPI.push_back(name);
    } else if (ZUMMAdNetworkAdapterImpl::classIsAdapterClass(name)) {
      adapterClass_ = name;
      break;
    }
  }
  if (!oldAPI.empty()) {
    return ZUMMakeErrorWithDescription(kZUMErrorNoMediationAdapter, oldAPIText(oldAPI, !adapterClass_));
  }
  if (!adapterClass_) {
    return ZUMMakeErrorWithDescription(kZUMErrorNoMediationAdapter, missingAdaptersText(joined(adapterList_, ",")));
  }
  return nullptr;
}

std::optional<std::string> ZUMMAdNetworkConfig::publisherID() const {
  return credentials_ ? ZUMJSONStringForKey(*credentials_, "pubid") : std::nullopt;
}

bool ZUMMAdNetworkConfig::resolveAdNetworkClassForCustomEventWithError(platform::ErrorPtr* error) {
  if (adapterClass_ != kZUMMAdapterCustomEventsClassName) return false;
  auto className = credentials_ ? ZUMJSONStringForKey(*credentials_, "class_name") : std::nullopt;
  if (!className || className->empty()) {
    setError(error,
             ZUMMakeErrorWithDescription(kZUMErrorNoMediationAdapter, "Custom event adapter class name is empty."));
    return false;
  }
  adapterClass_.reset();
  if (!ZUMMAdNetworkAdapterImpl::classExists(*className)) {
    setError(error, ZUMMakeErrorWithDescription(kZUMErrorNoMediationAdapter, missingAdaptersText(*className)));
    return false;
  }
  if (!ZUMMAdNetworkAdapterImpl::classIsAdapterClass(*className)) {
    setError(error, ZUMMakeErrorWithDescription(kZUMErrorNoMediationAdapter,
                                                "Class " + *className + " does not conforms to mediation protocols."));
    return false;
  }
  adapterClass_ = std::move(className);
  return true;
}

std::string ZUMMAdNetworkConfig::description() const {
  std::string data = "(null)";
  if (auto pubid = publisherID()) {
    data = *pubid;
  } else if (credentials_) {
    data = credentials_->dump(-1, ' ', false, Json::error_handler_t::replace);
  }
  return "networkID:" + networkID_ + " adapter:" + adapterClass_.value_or("(null)") + " data:" + data;
}

bool ZUMResolveAdapterClass(ZUMMAdNetworkConfig& networkConfig) {
  platform::ErrorPtr error;
  (void)networkConfig.resolveAdNetworkClassForCustomEventWithError(&error);
  if (error) {
    ZUMLogger::sharedInstance()->logPublicMessage(error->localizedDescription());
    return false;
  }
  return networkConfig.adapterClass().has_value();
}
