#include "sdk/presentation/ZUMImages.h"

#include <cmath>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace {

constexpr int kCloseSidePixels = 50;
constexpr double kCloseScale = 2.0;

std::shared_ptr<platform::Image> drawCloseButton() {
  platform::Bitmap bitmap(kCloseSidePixels, kCloseSidePixels);
  const double c = (kCloseSidePixels - 1) / 2.0;
  const double radius = kCloseSidePixels / 2.0 - 1;
  for (int y = 0; y < kCloseSidePixels; ++y) {
    for (int x = 0; x < kCloseSidePixels; ++x) {
      const double dx = x - c, dy = y - c;
      if (std::hypot(dx, dy) > radius) continue;
      // The cross: within 2.5 pixels of either diagonal, inside the inner square.
      const bool onCross = (std::fabs(dx - dy) < 3.5 || std::fabs(dx + dy) < 3.5) && std::fabs(dx) < radius * 0.45 &&
                           std::fabs(dy) < radius * 0.45;
      bitmap.setPixel(x, y,
                      onCross ? platform::Bitmap::Pixel{255, 255, 255, 255} : platform::Bitmap::Pixel{0, 0, 0, 153});
    }
  }
  return platform::Image::create(std::move(bitmap), kCloseScale);
}

}  // namespace

std::shared_ptr<platform::Image> ZUMCloseButtonImage() {
  static const auto image = drawCloseButton();
  return image;
}

std::shared_ptr<platform::Image> ZUMBlankImage() {
  static const auto image = platform::Image::createBlank({10, 10}, 1.0);
  return image;
}

std::shared_ptr<platform::Image> ZUMScaledImage(const std::shared_ptr<platform::Image>& image, double factor) {
  if (!image || !std::isfinite(factor) || factor <= 0) return nullptr;
  const double scale = platform::Screen::main().scale();
  const double width = std::round(image->size().width * factor * scale);
  const double height = std::round(image->size().height * factor * scale);
  if (width < 1 || height < 1 || width > platform::Bitmap::kMaxSide || height > platform::Bitmap::kMaxSide)
    return nullptr;
  platform::Bitmap bitmap(static_cast<int>(width), static_cast<int>(height));
  const platform::Rect all{0, 0, width, height};
  bitmap.drawBitmap(image->bitmap(), all, all);
  return platform::Image::create(std::move(bitmap), scale);
}
