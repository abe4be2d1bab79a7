#include "platform/ui/Image.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace platform {
namespace {

void append(void* context, void* data, int size) {
  auto* out = static_cast<std::string*>(context);
  out->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

// A width x height picture, red on the left half and half-transparent blue on the right.
std::vector<std::uint8_t> pixels(int width, int height) {
  std::vector<std::uint8_t> rgba;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool left = x < width / 2;
      rgba.insert(rgba.end(),
                  {std::uint8_t(left ? 255 : 0), 0, std::uint8_t(left ? 0 : 255), std::uint8_t(left ? 255 : 128)});
    }
  }
  return rgba;
}

std::string png(int width, int height) {
  std::string out;
  const auto rgba = pixels(width, height);
  stbi_write_png_to_func(append, &out, width, height, 4, rgba.data(), width * 4);
  return out;
}

TEST(ImageTest, APngDecodesAtScaleTwoToHalfItsPixelSizeInPoints) {
  const std::string bytes = png(100, 54);
  auto image = Image::decode(bytes, 2.0);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->size(), (Size{50, 27}));
  EXPECT_EQ(image->bitmap().pixel(0, 0), (Bitmap::Pixel{255, 0, 0, 255}));
  EXPECT_EQ(image->bitmap().pixel(99, 53), (Bitmap::Pixel{0, 0, 255, 128}));

  // A scale that makes no sense reads as 1.
  EXPECT_EQ(Image::decode(bytes, -std::numeric_limits<double>::infinity())->size(), (Size{100, 54}));
}

TEST(ImageTest, AJpegDecodes) {
  std::string out;
  const auto rgba = pixels(16, 8);
  ASSERT_TRUE(stbi_write_jpg_to_func(append, &out, 16, 8, 4, rgba.data(), 90));
  auto image = Image::decode(out, 1.0);
  ASSERT_NE(image, nullptr);
  EXPECT_GT(image->bitmap().pixel(1, 1).r, 200);
}

TEST(ImageTest, UndecodableBytesGiveNoImage) {
  const std::string good = png(8, 8);
  EXPECT_EQ(Image::decode(std::string("GIF89a not a picture"), 1), nullptr);
  // Every truncation and a run of single-byte corruptions: never a crash. Without a
  // whole header there is nothing to decode (a missing trailer is forgiven, as usual).
  for (std::size_t n = 0; n < good.size(); ++n) {
    auto image = Image::decode(std::string_view(good).substr(0, n), 1);
    if (n < 33) {
      EXPECT_EQ(image, nullptr) << n;
    }
  }
  for (std::size_t i = 0; i < good.size(); ++i) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0x5A);
    (void)Image::decode(bad, 1);
  }
  // A header that claims a picture far beyond the size limit.
  std::string huge = good;
  huge[16] = 0x7F;  // width, high byte
  EXPECT_EQ(Image::decode(huge, 1), nullptr);
}

TEST(ImageTest, BlankImagesAndBitmapsOfTheRightSize) {
  auto blank = Image::createBlank({10, 10}, 1.0);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(blank->bitmap().pixel(5, 5).a, 0);
  EXPECT_EQ(Image::createBlank({1e9, 10}, 1.0), nullptr);
  EXPECT_EQ(Image::create(Bitmap(2, 2, std::vector<std::uint8_t>(15)), 1.0), nullptr);
}

}  // namespace
}  // namespace platform
