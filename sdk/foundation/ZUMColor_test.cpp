#include "sdk/foundation/ZUMColor.h"

#include <gtest/gtest.h>

namespace {

void expectRGB(const std::optional<platform::Color>& color, int red, int green, int blue) {
  ASSERT_TRUE(color);
  EXPECT_EQ(color->space(), platform::Color::Space::RGB);
  EXPECT_DOUBLE_EQ(color->redComponent(), red / 255.0);
  EXPECT_DOUBLE_EQ(color->greenComponent(), green / 255.0);
  EXPECT_DOUBLE_EQ(color->blueComponent(), blue / 255.0);
  EXPECT_DOUBLE_EQ(color->alpha(), 1.0);
}

TEST(ZUMColorTest, ReadsTheFirstHexadecimalNumber) {
  expectRGB(ZUMColorFromHexString("#FF8800"), 255, 136, 0);
  expectRGB(ZUMColorFromHexString("  # #336699 trailing"), 0x33, 0x66, 0x99);
  expectRGB(ZUMColorFromHexString("0x0a0B0c"), 10, 11, 12);
  expectRGB(ZUMColorFromHexString("fff"), 0, 0x0f, 0xff);
  // Only the low 24 bits count; a run too long for 32 bits saturates.
  expectRGB(ZUMColorFromHexString("7F102030"), 0x10, 0x20, 0x30);
  expectRGB(ZUMColorFromHexString("123456789abcdef0123"), 255, 255, 255);
  expectRGB(ZUMColorFromHexString("0xZZ"), 0, 0, 0);
}

TEST(ZUMColorTest, NoNumberNoColour) {
  EXPECT_FALSE(ZUMColorFromHexString(""));
  EXPECT_FALSE(ZUMColorFromHexString("  ##  "));
  EXPECT_FALSE(ZUMColorFromHexString("red"));
  EXPECT_FALSE(ZUMColorFromHexString("-1"));
}

}  // namespace
