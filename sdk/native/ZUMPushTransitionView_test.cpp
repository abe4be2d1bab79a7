#include "sdk/native/ZUMPushTransitionView.h"

#include <chrono>
#include <limits>

#include <gtest/gtest.h>

#include "platform/ui/Coder.h"
#include "platform/ui/Transition.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using platform::LayerTransitions;
using platform::View;

const platform::Transition kPushFromTop{platform::TransitionType::Push, platform::TransitionSubtype::FromTop, 1.0,
                                        platform::TimingFunction::EaseInEaseOut};

class ZUMPushTransitionViewTest : public testenv::PlatformTest {
 protected:
  std::shared_ptr<ZUMPushTransitionView> rotation = ZUMPushTransitionView::create({0, 0, 30, 20});
  std::vector<std::shared_ptr<View>> views{View::create({0, 0, 10, 10}), View::create({0, 0, 12, 8}),
                                           View::create({0, 0, 6, 6})};

  std::uint64_t pushes() const { return LayerTransitions::addedCount(*rotation->clippingView()); }
  // Moves time to just before `seconds` after the start, then to it.
  void expectPushAt(double seconds, std::size_t index, std::uint64_t count) {
    env.advance(seconds - 0.001 - elapsed);
    EXPECT_EQ(pushes(), count - 1) << "too early at " << seconds;
    env.advance(0.001);
    elapsed = seconds;
    EXPECT_EQ(rotation->currentView(), views[index]) << seconds;
    EXPECT_EQ(rotation->currentViewIndex(), index);
    EXPECT_EQ(pushes(), count);
    EXPECT_EQ(LayerTransitions::forKey(*rotation->clippingView(), kZUMPushTransitionKey), kPushFromTop);
    ASSERT_EQ(rotation->clippingView()->subviews().size(), 1u) << "only the current view is shown";
  }
  double elapsed = 0;
};

TEST_F(ZUMPushTransitionViewTest, ThreeViewsTakeTurnsPushedInFromTheTop) {
  EXPECT_TRUE(rotation->clipsToBounds());
  EXPECT_TRUE(rotation->clippingView()->clipsToBounds());
  EXPECT_EQ(rotation->clippingView()->superview(), rotation);
  rotation->setAnimationDuration(1);
  rotation->setPresentationDuration(4);
  rotation->setViews(views);
  EXPECT_EQ(rotation->currentView(), views[0]);
  EXPECT_EQ(views[0]->superview(), rotation->clippingView());
  EXPECT_EQ(views[0]->center(), (platform::Point{15, 10})) << "centred";
  EXPECT_FALSE(views[0]->translatesAutoresizingMaskIntoConstraints());
  expectPushAt(5, 1, 1);
  EXPECT_EQ(views[0]->superview(), nullptr);
  expectPushAt(10, 2, 2);
  expectPushAt(15, 0, 3);
  EXPECT_EQ(rotation->clippingView()->constraints().size(), 2u) << "the current view's centring, none of old views";
}

TEST_F(ZUMPushTransitionViewTest, OneViewIsShownAndNeverRotates) {
  rotation->setViews({nullptr, views[0], nullptr});
  env.advance(60s);
  EXPECT_EQ(rotation->currentView(), views[0]);
  EXPECT_EQ(pushes(), 0u);
  rotation->setViews({});
  EXPECT_EQ(rotation->currentView(), nullptr);
  EXPECT_TRUE(rotation->clippingView()->subviews().empty());
}

TEST_F(ZUMPushTransitionViewTest, NewViewsMidRotationShowTheFirstAtOnceAndWaitAFullCycle) {
  rotation->setViews(views);
  env.advance(7s);  // the second view since 5 s
  ASSERT_EQ(rotation->currentView(), views[1]);
  const auto generation = rotation->animationGroupIdentifier();
  std::vector<std::shared_ptr<View>> fresh{View::create(), View::create()};
  rotation->setViews(fresh);
  EXPECT_GT(rotation->animationGroupIdentifier(), generation);
  EXPECT_EQ(rotation->currentView(), fresh[0]);
  EXPECT_EQ(rotation->currentViewIndex(), 0u);
  EXPECT_EQ(views[1]->superview(), nullptr);
  env.advance(4900ms);  // the old schedule's 10 s has passed
  EXPECT_EQ(rotation->currentView(), fresh[0]);
  EXPECT_EQ(pushes(), 1u);
  env.advance(100ms);
  EXPECT_EQ(rotation->currentView(), fresh[1]);
  EXPECT_EQ(pushes(), 2u);
}

TEST_F(ZUMPushTransitionViewTest, ADurationChangeCancelsTheScheduledStep) {
  rotation->setViews(views);
  env.advance(3s);
  rotation->setPresentationDuration(2);  // the next push 3 s from now, not at 5 s
  env.advance(2999ms);
  EXPECT_EQ(rotation->currentView(), views[0]);
  env.advance(1ms);
  EXPECT_EQ(rotation->currentView(), views[1]);
  rotation->setAnimationDuration(0.5);
  env.advance(2499ms);
  EXPECT_EQ(rotation->currentView(), views[1]);
  env.advance(1ms);
  EXPECT_EQ(rotation->currentView(), views[2]);
  EXPECT_EQ(LayerTransitions::forKey(*rotation->clippingView(), kZUMPushTransitionKey)->duration, 0.5);
}

TEST_F(ZUMPushTransitionViewTest, UnusableDurationsGiveTheDefaultsAndNothingSpins) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double given;
    double animation;
    double presentation;
  } cases[] = {{nan, 1, 4},           {-2, 1, 4},     {0, 1, 4}, {0.049, 1, 4}, {0.05, 0.05, 0.05}, {inf, 1, 4},
               {1e300, 86400, 86400}, {2.5, 2.5, 2.5}};
  for (const auto& c : cases) {
    rotation->setAnimationDuration(c.given);
    rotation->setPresentationDuration(c.given);
    EXPECT_EQ(rotation->animationDuration(), c.animation) << c.given;
    EXPECT_EQ(rotation->presentationDuration(), c.presentation) << c.given;
  }
  rotation->setAnimationDuration(0.05);
  rotation->setPresentationDuration(0.05);
  rotation->setViews(views);
  env.advance(1s);
  EXPECT_EQ(pushes(), 10u) << "one push every 0.1 s at the shortest";
}

TEST_F(ZUMPushTransitionViewTest, AnArchivedViewClipsAndRotatesLikeAMadeOne) {
  auto archived = ZUMPushTransitionView::create(*platform::Coder::create(
      R"({"class": "ZUMPushTransitionView", "frame": {"x": 0, "y": 0, "width": 30, "height": 20}})"));
  ASSERT_NE(archived, nullptr);
  EXPECT_EQ(archived->clippingView()->frame(), (platform::Rect{0, 0, 30, 20}));
  EXPECT_EQ(ZUMPushTransitionView::create(*platform::Coder::create(R"({"class": "ZUMPushTransitionView"})")), nullptr);
}

TEST_F(ZUMPushTransitionViewTest, ARotationEndsWithItsView) {
  rotation->setViews(views);
  std::weak_ptr<ZUMPushTransitionView> weak = rotation;
  rotation.reset();
  EXPECT_TRUE(weak.expired()) << "scheduled steps hold the view weakly";
  env.advance(20s);
}

}  // namespace
