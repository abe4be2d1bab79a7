// One-finger wiggles delivered by the platform's touch controls to a view carrying the
// recognizer: which sequences are recognized, once, and which fail.
#include "sdk/rendering/ZUMWiggleGestureRecognizer.h"

#include <gtest/gtest.h>

#include "platform/ui/Event.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "testing/TestEnvironment.h"
#include "testing/TouchControls.h"

namespace {

using platform::Point;
using Controls = testenv::TouchControls;

class ZUMWiggleGestureRecognizerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    window->makeKeyAndVisible();
    window->addSubview(view);
    view->addGestureRecognizer(wiggle);
    wiggle->addTarget(std::weak_ptr<void>(view), [this](platform::GestureRecognizer& r) {
      if (r.state() == platform::GestureRecognizer::Recognized) ++recognized;
    });
  }
  // Down at the first x (y 100), through the moves (dx, dy), then lifted; the count of
  // recognitions it made.
  int wiggleThrough(const std::vector<Point>& moves, double startX = 150) {
    const int before = recognized;
    Point at{startX, 100};
    auto touch = Controls::touchDown(window, at);
    for (const auto& move : moves) {
      at = {at.x + move.x, at.y + move.y};
      Controls::moveTo(touch, at);
    }
    Controls::lift(touch);
    return recognized - before;
  }

  std::shared_ptr<platform::Window> window = platform::Window::create({0, 0, 320, 480});
  std::shared_ptr<platform::View> view = platform::View::create({0, 0, 320, 480});
  std::shared_ptr<ZUMWiggleGestureRecognizer> wiggle = ZUMWiggleGestureRecognizer::create();
  int recognized = 0;
};

TEST_F(ZUMWiggleGestureRecognizerTest, SequencesOfStretches) {
  const struct {
    const char* name;
    std::vector<Point> moves;
    int recognized;
  } cases[] = {
      {"15 right, 15 left, 15 right, 1 left", {{15, 0}, {-15, 0}, {15, 0}, {-1, 0}}, 1},
      {"in small steps", {{5, 0}, {5, 0}, {5, 0}, {-8, 0}, {-7, 0}, {7.5, 0}, {7.5, 0}, {-1, 0}, {-30, 0}}, 1},
      {"a still move then 15 right", {{0, 0}, {15, 0}, {-15, 0}, {15, 0}, {-1, 0}}, 1},
      {"vertical drift of 5 per move", {{15, 5}, {-15, -5}, {15, 5}, {-1, -5}}, 1},
      {"14.9 right first", {{14.9, 0}, {-20, 0}, {20, 0}, {-1, 0}}, 0},
      {"14.9 left second", {{20, 0}, {-14.9, 0}, {20, 0}, {-1, 0}}, 0},
      {"14.9 right third", {{20, 0}, {-20, 0}, {14.9, 0}, {-1, 0}}, 0},
      {"left first", {{-20, 0}, {20, 0}, {-20, 0}, {20, 0}, {-1, 0}}, 0},
      {"a move of 5.1 vertically", {{20, 0}, {-20, 5.1}, {20, 0}, {-1, 0}}, 0},
      {"right again in the fourth stretch", {{20, 0}, {-20, 0}, {20, 0}, {-20, 0}, {1, 0}}, 0},
      {"lifted in the third stretch", {{20, 0}, {-20, 0}, {20, 0}}, 0},
      {"lifted without moving", {}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(wiggleThrough(c.moves), c.recognized) << c.name;
  // Each sequence starts afresh: a failed one leaves nothing behind.
  EXPECT_EQ(wiggle->gestureState(), ZUMWiggleGestureRecognizer::Nothing);
  EXPECT_EQ(wiggle->distanceMoved(), 0);
}

TEST_F(ZUMWiggleGestureRecognizerTest, TwoFingersOrACancelFail) {
  auto first = platform::Touch::create(window, {100, 100});
  auto second = platform::Touch::create(window, {200, 100});
  window->sendEvent(platform::Event({first, second}));
  for (const auto& move : std::vector<Point>{{120, 100}, {100, 100}, {120, 100}, {119, 100}}) {
    first->moveTo(move);
    window->sendEvent(platform::Event({first}));
  }
  first->setPhase(platform::Touch::Phase::Ended);
  second->setPhase(platform::Touch::Phase::Ended);
  window->sendEvent(platform::Event({first, second}));
  EXPECT_EQ(recognized, 0);

  auto touch = Controls::touchDown(window, {100, 100});
  for (double x : {120.0, 100.0, 120.0, 119.0}) Controls::moveTo(touch, {x, 100});
  EXPECT_EQ(wiggle->gestureState(), ZUMWiggleGestureRecognizer::MovingLeftAgain);
  Controls::cancel(touch);
  EXPECT_EQ(recognized, 0);
  EXPECT_EQ(wiggle->gestureState(), ZUMWiggleGestureRecognizer::Nothing);
  // The next sequence is recognized as usual.
  EXPECT_EQ(wiggleThrough({{20, 0}, {-20, 0}, {20, 0}, {-1, 0}}), 1);
}

TEST_F(ZUMWiggleGestureRecognizerTest, TheVerticalRuleIsStrictlyMoreThanFivePoints) {
  EXPECT_FALSE(ZUMWiggleGestureRecognizer::isMovementInYAxisWithCurrentPoint({0, 5}, {100, 0}));
  EXPECT_FALSE(ZUMWiggleGestureRecognizer::isMovementInYAxisWithCurrentPoint({0, -5}, {0, 0}));
  EXPECT_TRUE(ZUMWiggleGestureRecognizer::isMovementInYAxisWithCurrentPoint({0, 0}, {0, 5.01}));
  EXPECT_TRUE(ZUMWiggleGestureRecognizer::isMovementInYAxisWithCurrentPoint({0, -6}, {0, 0}));
}

}  // namespace
