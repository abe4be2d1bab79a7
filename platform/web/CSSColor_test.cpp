#include "platform/web/CSSColor.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(CSSColorTest, ReadsTheFormsPagesUse) {
  EXPECT_EQ(CSSColor::parse("#ff0000"), Color::rgb(1, 0, 0));
  EXPECT_EQ(CSSColor::parse(" #0F0 "), Color::rgb(0, 1, 0));
  EXPECT_EQ(CSSColor::parse("#00000080"), Color::rgb(0, 0, 0, 128 / 255.0));
  EXPECT_EQ(CSSColor::parse("rgba(255, 0, 0, 0.5)"), Color::rgb(1, 0, 0, 0.5));
  EXPECT_EQ(CSSColor::parse("RGB(100%, 0%, 50%)"), Color::rgb(1, 0, 0.5));
  EXPECT_EQ(CSSColor::parse("transparent"), Color::rgb(0, 0, 0, 0));
  EXPECT_EQ(CSSColor::parse("White"), Color::rgb(1, 1, 1));
  for (const char* bad : {"", "#12", "#ggg", "rgb(1,2)", "rgb(1,2,3", "rgb(a,b,c)", "rgba(1,2,3,4,5)", "url(x) red",
                          "rgb(1e999,0,0)", "rgb(,,)"}) {
    EXPECT_FALSE(CSSColor::parse(bad)) << bad;
  }
  EXPECT_EQ(CSSColor::parse("rgb(300, -5, 0)"), Color::rgb(1, 0, 0));  // clamped
}

}  // namespace
}  // namespace platform
