#include "platform/ui/LayoutConstraint.h"

#include <limits>

#include <gtest/gtest.h>

#include "platform/ui/View.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using LayoutConstraintTest = testenv::PlatformTest;
using A = LayoutConstraint::Attribute;
using R = LayoutConstraint::Relation;

TEST_F(LayoutConstraintTest, RecordsValuesOnTheViewThatHoldsThem) {
  auto parent = View::create(), child = View::create();
  parent->addSubview(child);
  auto top = LayoutConstraint::create(child, A::Top, R::Equal, parent, A::Top, 1, 0);
  auto width = LayoutConstraint::create(child, A::Width, R::Equal, nullptr, A::NotAnAttribute, 1, 20);
  ASSERT_TRUE(top && width);
  parent->addConstraints({top, top, width});
  EXPECT_EQ(parent->constraints().size(), 2u);
  width->setConstant(std::numeric_limits<double>::infinity());
  EXPECT_EQ(width->constant(), 20);
  parent->removeConstraint(top);
  EXPECT_EQ(parent->constraints(), (std::vector<std::shared_ptr<LayoutConstraint>>{width}));
  EXPECT_EQ(
      LayoutConstraint::create(child, A::Top, R::Equal, parent, A::Top, std::numeric_limits<double>::quiet_NaN(), 0),
      nullptr);
  // Views keep their frames: nothing is solved.
  EXPECT_EQ(child->frame(), Rect());
}

TEST_F(LayoutConstraintTest, AConstraintIsActiveWhileOneViewHoldsIt) {
  auto root = View::create(), parent = View::create(), child = View::create(), loose = View::create();
  root->addSubview(parent);
  parent->addSubview(child);
  auto pin = LayoutConstraint::create(child, A::Top, R::Equal, root, A::Top, 1, 0);
  pin->setActive(true);
  EXPECT_EQ(pin->holder(), root) << "the nearest common ancestor";
  EXPECT_TRUE(pin->isActive());
  parent->addConstraint(pin);
  EXPECT_TRUE(root->constraints().empty()) << "moved, not copied";
  EXPECT_EQ(pin->holder(), parent);
  root->layoutIfNeeded();
  pin->setActive(false);
  EXPECT_FALSE(pin->isActive());
  EXPECT_TRUE(parent->constraints().empty());
  EXPECT_TRUE(parent->needsLayout()) << "the layout it set is undone at the next pass";

  auto width = LayoutConstraint::create(child, A::Width, R::Equal, nullptr, A::NotAnAttribute, 1, 20);
  width->setActive(true);
  EXPECT_EQ(width->holder(), child);
  auto apart = LayoutConstraint::create(child, A::Top, R::Equal, loose, A::Top, 1, 0);
  apart->setActive(true);
  EXPECT_TRUE(apart->isActive());
  EXPECT_EQ(apart->holder(), nullptr) << "no common ancestor: recorded only";
  apart->setActive(false);
  EXPECT_FALSE(apart->isActive());
}

TEST_F(LayoutConstraintTest, ParsesVisualFormats) {
  auto parent = View::create();
  auto left = View::create(), text = View::create(), right = View::create(), icon = View::create();
  for (auto& v : {left, text, right, icon}) parent->addSubview(v);
  const std::map<std::string, std::shared_ptr<View>> views{
      {"_textPaddingLeft", left}, {"_textView", text}, {"_textPaddingRight", right}, {"_iconView", icon}};

  auto row = LayoutConstraint::constraintsWithVisualFormat(
      "H:|[_textPaddingLeft][_textView][_textPaddingRight][_iconView]|", LayoutConstraint::alignAll(A::CenterY), views);
  // Three joins, two edges, three alignments.
  ASSERT_EQ(row.size(), 8u);
  EXPECT_EQ(row[0]->firstItem(), text);
  EXPECT_EQ(row[0]->firstAttribute(), A::Leading);
  EXPECT_EQ(row[0]->secondAttribute(), A::Trailing);
  EXPECT_EQ(row[4]->firstItem(), parent);
  EXPECT_EQ(row[4]->secondItem(), icon);
  EXPECT_EQ(row[7]->firstAttribute(), A::CenterY);

  auto sizes = LayoutConstraint::constraintsWithVisualFormat("V:[_textPaddingLeft(>=_textView,>=_iconView)]", 0, views);
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[1]->relation(), R::GreaterThanOrEqual);
  EXPECT_EQ(sizes[1]->secondItem(), icon);

  auto spaced = LayoutConstraint::constraintsWithVisualFormat("|-[_textView(40@750)]-12-|", 0, views);
  ASSERT_EQ(spaced.size(), 3u);
  EXPECT_EQ(spaced[0]->priority(), 750);
  EXPECT_EQ(spaced[1]->constant() + spaced[2]->constant(), 20);

  for (const char* bad :
       {"", "[nobody]", "|[_textView", "[_textView(>=)]", "V:|[_textView]|trailing", "[_textView(1e999)]"}) {
    EXPECT_TRUE(LayoutConstraint::constraintsWithVisualFormat(bad, 0, views).empty()) << bad;
  }
  // Edges need a superview.
  auto loose = View::create();
  EXPECT_TRUE(LayoutConstraint::constraintsWithVisualFormat("|[v]|", 0, {{"v", loose}}).empty());
}

}  // namespace
}  // namespace platform
