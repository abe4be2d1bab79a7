#include "platform/ui/LayoutSolver.h"

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base/SystemLog.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using LayoutSolverTest = testenv::PlatformTest;
using A = LayoutConstraint::Attribute;
using R = LayoutConstraint::Relation;
using Outcome = LayoutSolver::Outcome;

// A view with a size of its own, as a label has.
class SizedView : public View {
 public:
  static std::shared_ptr<SizedView> create(Size intrinsic) {
    auto view = std::shared_ptr<SizedView>(new SizedView());
    view->intrinsic_ = intrinsic;
    return view;
  }
  Size intrinsicContentSize() const override { return intrinsic_; }

 private:
  SizedView() : View(Rect(1, 2, 3, 4)) {}
  Size intrinsic_;
};

std::shared_ptr<LayoutConstraint> make(const std::shared_ptr<View>& first, A a, const std::shared_ptr<View>& second,
                                       A b, double multiplier, double constant, R relation = R::Equal) {
  return LayoutConstraint::create(first, a, relation, second, b, multiplier, constant);
}

std::shared_ptr<LayoutConstraint> size(const std::shared_ptr<View>& view, A a, double constant) {
  return make(view, a, nullptr, A::NotAnAttribute, 1, constant);
}

TEST_F(LayoutSolverTest, SolvesTheSimpleKindsAndLeavesTheRest) {
  struct Views {
    std::shared_ptr<View> s, a, b, nested, loose;
  };
  using Build = std::function<std::vector<std::shared_ptr<LayoutConstraint>>(const Views&)>;
  const Rect kept(1, 2, 3, 4);  // a's and b's frames before the pass
  const struct {
    const char* name;
    Build build;
    Outcome outcome;
    Rect a;
    Rect b;
    std::size_t unsolved;
  } rows[] = {
      {"edges and a constant height",
       [](const Views& v) {
         return std::vector{make(v.a, A::Leading, v.s, A::Leading, 1, 10), make(v.a, A::Trailing, v.s, A::Trailing, 1, -10),
                            make(v.a, A::Top, v.s, A::Top, 1, 20), size(v.a, A::Height, 50)};
       },
       Outcome::Solved, Rect(10, 20, 355, 50), kept, 0},
      {"centre and size",
       [](const Views& v) {
         return std::vector{make(v.a, A::CenterX, v.s, A::CenterX, 1, 0), make(v.a, A::CenterY, v.s, A::CenterY, 1, 0),
                            size(v.a, A::Width, 320), size(v.a, A::Height, 50)};
       },
       Outcome::Solved, Rect(27.5, 308.5, 320, 50), kept, 0},
      {"the superview first, turned round; max edge and centre",
       [](const Views& v) {
         return std::vector{make(v.s, A::Right, v.a, A::Right, 1, 8), make(v.a, A::CenterX, v.s, A::CenterX, 0.5, 0),
                            make(v.s, A::Bottom, v.a, A::Bottom, 2, 67)};
       },
       Outcome::Solved, Rect(-179.5, 296, 546.5, 4), kept, 0},
      {"a sibling placed first whatever the order; multipliers; a size from the other size",
       [](const Views& v) {
         return std::vector{make(v.b, A::Top, v.a, A::Bottom, 1, 8), make(v.b, A::Left, v.a, A::Left, 1, 0),
                            make(v.b, A::Width, v.a, A::Width, 0.5, 0), make(v.b, A::Height, v.b, A::Width, 0.5, 0),
                            make(v.a, A::Width, v.s, A::Width, 0.5, 0), make(v.a, A::Top, v.s, A::Top, 1, 0),
                            size(v.a, A::Height, 40), make(v.a, A::Left, v.s, A::Left, 1, 5)};
       },
       Outcome::Solved, Rect(5, 0, 187.5, 40), Rect(5, 48, 93.75, 46.875), 0},
      {"min edge and centre; a size alone keeps the min edge; an unconstrained axis stays",
       [](const Views& v) {
         return std::vector{make(v.a, A::Top, v.s, A::Top, 1, 10), make(v.a, A::CenterY, v.s, A::Top, 1, 30),
                            size(v.b, A::Width, 7)};
       },
       Outcome::Solved, Rect(1, 10, 3, 40), Rect(1, 2, 7, 4), 0},
      {"a negative size becomes zero", [](const Views& v) {
         return std::vector{make(v.a, A::Top, v.s, A::Top, 1, 100), make(v.a, A::Bottom, v.s, A::Top, 1, 50)};
       },
       Outcome::Solved, Rect(1, 100, 3, 0), kept, 0},
      {"not of the simple kinds: recorded, the rest solved",
       [](const Views& v) {
         auto low = make(v.a, A::Left, v.s, A::Left, 1, 99);
         low->setPriority(750);
         return std::vector{make(v.a, A::Left, v.s, A::Left, 1, 50, R::GreaterThanOrEqual), low,
                            make(v.a, A::LastBaseline, v.s, A::Bottom, 1, 0), make(v.a, A::Top, v.s, A::Width, 1, 0),
                            make(v.a, A::Top, v.s, A::Left, 1, 0), make(v.a, A::Left, nullptr, A::NotAnAttribute, 1, 9),
                            make(v.s, A::Left, v.a, A::Left, 0, 9), make(v.a, A::Left, v.s, A::LastBaseline, 1, 0),
                            make(v.loose, A::Left, v.s, A::Left, 1, 0), make(v.a, A::Top, v.s, A::Top, 1, 6)};
       },
       Outcome::Solved, Rect(1, 6, 3, 4), kept, 9},
      {"a chain of siblings; what another view's pass places is not this pass's",
       [](const Views& v) {
         return std::vector{make(v.b, A::Left, v.a, A::Right, 1, 8), make(v.a, A::Left, v.s, A::Left, 1, 10),
                            size(v.a, A::Width, 100), make(v.nested, A::Left, v.a, A::Left, 1, 0),
                            make(v.a, A::Bottom, v.nested, A::Bottom, 1, 0)};
       },
       Outcome::Solved, Rect(10, 2, 100, 4), Rect(118, 2, 3, 4), 0},
      {"a cycle", [](const Views& v) {
         return std::vector{make(v.a, A::Left, v.b, A::Left, 1, 0), make(v.b, A::Left, v.a, A::Left, 1, 0),
                            make(v.b, A::Top, v.s, A::Top, 1, 0)};
       },
       Outcome::Cycle, kept, kept, 0},
      {"a size from itself", [](const Views& v) { return std::vector{make(v.a, A::Width, v.a, A::Width, 2, 0)}; },
       Outcome::Cycle, kept, kept, 0},
      {"two values for one size", [](const Views& v) {
         return std::vector{make(v.b, A::Top, v.s, A::Top, 1, 0), size(v.a, A::Width, 10), size(v.a, A::Width, 20)};
       },
       Outcome::Conflict, kept, kept, 0},
      {"three kinds that disagree", [](const Views& v) {
         return std::vector{make(v.a, A::Left, v.s, A::Left, 1, 0), make(v.a, A::Right, v.s, A::Left, 1, 100),
                            size(v.a, A::Width, 50)};
       },
       Outcome::Conflict, kept, kept, 0},
      {"three kinds that agree", [](const Views& v) {
         return std::vector{make(v.a, A::Left, v.s, A::Left, 1, 0), make(v.a, A::Right, v.s, A::Left, 1, 100),
                            size(v.a, A::Width, 100), size(v.a, A::Width, 100)};
       },
       Outcome::Solved, Rect(0, 2, 100, 4), kept, 0},
      {"a result that is not finite", [](const Views& v) {
         return std::vector{make(v.b, A::Top, v.s, A::Top, 1, 0), make(v.a, A::Left, v.s, A::Right, 1e307, 0)};
       },
       Outcome::NotFinite, kept, kept, 0},
      {"an edge and a size that overflow together", [](const Views& v) {
         return std::vector{make(v.a, A::Left, v.s, A::Left, 1, 1.5e308), size(v.a, A::Width, 1.5e308)};
       },
       Outcome::NotFinite, kept, kept, 0},
  };
  for (const auto& row : rows) {
    auto s = View::create(Rect(0, 0, 375, 667));
    auto a = View::create(kept), b = View::create(kept), nested = View::create(kept), loose = View::create();
    s->addSubview(a);
    s->addSubview(b);
    a->addSubview(nested);
    for (auto& v : {a, b, nested}) v->setTranslatesAutoresizingMaskIntoConstraints(false);
    s->addConstraints(row.build({s, a, b, nested, loose}));
    const auto result = LayoutSolver::solve(*s);
    EXPECT_EQ(result.outcome, row.outcome) << row.name;
    EXPECT_EQ(result.unsolved.size(), row.unsolved) << row.name;
    EXPECT_EQ(result.faulty.empty(), row.outcome == Outcome::Solved) << row.name;
    s->layoutIfNeeded();
    EXPECT_EQ(a->frame(), row.a) << row.name;
    EXPECT_EQ(b->frame(), row.b) << row.name;
  }
}

