// An immutable picture: RGBA pixels and a scale (pixels per point), so its size in
// points is its pixel size divided by the scale. Decodes PNG and JPEG. Any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Geometry.h"

namespace platform {

class Image {
 public:
  // A scale that is not positive and finite reads as 1. An empty bitmap gives nullptr.
  static std::shared_ptr<Image> create(Bitmap bitmap, double scale = 1.0);
  // A fully transparent image of `size` points at `scale` (as drawn in a fresh
  // non-opaque image context); nullptr when the size gives no pixels.
  static std::shared_ptr<Image> createBlank(Size size, double scale = 1.0);
  // Decodes PNG or JPEG bytes at `scale`; nullptr for anything that does not decode
  // (or decodes larger than Bitmap::kMaxSide on a side).
  static std::shared_ptr<Image> decode(std::span<const std::uint8_t> bytes, double scale = 1.0);
  static std::shared_ptr<Image> decode(std::string_view bytes, double scale = 1.0);

  Size size() const;
  double scale() const { return scale_; }
  const Bitmap& bitmap() const { return bitmap_; }

 private:
  Image(Bitmap bitmap, double scale) : bitmap_(std::move(bitmap)), scale_(scale) {}

  Bitmap bitmap_;
  double scale_;
};

}  // namespace platform
