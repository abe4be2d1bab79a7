// Ad sizes: a point size and flags that say how the size resolves against the screen
// (custom, full screen width, smart-banner height, fluid). Standard sizes carry no
// flags; any other explicit size carries the custom flag.
//
// Plain values. The functions that resolve a size against the screen or the key window
// (ZUMCGSizeFromAdSize, ZUMIsAdSizeValid, ZUMValidateAdSize) read the view system and
// belong on the main thread; the others are pure and usable on any thread.
#pragma once

#include <any>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Error.h"
#include "platform/ui/Geometry.h"

struct ZUMAdSize {
  platform::Size size;
  uint64_t flags = 0;
};

inline constexpr uint64_t kZUMAdSizeFlagCustom = 0x01;
inline constexpr uint64_t kZUMAdSizeFlagFullWidth = 0x02;
// With the full-width flag: the width is the landscape screen's, not the portrait one's.
inline constexpr uint64_t kZUMAdSizeFlagLandscape = 0x08;
inline constexpr uint64_t kZUMAdSizeFlagSmartBannerHeight = 0x10;
inline constexpr uint64_t kZUMAdSizeFlagFluid = 0x20;

// The standard sizes.
inline constexpr ZUMAdSize kZUMAdSizeBanner{{320, 50}, 0};
inline constexpr ZUMAdSize kZUMAdSizeLargeBanner{{320, 100}, 0};
inline constexpr ZUMAdSize kZUMAdSizeMediumRectangle{{300, 250}, 0};
inline constexpr ZUMAdSize kZUMAdSizeFullBanner{{468, 60}, 0};
inline constexpr ZUMAdSize kZUMAdSizeLeaderboard{{728, 90}, 0};
inline constexpr ZUMAdSize kZUMAdSizeSkyscraper{{120, 600}, 0};
// Sizes that resolve against the screen.
inline constexpr ZUMAdSize kZUMAdSizeFluid{{0, 0}, kZUMAdSizeFlagFluid};
inline constexpr ZUMAdSize kZUMAdSizeSmartBannerPortrait{{0, 0}, 0x12};
inline constexpr ZUMAdSize kZUMAdSizeSmartBannerLandscape{{0, 0}, 0x1A};
// No size at all.
inline constexpr ZUMAdSize kZUMAdSizeInvalid{{-1, -1}, 0};

// The standard size of those dimensions, else that size with the custom flag.
ZUMAdSize ZUMAdSizeFromSize(platform::Size size);
// A fluid size: the width follows the key window, the height is the given one.
ZUMAdSize ZUMFluidAdSizeWithSize(double width, double height);

// Same flags, width and height.
bool ZUMAdSizeEqualToSize(const ZUMAdSize& a, const ZUMAdSize& b);
bool ZUMAdSizeIsFluid(const ZUMAdSize& size);
bool ZUMAdSizeIsFullWidth(const ZUMAdSize& size);
bool ZUMAdSizeIsSmartBanner(const ZUMAdSize& size);

// The concrete point size: standard and custom sizes as given; full-width sizes take
// the width of the portrait screen (the landscape one with kZUMAdSizeFlagLandscape);
// smart-banner heights are 90 on a tablet (the screen's shorter side at least 768
// points), else 32 in landscape and 50 in portrait; fluid sizes take the key window's
// width (the screen's when there is no key window) and keep their height.
platform::Size ZUMCGSizeFromAdSize(const ZUMAdSize& size);

// NO for the invalid size and for sizes with a dimension that is negative, not finite
// or above 100000 points; YES for a fluid size; else whether the concrete size fits the
// portrait screen either way round.
bool ZUMIsAdSizeValid(const ZUMAdSize& size);
// As ZUMIsAdSizeValid, but judging the absolute values of width and height (-320x-50
// passes as 320x50), with the reason of a refusal: code 12 with "Invalid ad size."
// for the invalid size and for sizes that are not numbers that make sense, and "Not
// enough space to show ad with custom size, <size>. Please use a size that fits the
// current screen bounds of <screen size>." for a size that does not fit.
[[nodiscard]] bool ZUMValidateAdSize(const ZUMAdSize& size, platform::ErrorPtr* error);

// Text for logs and descriptions: "320x50" for standard and custom sizes (whole
// numbers as such, others with their fraction), "fluid" or "fluid 320x50", "smart
// banner portrait", "smart banner landscape", "full width x 50"; any other flag
// combination as "{320, 50} flags 0x6".
std::string ZUMAdSizeDescription(const ZUMAdSize& size);

// A plain point size from text such as "320x50": every "x" becomes ",", the text is
// read as "{width,height}"; text that does not read, or reads a number that is not
// finite, gives 0 x 0.
platform::Size ZUMAdSizeFromString(std::optional<std::string_view> text);

// Boxing for lists that may hold other values: unboxing anything but a boxed ad size
// gives kZUMAdSizeInvalid.
std::any ZUMValueFromAdSize(const ZUMAdSize& size);
ZUMAdSize ZUMAdSizeFromValue(const std::any& value);
