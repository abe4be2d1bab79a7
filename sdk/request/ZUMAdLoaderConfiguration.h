// What an ad loader is asked for: the ad-type strings the app passed, the ad classes
// they map to, the loader's options (ZUMAdConfiguration) and the request parameters
// each ad class contributed to the current load. The ad types and their classes are
// sets that keep the order the app gave them in, so the format parameters a request
// carries are always in the same order.
//
// The ad-type tables: ad-type strings ("1" content, "2" app install, "3" custom
// template, "-1" publisher banner) and response types with template ids ("native" with
// 1 to 3) map to class names; a class is found when it is registered (ZUMLoadable.h).
//
// Immutable once made, but for the ad classes' request parameters, which its own serial
// queue guards: a read that follows a write on any queue sees it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "sdk/request/ZUMAdConfiguration.h"

namespace platform {
class DispatchQueue;
}

class ZUMLoadableClass;

// The class names the tables map to.
inline constexpr const char* kZUMNativeContentAdClassName = "ZUMNativeContentAd";
inline constexpr const char* kZUMNativeAppInstallAdClassName = "ZUMNativeAppInstallAd";
inline constexpr const char* kZUMNativeCustomTemplateAdClassName = "ZUMNativeCustomTemplateAd";
inline constexpr const char* kZUMPublisherBannerViewClassName = "PXRBannerView";

// A class of the tables: its name and its registered class object.
struct ZUMAdClass {
  std::string name;
  std::shared_ptr<ZUMLoadableClass> object;
};

// The class of an ad-loader ad type; std::nullopt for an unknown type or a class that is
// not registered.
std::optional<ZUMAdClass> ZUMNativeAdClassForAdLoaderAdType(std::string_view adType);
// The class of a response type and template id; std::nullopt likewise.
std::optional<ZUMAdClass> ZUMNativeAdClassForResponseType(std::string_view responseType, std::int64_t templateID);
// The class of one entry of a response's "ads": its "type" string and its "template_id"
// as a number or as decimal text.
std::optional<ZUMAdClass> ZUMNativeAdClassFromSingleAdConfigurationDictionary(const nlohmann::ordered_json& ad);

class ZUMAdLoaderConfiguration {
 public:
  using Json = nlohmann::ordered_json;

  // nullptr when `adTypes` is empty or one of them has no class. A repeated type counts
  // once.
  static std::shared_ptr<ZUMAdLoaderConfiguration> create(const std::vector<std::string>& adTypes,
                                                          const ZUMAdConfiguration::Options& options);

  const std::vector<ZUMAdClass>& adTypeClasses() const { return adTypeClasses_; }
  const std::vector<std::string>& adTypes() const { return adTypes_; }
  const std::shared_ptr<ZUMAdConfiguration>& adConfiguration() const { return adConfiguration_; }
  // The kept options and their merged parameters (ZUMAdConfiguration).
  const std::optional<ZUMAdConfiguration::Options>& options() const { return adConfiguration_->options(); }
  Json requestParameters() const;

  // Class name to that class's parameters of the current load (an object; empty until set).
  Json adClassRequestParameters() const;
  // Keeps a copy; non-objects store an empty one.
  void setAdClassRequestParameters(const Json& parameters);

 private:
  ZUMAdLoaderConfiguration();

  // Shared with the queued writes, which may run after the configuration is gone.
  struct Stored {
    std::shared_ptr<const Json> value;
  };
  std::shared_ptr<Stored> adClassRequestParameters_;  // its value is touched on lockQueue_ only
  std::shared_ptr<platform::DispatchQueue> lockQueue_;
  std::shared_ptr<ZUMAdConfiguration> adConfiguration_;
  std::vector<ZUMAdClass> adTypeClasses_;
  std::vector<std::string> adTypes_;
};
