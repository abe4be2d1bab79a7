#include "ZUMAdSize.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/base/StringConversions.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"

namespace {

constexpr double kTabletShorterSide = 768;
constexpr double kSmartBannerTabletHeight = 90;
constexpr double kSmartBannerLandscapeHeight = 32;
constexpr double kSmartBannerPortraitHeight = 50;

constexpr ZUMAdSize kStandardSizes[] = {
    kZUMAdSizeBanner,     kZUMAdSizeLargeBanner, kZUMAdSizeMediumRectangle,
    kZUMAdSizeFullBanner, kZUMAdSizeLeaderboard, kZUMAdSizeSkyscraper,
};

// The main screen's bounds size with width not above height.
platform::Size portraitScreenSize() {
  const platform::Rect bounds = platform::Screen::main().bounds();
  const double a = bounds.width(), b = bounds.height();
  return {std::min(a, b), std::max(a, b)};
}

// Beyond any screen, and far enough from the limits that frames and pixel counts made
// from it stay exact.
constexpr double kMaximumDimension = 100000;

bool isSensible(double value) { return value >= 0 && value <= kMaximumDimension; }

std::string numberText(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
    return platform::integerString(static_cast<int64_t>(value));
  }
  return platform::doubleString(value);
}

std::string sizeText(platform::Size size) { return numberText(size.width) + "x" + numberText(size.height); }

std::string sizeStructText(platform::Size size) {
  return "{" + numberText(size.width) + ", " + numberText(size.height) + "}";
}

// One number of a size string, after optional white space.
bool readNumber(std::string_view& text, double& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || !std::isfinite(value)) return false;
  text.remove_prefix(static_cast<size_t>(end - text.data()));
  return true;
}

bool readChar(std::string_view& text, char c) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

}  // namespace

ZUMAdSize ZUMAdSizeFromSize(platform::Size size) {
  for (const ZUMAdSize& standard : kStandardSizes) {
    if (standard.size == size) return standard;
  }
  return ZUMAdSize{size, kZUMAdSizeFlagCustom};
}

ZUMAdSize ZUMFluidAdSizeWithSize(double width, double height) {
  return ZUMAdSize{{width, height}, kZUMAdSizeFlagFluid};
}

bool ZUMAdSizeEqualToSize(const ZUMAdSize& a, const ZUMAdSize& b) {
  return a.flags == b.flags && a.size.width == b.size.width && a.size.height == b.size.height;
}

bool ZUMAdSizeIsFluid(const ZUMAdSize& size) { return (size.flags & kZUMAdSizeFlagFluid) != 0; }
bool ZUMAdSizeIsFullWidth(const ZUMAdSize& size) { return (size.flags & kZUMAdSizeFlagFullWidth) != 0; }
bool ZUMAdSizeIsSmartBanner(const ZUMAdSize& size) { return (size.flags & kZUMAdSizeFlagSmartBannerHeight) != 0; }

platform::Size ZUMCGSizeFromAdSize(const ZUMAdSize& adSize) {
  platform::Size size = adSize.size;
  if (ZUMAdSizeIsFluid(adSize)) {
    const auto keyWindow = platform::Window::keyWindow();
    size.width = keyWindow ? keyWindow->bounds().width() : platform::Screen::main().bounds().width();
    return size;
  }
  const platform::Size portrait = portraitScreenSize();
  const bool landscape = (adSize.flags & kZUMAdSizeFlagLandscape) != 0;
  if (ZUMAdSizeIsFullWidth(adSize)) size.width = landscape ? portrait.height : portrait.width;
  if (ZUMAdSizeIsSmartBanner(adSize)) {
    if (portrait.width >= kTabletShorterSide) {
      size.height = kSmartBannerTabletHeight;
    } else {
      size.height = landscape ? kSmartBannerLandscapeHeight : kSmartBannerPortraitHeight;
    }
  }
  return size;
}

namespace {

enum class Verdict { Valid, Invalid, DoesNotFit };

// `absolute`: a negative width or height is judged by its absolute value.
Verdict judge(ZUMAdSize adSize, bool absolute) {
  if (ZUMAdSizeEqualToSize(adSize, kZUMAdSizeInvalid)) return Verdict::Invalid;
  if (absolute) adSize.size = {std::fabs(adSize.size.width), std::fabs(adSize.size.height)};
  if (!isSensible(adSize.size.width) || !isSensible(adSize.size.height)) return Verdict::Invalid;
  if (ZUMAdSizeIsFluid(adSize)) return Verdict::Valid;
  const platform::Size size = ZUMCGSizeFromAdSize(adSize);
  if (!isSensible(size.width) || !isSensible(size.height)) return Verdict::Invalid;
  const platform::Size screen = portraitScreenSize();
  const bool fitsUpright = size.width <= screen.width && size.height <= screen.height;
  const bool fitsTurned = size.width <= screen.height && size.height <= screen.width;
  return fitsUpright || fitsTurned ? Verdict::Valid : Verdict::DoesNotFit;
}

}  // namespace

bool ZUMIsAdSizeValid(const ZUMAdSize& size) { return judge(size, false) == Verdict::Valid; }

bool ZUMValidateAdSize(const ZUMAdSize& size, platform::ErrorPtr* error) {
  switch (judge(size, true)) {
    case Verdict::Valid:
      return true;
    case Verdict::Invalid:
      if (error) *error = ZUMMakeErrorWithDescription(kZUMErrorInvalidArgument, "Invalid ad size.");
      return false;
    case Verdict::DoesNotFit:
      if (error) {
        *error = ZUMMakeErrorWithDescription(
            kZUMErrorInvalidArgument, "Not enough space to show ad with custom size, " + ZUMAdSizeDescription(size) +
                                          ". Please use a size that fits the current screen bounds of " +
                                          sizeStructText(portraitScreenSize()) + ".");
      }
      return false;
  }
  return false;
}

std::string ZUMAdSizeDescription(const ZUMAdSize& size) {
  if (ZUMAdSizeIsFluid(size)) {
    return size.size == platform::Size{} ? "fluid" : "fluid " + sizeText(size.size);
  }
  if (size.flags == kZUMAdSizeSmartBannerPortrait.flags) return "smart banner portrait";
  if (size.flags == kZUMAdSizeSmartBannerLandscape.flags) return "smart banner landscape";
  if (size.flags == kZUMAdSizeFlagFullWidth) return "full width x " + numberText(size.size.height);
  if (size.flags == 0 || size.flags == kZUMAdSizeFlagCustom) return sizeText(size.size);
  char flags[32];
  std::snprintf(flags, sizeof flags, "0x%llx", static_cast<unsigned long long>(size.flags));
  return sizeStructText(size.size) + " flags " + flags;
}

platform::Size ZUMAdSizeFromString(std::optional<std::string_view> text) {
  if (!text) return {};
  std::string wrapped = "{" + std::string(*text) + "}";
  std::replace(wrapped.begin(), wrapped.end(), 'x', ',');
  std::string_view rest = wrapped;
  platform::Size size;
  if (!readChar(rest, '{') || !readNumber(rest, size.width) || !readChar(rest, ',') || !readNumber(rest, size.height) ||
      !readChar(rest, '}')) {
    return {};
  }
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  return rest.empty() ? size : platform::Size{};
}

std::any ZUMValueFromAdSize(const ZUMAdSize& size) { return size; }

ZUMAdSize ZUMAdSizeFromValue(const std::any& value) {
  if (const auto* size = std::any_cast<ZUMAdSize>(&value)) return *size;
  return kZUMAdSizeInvalid;
}
