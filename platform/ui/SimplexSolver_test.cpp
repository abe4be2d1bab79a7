#include "platform/ui/SimplexSolver.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace platform {
namespace {

using Relation = SimplexSolver::Relation;
using Status = SimplexSolver::Status;
constexpr double kRequired = SimplexSolver::kRequired;

// x and y are variables 0 and 1 of a fresh solver.
SimplexSolver::Definition def(double x, double y, double constant, Relation relation, double weight = kRequired) {
  return {{{0, x}, {1, y}}, constant, relation, weight};
}

TEST(SimplexSolverTest, RequiredHoldAndOptionalAreMetByWeight) {
  const struct {
    const char* name;
    std::vector<SimplexSolver::Definition> definitions;
    double x;
    double y;
  } rows[] = {
      {"x == 10", {def(1, 0, -10, Relation::Equal)}, 10, 0},
      {"x >= 10 beats a weak x == 0",
       {def(1, 0, 0, Relation::Equal, 1), def(1, 0, -10, Relation::GreaterOrEqual)},
       10,
       0},
      {"x <= 10 beats a weak x == 20",
       {def(1, 0, -20, Relation::Equal, 1), def(1, 0, -10, Relation::LessOrEqual)},
       10,
       0},
      {"the heavier of two optional equalities",
       {def(1, 0, -5, Relation::Equal, 0.25), def(1, 0, -15, Relation::Equal, 0.5)},
       15,
       0},
      {"an optional inequality that cannot be met",
       {def(1, 0, -3, Relation::Equal), def(1, 0, -10, Relation::GreaterOrEqual, 9)},
       3,
       0},
      {"an optional inequality met at no cost",
       {def(1, 0, -30, Relation::Equal, 1), def(1, 0, -10, Relation::GreaterOrEqual, 9)},
       30,
       0},
      {"a sum and an optional balance", {def(1, 1, -20, Relation::Equal), def(1, -1, 0, Relation::Equal, 1)}, 10, 10},
      {"a multiple of another variable", {def(2, -1, 0, Relation::Equal), def(0, 1, -30, Relation::Equal)}, 15, 30},
      {"an inequality between variables",
       {def(0, 1, -7, Relation::Equal), def(1, -1, 0, Relation::GreaterOrEqual), def(1, 0, 0, Relation::Equal, 1)},
       7,
       7},
  };
  for (const auto& row : rows) {
    SimplexSolver solver;
    solver.newVariable();
    solver.newVariable();
    for (const auto& d : row.definitions) EXPECT_EQ(solver.add(d).status, Status::Added) << row.name;
    EXPECT_NEAR(solver.value(0), row.x, 1e-9) << row.name;
    EXPECT_NEAR(solver.value(1), row.y, 1e-9) << row.name;
  }
}

TEST(SimplexSolverTest, ARequiredConflictIsRefusedWithTheConstraintsItMeets) {
  SimplexSolver solver;
  solver.newVariable();
  solver.newVariable();
  const auto sum = solver.add(def(1, 1, -20, Relation::Equal));
  const auto x = solver.add(def(1, 0, -5, Relation::Equal));
  (void)solver.add(def(0, 1, 0, Relation::Equal, 1));
  const auto refused = solver.add(def(0, 1, -40, Relation::Equal));
  EXPECT_EQ(refused.status, Status::Unsatisfiable);
  EXPECT_EQ(refused.id, -1);
  EXPECT_EQ(refused.involved, (std::vector{sum.id, x.id}));
  const auto inequality = solver.add(def(0, 1, -30, Relation::GreaterOrEqual));  // through phase one
  EXPECT_EQ(inequality.status, Status::Unsatisfiable);
  EXPECT_FALSE(inequality.involved.empty());
  EXPECT_NEAR(solver.value(0), 5, 1e-9);
  EXPECT_NEAR(solver.value(1), 15, 1e-9);
  const auto z = solver.newVariable();
  const auto overflow = solver.add({{{z, 1e-7}}, 1e308, Relation::Equal, kRequired});
  EXPECT_EQ(overflow.status, Status::NotFinite);
  EXPECT_NEAR(solver.value(1), 15, 1e-9) << "the others stay";
}

TEST(SimplexSolverTest, ConstantsChangeAndConstraintsGoWithoutStartingAgain) {
  SimplexSolver solver;
  solver.newVariable();
  solver.newVariable();
  (void)solver.add(def(1, 0, 0, Relation::Equal, 1));  // weak x == 0
  const auto floor = solver.add(def(1, 0, -10, Relation::GreaterOrEqual));
  const auto link = solver.add(def(1, -1, 4, Relation::Equal));  // y = x + 4
  EXPECT_NEAR(solver.value(1), 14, 1e-9);
  EXPECT_EQ(solver.setConstant(floor.id, -25).status, Status::Added);
  EXPECT_NEAR(solver.value(0), 25, 1e-9);
  EXPECT_NEAR(solver.value(1), 29, 1e-9);
  EXPECT_EQ(solver.setConstant(link.id, -4).status, Status::Added);
  EXPECT_NEAR(solver.value(1), 21, 1e-9);

  const auto ceiling = solver.add(def(1, 0, -30, Relation::LessOrEqual));
  const auto clash = solver.setConstant(ceiling.id, -20);  // x <= 20 against x >= 25
  EXPECT_EQ(clash.status, Status::Unsatisfiable);
  EXPECT_EQ(clash.involved, std::vector{floor.id});
  EXPECT_FALSE(solver.contains(ceiling.id)) << "refused and removed";
  EXPECT_NEAR(solver.value(0), 25, 1e-9);

  solver.remove(floor.id);
  EXPECT_FALSE(solver.contains(floor.id));
  EXPECT_NEAR(solver.value(0), 0, 1e-9) << "back to the weak one";
  EXPECT_NEAR(solver.value(1), -4, 1e-9);
  solver.remove(link.id);
  solver.remove(link.id);
  EXPECT_TRUE(solver.add(def(0, 1, -3, Relation::Equal)).status == Status::Added);
  EXPECT_NEAR(solver.value(1), 3, 1e-9);
}

TEST(SimplexSolverTest, RefusedAndRemovedConstraintsLeaveNoVariablesBehind) {
  SimplexSolver solver;
  solver.newVariable();
  solver.newVariable();
  (void)solver.add(def(1, 0, -10, Relation::Equal));
  (void)solver.add(def(1, 1, 0, Relation::Equal, 1));
  // Each way out on its own, so that no rebuild hands back what another leaves.
  const std::function<void()> ways[] = {
      [&] { solver.remove(solver.add(def(0, 1, -3, Relation::Equal, 2)).id); },
      [&] { solver.remove(solver.add(def(0, 1, -4, Relation::GreaterOrEqual, 2)).id); },
      [&] { solver.remove(solver.add(def(0, 1, -4, Relation::GreaterOrEqual)).id); },
      [&] { EXPECT_EQ(solver.add(def(1, 0, -20, Relation::Equal)).status, Status::Unsatisfiable); },
      [&] {
        const auto refused = solver.add(def(1, 0, -5, Relation::LessOrEqual));  // through phase one
        EXPECT_EQ(refused.status, Status::Unsatisfiable);
        EXPECT_EQ(refused.id, -1);
      },
      [&] {  // a variable of the caller's, given back once nothing names it
        const auto z = solver.newVariable();
        const auto link = solver.add({{{z, 1}, {1, -1}}, -2, Relation::Equal, kRequired});
        EXPECT_NEAR(solver.value(z), -8, 1e-9);
        solver.remove(link.id);
        solver.removeVariable(z);
      },
  };
  for (const auto& way : ways) {
    way();
    const auto variables = solver.variableCount();
    for (int round = 0; round < 20; ++round) way();
    EXPECT_EQ(solver.variableCount(), variables) << &way - ways;
  }
  EXPECT_NEAR(solver.value(0), 10, 1e-9);
  EXPECT_NEAR(solver.value(1), -10, 1e-9);
}

TEST(SimplexSolverTest, AnOptionalConstraintIsKeptHoweverBadlyScaled) {
  SimplexSolver solver;
  solver.newVariable();
  solver.newVariable();
  const auto z = solver.newVariable();
  (void)solver.add(def(1, 0, 0, Relation::Equal, 1));
  // Its error times its weight overflows: it enters all the same, and pulls harder.
  const auto far = solver.add(def(1, 0, -1e308, Relation::Equal, 4));
  EXPECT_EQ(far.status, Status::Added);
  EXPECT_DOUBLE_EQ(solver.value(0), 1e308);
  solver.remove(far.id);
  EXPECT_EQ(solver.value(0), 0);
  // y == x + 1e308: a required x == 1e308 would overflow y, and is refused.
  (void)solver.add(def(-1, 1, -1e308, Relation::Equal));
  EXPECT_EQ(solver.add(def(1, 0, -1e308, Relation::Equal)).status, Status::NotFinite);
  // An optional one that would overflow stays out of the tableau (x where the weak pull
  // has it), through a rebuild, until a new constant lets it enter.
  const auto half = solver.add(def(2, -1, -1e308, Relation::Equal, 4));
  EXPECT_EQ(half.status, Status::Added);
  EXPECT_EQ(solver.value(0), 0);
  (void)solver.add({{{z, 1}}, 0, Relation::Equal, kRequired});
  EXPECT_EQ(solver.add({{{z, 1}}, -5, Relation::GreaterOrEqual, kRequired}).status, Status::Unsatisfiable);
  EXPECT_TRUE(solver.contains(half.id));
  EXPECT_EQ(solver.setConstant(half.id, 5e307).status, Status::Added);
  EXPECT_DOUBLE_EQ(solver.value(0), 5e307);
  solver.remove(half.id);
  EXPECT_FALSE(solver.contains(half.id));
  EXPECT_EQ(solver.value(0), 0);
}

// Random systems that hold at a known point: every required constraint is accepted and
// holds, and through additions, removals and new constants the solution stays as good as
// that of a fresh solver given the same constraints.
using Definition = SimplexSolver::Definition;

double evaluate(const Definition& d, const std::vector<double>& values) {
  double sum = d.constant;
  for (const auto& term : d.terms) sum += term.coefficient * values[static_cast<std::size_t>(term.variable)];
  return sum;
}

// How far the values are from meeting the constraint.
double miss(const Definition& d, const std::vector<double>& values) {
  const double v = evaluate(d, values);
  switch (d.relation) {
    case Relation::Equal:
      return std::abs(v);
    case Relation::GreaterOrEqual:
      return std::max(0.0, -v);
    case Relation::LessOrEqual:
      return std::max(0.0, v);
  }
  return 0;
}

std::vector<double> solution(const SimplexSolver& solver) {
  return {solver.value(0), solver.value(1), solver.value(2)};
}

TEST(SimplexSolverTest, RandomSystemsStayFeasibleAndOptimalThroughChanges) {
  std::mt19937 random(7);
  const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  for (int round = 0; round < 300; ++round) {
    const std::vector<double> point{double(pick(-20, 20)), double(pick(-20, 20)), double(pick(-20, 20))};
    // Required constraints hold at `point` (inequalities with some slack); optional ones need not.
    const auto holdingConstant = [&](const Definition& d) {
      const double slack = pick(0, 5);
      const double at = evaluate(d, point) - d.constant;
      return d.relation == Relation::Equal ? -at : d.relation == Relation::GreaterOrEqual ? slack - at : -slack - at;
    };
    const auto randomDefinition = [&](bool required) {
      Definition d;
      while (d.terms.empty()) {
        for (int v = 0; v < 3; ++v) {
          if (const int c = pick(-3, 3)) d.terms.push_back({v, double(c)});
        }
      }
      d.relation = static_cast<Relation>(pick(0, 2));
      d.constant = required ? holdingConstant(d) : pick(-30, 30);
      d.weight = required ? kRequired : pick(1, 4);
      return d;
    };
    const auto check = [&](const SimplexSolver& solver, const std::map<int, Definition>& live, const char* when) {
      SimplexSolver fresh;
      for (int v = 0; v < 3; ++v) fresh.newVariable();
      double cost = 0, freshCost = 0;
      for (const auto& [id, d] : live) {
        ASSERT_EQ(fresh.add(d).status, Status::Added) << round << when;
        if (d.weight == kRequired) {
          EXPECT_LT(miss(d, solution(solver)), 1e-6) << round << when;
        }
      }
      for (const auto& [id, d] : live) {
        if (d.weight == kRequired) continue;
        cost += d.weight * miss(d, solution(solver));
        freshCost += d.weight * miss(d, solution(fresh));
      }
      EXPECT_NEAR(cost, freshCost, 1e-6) << round << when;
    };

    SimplexSolver solver;
    for (int v = 0; v < 3; ++v) solver.newVariable();
    std::map<int, Definition> live;
    for (int i = 0; i < 8; ++i) {
      const Definition d = randomDefinition(pick(0, 2) != 0);
      const auto outcome = solver.add(d);
      ASSERT_EQ(outcome.status, Status::Added) << round;
      live[outcome.id] = d;
    }
    check(solver, live, " added");
    for (int change = 0; change < 4; ++change) {
      auto it = std::next(live.begin(), pick(0, static_cast<int>(live.size()) - 1));
      if (it->second.weight == kRequired && it->second.relation != Relation::Equal) {
        it->second.constant = holdingConstant(it->second);
        ASSERT_EQ(solver.setConstant(it->first, it->second.constant).status, Status::Added) << round;
      } else {
        solver.remove(it->first);
        live.erase(it);
      }
      check(solver, live, " changed");
    }
  }
}

// What a refusal names is all the conflict needs: while none of those constraints changes
// or goes, the refused one cannot enter, whatever happens to the others. (Layout tries a
// broken constraint again only then.)
TEST(SimplexSolverTest, ARefusedConstraintStaysRefusedWhileThoseItConflictsWithStay) {
  std::mt19937 random(11);
  const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  int refusals = 0;
  for (int round = 0; round < 1500; ++round) {
    SimplexSolver solver;
    for (int v = 0; v < 3; ++v) solver.newVariable();
    std::map<int, Definition> live;
    for (int i = 0; i < 10; ++i) {
      Definition d;
      SimplexSolver::Outcome outcome;
      auto it = std::next(live.begin(), pick(0, static_cast<int>(live.size())));
      if (it != live.end() && it->second.weight == kRequired) {  // through the dual simplex
        d = it->second;
        d.constant = pick(-20, 20);
        outcome = solver.setConstant(it->first, d.constant);
        live.erase(it);
      } else {
        while (d.terms.empty()) {
          for (int v = 0; v < 3; ++v) {
            if (const int c = pick(-2, 2)) d.terms.push_back({v, double(c)});
          }
        }
        d.relation = static_cast<Relation>(pick(0, 2));
        d.constant = pick(-20, 20);
        d.weight = pick(0, 2) ? kRequired : pick(1, 4);
        outcome = solver.add(d);
      }
      if (outcome.status == Status::Added) {
        live[outcome.id] = d;
        continue;
      }
      ++refusals;
      const auto& involved = outcome.involved;
      for (auto other = live.begin(); other != live.end();) {
        if (std::find(involved.begin(), involved.end(), other->first) != involved.end() || pick(0, 1)) {
          ++other;
        } else if (pick(0, 1)) {
          solver.remove(other->first);
          other = live.erase(other);
        } else {
          const bool kept = solver.setConstant(other->first, pick(-20, 20)).status == Status::Added;
          other = kept ? std::next(other) : live.erase(other);
        }
      }
      const auto again = solver.add(d);
      EXPECT_NE(again.status, Status::Added) << round;
      if (again.status == Status::Added) live[again.id] = d;
    }
  }
  EXPECT_GT(refusals, 300);
}

}  // namespace
}  // namespace platform
