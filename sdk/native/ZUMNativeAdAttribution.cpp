#include "sdk/native/ZUMNativeAdAttribution.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMNativeAdImage.h"
#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/native/ZUMNativeAdImageLoadQueue.h"

namespace {

using Json = nlohmann::ordered_json;

// Milliseconds as seconds; the default below the minimum (or when absent or not finite).
double durationForKey(const Json& dictionary, const char* key, double fallback) {
  const auto milliseconds = ZUMJSONDoubleForKey(dictionary, key);
  if (!milliseconds) return fallback;
  const double seconds = *milliseconds / 1000;
  if (seconds >= ZUMNativeAdAttribution::kMinimumDuration) return seconds;
  ZUMLog(kZUMLogLevelDebug, std::string("Attribution \"") + key + "\" below 0.05 s; the default is used.");
  return fallback;
}

double textSizeOf(const Json& dictionary) {
  const auto size = ZUMJSONDoubleForKey(dictionary, "text_size");
  if (!size) return ZUMNativeAdAttribution::kDefaultTextSize;
  if (*size <= 0) {
    ZUMLog(kZUMLogLevelDefault, "Attribution \"text_size\" not positive; the default is used.");
    return ZUMNativeAdAttribution::kDefaultTextSize;
  }
  return std::min(*size, ZUMNativeAdAttribution::kMaximumTextSize);
}

// "r", "g", "b" of 255 and "a" of 1 (1 when absent); a colour lacking a component, or
// with one that is no finite number, is no colour.
std::optional<platform::Color> colorForKey(const Json& dictionary, const char* key) {
  const Json* colour = ZUMJSONObjectForKey(dictionary, key);
  if (!colour) return std::nullopt;
  const auto r = ZUMJSONDoubleForKey(*colour, "r");
  const auto g = ZUMJSONDoubleForKey(*colour, "g");
  const auto b = ZUMJSONDoubleForKey(*colour, "b");
  const Json* alpha = ZUMJSONValueForKey(*colour, "a");
  const auto a = alpha ? ZUMJSONDouble(*alpha) : std::optional<double>(1.0);
  if (!r || !g || !b || !a) {
    ZUMLog(kZUMLogLevelDefault, std::string("Attribution \"") + key + "\" is no colour; the default is used.");
    return std::nullopt;
  }
  return platform::Color::rgb(*r / 255, *g / 255, *b / 255, *a);  // clamped to 0...1
}

std::vector<std::shared_ptr<ZUMNativeAdImage>> iconsOf(const Json& dictionary) {
  ZUMNativeAdImageAdLoaderOptions everyIcon;
  everyIcon.setShouldRequestMultipleImages(true);
  std::optional<std::vector<std::shared_ptr<ZUMNativeAdImage>>> icons;
  if (const Json* list = ZUMJSONArrayForKey(dictionary, "images")) {
    icons = ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(*list, &everyIcon);
  } else if (const Json* one = ZUMJSONObjectForKey(dictionary, "image")) {
    icons = ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(Json::array({*one}), &everyIcon);
  }
  return icons ? std::move(*icons) : std::vector<std::shared_ptr<ZUMNativeAdImage>>{};
}

}  // namespace

platform::Color ZUMNativeAdAttribution::defaultTextColor() {
  return platform::Color::rgb(12 / 255.0, 174 / 255.0, 206 / 255.0);
}
platform::Color ZUMNativeAdAttribution::defaultBackgroundColor() { return platform::Color::rgb(0.8, 0.8, 0.8); }

std::shared_ptr<ZUMNativeAdAttribution> ZUMNativeAdAttribution::create(const Json& dictionary) {
  platform::assertMainThread();
  std::shared_ptr<ZUMNativeAdAttribution> attribution(new ZUMNativeAdAttribution());
  const Json& values = ZUMJSONObject(dictionary) ? dictionary : Json::object();
  attribution->text_ = ZUMJSONStringForKey(values, "text");
  attribution->iconAnimationDuration_ = durationForKey(values, "animation_ms", kDefaultAnimationDuration);
  attribution->iconPresentationDuration_ = durationForKey(values, "presentation_ms", kDefaultPresentationDuration);
  attribution->loadingImages_ = iconsOf(values);
  attribution->font_ = platform::Font::systemFont(textSizeOf(values));
  attribution->textColor_ = colorForKey(values, "text_color").value_or(defaultTextColor());
  attribution->backgroundColor_ = colorForKey(values, "bg_color").value_or(defaultBackgroundColor());
  return attribution;
}

void ZUMNativeAdAttribution::loadAssetsWithCompletionHandler(CompletionHandler completion) {
  platform::assertMainThread();
  const std::uint64_t round = ++loadRound_;
  availableImages_.clear();
  assetCompletionHandler_ = std::move(completion);
  if (loadingImages_.empty()) {
    complete(nullptr);
    return;
  }
  if (!imageLoads_) imageLoads_ = ZUMNativeAdImageLoadQueue::create();
  auto self = weak_from_this();
  for (const auto& image : loadingImages_) {
    imageLoads_->loadImage(image,
                           ZUMBindWeak(self, &ZUMNativeAdAttribution::finishedLoadingNativeAdImage, round, image));
  }
}

void ZUMNativeAdAttribution::finishedLoadingNativeAdImage(std::uint64_t round,
                                                          const std::shared_ptr<ZUMNativeAdImage>& image,
                                                          const platform::ErrorPtr& error) {
  if (round != loadRound_) return;
  if (error) {
    failedLoadingNativeAdImageWithError(error);
    return;
  }
  availableImages_.push_back(image);
  if (availableImages_.size() != loadingImages_.size()) return;
  icons_ = availableImages_;
  complete(nullptr);
}

void ZUMNativeAdAttribution::failedLoadingNativeAdImageWithError(const platform::ErrorPtr& error) {
  if (assetCompletionHandler_) ZUMLog(kZUMLogLevelDefault, "An attribution icon failed to load.");
  complete(error);
}

void ZUMNativeAdAttribution::complete(platform::ErrorPtr error) {
  auto handler = std::exchange(assetCompletionHandler_, nullptr);
  if (!handler) return;
  platform::DispatchQueue::main()->async([handler = std::move(handler), error = std::move(error)] { handler(error); });
}
