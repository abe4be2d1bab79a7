#include "platform/ui/Geometry.h"

#include <numbers>

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(GeometryTest, RectOperationsStandardizeAndTreatNoOverlapAsNull) {
  const Rect negative{10, 10, -4, -6};
  EXPECT_EQ(negative.standardized(), Rect(6, 4, 4, 6));

  const Rect a{0, 0, 10, 10}, b{5, 5, 10, 10}, far{20, 20, 1, 1};
  EXPECT_EQ(a.intersection(b), Rect(5, 5, 5, 5));
  EXPECT_TRUE(a.intersection(far).isNull());
  // Touching edges overlap in a line: not null, but empty.
  const Rect touching = a.intersection(Rect(10, 0, 5, 5));
  EXPECT_FALSE(touching.isNull());
  EXPECT_TRUE(touching.isEmpty());

  EXPECT_EQ(a.unionWith(far), Rect(0, 0, 21, 21));
  EXPECT_EQ(Rect::null().unionWith(b), b);
  EXPECT_FALSE(a.contains(Point{10, 5}));

  EXPECT_EQ(a.insetBy(2, 3), Rect(2, 3, 6, 4));
  EXPECT_TRUE(a.insetBy(6, 0).isNull());
  EXPECT_EQ(a.inset(EdgeInsets{1, 2, 3, 4}), Rect(2, 1, 4, 6));
  EXPECT_EQ(Rect(0.5, 1.2, 2.1, 3.9).integral(), Rect(0, 1, 3, 5));
}

TEST(GeometryTest, TransformsComposeInvertAndMapRects) {
  const auto t = AffineTransform::makeTranslation(10, 20).scaled(2, 3);
  // Scale first, then translate.
  EXPECT_EQ(t.apply(Point{1, 1}), (Point{12, 23}));
  const auto back = t.inverted().apply(Point{12, 23});
  EXPECT_NEAR(back.x, 1, 1e-12);
  EXPECT_NEAR(back.y, 1, 1e-12);
  const auto quarter = AffineTransform::makeRotation(std::numbers::pi / 2);
  const Rect r = quarter.apply(Rect(0, 0, 4, 2));
  EXPECT_NEAR(r.minX(), -2, 1e-12);
  EXPECT_NEAR(r.width(), 2, 1e-12);
  EXPECT_NEAR(r.height(), 4, 1e-12);
  EXPECT_TRUE(quarter.apply(Rect::null()).isNull());

  // A singular transform is returned unchanged rather than dividing by zero.
  const auto flat = AffineTransform::makeScale(0, 1);
  EXPECT_EQ(flat.inverted(), flat);
}

}  // namespace
}  // namespace platform
