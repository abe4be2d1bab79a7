// One ad network entry of a mediation response: the network's id, credentials and ping
// templates, the native express inputs, and the adapter class chosen for it when the
// response was parsed. Read-only once made, except that the custom-event swap may
// replace the adapter class.
//
// Values taken from the JSON are copies: changing the decoded response afterwards
// changes nothing here. Made on any thread; read and swapped on the main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"

// The built-in adapter that runs the host's custom events; its entries swap it for the
// named custom-event class (resolveAdNetworkClassForCustomEventWithError).
inline constexpr const char* kZUMMAdapterCustomEventsClassName = "ZUMMAdapterCustomEvents";

class ZUMMAdNetworkConfig {
 public:
  using Json = nlohmann::ordered_json;
  using Templates = std::optional<std::vector<std::string>>;

  // The entry, or nullptr with *error (code 7) when "id" is missing or neither a string
  // nor a number. An entry may come back together with a code-8 error: its adapters are
  // missing or of an older contract; adapterClass() is then unset when none was chosen.
  [[nodiscard]] static std::shared_ptr<ZUMMAdNetworkConfig> create(const Json& dictionary, platform::ErrorPtr* error);

  const std::string& networkID() const { return networkID_; }
  // Dictionaries of the entry; nullptr when absent or of another kind.
  const Json* credentials() const { return credentials_.get(); }
  const Json* extras() const { return extras_.get(); }
  const Json* ad() const { return ad_.get(); }
  // The string items of "adapters", in order.
  const std::vector<std::string>& adapterList() const { return adapterList_; }
  // The name of the chosen adapter class; std::nullopt when none was usable.
  const std::optional<std::string>& adapterClass() const { return adapterClass_; }
  const std::optional<std::string>& allocationID() const { return allocationID_; }
  // Ping templates (string items only); std::nullopt when the key is absent.
  const Templates& impressionURLs() const { return impressionURLs_; }
  const Templates& clickURLs() const { return clickURLs_; }
  const Templates& fillURLs() const { return fillURLs_; }
  const Templates& videoStartURLs() const { return videoStartURLs_; }
  // From "video_complete_urls": the reward pings.
  const Templates& rewardedUserURLs() const { return rewardedUserURLs_; }
  const Json* nativeExpressAdLoaderOptions() const { return nativeExpressAdLoaderOptions_.get(); }
  const std::optional<std::string>& nativeExpressHTMLTemplate() const { return nativeExpressHTMLTemplate_; }
  const std::optional<std::string>& nativeExpressAdBaseURL() const { return nativeExpressAdBaseURL_; }
  const Json* nativeExpressTemplateIDs() const { return nativeExpressTemplateIDs_.get(); }
  const Json* nativeExpressAssets() const { return nativeExpressAssets_.get(); }
  const std::optional<std::string>& responseType() const { return responseType_; }
  // The string items of "slot_sizes" ("320x50"); std::nullopt when absent.
  const Templates& slotSizes() const { return slotSizes_; }
  // The credential "pubid" when it is a string.
  std::optional<std::string> publisherID() const;

  // For an entry whose adapter is ZUMMAdapterCustomEvents: the adapter class becomes
  // the class named by the credential "class_name". True when that class is an adapter;
  // false with *error (code 8) when the name is missing, names no class, or names a
  // class that is no adapter (the adapter class is then unset, except for a missing
  // name). Any other entry: false, nothing changed, no error.
  [[nodiscard]] bool resolveAdNetworkClassForCustomEventWithError(platform::ErrorPtr* error);

  // "networkID:<id> adapter:<class> data:<pubid or credentials>".
  std::string description() const;

 private:
  ZUMMAdNetworkConfig() = default;
  void readFields(const Json& dictionary);
  // Walks the adapter list; a code-8 error when adapters are missing or old.
  platform::ErrorPtr chooseAdapterClass();

  std::string networkID_;
  std::shared_ptr<const Json> credentials_, extras_, ad_;
  std::vector<std::string> adapterList_;
  std::optional<std::string> adapterClass_;
  std::optional<std::string> allocationID_;
  Templates impressionURLs_, clickURLs_, fillURLs_, videoStartURLs_, rewardedUserURLs_;
  std::shared_ptr<const Json> nativeExpressAdLoaderOptions_;
  std::optional<std::string> nativeExpressHTMLTemplate_, nativeExpressAdBaseURL_;
  std::shared_ptr<const Json> nativeExpressTemplateIDs_, nativeExpressAssets_;
  std::optional<std::string> responseType_;
  Templates slotSizes_;
};

// Swaps a custom-event entry's adapter class (logging a failure for the app's
// developer); true when the entry then has an adapter class.
[[nodiscard]] bool ZUMResolveAdapterClass(ZUMMAdNetworkConfig& networkConfig);
