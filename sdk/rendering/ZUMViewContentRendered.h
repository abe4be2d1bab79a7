// Whether a view shows anything but its background: the check an ad-network script ad
// runs until its creative draws. Main thread (it renders the view).
#pragma once

#include <memory>
#include <optional>

#include "platform/ui/Color.h"

namespace platform {
class Image;
class View;
}  // namespace platform

// No view: false. Otherwise the view rendered at its screen's scale shows content when
// under 0.9 of its pixels are of its background colour.
bool ZUMIsViewContentRendered(const std::shared_ptr<platform::View>& view);

// How far ZUMBackgroundPixelFraction looks: the ad-network script check stops at the
// first sign of content; mediation's HTML check counts every pixel, so that content in
// the first rows weighs no more than content anywhere else.
enum class ZUMPixelScan { kStopAtContent, kWholeImage };

// The share of the image's pixels that are of `color` (none: clear). Pixel and colour
// are compared premultiplied, at 8 bits a channel, so every fully transparent pixel
// matches a clear colour whatever its colour channels hold. kStopAtContent stops with 0
// as soon as the mismatches are more than 0.1 of the pixels seen. An empty image gives
// NaN, which is never below any threshold.
double ZUMBackgroundPixelFraction(const std::shared_ptr<platform::Image>& image, std::optional<platform::Color> color,
                                  ZUMPixelScan scan = ZUMPixelScan::kStopAtContent);
