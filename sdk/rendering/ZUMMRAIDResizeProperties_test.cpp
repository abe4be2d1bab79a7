#include "sdk/rendering/ZUMMRAIDResizeProperties.h"

#include <gtest/gtest.h>

namespace {

TEST(ZUMMRAIDResizePropertiesTest, CloseAreaAndMaskPerPosition) {
  struct Row { std::int64_t position; double x, y; std::uint32_t mask; };
  // Content frame (10, 20, 300, 250).
  for (const Row& row : {Row{0, 260, 20, 33}, Row{1, 135, 20, 37}, Row{2, 10, 20, 36}, Row{3, 135, 120, 45},
                         Row{4, 260, 220, 9}, Row{5, 135, 220, 13}, Row{6, 10, 220, 12}, Row{7, 10, 20, 0},
                         Row{-1, 10, 20, 0}}) {
    SCOPED_TRACE(row.position);
    EXPECT_EQ(ZUMMRAIDResizeProperties::closeButtonRectForPosition(row.position, {10, 20, 300, 250}),
              (platform::Rect{row.x, row.y, 50, 50}));
    EXPECT_EQ(ZUMMRAIDResizeProperties::autoresizingMaskForClosePosition(row.position), row.mask);
  }
}

}  // namespace
