// Asks an ad loader for several ads at once: {"max_num_ads": numberOfAds}, at most
// kMaximumNumberOfAds (a larger number asks for that many).
#pragma once

#include <cstdint>

#include "ZUMAdLoaderOptions.h"

class ZUMMultipleAdsAdLoaderOptions : public ZUMAdLoaderOptions {
 public:
  static constexpr const char* kClassName = "ZUMMultipleAdsAdLoaderOptions";
  // The most ads one load may ask for; a response naming more gives only these.
  static constexpr std::int64_t kMaximumNumberOfAds = 100;
  static std::shared_ptr<ZUMMultipleAdsAdLoaderOptions> create() {
    return std::make_shared<ZUMMultipleAdsAdLoaderOptions>();
  }
  std::int64_t numberOfAds() const { return numberOfAds_; }
  void setNumberOfAds(std::int64_t number) { numberOfAds_ = number; }

  std::shared_ptr<ZUMAdLoaderOptions> copy() const override {
    return std::make_shared<ZUMMultipleAdsAdLoaderOptions>(*this);
  }
  std::optional<nlohmann::ordered_json> requestParameters() const override;
  std::string className() const override { return kClassName; }

 private:
  std::int64_t numberOfAds_ = 1;
};
