#include "sdk/request/ZUMAdLoaderConfiguration.h"

#include <algorithm>
#include <map>

#include <nlohmann/json.hpp>

#include "platform/base/ClassRegistry.h"
#include "platform/base/DispatchQueue.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/request/ZUMLoadable.h"

using Json = nlohmann::ordered_json;

namespace {

// Class objects travel through the registry in a holder, as its factories make objects.
struct LoadableClassHolder {
  std::shared_ptr<ZUMLoadableClass> object;
};

std::optional<ZUMAdClass> registeredClass(std::string_view name) {
  auto object = ZUMLoadableClassNamed(name);
  if (!object) return std::nullopt;
  return ZUMAdClass{std::string(name), std::move(object)};
}

}  // namespace

void ZUMRegisterLoadableClass(std::string name, std::shared_ptr<ZUMLoadableClass> classObject) {
  if (name.empty() || !classObject) return;
  platform::ClassRegistry::shared().registerClass<LoadableClassHolder>(std::move(name), [classObject] {
    return std::make_shared<LoadableClassHolder>(LoadableClassHolder{classObject});
  });
}

std::shared_ptr<ZUMLoadableClass> ZUMLoadableClassNamed(std::string_view name) {
  auto holder = platform::ClassRegistry::shared().create<LoadableClassHolder>(name);
  return holder ? holder->object : nullptr;
}

std::optional<ZUMAdClass> ZUMNativeAdClassForAdLoaderAdType(std::string_view adType) {
  static const std::map<std::string, const char*, std::less<>> kTable = {
      {"1", kZUMNativeContentAdClassName},
      {"2", kZUMNativeAppInstallAdClassName},
      {"3", kZUMNativeCustomTemplateAdClassName},
      {"-1", kZUMPublisherBannerViewClassName},
  };
  auto found = kTable.find(adType);
  return found == kTable.end() ? std::nullopt : registeredClass(found->second);
}

std::optional<ZUMAdClass> ZUMNativeAdClassForResponseType(std::string_view responseType, std::int64_t templateID) {
  static const std::map<std::int64_t, const char*> kNative = {
      {2, kZUMNativeAppInstallAdClassName},
      {1, kZUMNativeContentAdClassName},
      {3, kZUMNativeCustomTemplateAdClassName},
  };
  if (responseType != "native") return std::nullopt;
  auto found = kNative.find(templateID);
  return found == kNative.end() ? std::nullopt : registeredClass(found->second);
}

std::optional<ZUMAdClass> ZUMNativeAdClassFromSingleAdConfigurationDictionary(const Json& ad) {
  auto type = ZUMJSONStringForKey(ad, "type");
  // The id's text read as a number: "2" and 2 are the same template.
  auto templateID = ZUMJSONIntegerForKey(ad, "template_id", ZUMJSONStrings::Read);
  if (!type || !templateID) return std::nullopt;
  return ZUMNativeAdClassForResponseType(*type, *templateID);
}

ZUMAdLoaderConfiguration::ZUMAdLoaderConfiguration()
    : adClassRequestParameters_(std::make_shared<Stored>(Stored{std::make_shared<const Json>(Json::object())})),
      lockQueue_(platform::DispatchQueue::serial("com.vantor.morvane.adloaderconfiguration")) {}

std::shared_ptr<ZUMAdLoaderConfiguration> ZUMAdLoaderConfiguration::create(const std::vector<std::string>& adTypes,
                                                                           const ZUMAdConfiguration::Options& options) {
  if (adTypes.empty()) return nullptr;
  std::shared_ptr<ZUMAdLoaderConfiguration> configuration(new ZUMAdLoaderConfiguration());
  for (const auto& adType : adTypes) {
    auto adClass = ZUMNativeAdClassForAdLoaderAdType(adType);
    if (!adClass) return nullptr;
    auto& classes = configuration->adTypeClasses_;
    if (std::none_of(classes.begin(), classes.end(), [&](const ZUMAdClass& c) { return c.name == adClass->name; })) {
      classes.push_back(std::move(*adClass));
    }
    auto& types = configuration->adTypes_;
    if (std::find(types.begin(), types.end(), adType) == types.end()) types.push_back(adType);
  }
  configuration->adConfiguration_ = ZUMAdConfiguration::create(options);
  return configuration;
}

Json ZUMAdLoaderConfiguration::requestParameters() const { return adConfiguration_->requestParameters(); }

Json ZUMAdLoaderConfiguration::adClassRequestParameters() const {
  std::shared_ptr<const Json> current;
  lockQueue_->sync([&] { current = adClassRequestParameters_->value; });
  return *current;
}

void ZUMAdLoaderConfiguration::setAdClassRequestParameters(const Json& parameters) {
  auto copy = std::make_shared<const Json>(parameters.is_object() ? parameters : Json::object());
  lockQueue_->async([stored = adClassRequestParameters_, copy] { stored->value = copy; });
}
