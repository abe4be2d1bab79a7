#include "platform/ui/Image.h"

#include <climits>
#include <cmath>
#include <cstring>

#define STBI_NO_STDIO
#include <stb/stb_image.h>

namespace platform {

namespace {
double sanitizedScale(double scale) { return std::isfinite(scale) && scale > 0 ? scale : 1.0; }
}  // namespace

std::shared_ptr<Image> Image::create(Bitmap bitmap, double scale) {
  if (bitmap.isEmpty()) return nullptr;
  return std::shared_ptr<Image>(new Image(std::move(bitmap), sanitizedScale(scale)));
}

std::shared_ptr<Image> Image::createBlank(Size size, double scale) {
  scale = sanitizedScale(scale);
  const double w = std::ceil(size.width * scale), h = std::ceil(size.height * scale);
  if (!(w >= 1 && h >= 1 && w <= Bitmap::kMaxSide && h <= Bitmap::kMaxSide)) return nullptr;
  return create(Bitmap(static_cast<int>(w), static_cast<int>(h)), scale);
}

std::shared_ptr<Image> Image::decode(std::span<const std::uint8_t> bytes, double scale) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  const int length = static_cast<int>(bytes.size());
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(data, length, &w, &h, &channels)) return nullptr;
  if (w <= 0 || h <= 0 || w > Bitmap::kMaxSide || h > Bitmap::kMaxSide) return nullptr;
  stbi_uc* pixels = stbi_load_from_memory(data, length, &w, &h, &channels, 4);
  if (!pixels) return nullptr;
  std::vector<std::uint8_t> rgba;
  if (w > 0 && h > 0 && w <= Bitmap::kMaxSide && h <= Bitmap::kMaxSide) {
    rgba.assign(pixels, pixels + static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
  }
  stbi_image_free(pixels);
  return create(Bitmap(w, h, std::move(rgba)), scale);
}

std::shared_ptr<Image> Image::decode(std::string_view bytes, double scale) {
  return decode(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                scale);
}

Size Image::size() const { return {bitmap_.width() / scale_, bitmap_.height() / scale_}; }

}  // namespace platform
