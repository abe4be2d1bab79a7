#include "platform/ui/Window.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/Event.h"
#include "platform/ui/GestureRecognizerDelegate.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Screen.h"
#include "platform/ui/SwipeGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Touch.h"
#include "testing/TestEnvironment.h"
#include "testing/TouchControls.h"

namespace platform {
namespace {

using testenv::TouchControls;
using WindowTest = testenv::PlatformTest;

// Logs the touch callbacks it gets, with the first touch's location in itself.
class TouchLoggingView : public View {
 public:
  static std::shared_ptr<TouchLoggingView> create(const Rect& frame) {
    return std::shared_ptr<TouchLoggingView>(new TouchLoggingView(frame));
  }
  std::vector<std::string> log;
  std::vector<Point> locations;

  void touchesBegan(const TouchList& t, const Event&) override { record("began", t); }
  void touchesMoved(const TouchList& t, const Event&) override { record("moved", t); }
  void touchesEnded(const TouchList& t, const Event&) override { record("ended", t); }
  void touchesCancelled(const TouchList& t, const Event&) override { record("cancelled", t); }

 private:
  using View::View;
  void record(const char* what, const TouchList& touches) {
    log.push_back(what);
    locations.push_back(touches.front()->locationInView(this));
  }
};

std::shared_ptr<Window> shownWindow() {
  auto window = Window::create(Rect(0, 0, 375, 667));
  window->makeKeyAndVisible();
  return window;
}

TEST_F(WindowTest, ATapReachesTheDeepestInteractiveView) {
  auto window = shownWindow();
  auto outer = TouchLoggingView::create(Rect(10, 10, 200, 200));
  auto inner = TouchLoggingView::create(Rect(20, 20, 50, 50));
  auto label = View::create(Rect(0, 0, 200, 30));  // drawn on top, takes no touches
  label->setUserInteractionEnabled(false);
  window->addSubview(outer);
  outer->addSubview(inner);
  outer->addSubview(label);

  TouchControls::tap(window, {40, 40});
  EXPECT_EQ(inner->locations, (std::vector<Point>{{10, 10}, {10, 10}}));
  EXPECT_TRUE(outer->log.empty());

  // Through the non-interactive label to the view below it.
  TouchControls::tap(window, {15, 15});
  EXPECT_EQ(outer->log, (std::vector<std::string>{"began", "ended"}));

  // A hidden window takes no touches.
  window->setHidden(true);
  TouchControls::tap(window, {40, 40});
  EXPECT_EQ(inner->log.size(), 2u);
}

// Records the locations it is given; recognizes a horizontal movement, fails on vertical jitter.
class SteadyMoveRecognizer : public GestureRecognizer {
 public:
  static std::shared_ptr<SteadyMoveRecognizer> create() {
    return std::shared_ptr<SteadyMoveRecognizer>(new SteadyMoveRecognizer());
  }
  std::vector<Point> current, previous;
  int resets = 0;

  void touchesMoved(const TouchList& touches, const Event& event) override {
    GestureRecognizer::touchesMoved(touches, event);
    current.push_back(touches.front()->locationInView(view().get()));
    previous.push_back(touches.front()->previousLocationInView(view().get()));
    if (std::fabs(current.back().y - previous.back().y) > 5) setState(State::Failed);
  }
  void touchesEnded(const TouchList& touches, const Event& event) override {
    GestureRecognizer::touchesEnded(touches, event);
    if (state() == State::Possible) setState(Recognized);
  }
  void reset() override {
    GestureRecognizer::reset();
    ++resets;
  }

