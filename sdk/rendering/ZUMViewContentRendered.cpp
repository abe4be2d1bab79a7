#include "sdk/rendering/ZUMViewContentRendered.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/ui/Image.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/rendering/ZUMAdView.h"

namespace {

struct Premultiplied {
  int r, g, b, a;
  bool operator==(const Premultiplied&) const = default;
};

int premultiply(int component, int alpha) { return (component * alpha + 127) / 255; }

Premultiplied premultiplied(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  return {premultiply(r, a), premultiply(g, a), premultiply(b, a), a};
}

std::uint8_t toByte(double component) {
  if (!(component > 0)) return 0;
  if (component >= 1) return 255;
  return static_cast<std::uint8_t>(std::lround(component * 255));
}

}  // namespace

double ZUMBackgroundPixelFraction(const std::shared_ptr<platform::Image>& image, std::optional<platform::Color> color,
                                  ZUMPixelScan scan) {
  const platform::Color reference = color.value_or(platform::Color::clear());
  const auto components = reference.components();
  double r, g, b, a;
  if (reference.space() == platform::Color::Space::Grey && components.size() == 2) {
    r = g = b = components[0];
    a = components[1];
  } else if (reference.space() == platform::Color::Space::RGB && components.size() == 4) {
    r = components[0];
    g = components[1];
    b = components[2];
    a = components[3];
  } else {
    return 0;
  }
  if (!image) return std::numeric_limits<double>::quiet_NaN();
  const Premultiplied wanted = premultiplied(toByte(r), toByte(g), toByte(b), toByte(a));
  const auto& bitmap = image->bitmap();
  const auto& data = bitmap.data();
  const std::size_t total = data.size() / 4;
  if (total == 0) return std::numeric_limits<double>::quiet_NaN();
  std::size_t matches = 0;
  std::size_t mismatches = 0;
  for (std::size_t i = 0; i < total; ++i) {
    const std::uint8_t* p = &data[i * 4];
    if (premultiplied(p[0], p[1], p[2], p[3]) == wanted) {
      ++matches;
    } else {
      ++mismatches;
    }
    if (scan == ZUMPixelScan::kStopAtContent && static_cast<double>(mismatches) > 0.1 * static_cast<double>(i + 1)) {
      return 0;
    }
  }
  return static_cast<double>(matches) / static_cast<double>(total);
}

bool ZUMIsViewContentRendered(const std::shared_ptr<platform::View>& view) {
  if (!view) return false;
  auto image = ZUMScreenshotOfView(view);
  // An ad view's background is its web view's.
  auto* adView = dynamic_cast<ZUMAdView*>(view.get());
  const auto background = adView ? adView->backgroundColor() : view->backgroundColor();
  return ZUMBackgroundPixelFraction(image, background) < 0.9;
}
