// Where a native ad puts its AdChoices view. Adds nothing to requests.
#pragma once

#include <cstdint>

#include "ZUMAdLoaderOptions.h"

class ZUMNativeAdViewAdOptions : public ZUMAdLoaderOptions {
 public:
  static constexpr const char* kClassName = "ZUMNativeAdViewAdOptions";
  static std::shared_ptr<ZUMNativeAdViewAdOptions> create() { return std::make_shared<ZUMNativeAdViewAdOptions>(); }
  std::int64_t preferredAdChoicesPosition() const { return preferredAdChoicesPosition_; }
  void setPreferredAdChoicesPosition(std::int64_t position) { preferredAdChoicesPosition_ = position; }

  std::shared_ptr<ZUMAdLoaderOptions> copy() const override {
    return std::make_shared<ZUMNativeAdViewAdOptions>(*this);
  }
  std::string className() const override { return kClassName; }

 private:
  std::int64_t preferredAdChoicesPosition_ = 0;
};
