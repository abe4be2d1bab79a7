// One layout pass over a tree of 100 views placed by simple constraints (edges to the
// superview, each row below the one before it, a constant height), against setting the
// same frames directly. Each iteration changes the root's width so that every frame
// changes in both. The ratio of the two times is the cost of solving.
//
// Then a grid of 200 views held by 800 constraints (equalities, an inequality and an
// optional size per row): the first pass of the hierarchy, which enters every constraint
// into its solver, against a pass after one constant changed (the top margin, so every
// view moves), which the solver takes incrementally. The target: the second at least
// ten times faster than the first.
//
// Then the same grid with one required constraint that cannot hold (the first cell at most
// 30 points tall, against its 44), left out as broken: the pass after one constant
// changed, within twice the same pass without it, and flat over 1,000 passes (the pass's
// time at the 1st, 10th, 30th and last of them, and the solver's variables before and
// after, which must not grow). Last, a solver's new constant after 25 refused
// constraints, against one that refused none: the same.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/base/SystemLog.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutSolver.h"
#include "platform/ui/SimplexSolver.h"
#include "platform/ui/View.h"
#include "testing/TestEnvironment.h"

namespace {

using platform::LayoutConstraint;
using platform::Rect;
using platform::View;
using A = LayoutConstraint::Attribute;

constexpr int kViews = 100;
constexpr double kRowHeight = 44;
constexpr double kMargin = 8;

struct Tree {
  std::shared_ptr<View> root = View::create(Rect(0, 0, 375, kViews*(kRowHeight + kMargin)));
  std::vector<std::shared_ptr<View>> rows;
};

Tree makeTree(bool constrained) {
  Tree tree;
  std::shared_ptr<View> above;
  for (int i = 0; i < kViews; ++i) {
    auto row = View::create();
    tree.root->addSubview(row);
    tree.rows.push_back(row);
    if (constrained) {
      row->setTranslatesAutoresizingMaskIntoConstraints(false);
      auto make = [&](A a, const std::shared_ptr<View>& to, A b, double constant) {
        return LayoutConstraint::create(row, a, LayoutConstraint::Relation::Equal, to, b, 1, constant);
      };
      tree.root->addConstraints(
          {make(A::Leading, tree.root, A::Leading, kMargin), make(A::Trailing, tree.root, A::Trailing, -kMargin),
           above ? make(A::Top, above, A::Bottom, kMargin) : make(A::Top, tree.root, A::Top, kMargin),
           make(A::Height, nullptr, A::NotAnAttribute, kRowHeight)});
    }
    above = row;
  }
  tree.root->layoutIfNeeded();
  return tree;
}

double widthFor(benchmark::IterationCount i) { return i % 2 ? 375 : 414; }

void BM_LayoutPassOfSimpleConstraints(benchmark::State& state) {
  testenv::TestEnvironment env;
  Tree tree = makeTree(true);
  benchmark::IterationCount i = 0;
  for (auto _ : state) {
    tree.root->setFrame(Rect(0, 0, widthFor(++i), tree.root->frame().height()));
    tree.root->layoutIfNeeded();
  }
  benchmark::DoNotOptimize(tree.rows.back()->frame());
}
BENCHMARK(BM_LayoutPassOfSimpleConstraints)->Unit(benchmark::kMicrosecond);

void BM_SettingTheSameFramesDirectly(benchmark::State& state) {
  testenv::TestEnvironment env;
  Tree tree = makeTree(false);
  benchmark::IterationCount i = 0;
  for (auto _ : state) {
    const double width = widthFor(++i);
    tree.root->setFrame(Rect(0, 0, width, tree.root->frame().height()));
    for (int row = 0; row < kViews; ++row) {
      tree.rows[static_cast<std::size_t>(row)]->setFrame(
          Rect(kMargin, kMargin + row * (kRowHeight + kMargin), width - 2 * kMargin, kRowHeight));
    }
    tree.root->layoutIfNeeded();
  }
  benchmark::DoNotOptimize(tree.rows.back()->frame());
}
BENCHMARK(BM_SettingTheSameFramesDirectly)->Unit(benchmark::kMicrosecond);

constexpr int kGridRows = 20;
constexpr int kGridColumns = 10;

struct Grid {
  std::shared_ptr<View> root = View::create(Rect(0, 0, 375, 2000));
  std::shared_ptr<LayoutConstraint> topMargin;
};

// Four constraints a cell: after the cell on its left (or the edge), below the cell above
// (or the top), as wide as the cell on its left (the first 30 points at priority 750), as
// tall as the cell above (the first row at least 44 points). `broken`: the first cell
// also at most 30 points tall, which cannot hold.
Grid makeGrid(bool broken = false) {
  Grid grid;
  std::vector<std::shared_ptr<View>> cells;
  auto make = [](const std::shared_ptr<View>& a, A x, const std::shared_ptr<View>& b, A y, double constant,
                 LayoutConstraint::Relation r = LayoutConstraint::Relation::Equal) {
    return LayoutConstraint::create(a, x, r, b, y, 1, constant);
  };
  for (int r = 0; r < kGridRows; ++r) {
    for (int c = 0; c < kGridColumns; ++c) {
      auto cell = View::create();
      cell->setTranslatesAutoresizingMaskIntoConstraints(false);
      grid.root->addSubview(cell);
      const auto left = c ? cells.back() : nullptr;
      const auto above = r ? cells[cells.size() - kGridColumns] : nullptr;
      auto top = above ? make(cell, A::Top, above, A::Bottom, kMargin) : make(cell, A::Top, grid.root, A::Top, kMargin);
      if (!above && !left) grid.topMargin = top;
      auto width =
          left ? make(cell, A::Width, left, A::Width, 0) : make(cell, A::Width, nullptr, A::NotAnAttribute, 30);
      if (!left) width->setPriority(750);
      grid.root->addConstraints({left ? make(cell, A::Leading, left, A::Trailing, kMargin)
                                      : make(cell, A::Leading, grid.root, A::Leading, kMargin),
                                 top, width,
                                 above ? make(cell, A::Height, above, A::Height, 0)
                                       : make(cell, A::Height, nullptr, A::NotAnAttribute, kRowHeight,
                                              LayoutConstraint::Relation::GreaterThanOrEqual)});
      cells.push_back(cell);
    }
  }
  if (broken) {
    grid.root->addConstraint(LayoutConstraint::create(
        cells.front(), A::Height, LayoutConstraint::Relation::LessThanOrEqual, nullptr, A::NotAnAttribute, 1, 30));
  }
  return grid;
}

void BM_FirstPassOf800Constraints(benchmark::State& state) {
  testenv::TestEnvironment env;
  for (auto _ : state) {
    state.PauseTiming();
    Grid grid = makeGrid();
    state.ResumeTiming();
    grid.root->layoutIfNeeded();
    state.PauseTiming();
    grid = Grid();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstPassOf800Constraints)->Unit(benchmark::kMicrosecond);

void BM_PassAfterOneConstantOf800Changed(benchmark::State& state) {
  testenv::TestEnvironment env;
  Grid grid = makeGrid();
  grid.root->layoutIfNeeded();
  benchmark::IterationCount i = 0;
  for (auto _ : state) {
    grid.topMargin->setConstant(++i % 2 ? kMargin + 1 : kMargin);
    grid.root->layoutIfNeeded();
  }
  benchmark::DoNotOptimize(grid.root->subviews().back()->frame());
}
BENCHMARK(BM_PassAfterOneConstantOf800Changed)->Unit(benchmark::kMicrosecond);

void BM_PassAfterOneConstantOf800ChangedWithOneBroken(benchmark::State& state) {
  testenv::TestEnvironment env;
  platform::SystemLog::Capture quiet(true);  // the broken constraint's line
  Grid grid = makeGrid(true);
  grid.root->layoutIfNeeded();
  benchmark::IterationCount i = 0;
  for (auto _ : state) {
    grid.topMargin->setConstant(++i % 2 ? kMargin + 1 : kMargin);
    grid.root->layoutIfNeeded();
  }
  if (platform::LayoutSolver::solve(*grid.root).broken.size() != 1) state.SkipWithError("not one broken");
}
BENCHMARK(BM_PassAfterOneConstantOf800ChangedWithOneBroken)->Unit(benchmark::kMicrosecond);

// One run of `passes` passes, each after one constant changed; the times of single passes.
void BM_PassesWithOneBroken(benchmark::State& state) {
  testenv::TestEnvironment env;
  platform::SystemLog::Capture quiet(true);
  const auto passes = state.range(0);
  for (auto _ : state) {
    Grid grid = makeGrid(true);
    grid.root->layoutIfNeeded();
    const auto before = platform::LayoutSolver::solve(*grid.root).solverVariables;
    for (int64_t pass = 1; pass <= passes; ++pass) {
      const auto start = std::chrono::steady_clock::now();
      grid.topMargin->setConstant(pass % 2 ? kMargin + 1 : kMargin);
      grid.root->layoutIfNeeded();
      const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
      if (pass == 1 || pass == 10 || pass == 30 || pass == passes) {
        state.counters["pass_" + std::to_string(pass) + "_us"] = us;
      }
    }
    const auto result = platform::LayoutSolver::solve(*grid.root);
    state.counters["variables_before"] = static_cast<double>(before);
    state.counters["variables_after"] = static_cast<double>(result.solverVariables);
    if (result.broken.size() != 1) state.SkipWithError("not one broken");
  }
}
BENCHMARK(BM_PassesWithOneBroken)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

// A chain of 800 required equalities (x[i] == x[i-1] + 1 from x[0] == 0), `range(0)`
// refused additions (the last at most 30), then new constants for the first.
void BM_SetConstantAfterRefusals(benchmark::State& state) {
  using platform::SimplexSolver;
  SimplexSolver solver;
  constexpr int kChain = 800;
  std::vector<SimplexSolver::Variable> x;
  for (int i = 0; i < kChain; ++i) x.push_back(solver.newVariable());
  const auto first = solver.add({{{x[0], 1}}, 0, SimplexSolver::Relation::Equal, SimplexSolver::kRequired});
  for (std::size_t i = 1; i < x.size(); ++i) {
    (void)solver.add({{{x[i], 1}, {x[i - 1], -1}}, -1, SimplexSolver::Relation::Equal, SimplexSolver::kRequired});
  }
  for (int64_t i = 0; i < state.range(0); ++i) {
    (void)solver.add({{{x.back(), 1}}, -30, SimplexSolver::Relation::LessOrEqual, SimplexSolver::kRequired});
  }
  benchmark::IterationCount i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(solver.setConstant(first.id, double(++i % 2)));
  state.counters["variables"] = static_cast<double>(solver.variableCount());
}
BENCHMARK(BM_SetConstantAfterRefusals)->Arg(0)->Arg(25)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
