// One image asset of a native ad: a URL with a scale, and the decoded image once it has
// been downloaded (or was given). Native ads make their image lists from the ad
// dictionary's image arrays; adapters of other networks make images from a picture or a
// URL they already have.
//
// Main thread. Loads complete on the main thread, exactly once each; a failed load
// leaves `image` unset, and the image may be loaded again.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"
#include "platform/base/URL.h"

namespace platform {
class Image;
class URLConnection;
}  // namespace platform
class ZUMNativeAdImageAdLoaderOptions;
class ZUMNativeAdImageLoadQueue;

class ZUMNativeAdImage : public std::enable_shared_from_this<ZUMNativeAdImage> {
 public:
  // From a server's image dictionary: "url" (a string forming a URL; required), "require"
  // (boolean, YES when absent), "scale" (number, 1.0 when absent). nullptr without a URL.
  static std::shared_ptr<ZUMNativeAdImage> createWithDictionary(const nlohmann::ordered_json& dictionary);
  // An image already at hand: optional, at the picture's own scale; nullptr without one.
  static std::shared_ptr<ZUMNativeAdImage> createWithImage(std::shared_ptr<platform::Image> image);
  // An optional image to download from `url`.
  static std::shared_ptr<ZUMNativeAdImage> createWithURL(platform::URL url, double scale);

  // Every image the dictionaries of `configurations` give, in order, when `options` ask
  // for several images; otherwise the first dictionary's only. std::nullopt when that
  // gives none (or `configurations` is no array).
  static std::optional<std::vector<std::shared_ptr<ZUMNativeAdImage>>> nativeAdImagesFromImageConfigurationArray(
      const nlohmann::ordered_json& configurations, const ZUMNativeAdImageAdLoaderOptions* options);

  using CompletionHandler = std::function<void(platform::ErrorPtr error)>;
  // Downloads and decodes the image unless it is already there; `completion` runs once, on
  // the main queue, with nil, the connection's error, or an error of code 11.
  void loadImageWithCompletionHandler(CompletionHandler completion);

  const std::shared_ptr<platform::Image>& image() const { return image_; }
  void setImage(std::shared_ptr<platform::Image> image) { image_ = std::move(image); }
  const std::optional<platform::URL>& imageURL() const { return imageURL_; }
  void setImageURL(std::optional<platform::URL> url) { imageURL_ = std::move(url); }
  double scale() const { return scale_; }
  void setScale(double scale) { scale_ = scale; }
  // Whether the ad fails when this image fails.
  bool required() const { return required_; }
  void setRequired(bool required) { required_ = required; }

  // "<ZUMNativeAdImage: 0x... scale: 1.000000 URL: https://...>"
  std::string description() const;

  ZUMNativeAdImage(std::optional<platform::URL> url, double scale, bool required);

 private:
  friend class ZUMNativeAdImageLoadQueue;
  // loadImageWithCompletionHandler(), returning the download's connection (nullptr when
  // none was needed), so that an ad that gave up on the image can stop it.
  std::shared_ptr<platform::URLConnection> startLoading(CompletionHandler completion);

  bool required_;
  std::shared_ptr<platform::Image> image_;
  std::optional<platform::URL> imageURL_;
  double scale_;
};
