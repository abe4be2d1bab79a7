// One decoded video frame in the bi-planar 4:2:0 Y'CbCr layout the platform's video
// outputs hand over: a luma plane of width x height bytes and an interleaved Cb/Cr plane
// of ceil(width/2) x ceil(height/2) pairs, with the Y'CbCr matrix and the range of its
// stream. Immutable once made; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Pixel format codes: bi-planar 4:2:0, video range ('420v') and full range ('420f').
inline constexpr std::uint32_t kPixelFormat420YpCbCr8BiPlanarVideoRange = 0x34323076;
inline constexpr std::uint32_t kPixelFormat420YpCbCr8BiPlanarFullRange = 0x34323066;

// Values of the Y'CbCr matrix attachment.
inline constexpr const char* kYCbCrMatrixITU_R_601_4 = "ITU_R_601_4";
inline constexpr const char* kYCbCrMatrixITU_R_709_2 = "ITU_R_709_2";

class PixelBuffer {
 public:
  PixelBuffer(int width, int height, bool fullRange, std::string matrix);

  int width() const { return width_; }
  int height() const { return height_; }
  std::uint32_t pixelFormatType() const;
  bool isFullRange() const { return fullRange_; }
  // kYCbCrMatrixITU_R_601_4 or kYCbCrMatrixITU_R_709_2.
  const std::string& yCbCrMatrix() const { return matrix_; }

  int planeCount() const { return 2; }
  // Plane 0: width x height; plane 1: ceil(width/2) x ceil(height/2) Cb/Cr pairs.
  int widthOfPlane(int plane) const;
  int heightOfPlane(int plane) const;
  // Bytes per row: width for luma, 2 x chroma width for the pairs.
  int bytesPerRowOfPlane(int plane) const;
  const std::uint8_t* baseAddressOfPlane(int plane) const;
  std::uint8_t* mutableBaseAddressOfPlane(int plane);

  // A copy in the given range, scaled as video outputs convert: full-range luma 0-255 is
  // video-range 16-235, chroma 0-255 is 16-240 (about 128); values outside video range
  // clamp on the way to full range.
  PixelBuffer inRange(bool fullRange) const;

  // The pixel at (x, y) as 8-bit R, G, B through the buffer's matrix and range.
  void rgbAt(int x, int y, std::uint8_t rgb[3]) const;

 private:
  int width_, height_;
  bool fullRange_;
  std::string matrix_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace platform