TEST_F(LayoutSolverTest, FillsFreeSizesWithTheIntrinsicSizeAndLeavesTranslatingViews) {
  auto s = View::create(Rect(0, 0, 300, 200));
  auto label = SizedView::create(Size{80, kViewNoIntrinsicMetric});
  auto fixed = View::create(Rect(5, 5, 10, 10));  // translates its mask: not placed
  auto follower = View::create(Rect(0, 0, 10, 10));
  auto hairline = SizedView::create(Size{0.5, kViewNoIntrinsicMetric});  // under a point, still a size
  s->addSubview(label);
  s->addSubview(hairline);
  s->addSubview(fixed);
  s->addSubview(follower);
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  follower->setTranslatesAutoresizingMaskIntoConstraints(false);
  hairline->setTranslatesAutoresizingMaskIntoConstraints(false);
  s->addConstraints({make(hairline, A::Left, s, A::Left, 1, 1), make(hairline, A::Top, s, A::Top, 1, 1)});
  s->addConstraints({make(label, A::Right, s, A::Right, 1, -10), make(label, A::CenterY, s, A::CenterY, 1, 0),
                     make(fixed, A::Left, s, A::Left, 1, 50), make(follower, A::Top, fixed, A::Bottom, 1, 5)});
  SystemLog::Capture log(true);
  s->layoutIfNeeded();
  EXPECT_EQ(label->frame(), Rect(210, 98, 80, 4)) << "the free height keeps its size";
  EXPECT_EQ(fixed->frame(), Rect(5, 5, 10, 10));
  EXPECT_EQ(hairline->frame().size.width, 0.5);
  EXPECT_EQ(follower->frame(), Rect(0, 20, 10, 10)) << "below the frame the sibling keeps";
  EXPECT_EQ(log.messages().size(), 1u) << "logged at the first pass";
  s->setNeedsLayout();
  s->layoutIfNeeded();
  EXPECT_EQ(log.messages().size(), 1u) << "logged once";
  EXPECT_TRUE(log.contains("recorded, not solved")) << log.messages().front();
}

