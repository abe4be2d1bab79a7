#include "platform/ui/Bitmap.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

std::uint8_t toByte(double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

// The pixel indices whose centres lie in [lo, hi), clamped to [0, limit).
bool span(double lo, double hi, int limit, int& first, int& end) {
  if (std::isnan(lo) || std::isnan(hi)) return false;
  const double a = std::clamp(std::ceil(lo - 0.5), 0.0, static_cast<double>(limit));
  const double b = std::clamp(std::ceil(hi - 0.5), 0.0, static_cast<double>(limit));
  first = static_cast<int>(a);
  end = static_cast<int>(b);
  return first < end;
}

}  // namespace

Bitmap::Bitmap(int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return;
  width_ = width;
  height_ = height;
  data_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
}

Bitmap::Bitmap(int width, int height, std::vector<std::uint8_t> rgba) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return;
  if (rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) return;
  width_ = width;
  height_ = height;
  data_ = std::move(rgba);
}

Bitmap::Pixel Bitmap::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
  const std::size_t i =
      (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) * 4;
  return {data_[i], data_[i + 1], data_[i + 2], data_[i + 3]};
}

void Bitmap::setPixel(int x, int y, Pixel p) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const std::size_t i =
      (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) * 4;
  data_[i] = p.r;
  data_[i + 1] = p.g;
  data_[i + 2] = p.b;
  data_[i + 3] = p.a;
}

Color Bitmap::colorAt(int x, int y) const {
  const Pixel p = pixel(x, y);
  return Color::rgb(p.r / 255.0, p.g / 255.0, p.b / 255.0, p.a / 255.0);
}

void Bitmap::blend(int x, int y, double r, double g, double b, double a) {
  if (a <= 0) return;
  const Pixel d = pixel(x, y);
  const double da = d.a / 255.0;
  const double outA = a + da * (1 - a);
  if (outA <= 0) return;
  auto mix = [&](double s, std::uint8_t dc) { return (s * a + dc / 255.0 * da * (1 - a)) / outA; };
  setPixel(x, y, {toByte(mix(r, d.r)), toByte(mix(g, d.g)), toByte(mix(b, d.b)), toByte(outA)});
}

void Bitmap::fillRect(const Rect& rect, const Color& color, double opacity) {
  if (rect.isNull() || isEmpty() || !std::isfinite(opacity)) return;
  int x0, x1, y0, y1;
  if (!span(rect.minX(), rect.maxX(), width_, x0, x1) || !span(rect.minY(), rect.maxY(), height_, y0, y1)) return;
  const double a = color.alpha() * std::clamp(opacity, 0.0, 1.0);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) blend(x, y, color.redComponent(), color.greenComponent(), color.blueComponent(), a);
  }
}

void Bitmap::drawBitmap(const Bitmap& source, const Rect& rect, const Rect& clip, double opacity) {
  if (source.isEmpty() || isEmpty() || rect.isNull() || rect.isEmpty() || !std::isfinite(opacity)) return;
  const Rect area = rect.intersection(clip);
  if (area.isNull()) return;
  int x0, x1, y0, y1;
  if (!span(area.minX(), area.maxX(), width_, x0, x1) || !span(area.minY(), area.maxY(), height_, y0, y1)) return;
  const double o = std::clamp(opacity, 0.0, 1.0);
  const double sx = source.width_ / rect.width();
  const double sy = source.height_ / rect.height();
  for (int y = y0; y < y1; ++y) {
    const double v = std::floor((y + 0.5 - rect.minY()) * sy);
    const int srcY = static_cast<int>(std::clamp(v, 0.0, source.height_ - 1.0));
    for (int x = x0; x < x1; ++x) {
      const double u = std::floor((x + 0.5 - rect.minX()) * sx);
      const int srcX = static_cast<int>(std::clamp(u, 0.0, source.width_ - 1.0));
      const Pixel p = source.pixel(srcX, srcY);
      blend(x, y, p.r / 255.0, p.g / 255.0, p.b / 255.0, p.a / 255.0 * o);
    }
  }
}

}  // namespace platform
