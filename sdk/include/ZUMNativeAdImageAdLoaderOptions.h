// How native ads load their images: not at all, several per asset, and the orientation
// asked of the server ("native_image_orientation": "any" 1, "portrait" 2, "landscape" 3;
// "multiple_images": "1"). Its parameters are always a dictionary, possibly empty.
#pragma once

#include <cstdint>

#include "ZUMAdLoaderOptions.h"

class ZUMNativeAdImageAdLoaderOptions : public ZUMAdLoaderOptions {
 public:
  static constexpr const char* kClassName = "ZUMNativeAdImageAdLoaderOptions";
  static std::shared_ptr<ZUMNativeAdImageAdLoaderOptions> create() {
    return std::make_shared<ZUMNativeAdImageAdLoaderOptions>();
  }
  bool disableImageLoading() const { return disableImageLoading_; }
  void setDisableImageLoading(bool disable) { disableImageLoading_ = disable; }
  bool shouldRequestMultipleImages() const { return shouldRequestMultipleImages_; }
  void setShouldRequestMultipleImages(bool multiple) { shouldRequestMultipleImages_ = multiple; }
  std::int64_t preferredImageOrientation() const { return preferredImageOrientation_; }
  void setPreferredImageOrientation(std::int64_t orientation) { preferredImageOrientation_ = orientation; }

  std::shared_ptr<ZUMAdLoaderOptions> copy() const override {
    return std::make_shared<ZUMNativeAdImageAdLoaderOptions>(*this);
  }
  std::optional<nlohmann::ordered_json> requestParameters() const override;
  std::string className() const override { return kClassName; }

 private:
  bool disableImageLoading_ = false;
  bool shouldRequestMultipleImages_ = false;
  std::int64_t preferredImageOrientation_ = 0;
};