TEST_F(LayoutSolverTest, AFaultLeavesEveryFrameAndIsLoggedOnce) {
  auto s = View::create(Rect(0, 0, 300, 200));
  auto a = View::create(Rect(1, 1, 1, 1)), b = View::create(Rect(2, 2, 2, 2));
  s->addSubview(a);
  s->addSubview(b);
  a->setTranslatesAutoresizingMaskIntoConstraints(false);
  b->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto width = size(a, A::Width, 10);
  s->addConstraints({make(b, A::Left, s, A::Left, 1, 30), width, size(a, A::Width, 20)});
  SystemLog::Capture log(true);
  for (int pass = 0; pass < 2; ++pass) {
    s->setNeedsLayout();
    s->layoutIfNeeded();
  }
  EXPECT_EQ(b->frame(), Rect(2, 2, 2, 2));
  ASSERT_EQ(log.messages().size(), 1u);
  EXPECT_TRUE(log.contains("conflicting equalities among 2 constraints"));
  EXPECT_TRUE(log.contains(".width == nothing.none * 1 + 10 @1000")) << log.messages().front();
  width->setConstant(20);
  EXPECT_TRUE(s->needsLayout()) << "a new constant asks for a pass";
  s->layoutIfNeeded();
  EXPECT_EQ(a->frame(), Rect(1, 1, 20, 1));
  EXPECT_EQ(b->frame(), Rect(30, 2, 2, 2));
}

// A window whose root controller's view holds a content view pinned to the top layout
// guide and to the bottom, and a banner centred at the bottom.
struct Screenful {
  std::shared_ptr<Window> window = Window::create(Rect(0, 0, 375, 667));
  std::shared_ptr<ViewController> controller = ViewController::create();
  std::shared_ptr<View> content = View::create();
  std::shared_ptr<View> banner = View::create();
  std::shared_ptr<LayoutConstraint> bottom;

  Screenful() {
    window->makeKeyAndVisible();
    window->setRootViewController(controller);
    auto root = controller->view();
    for (auto& v : {content, banner}) {
      v->setTranslatesAutoresizingMaskIntoConstraints(false);
      root->addSubview(v);
    }
    bottom = make(content, A::Bottom, root, A::Bottom, 1, -50);
    auto top = make(content, A::Top, controller->topLayoutGuide(), A::Bottom, 1, 0);
    top->setActive(true);
    EXPECT_EQ(top->holder(), root) << "a guide stands for its controller's view";
    root->addConstraints({bottom, make(content, A::Leading, root, A::Leading, 1, 0),
                          make(content, A::Trailing, root, A::Trailing, 1, 0),
                          make(banner, A::CenterX, root, A::CenterX, 1, 0), make(banner, A::CenterY, root, A::CenterY, 1, 0),
                          size(banner, A::Width, 320), size(banner, A::Height, 50)});
  }
};

