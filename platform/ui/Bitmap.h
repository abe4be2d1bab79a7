// A grid of RGBA pixels, 8 bits per component, not premultiplied, rows top to bottom:
// what a view snapshot and a decoded image hold. A plain value; any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"

namespace platform {

class Bitmap {
 public:
  struct Pixel {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Pixel&, const Pixel&) = default;
  };

  // Sides above this many pixels are refused.
  static constexpr int kMaxSide = 8192;

  // Empty.
  Bitmap() = default;
  // Transparent; a side that is negative or above kMaxSide gives an empty bitmap.
  Bitmap(int width, int height);
  // Takes `rgba` (4 bytes per pixel); a size that does not match gives an empty bitmap.
  Bitmap(int width, int height, std::vector<std::uint8_t> rgba);

  int width() const { return width_; }
  int height() const { return height_; }
  bool isEmpty() const { return width_ == 0 || height_ == 0; }
  const std::vector<std::uint8_t>& data() const { return data_; }

  // A pixel outside the bitmap reads as transparent and is not written.
  Pixel pixel(int x, int y) const;
  void setPixel(int x, int y, Pixel pixel);
  // The pixel as an RGB colour.
  Color colorAt(int x, int y) const;

  // Composites `color` (source over) on the pixels whose centres lie in `rect`
  // (pixel coordinates), with its alpha multiplied by `opacity`.
  void fillRect(const Rect& rect, const Color& color, double opacity = 1.0);
  // Composites `source` scaled into `rect` (nearest pixel), within `clip`.
  void drawBitmap(const Bitmap& source, const Rect& rect, const Rect& clip, double opacity = 1.0);

  friend bool operator==(const Bitmap&, const Bitmap&) = default;

 private:
  void blend(int x, int y, double r, double g, double b, double a);

  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> data_;
};

}  // namespace platform