 private:
  SteadyMoveRecognizer() = default;
};

class AllowEverything : public GestureRecognizerDelegate {
 public:
  bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(GestureRecognizer&,
                                                                           GestureRecognizer&) override {
    return true;
  }
};

TEST_F(WindowTest, AWiggleLikeSequenceReachesACustomRecognizerWithItsLocations) {
  auto window = shownWindow();
  auto adView = TouchLoggingView::create(Rect(0, 100, 300, 250));
  window->addSubview(adView);
  auto zigzag = SteadyMoveRecognizer::create();
  auto delegate = std::make_shared<AllowEverything>();
  zigzag->setDelegate(delegate);
  adView->addGestureRecognizer(zigzag);
  adView->addGestureRecognizer(GestureRecognizer::create());  // watches only
  std::vector<GestureRecognizer::State> states;
  auto target = std::make_shared<int>(0);
  zigzag->addTarget(target, [&](GestureRecognizer& r) { states.push_back(r.state()); });

  TouchControls::touchSequence(window, {{50, 200}, {70, 200}, {90, 200}, {70, 201}, {50, 201}, {70, 202}, {90, 202}});
  ASSERT_EQ(zigzag->current.size(), 6u);
  EXPECT_EQ(zigzag->current[2], (Point{70, 101}));
  EXPECT_EQ(zigzag->previous[2], (Point{90, 100}));
  EXPECT_EQ(states, (std::vector<GestureRecognizer::State>{GestureRecognizer::Recognized}));
  EXPECT_EQ(zigzag->locationInView(adView.get()), (Point{90, 102}));
  // Recognized and cancelling: the view's touches are cancelled instead of ended.
  EXPECT_EQ(adView->log.back(), "cancelled");
  EXPECT_EQ(zigzag->resets, 1) << "reset between sequences";

  // Vertical jitter fails the next sequence without an action.
  TouchControls::touchSequence(window, {{50, 200}, {70, 200}, {90, 220}, {70, 220}});
  EXPECT_EQ(states.size(), 1u);
  EXPECT_EQ(adView->log.back(), "ended");

  // An action whose target is gone does not run.
  target.reset();
  TouchControls::touchSequence(window, {{50, 200}, {70, 200}, {90, 200}, {70, 200}, {50, 200}, {70, 200}, {90, 200}});
  EXPECT_EQ(states.size(), 1u);
}

TEST_F(WindowTest, ATapRecognizerCancelsTheViewsTouchesUnlessToldNotTo) {
  auto window = shownWindow();
  auto parent = View::create(Rect(0, 0, 300, 300));
  auto view = TouchLoggingView::create(Rect(100, 100, 50, 50));
  window->addSubview(parent);
  parent->addSubview(view);
  auto tap = TapGestureRecognizer::create();
  parent->addGestureRecognizer(tap);  // on an ancestor: still sees the touch
  std::vector<Point> taps;
  tap->addTarget({}, [&](GestureRecognizer& r) { taps.push_back(r.locationInView(view.get())); });

  TouchControls::tap(window, {110, 120});
  EXPECT_EQ(taps, (std::vector<Point>{{10, 20}}));
  EXPECT_EQ(view->log, (std::vector<std::string>{"began", "cancelled"}));

  tap->setCancelsTouchesInView(false);
  view->log.clear();
  TouchControls::tap(window, {110, 120});
  EXPECT_EQ(taps.size(), 2u);
  EXPECT_EQ(view->log, (std::vector<std::string>{"began", "ended"}));

  // Moving too far is not a tap; a disabled recognizer sees nothing.
  TouchControls::touchSequence(window, {{110, 120}, {140, 120}});
  tap->setEnabled(false);
  TouchControls::tap(window, {110, 120});
  EXPECT_EQ(taps.size(), 2u);
}

class ScriptedDelegate : public GestureRecognizerDelegate {
 public:
  bool begin = true, receive = true, simultaneous = false;
  bool gestureRecognizerShouldBegin(GestureRecognizer&) override { return begin; }
  bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, const Touch&) override { return receive; }
  bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(GestureRecognizer&,
                                                                           GestureRecognizer&) override {
    return simultaneous;
  }
};

TEST_F(WindowTest, RecognizersCompeteForTouchesAsTheirDelegatesDecide) {
  auto window = shownWindow();
  auto parent = View::create(Rect(0, 0, 300, 300));
  auto child = View::create(Rect(0, 0, 100, 100));
  window->addSubview(parent);
  parent->addSubview(child);
  auto inner = TapGestureRecognizer::create();
  auto outer = TapGestureRecognizer::create();
  child->addGestureRecognizer(inner);
  parent->addGestureRecognizer(outer);
  int innerCount = 0, outerCount = 0;
  inner->addTarget({}, [&](GestureRecognizer&) { ++innerCount; });
  outer->addTarget({}, [&](GestureRecognizer&) { ++outerCount; });
  auto delegate = std::make_shared<ScriptedDelegate>();
  inner->setDelegate(delegate);

  // The deeper recognizer gets the touch first and wins.
  auto counts = [&] { return std::make_pair(innerCount, outerCount); };
  TouchControls::tap(window, {10, 10});
  EXPECT_EQ(counts(), std::make_pair(1, 0));
  delegate->simultaneous = true;
  TouchControls::tap(window, {10, 10});
  EXPECT_EQ(counts(), std::make_pair(2, 1));
  delegate->simultaneous = false;
  delegate->begin = false;  // fails instead of recognizing, leaving the tap to the outer one
  TouchControls::tap(window, {50, 50});
  EXPECT_EQ(counts(), std::make_pair(2, 2));

  delegate->begin = true;
  delegate->receive = false;
  auto touch = TouchControls::touchDown(window, {10, 10});
  EXPECT_EQ(touch->gestureRecognizers(), (std::vector<std::shared_ptr<GestureRecognizer>>{outer}));
  TouchControls::lift(touch);
  EXPECT_EQ(counts(), std::make_pair(2, 3));
}

TEST_F(WindowTest, QuickTapsCountUpAndADoubleTapRecognizerWaitsForTheSecond) {
  auto window = shownWindow();
  auto view = View::create(Rect(0, 0, 100, 100));
  window->addSubview(view);
  auto doubleTap = TapGestureRecognizer::create();
  doubleTap->setNumberOfTapsRequired(2);
  view->addGestureRecognizer(doubleTap);
  int count = 0;
  doubleTap->addTarget({}, [&](GestureRecognizer&) { ++count; });

  TouchControls::lift(TouchControls::touchDown(window, {10, 10}));
  env.advance(0.2);
  auto second = TouchControls::touchDown(window, {12, 11});
  TouchControls::lift(second);
  EXPECT_EQ(second->tapCount(), 2);
  EXPECT_EQ(count, 1);

  env.advance(1);  // too late to count as the next tap
  auto third = TouchControls::touchDown(window, {10, 10});
  TouchControls::lift(third);
  EXPECT_EQ(third->tapCount(), 1);
}

TEST_F(WindowTest, SwipesAndPansFollowTheFinger) {
  auto window = shownWindow();
  auto view = View::create(Rect(0, 0, 375, 667));
  window->addSubview(view);
  auto swipe = SwipeGestureRecognizer::create();
  swipe->setDirection(SwipeGestureRecognizer::Left);
  view->addGestureRecognizer(swipe);
  int swipes = 0;
  swipe->addTarget({}, [&](GestureRecognizer&) { ++swipes; });

  TouchControls::swipe(window, {200, 300}, {300, 310});  // to the right: not ours
  EXPECT_EQ(swipes, 0);
  TouchControls::swipe(window, {300, 300}, {200, 310});
  EXPECT_EQ(swipes, 1);
  TouchControls::swipe(window, {300, 300}, {280, 300});  // too short
  EXPECT_EQ(swipes, 1);

  view->removeGestureRecognizer(swipe);
  auto pan = PanGestureRecognizer::create();
  view->addGestureRecognizer(pan);
  std::vector<GestureRecognizer::State> states;
  std::vector<Point> translations;
  pan->addTarget({}, [&](GestureRecognizer& r) {
    states.push_back(r.state());
    translations.push_back(static_cast<PanGestureRecognizer&>(r).translationInView(view.get()));
  });
  auto finger = TouchControls::touchDown(window, {100, 100});
  TouchControls::moveTo(finger, {104, 100});  // within the hysteresis
  EXPECT_TRUE(states.empty());
  TouchControls::moveTo(finger, {120, 100});
  TouchControls::moveTo(finger, {130, 90});
  TouchControls::lift(finger);
  using S = GestureRecognizer::State;
  EXPECT_EQ(states, (std::vector<S>{S::Began, S::Changed, S::Ended}));
  EXPECT_EQ(translations.back(), (Point{30, -10}));

  // A cancelled pan reports cancelled.
  states.clear();
  finger = TouchControls::touchDown(window, {100, 100});
  TouchControls::moveTo(finger, {150, 100});
  TouchControls::cancel(finger);
  EXPECT_EQ(states, (std::vector<S>{S::Began, S::Cancelled}));
}

TEST_F(WindowTest, WindowsKeepTheKeyWindowAndStackByLevel) {
  EXPECT_EQ(Window::keyWindow(), nullptr);
  auto normal = Window::create();
  auto alert = Window::create(Rect(0, 0, 100, 100));
  alert->setWindowLevel(kWindowLevelAlert);
  auto another = Window::create();
  EXPECT_EQ(Window::windows(), (std::vector<std::shared_ptr<Window>>{normal, another, alert}));
  normal->makeKeyAndVisible();
  alert->makeKeyAndVisible();
  EXPECT_EQ(Window::keyWindow(), alert);
  EXPECT_FALSE(normal->isKeyWindow());

  auto inNormal = TouchLoggingView::create(Rect(0, 0, 375, 667));
  auto inAlert = TouchLoggingView::create(Rect(0, 0, 100, 100));
  normal->addSubview(inNormal);
  alert->addSubview(inAlert);
  EXPECT_TRUE(TouchControls::tapOnScreen({50, 50}));
  EXPECT_EQ(inAlert->log.size(), 2u);
  alert->setHidden(true);
  EXPECT_TRUE(TouchControls::tapOnScreen({50, 50}));
  EXPECT_EQ(inNormal->log.size(), 2u);
  alert.reset();
  EXPECT_EQ(Window::keyWindow(), nullptr);
}

TEST_F(WindowTest, HostileTouchesAndVanishingViewsDoNotCrash) {
  auto window = shownWindow();
  auto view = TouchLoggingView::create(Rect(0, 0, 100, 100));
  window->addSubview(view);
  auto tap = TapGestureRecognizer::create();
  view->addGestureRecognizer(tap);
  // The action tears the view down in the middle of delivery.
  tap->addTarget({}, [&](GestureRecognizer& r) {
    if (auto v = r.view()) {
      v->removeGestureRecognizer(tap);
      v->removeFromSuperview();
    }
  });
  TouchControls::tap(window, {10, 10});
  EXPECT_EQ(view->superview(), nullptr);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  TouchControls::touchSequence(window, {{nan, nan}, {1e308, -1e308}, {nan, 5}});
  // A move of a touch the window never saw begin is ignored.
  auto stray = Touch::create(window, {5, 5});
  stray->moveTo({6, 6});
  window->sendEvent(Event({stray, nullptr}));
  view.reset();
  TouchControls::tap(window, {10, 10});
}

}  // namespace
}  // namespace platform
