// The attribution badge of a native ad, read from the ad dictionary's "attribution"
// object: the label's text, font and colours, the icons' timings, and the icons, which
// it downloads. ZUMNativeAdAttributionView draws it.
//
// Server values are untrusted: durations ("animation_ms", "presentation_ms") that are
// not numbers, not finite or below 0.05 s give the defaults (1 s and 4 s); a "text_size"
// that is not a positive finite number gives 12 points (sizes above 256 are cut); a
// colour whose components are not all finite numbers gives the default colour, and
// components out of range are clamped.
//
// Icons download through a load queue of the attribution's own, so that however many the
// server lists and however slowly their hosts answer, a load ends within one request
// time-out. Icon downloads hold the attribution weakly. Main thread only; the completion
// runs on the main queue, once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"

class ZUMNativeAdImage;
class ZUMNativeAdImageLoadQueue;

class ZUMNativeAdAttribution : public std::enable_shared_from_this<ZUMNativeAdAttribution> {
 public:
  static constexpr double kDefaultAnimationDuration = 1.0;
  static constexpr double kDefaultPresentationDuration = 4.0;
  static constexpr double kMinimumDuration = 0.05;
  static constexpr double kDefaultTextSize = 12.0;
  static constexpr double kMaximumTextSize = 256.0;
  static platform::Color defaultTextColor();
  static platform::Color defaultBackgroundColor();

  // From the "attribution" dictionary; a value that is no dictionary reads as an empty one.
  static std::shared_ptr<ZUMNativeAdAttribution> create(const nlohmann::ordered_json& dictionary);

  using CompletionHandler = std::function<void(platform::ErrorPtr error)>;
  // Downloads every icon. The completion gets nil once all are in (icons() then holds
  // them in the order they finished), or the first failure's error; a later load
  // starts afresh and earlier downloads no longer count.
  void loadAssetsWithCompletionHandler(CompletionHandler completion);

  // Every icon of the dictionary.
  const std::vector<std::shared_ptr<ZUMNativeAdImage>>& loadingImages() const { return loadingImages_; }
  // The downloaded icons once all are in.
  const std::vector<std::shared_ptr<ZUMNativeAdImage>>& icons() const { return icons_; }
  double iconAnimationDuration() const { return iconAnimationDuration_; }
  double iconPresentationDuration() const { return iconPresentationDuration_; }
  const std::optional<std::string>& text() const { return text_; }
  const platform::Font& font() const { return font_; }
  const platform::Color& textColor() const { return textColor_; }
  const platform::Color& backgroundColor() const { return backgroundColor_; }

 private:
  ZUMNativeAdAttribution() = default;
  void finishedLoadingNativeAdImage(std::uint64_t round, const std::shared_ptr<ZUMNativeAdImage>& image,
                                    const platform::ErrorPtr& error);
  void failedLoadingNativeAdImageWithError(const platform::ErrorPtr& error);
  void complete(platform::ErrorPtr error);

  std::vector<std::shared_ptr<ZUMNativeAdImage>> loadingImages_;
  std::shared_ptr<ZUMNativeAdImageLoadQueue> imageLoads_;  // made by the first load
  std::vector<std::shared_ptr<ZUMNativeAdImage>> availableImages_;
  CompletionHandler assetCompletionHandler_;
  std::vector<std::shared_ptr<ZUMNativeAdImage>> icons_;
  double iconPresentationDuration_ = kDefaultPresentationDuration;
  double iconAnimationDuration_ = kDefaultAnimationDuration;
  std::optional<std::string> text_;
  platform::Font font_ = platform::Font::systemFont(kDefaultTextSize);
  platform::Color textColor_ = defaultTextColor();
  platform::Color backgroundColor_ = defaultBackgroundColor();
  std::uint64_t loadRound_ = 0;
};
