#include "platform/ui/Label.h"

#include <limits>

#include <gtest/gtest.h>

#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using LabelTest = testenv::PlatformTest;

TEST_F(LabelTest, KeepsTextFontAndColourAndSizesFromTheFontMetric) {
  auto label = Label::create();
  label->setText("");
  ASSERT_TRUE(label->text().has_value());  // empty is not absent
  label->setText("Sponsored");
  label->setFont(Font::systemFont(14));
  // Nine characters at 7 points, one line of 1.2 x 14.
  EXPECT_DOUBLE_EQ(label->intrinsicContentSize().width, 63);
  EXPECT_DOUBLE_EQ(label->intrinsicContentSize().height, 16.8);
  // Characters, not bytes.
  label->setText("\xC3\xA9t\xC3\xA9");  // "été"
  EXPECT_DOUBLE_EQ(label->intrinsicContentSize().width, 21);
}

TEST_F(LabelTest, WrapsWhenMoreLinesAreAllowed) {
  auto label = Label::create();
  label->setFont(Font::systemFont(10));                     // 5 points a character, lines of 12
  label->setText("aaaaaaaaaa\nbb");                         // 50 and 10 points wide
  EXPECT_EQ(label->sizeThatFits({30, 0}), (Size{65, 12}));  // one line: everything
  label->setNumberOfLines(0);
  // The first paragraph wraps into two lines of at most 30 points.
  EXPECT_EQ(label->sizeThatFits({30, 0}), (Size{30, 36}));
  label->setNumberOfLines(2);
  EXPECT_EQ(label->sizeThatFits({30, 0}), (Size{30, 24}));
  EXPECT_EQ(label->sizeThatFits({std::numeric_limits<double>::quiet_NaN(), 0}), (Size{50, 24}));
}

TEST_F(LabelTest, ColoursCompareBySpaceAndComponents) {
  EXPECT_EQ(Color::white().components(), (std::vector<double>{1, 1}));
  EXPECT_NE(Color::white(), Color::rgb(1, 1, 1));
  EXPECT_EQ(Color::rgb(2, -1, 0.5, std::numeric_limits<double>::quiet_NaN()).components(),
            (std::vector<double>{1, 0, 0.5, 0}));
  EXPECT_EQ(Font("Custom", -3).pointSize(), 0);
}

}  // namespace
}  // namespace platform
