#include "sdk/foundation/ZUMColor.h"

#include <gtest/gtest.h>

namespace {

TEST(ZUMColorTest, ReadsTheFirstHexadecimalNumberOrGivesNoColour) {
  const std::pair<const char*, int> table[] = {{"#FF8800", 0xFF8800},
                                               {"  # #336699 trailing", 0x336699},
                                               {"0x0a0B0c", 0x0a0b0c},
                                               {"fff", 0x000fff},
                                               // Only the low 24 bits count; a run too long for 32 bits saturates.
                                               {"7F102030", 0x102030},
                                               {"123456789abcdef0123", 0xffffff},
                                               {"0xZZ", 0}};
  for (const auto& [text, rgb] : table) {
    auto color = ZUMColorFromHexString(text);
    ASSERT_TRUE(color) << text;
    EXPECT_EQ(color->space(), platform::Color::Space::RGB);
    EXPECT_DOUBLE_EQ(color->redComponent(), (rgb >> 16) / 255.0) << text;
    EXPECT_DOUBLE_EQ(color->greenComponent(), ((rgb >> 8) & 0xff) / 255.0) << text;
    EXPECT_DOUBLE_EQ(color->blueComponent(), (rgb & 0xff) / 255.0) << text;
    EXPECT_DOUBLE_EQ(color->alpha(), 1.0);
  }
  for (const char* none : {"", "  ##  ", "red", "-1"}) EXPECT_FALSE(ZUMColorFromHexString(none)) << none;
}

}  // namespace
