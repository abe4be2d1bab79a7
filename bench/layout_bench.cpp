// One layout pass over a tree of 100 views placed by simple constraints (edges to the
// superview, each row below the one before it, a constant height), against setting the
// same frames directly. Each iteration changes the root's width so that every frame
// changes in both. The ratio of the two times is the cost of solving.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/ui/LayoutConstraint.h"
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
  std::shared_ptr<View> root = View::create(Rect(0, 0, 375, kViews * (kRowHeight + kMargin)));
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
      tree.root->addConstraints({make(A::Leading, tree.root, A::Leading, kMargin),
                                 make(A::Trailing, tree.root, A::Trailing, -kMargin),
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

}  // namespace

BENCHMARK_MAIN();
