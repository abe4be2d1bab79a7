#include "platform/ui/Transition.h"

#include <chrono>
#include <limits>

#include <gtest/gtest.h>

#include "platform/ui/View.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using TransitionTest = testenv::PlatformTest;
using Keys = std::vector<std::string>;

const Transition kPush{TransitionType::Push, TransitionSubtype::FromTop, 1.0, TimingFunction::EaseInEaseOut};

TEST_F(TransitionTest, ATransitionRunsForItsDurationAndAReplacementKeepsItsOwnTime) {
  auto view = View::create({0, 0, 20, 20});
  auto other = View::create();
  LayerTransitions::add(*view, kPush, "PushNewView");
  LayerTransitions::add(*view, {TransitionType::Fade}, "fade");
  EXPECT_EQ(LayerTransitions::forKey(*view, "PushNewView"), kPush);
  EXPECT_EQ(LayerTransitions::keys(*view), (Keys{"PushNewView", "fade"}));
  EXPECT_EQ(LayerTransitions::keys(*other), Keys{}) << "layers are per view";

  env.advance(600ms);  // the fade's default 0.25 s is over
  EXPECT_EQ(LayerTransitions::keys(*view), Keys{"PushNewView"});
  Transition later = kPush;
  later.subtype = TransitionSubtype::FromLeft;
  LayerTransitions::add(*view, later, "PushNewView");  // the first one's timer must not end this one
  EXPECT_EQ(LayerTransitions::keys(*view), Keys{"PushNewView"}) << "replaced, not added beside";
  EXPECT_EQ(LayerTransitions::addedCount(*view), 3u);

  env.advance(500ms);  // 1.1 s: the first push would have ended
  EXPECT_EQ(LayerTransitions::forKey(*view, "PushNewView"), later);
  env.advance(500ms);  // 1.6 s: the replacement's second is over
  EXPECT_EQ(LayerTransitions::keys(*view), Keys{});
  EXPECT_EQ(LayerTransitions::addedCount(*view), 3u);

  LayerTransitions::add(*view, kPush, "a");
  LayerTransitions::add(*view, kPush, "b");
  LayerTransitions::remove(*view, "a");
  EXPECT_EQ(LayerTransitions::keys(*view), Keys{"b"});
  LayerTransitions::removeAll(*view);
  EXPECT_EQ(LayerTransitions::keys(*view), Keys{});
}

TEST_F(TransitionTest, DurationsThatMakeNoSenseGiveTheDefaultAndHugeOnesAreCut) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double duration;
    double effective;
  } cases[] = {{0, 0.25}, {-1, 0.25}, {nan, 0.25}, {-inf, 0.25}, {inf, 3600}, {1e300, 3600}, {2.5, 2.5}};
  for (const auto& c : cases) {
    EXPECT_EQ(Transition{.duration = c.duration}.effectiveDuration(), c.effective) << c.duration;
  }
  auto view = View::create();
  LayerTransitions::add(*view, {.duration = inf}, "long");
  env.advance(3599s);
  EXPECT_TRUE(LayerTransitions::forKey(*view, "long"));
  env.advance(2s);
  EXPECT_FALSE(LayerTransitions::forKey(*view, "long"));
}

TEST_F(TransitionTest, AViewThatGoesTakesItsTransitionsWithIt) {
  auto view = View::create();
  LayerTransitions::add(*view, kPush, "PushNewView");
  view.reset();
  // A new view, perhaps at the same address, starts without them.
  auto next = View::create();
  EXPECT_EQ(LayerTransitions::keys(*next), Keys{});
  EXPECT_EQ(LayerTransitions::addedCount(*next), 0u);
  env.advance(2s);
}

}  // namespace
}  // namespace platform