TEST_F(LayoutSolverTest, ContentFollowsTheGuideAndItsConstantsOnTheLayoutPasses) {
  Screenful screen;
  env.runUntilIdle();
  EXPECT_EQ(screen.content->frame(), Rect(0, 20, 375, 597)) << "50 points short of the bottom";
  EXPECT_EQ(screen.banner->frame(), Rect(27.5, 308.5, 320, 50));

  screen.bottom->setConstant(0);
  EXPECT_EQ(screen.content->frame(), Rect(0, 20, 375, 597)) << "not before the next pass";
  env.runUntilIdle();
  EXPECT_EQ(screen.content->frame(), Rect(0, 20, 375, 647));

  testenv::AppControls::rotate(kInterfaceOrientationLandscapeLeft);
  env.advance(1s);
  EXPECT_EQ(screen.window->bounds().size, (Size{667, 375}));
  EXPECT_EQ(screen.banner->frame(), Rect(173.5, 162.5, 320, 50)) << "still in the middle";
  EXPECT_EQ(screen.content->frame(), Rect(0, 20, 667, 355));

  Application::shared().setStatusBarHidden(true);
  EXPECT_EQ(screen.controller->topLayoutGuide()->length(), 0);
  env.runUntilIdle();
  EXPECT_EQ(screen.content->frame(), Rect(0, 0, 667, 375));
  Application::shared().setStatusBarHidden(false);
  env.runUntilIdle();
  EXPECT_EQ(screen.content->frame(), Rect(0, 20, 667, 355));

  // Under a full-screen presentation the guide's bottom is 0; over it, the bar's.
  auto cover = ViewController::create();
  screen.controller->presentViewController(cover, false);
  env.runUntilIdle();
  EXPECT_EQ(screen.controller->topLayoutGuide()->length(), 0);
  EXPECT_EQ(cover->topLayoutGuide()->length(), 20);
  screen.controller->dismissViewControllerAnimated(false);
  env.runUntilIdle();
  EXPECT_EQ(screen.controller->topLayoutGuide()->length(), 20);
}

TEST_F(LayoutSolverTest, AChangeInsideAnAnimationEndsWithTheDurationOnVirtualTime) {
  Screenful screen;
  env.runUntilIdle();
  auto root = screen.controller->view();
  std::vector<Rect> ends;
  Animation::animate(
      0.5,
      [&] {
        screen.bottom->setConstant(0);
        root->layoutIfNeeded();
      },
      [&](bool) { ends.push_back(screen.content->frame()); });
  EXPECT_EQ(screen.content->frame(), Rect(0, 20, 375, 597)) << "it starts where it was";
  env.advance(250ms);
  const double halfway = screen.content->frame().height();
  EXPECT_GT(halfway, 597);
  EXPECT_LT(halfway, 647);
  root->setNeedsLayout();  // a pass in the middle keeps the move going
  env.runUntilIdle();
  EXPECT_EQ(screen.content->frame().height(), halfway);
  env.advance(240ms);
  EXPECT_LT(screen.content->frame().height(), 647) << "not before 0.5 s";
  EXPECT_GT(screen.content->frame().height(), halfway);
  env.advance(10ms);
  EXPECT_EQ(screen.content->frame(), Rect(0, 20, 375, 647));
  EXPECT_EQ(ends, std::vector<Rect>{Rect(0, 20, 375, 647)}) << "done when the completion runs";

  // After a delay, the move takes the duration.
  Animation::animate(0.2, 0.3, [&] {
    screen.bottom->setConstant(-50);
    root->layoutIfNeeded();
  });
  env.advance(290ms);
  EXPECT_EQ(screen.content->frame(), Rect(0, 20, 375, 647)) << "not before the delay";
  env.advance(110ms);
  EXPECT_LT(screen.content->frame().height(), 647);
  EXPECT_GT(screen.content->frame().height(), 597);
  env.advance(100ms);
  EXPECT_EQ(screen.content->frame(), Rect(0, 20, 375, 597));

  // Without animations, or in a block without a duration, the frame is set at once.
  Animation::performWithoutAnimation([&] {
    Animation::animate(0.5, [&] {
      screen.bottom->setConstant(0);
      root->layoutIfNeeded();
    });
  });
  EXPECT_EQ(screen.content->frame(), Rect(0, 20, 375, 647));
  env.runUntilIdle();
  EXPECT_EQ(Animation::runningCount(), 0);
}

}  // namespace
}  // namespace platform
