#include "sdk/request/ZUMAdConfiguration.h"

#include <algorithm>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "PXRBannerViewOptions.h"
#include "ZUMMultipleAdsAdLoaderOptions.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "ZUMVideoOptions.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMValues.h"

using Json = nlohmann::ordered_json;

// --- The options' own parameters -------------------------------------------------------------

std::optional<Json> ZUMAdLoaderOptions::requestParameters() const { return std::nullopt; }

std::string ZUMAdLoaderOptions::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<" + className() + ": " + address + ">";
}

std::optional<Json> ZUMMultipleAdsAdLoaderOptions::requestParameters() const {
  return Json{{"max_num_ads", std::min(numberOfAds_, kMaximumNumberOfAds)}};
}

std::optional<Json> ZUMNativeAdImageAdLoaderOptions::requestParameters() const {
  Json parameters = Json::object();
  static constexpr const char* kOrientations[] = {"any", "portrait", "landscape"};
  if (preferredImageOrientation_ >= 1 && preferredImageOrientation_ <= 3) {
    parameters["native_image_orientation"] = kOrientations[preferredImageOrientation_ - 1];
  }
  if (shouldRequestMultipleImages_) parameters["multiple_images"] = "1";
  return parameters;
}

std::optional<Json> PXRBannerViewOptions::requestParameters() const {
  if (!enableManualImpressions_) return std::nullopt;
  return Json{{"d_imp_hdr", "1"}};
}

std::optional<Json> ZUMVideoOptions::requestParameters() const {
  return Json{{"video", {{"startMuted", ZUMStringFromBOOL(startMuted_)}}}};
}

// --- The configuration -----------------------------------------------------------------------

std::shared_ptr<ZUMAdConfiguration> ZUMAdConfiguration::create(const Options& given) {
  auto configuration = std::make_shared<ZUMAdConfiguration>();
  Options kept;
  auto logger = ZUMLogger::sharedInstance();
  for (const auto& option : given) {
    if (!option) {
      logger->logPublicMessage("Invalid ad loader option will be ignored ((null)).");
      continue;
    }
    const auto sameClass = [&](const auto& keptOption) { return keptOption->className() == option->className(); };
    if (std::any_of(kept.begin(), kept.end(), sameClass)) {
      logger->logPublicMessage("Options already provided for " + option->className() + ". Ignoring option object (" +
                               option->description() + ").");
      continue;
    }
    kept.push_back(option->copy());
  }
  configuration->options_ = kept.empty() ? std::nullopt : std::optional<Options>(std::move(kept));
  return configuration;
}

std::shared_ptr<ZUMAdLoaderOptions> ZUMAdConfiguration::optionOfClass(std::string_view className) const {
  if (!options_) return nullptr;
  for (const auto& option : *options_) {
    if (option->className() == className) return option;
  }
  return nullptr;
}

Json ZUMAdConfiguration::requestParameters() const {
  Json parameters = Json::object();
  if (!options_) return parameters;
  for (const auto& option : *options_) {
    auto own = option->requestParameters();
    if (!own || !own->is_object()) continue;
    for (auto it = own->begin(); it != own->end(); ++it) parameters[it.key()] = it.value();
  }
  return parameters;
}
