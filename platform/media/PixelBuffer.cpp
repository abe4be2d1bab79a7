#include "platform/media/PixelBuffer.h"

#include <algorithm>
#include <cmath>

namespace platform {

PixelBuffer::PixelBuffer(int width, int height, bool fullRange, std::string matrix)
    : width_(std::max(0, width)), height_(std::max(0, height)), fullRange_(fullRange), matrix_(std::move(matrix)) {
  bytes_.resize(static_cast<std::size_t>(width_) * height_ +
                static_cast<std::size_t>(bytesPerRowOfPlane(1)) * heightOfPlane(1));
}

std::uint32_t PixelBuffer::pixelFormatType() const {
  return fullRange_ ? kPixelFormat420YpCbCr8BiPlanarFullRange : kPixelFormat420YpCbCr8BiPlanarVideoRange;
}

int PixelBuffer::widthOfPlane(int plane) const { return plane == 0 ? width_ : (width_ + 1) / 2; }
int PixelBuffer::heightOfPlane(int plane) const { return plane == 0 ? height_ : (height_ + 1) / 2; }
int PixelBuffer::bytesPerRowOfPlane(int plane) const { return plane == 0 ? width_ : 2 * ((width_ + 1) / 2); }

const std::uint8_t* PixelBuffer::baseAddressOfPlane(int plane) const {
  return bytes_.data() + (plane == 0 ? 0 : static_cast<std::size_t>(width_) * height_);
}

std::uint8_t* PixelBuffer::mutableBaseAddressOfPlane(int plane) {
  return bytes_.data() + (plane == 0 ? 0 : static_cast<std::size_t>(width_) * height_);
}

PixelBuffer PixelBuffer::inRange(bool fullRange) const {
  PixelBuffer converted(*this);
  if (fullRange == fullRange_) return converted;
  converted.fullRange_ = fullRange;
  // One table per plane: luma spans 219 video-range steps, chroma 224.
  std::uint8_t tables[2][256];
  for (int plane = 0; plane < 2; ++plane) {
    const double steps = plane == 0 ? 219.0 : 224.0, origin = plane == 0 ? 0.0 : 128.0;
    const double offset = plane == 0 ? 16.0 : 128.0;
    for (int value = 0; value < 256; ++value) {
      const double out =
          fullRange ? (value - offset) * 255.0 / steps + origin : (value - origin) * steps / 255.0 + offset;
      tables[plane][value] = static_cast<std::uint8_t>(std::clamp(std::lround(out), 0L, 255L));
    }
  }
  const std::size_t lumaBytes = static_cast<std::size_t>(width_) * height_;
  for (std::size_t i = 0; i < converted.bytes_.size(); ++i) {
    converted.bytes_[i] = tables[i < lumaBytes ? 0 : 1][converted.bytes_[i]];
  }
  return converted;
}

void PixelBuffer::rgbAt(int x, int y, std::uint8_t rgb[3]) const {
  x = std::clamp(x, 0, std::max(0, width_ - 1));
  y = std::clamp(y, 0, std::max(0, height_ - 1));
  if (bytes_.empty()) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    return;
  }
  const std::uint8_t* uv = baseAddressOfPlane(1) + (y / 2) * bytesPerRowOfPlane(1) + (x / 2) * 2;
  double luma = baseAddressOfPlane(0)[y * width_ + x];
  double cb = uv[0] - 128.0, cr = uv[1] - 128.0;
  if (!fullRange_) {
    luma = (luma - 16.0) * 255.0 / 219.0;
    cb *= 255.0 / 224.0;
    cr *= 255.0 / 224.0;
  }
  const bool bt601 = matrix_ == kYCbCrMatrixITU_R_601_4;
  const double kr = bt601 ? 0.299 : 0.2126, kb = bt601 ? 0.114 : 0.0722, kg = 1 - kr - kb;
  const double r = luma + 2 * (1 - kr) * cr;
  const double b = luma + 2 * (1 - kb) * cb;
  const double g = (luma - kr * r - kb * b) / kg;
  auto clamp8 = [](double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
  rgb[0] = clamp8(r);
  rgb[1] = clamp8(g);
  rgb[2] = clamp8(b);
}

}  // namespace platform
