#include "platform/ui/LayoutSolver.h"

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/base/SystemLog.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
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

TEST_F(LayoutSolverTest, SolvesEachKindAndRecordsOrBreaksTheRest) {
  struct Views {
    std::shared_ptr<View> s, a, b, nested, loose;
  };
  using Build = std::function<std::vector<std::shared_ptr<LayoutConstraint>>(const Views&)>;
  const Rect kept(1, 2, 3, 4);  // a's and b's frames before the pass
  const struct {
    const char* name;
    Build build;
    Rect a;
    Rect b;
    std::size_t unsolved;
    std::size_t broken;
  } rows[] = {
      {"edges and a constant height",
       [](const Views& v) {
         return std::vector{make(v.a, A::Leading, v.s, A::Leading, 1, 10),
                            make(v.a, A::Trailing, v.s, A::Trailing, 1, -10), make(v.a, A::Top, v.s, A::Top, 1, 20),
                            size(v.a, A::Height, 50)};
       },
       Rect(10, 20, 355, 50), kept, 0, 0},
      {"centre and size",
       [](const Views& v) {
         return std::vector{make(v.a, A::CenterX, v.s, A::CenterX, 1, 0), make(v.a, A::CenterY, v.s, A::CenterY, 1, 0),
                            size(v.a, A::Width, 320), size(v.a, A::Height, 50)};
       },
       Rect(27.5, 308.5, 320, 50), kept, 0, 0},
      {"the superview first; max edge and centre; a location alone keeps the size",
       [](const Views& v) {
         return std::vector{make(v.s, A::Right, v.a, A::Right, 1, 8), make(v.a, A::CenterX, v.s, A::CenterX, 0.5, 0),
                            make(v.s, A::Bottom, v.a, A::Bottom, 2, 67)};
       },
       Rect(-179.5, 296, 546.5, 4), kept, 0, 0},
      {"a sibling whatever the order; multipliers; a size from the other size",
       [](const Views& v) {
         return std::vector{make(v.b, A::Top, v.a, A::Bottom, 1, 8),
                            make(v.b, A::Left, v.a, A::Left, 1, 0),
                            make(v.b, A::Width, v.a, A::Width, 0.5, 0),
                            make(v.b, A::Height, v.b, A::Width, 0.5, 0),
                            make(v.a, A::Width, v.s, A::Width, 0.5, 0),
                            make(v.a, A::Top, v.s, A::Top, 1, 0),
                            size(v.a, A::Height, 40),
                            make(v.a, A::Left, v.s, A::Left, 1, 5)};
       },
       Rect(5, 0, 187.5, 40), Rect(5, 48, 93.75, 46.875), 0, 0},
      {"min edge and centre; a size alone keeps the min edge; an unconstrained axis stays",
       [](const Views& v) {
         return std::vector{make(v.a, A::Top, v.s, A::Top, 1, 10), make(v.a, A::CenterY, v.s, A::Top, 1, 30),
                            size(v.b, A::Width, 7)};
       },
       Rect(1, 10, 3, 40), Rect(1, 2, 7, 4), 0, 0},
      {"a negative size becomes zero",
       [](const Views& v) {
         return std::vector{make(v.a, A::Top, v.s, A::Top, 1, 100), make(v.a, A::Bottom, v.s, A::Top, 1, 50)};
       },
       Rect(1, 100, 3, 0), kept, 0, 0},
      {"inequalities at each priority; what is not of the kinds solved is recorded",
       [](const Views& v) {
         auto low = make(v.a, A::Left, v.s, A::Left, 1, 99);
         low->setPriority(750);
         auto lower = make(v.a, A::Left, v.s, A::Left, 1, 70);
         lower->setPriority(250);
         auto weak = make(v.b, A::Width, nullptr, A::NotAnAttribute, 1, 30, R::LessThanOrEqual);
         weak->setPriority(1);
         return std::vector{make(v.a, A::Left, v.s, A::Left, 1, 50, R::GreaterThanOrEqual),
                            lower,
                            low,
                            weak,
                            make(v.b, A::Width, v.a, A::Width, 33, 0, R::GreaterThanOrEqual),
                            size(v.a, A::Width, 3),
                            make(v.a, A::LastBaseline, v.s, A::Bottom, 1, 0),
                            make(v.a, A::Top, v.s, A::Width, 1, 0),
                            make(v.a, A::Top, v.s, A::Left, 1, 0),
                            make(v.a, A::Left, nullptr, A::NotAnAttribute, 1, 9),
                            make(v.a, A::Left, v.s, A::LastBaseline, 1, 0),
                            make(v.loose, A::Left, v.s, A::Left, 1, 0),
                            make(v.a, A::Top, v.s, A::Top, 1, 6)};
       },
       Rect(99, 6, 3, 4), Rect(1, 2, 99, 4), 6, 0},
      {"a chain of siblings; a subview of one in the same hierarchy",
       [](const Views& v) {
         return std::vector{make(v.b, A::Left, v.a, A::Right, 1, 8), make(v.a, A::Left, v.s, A::Left, 1, 10),
                            size(v.a, A::Width, 100), make(v.nested, A::Left, v.a, A::Left, 1, 0)};
       },
       Rect(10, 2, 100, 4), Rect(118, 2, 3, 4), 0, 0},
      {"equalities that name each other",
       [](const Views& v) {
         return std::vector{make(v.a, A::Left, v.b, A::Left, 1, 0), make(v.b, A::Left, v.a, A::Left, 1, 0),
                            make(v.b, A::Top, v.s, A::Top, 1, 0)};
       },
       kept, Rect(1, 0, 3, 4), 0, 0},
      {"a size from itself", [](const Views& v) { return std::vector{make(v.a, A::Width, v.a, A::Width, 2, 0)}; },
       Rect(1, 2, 0, 4), kept, 0, 0},
      {"two values for one size: the later is broken",
       [](const Views& v) {
         return std::vector{make(v.b, A::Top, v.s, A::Top, 1, 0), size(v.a, A::Width, 10), size(v.a, A::Width, 20)};
       },
       Rect(1, 2, 10, 4), Rect(1, 0, 3, 4), 0, 1},
      {"three kinds that disagree",
       [](const Views& v) {
         return std::vector{make(v.a, A::Left, v.s, A::Left, 1, 0), make(v.a, A::Right, v.s, A::Left, 1, 100),
                            size(v.a, A::Width, 50)};
       },
       Rect(0, 2, 100, 4), kept, 0, 1},
      {"three kinds that agree",
       [](const Views& v) {
         return std::vector{make(v.a, A::Left, v.s, A::Left, 1, 0), make(v.a, A::Right, v.s, A::Left, 1, 100),
                            size(v.a, A::Width, 100), size(v.a, A::Width, 100)};
       },
       Rect(0, 2, 100, 4), kept, 0, 0},
      {"the frame of the top view is kept",
       [](const Views& v) {
         return std::vector{make(v.s, A::Left, v.a, A::Left, 0, 9), make(v.a, A::Top, v.s, A::Top, 1, 6)};
       },
       Rect(1, 6, 3, 4), kept, 0, 1},
      {"a result that is not finite",
       [](const Views& v) {
         return std::vector{make(v.b, A::Top, v.s, A::Top, 1, 0), make(v.a, A::Left, v.s, A::Right, 1e307, 0)};
       },
       kept, Rect(1, 0, 3, 4), 0, 1},
      {"an edge and a size that overflow together",
       [](const Views& v) {
         return std::vector{make(v.a, A::Left, v.s, A::Left, 1, 1.5e308), size(v.a, A::Width, 1.5e308)};
       },
       kept, kept, 0, 0},
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
    EXPECT_EQ(result.unsolved.size(), row.unsolved) << row.name;
    EXPECT_EQ(result.broken.size(), row.broken) << row.name;
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
  EXPECT_TRUE(log.contains("it conflicts with: the frame of <View")) << log.messages().front();

  fixed->setFrame(Rect(50, 5, 10, 10));  // now where its constraint puts it
  s->setNeedsLayout();
  s->layoutIfNeeded();
  EXPECT_TRUE(LayoutSolver::solve(*s).broken.empty()) << "tried again once the frame it met moved";
  fixed->setFrame(Rect(60, 5, 10, 10));
  EXPECT_EQ(LayoutSolver::solve(*s).broken.size(), 1u) << "broken again when it moves away";
  fixed->setFrame(Rect(50, 5, 10, 10));
  EXPECT_TRUE(LayoutSolver::solve(*s).broken.empty());
  label->setFrame(Rect(0, 0, 80, 4));
  label->setTranslatesAutoresizingMaskIntoConstraints(true);
  s->layoutIfNeeded();
  EXPECT_EQ(label->frame(), Rect(0, 0, 80, 4)) << "a view that keeps its frame breaks the constraints against it";
  EXPECT_EQ(LayoutSolver::solve(*s).broken.size(), 2u);
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  s->layoutIfNeeded();
  EXPECT_TRUE(LayoutSolver::solve(*s).broken.empty()) << "tried again once it no longer keeps its frame";
  EXPECT_EQ(label->frame(), Rect(210, 98, 80, 4));
}

TEST_F(LayoutSolverTest, AConflictBreaksTheLaterConstraintOnceUntilItCanHold) {
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
  EXPECT_EQ(a->frame(), Rect(1, 1, 10, 1));
  EXPECT_EQ(b->frame(), Rect(30, 2, 2, 2)) << "the rest is laid out";
  ASSERT_EQ(log.messages().size(), 1u);
  EXPECT_TRUE(log.contains("breaking <View")) << log.messages().front();
  EXPECT_TRUE(log.contains(".width == nothing.none * 1 + 20 @1000: it conflicts with: <View"));
  EXPECT_TRUE(log.contains(".width == nothing.none * 1 + 10 @1000;"));
  width->setConstant(20);
  EXPECT_TRUE(s->needsLayout()) << "a new constant asks for a pass";
  s->layoutIfNeeded();
  EXPECT_EQ(a->frame(), Rect(1, 1, 20, 1)) << "tried again once a required constraint changed";
  EXPECT_TRUE(LayoutSolver::solve(*s).broken.empty());
  auto narrow = size(s, A::Width, 50);  // against the frame the top view keeps
  s->addConstraint(narrow);
  EXPECT_EQ(LayoutSolver::solve(*s).broken, std::vector{narrow}) << "one on the top view alone asks for a pass";
  narrow->setActive(false);
  EXPECT_TRUE(LayoutSolver::solve(*s).broken.empty());
}

TEST_F(LayoutSolverTest, ABrokenConstraintIsTriedAgainWhenOneItConflictsWithGoesNotOnEveryPass) {
  auto s = View::create(Rect(0, 0, 300, 200));
  auto a = View::create(Rect(1, 1, 1, 1)), b = View::create(Rect(2, 2, 2, 2));
  auto fixed = View::create(Rect(0, 0, 10, 10));  // keeps its frame
  for (const auto& v : {a, b, fixed}) s->addSubview(v);
  a->setTranslatesAutoresizingMaskIntoConstraints(false);
  b->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto margin = make(a, A::Top, s, A::Top, 1, 8);
  auto tall = make(a, A::Height, nullptr, A::NotAnAttribute, 1, 44, R::GreaterThanOrEqual);
  // b as tall as a, which it cannot be at 30 points: broken through the link.
  auto cap = make(b, A::Height, nullptr, A::NotAnAttribute, 1, 30, R::LessThanOrEqual);
  s->addConstraints(
      {margin, tall, make(b, A::Height, a, A::Height, 1, 0), make(b, A::Left, fixed, A::Right, 1, 0), cap});
  SystemLog::Capture log(true);
  s->layoutIfNeeded();
  ASSERT_EQ(LayoutSolver::solve(*s).broken, std::vector{cap});
  const auto variables = LayoutSolver::solve(*s).solverVariables;
  EXPECT_GT(variables, 0u);
  for (int pass = 0; pass < 1000; ++pass) {
    margin->setConstant(8 + pass % 2);
    fixed->setFrame(Rect(pass % 3, 0, 10, 10));
    s->layoutIfNeeded();
    const auto result = LayoutSolver::solve(*s);
    ASSERT_EQ(result.broken.size(), 1u) << pass;
    ASSERT_EQ(result.solverVariables, variables) << "pass " << pass;
  }
  EXPECT_EQ(b->frame(), Rect(10, 2, 2, 44));
  EXPECT_EQ(log.messages().size(), 1u);
  tall->setPriority(750);
  s->layoutIfNeeded();
  EXPECT_TRUE(LayoutSolver::solve(*s).broken.empty()) << "tried again once one it conflicted with changed";
  EXPECT_EQ(a->frame().height(), 30);
  tall->setPriority(LayoutConstraint::kPriorityRequired);  // now the later one
  EXPECT_EQ(LayoutSolver::solve(*s).broken, std::vector{tall});
  s->removeConstraint(cap);
  s->layoutIfNeeded();
  EXPECT_TRUE(LayoutSolver::solve(*s).broken.empty()) << "tried again once one it conflicted with went";
  EXPECT_EQ(a->frame().height(), 44);
}

// Three constraints that each stand alone against where a view keeps its frame: all
// three are broken and logged, and what follows the view follows the frame it keeps.
TEST_F(LayoutSolverTest, AKeptFrameBreaksEveryConstraintInItsWay) {
  const struct {
    const char* name;
    bool keptAtFirst;
  } rows[] = {{"a kept frame that moves", true}, {"a view that starts keeping its frame", false}};
  for (const auto& row : rows) {
    auto s = View::create(Rect(0, 0, 300, 200));
    auto kept = View::create(Rect(0, 40, 10, 10)), follower = View::create(Rect(0, 0, 5, 5));
    s->addSubview(kept);
    s->addSubview(follower);
    follower->setTranslatesAutoresizingMaskIntoConstraints(false);
    kept->setTranslatesAutoresizingMaskIntoConstraints(row.keptAtFirst);
    const std::vector<std::shared_ptr<LayoutConstraint>> low{
        make(kept, A::CenterY, s, A::Top, 1, 36, R::GreaterThanOrEqual),
        make(kept, A::Top, s, A::Top, 1, 30, R::GreaterThanOrEqual),
        make(kept, A::Bottom, s, A::Top, 1, 40, R::GreaterThanOrEqual)};
    s->addConstraints(low);
    s->addConstraint(make(follower, A::Top, kept, A::Bottom, 1, 5));
    SystemLog::Capture log(true);
    s->layoutIfNeeded();
    ASSERT_TRUE(LayoutSolver::solve(*s).broken.empty()) << row.name;
    kept->setFrame(Rect(0, 0, 10, 10));
    kept->setTranslatesAutoresizingMaskIntoConstraints(true);
    s->setNeedsLayout();
    s->layoutIfNeeded();
    EXPECT_EQ(kept->frame(), Rect(0, 0, 10, 10)) << row.name;
    EXPECT_EQ(follower->frame(), Rect(0, 15, 5, 5)) << row.name;
    EXPECT_THAT(LayoutSolver::solve(*s).broken, testing::UnorderedElementsAreArray(low)) << row.name;
    EXPECT_EQ(log.messages().size(), 3u) << row.name;
  }
}

TEST_F(LayoutSolverTest, ALabelAndAnImageHugTheirContentAndResistCompressionByPriority) {
  using Setup = std::function<std::vector<std::shared_ptr<LayoutConstraint>>(const std::shared_ptr<View>&,
                                                                             const std::shared_ptr<View>&)>;
  auto label = [] {
    auto l = Label::create();
    l->setFont(Font::systemFont(12));
    l->setText("Hello");  // 30 x 14.4
    return std::static_pointer_cast<View>(l);
  };
  auto image = [] { return std::static_pointer_cast<View>(ImageView::create(Image::createBlank({40, 20}))); };
  auto width = [](float priority, double points) {
    return [=](const std::shared_ptr<View>& s, const std::shared_ptr<View>& v) {
      auto c = size(v, A::Width, points);
      c->setPriority(priority);
      return std::vector{make(v, A::Leading, s, A::Leading, 1, 10), c};
    };
  };
  auto stretch = [](float priority) {
    return [=](const std::shared_ptr<View>& s, const std::shared_ptr<View>& v) {
      auto c = make(v, A::Trailing, s, A::Trailing, 1, -10);
      c->setPriority(priority);
      return std::vector{make(v, A::Leading, s, A::Leading, 1, 10), c};
    };
  };
  const struct {
    const char* name;
    std::function<std::shared_ptr<View>()> make;
    float hugging, compression;  // horizontal
    Setup setup;
    double width;
  } rows[] = {
      {"a label at its text's size", label, 250, 750, width(1, 300), 30},
      {"a required width beats compression resistance", label, 250, 750, width(1000, 20), 20},
      {"compression resistance beats a weaker width", label, 250, 750, width(500, 20), 30},
      {"a stronger width beats compression resistance", label, 250, 750, width(800, 20), 20},
      {"a stronger stretch beats hugging", label, 250, 750, stretch(300), 280},
      {"hugging beats a weaker stretch", label, 250, 750, stretch(200), 30},
      {"an image whose compression resistance is lowered", image, 250, 100, width(200, 25), 25},
      {"an image whose hugging is raised", image, 500, 750, stretch(300), 40},
  };
  for (const auto& row : rows) {
    auto s = View::create(Rect(0, 0, 300, 100));
    auto v = row.make();
    s->addSubview(v);
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    v->setContentHuggingPriority(row.hugging, LayoutConstraintAxis::Horizontal);
    v->setContentCompressionResistancePriority(row.compression, LayoutConstraintAxis::Horizontal);
    s->addConstraints(row.setup(s, v));
    s->layoutIfNeeded();
    EXPECT_NEAR(v->frame().width(), row.width, 1e-9) << row.name;
    EXPECT_EQ(v->frame().height(), v->intrinsicContentSize().height) << row.name;
  }
}

TEST_F(LayoutSolverTest, ConstraintsComeAndGoBetweenWindowPasses) {
  auto window = Window::create(Rect(0, 0, 375, 667));
  window->makeKeyAndVisible();
  auto a = View::create(Rect(5, 5, 10, 10)), b = View::create(Rect(0, 0, 10, 10));
  for (const auto& v : {a, b}) {
    window->addSubview(v);
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
  }
  auto follow = make(b, A::Left, a, A::Right, 1, 8);
  window->addConstraints({make(a, A::Left, window, A::Left, 1, 20), follow});
  env.runUntilIdle();
  EXPECT_EQ(b->frame(), Rect(38, 0, 10, 10));
  auto wider = size(a, A::Width, 50);
  window->addConstraint(wider);
  env.runUntilIdle();
  EXPECT_EQ(b->frame(), Rect(78, 0, 10, 10)) << "an added constraint moves what follows";
  window->removeConstraint(follow);
  window->removeConstraint(wider);
  env.runUntilIdle();
  EXPECT_EQ(a->frame(), Rect(20, 5, 50, 10)) << "what is left free stays";
  EXPECT_EQ(b->frame(), Rect(78, 0, 10, 10));
  auto pull = make(b, A::Left, window, A::Left, 1, 300);
  pull->setPriority(10);
  window->addConstraints({pull, make(b, A::Left, window, A::Left, 1, 100, R::LessThanOrEqual)});
  env.runUntilIdle();
  EXPECT_EQ(b->frame().minX(), 100) << "as close as a required bound lets it";
  a->removeFromSuperview();
  window->addConstraint(make(b, A::Top, window, A::Top, 1, 40));
  env.runUntilIdle();
  EXPECT_EQ(b->frame(), Rect(100, 40, 10, 10)) << "a view that left takes its constraints along";
  b->setFrame(Rect(100, 40, 10, 25));
  window->setNeedsLayout();
  env.runUntilIdle();
  EXPECT_EQ(b->frame(), Rect(100, 40, 10, 25)) << "a free size the app sets stays";
  auto nearer = make(b, A::Left, window, A::Left, 1, 60);
  nearer->setPriority(5);
  window->addConstraint(nearer);
  env.runUntilIdle();
  EXPECT_EQ(b->frame().minX(), 100) << "the heavier pull wins";
  nearer->setPriority(50);
  env.runUntilIdle();
  EXPECT_EQ(b->frame().minX(), 60) << "a new priority takes effect";
}

// A banner refreshed for hours: each view that leaves the hierarchy, or is no longer
// named by a constraint, gives its variables back.
TEST_F(LayoutSolverTest, ViewsThatComeAndGoLeaveNoVariablesBehind) {
  auto s = View::create(Rect(0, 0, 320, 480));
  std::size_t variables = 0;
  for (int round = 0; round < 1000; ++round) {
    auto banner = View::create(Rect(1, 1, 1, 1)), inner = View::create(Rect(2, 2, 2, 2));
    banner->addSubview(inner);
    s->addSubview(banner);
    for (const auto& v : {banner, inner}) v->setTranslatesAutoresizingMaskIntoConstraints(false);
    const std::vector<std::shared_ptr<LayoutConstraint>> placed{
        make(banner, A::CenterX, s, A::CenterX, 1, 0), make(banner, A::Bottom, s, A::Bottom, 1, -(round % 4)),
        size(banner, A::Width, 300), size(banner, A::Height, 50)};
    s->addConstraints(placed);
    banner->addConstraint(make(inner, A::Left, banner, A::Left, 1, 8));
    s->layoutIfNeeded();
    banner->layoutIfNeeded();
    ASSERT_EQ(banner->frame(), Rect(10, 430 - round % 4, 300, 50)) << round;
    ASSERT_EQ(inner->frame().minX(), 8) << round;
    const auto count = LayoutSolver::solve(*s).solverVariables;
    if (round == 3) variables = count;
    ASSERT_TRUE(round <= 3 || count == variables) << "round " << round << ": " << count << ", was " << variables;
    // It leaves with or after its constraints; or it goes, and a new view (perhaps in
    // its place in memory) comes before the next pass.
    s->removeConstraints(placed);
    if (round % 3 == 1) s->layoutIfNeeded();
    banner->removeFromSuperview();
    if (round % 3 == 0) s->layoutIfNeeded();
  }
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
    root->addConstraints(
        {bottom, make(content, A::Leading, root, A::Leading, 1, 0), make(content, A::Trailing, root, A::Trailing, 1, 0),
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

  auto tallGuide = size(screen.controller->topLayoutGuide(), A::Height, 30);  // against the guide's own
  tallGuide->setActive(true);
  EXPECT_EQ(LayoutSolver::solve(*screen.window).broken, std::vector{tallGuide});
  tallGuide->setActive(false);
  EXPECT_TRUE(LayoutSolver::solve(*screen.window).broken.empty()) << "one on a guide alone asks for a pass";

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
