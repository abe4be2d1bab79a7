// An incremental simplex solver of the Cassowary kind, for layout: linear equalities and
// inequalities over real variables, each required or optional with a weight. Required
// constraints hold; optional ones are met so that the weighted sum of their errors is
// least. The tableau stays solved between calls: an added constraint enters it and a
// primal simplex restores optimality, a removed one leaves through its marker, and a
// changed constant is carried through the tableau and a dual simplex restores
// feasibility, so a change costs what it touches, not a solve from the start.
//
// A required constraint that cannot hold with the others is refused, with the
// constraints it conflicts with (all those the proof of the conflict needs: it cannot
// hold until one of them changes or goes); one that would make the tableau not finite is
// refused too (the tableau is made again without it). A refused constraint is not kept.
// An optional constraint always has a solution, its error taking what the others leave:
// one the tableau cannot take finitely is kept out of it, unmet, and tries again when its
// constant changes.
//
// The symbols of its own that a removed or refused constraint leaves (slack, error,
// marker) serve new ones, as do the caller's variables it gives back, so the tableau's
// size follows the constraints and variables in use.
//
// Not thread-safe; layout uses it on the main thread only.
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <vector>

namespace platform {

class SimplexSolver {
 public:
  using Variable = int;
  using ConstraintId = int;
  enum class Relation { LessOrEqual, Equal, GreaterOrEqual };
  enum class Status { Added, Unsatisfiable, NotFinite };

  static constexpr double kRequired = std::numeric_limits<double>::infinity();

  struct Term {
    Variable variable = 0;
    double coefficient = 0;
    bool operator==(const Term&) const = default;
  };
  // sum(terms) + constant (relation) 0, with a weight (kRequired: must hold).
  struct Definition {
    std::vector<Term> terms;
    double constant = 0;
    Relation relation = Relation::Equal;
    double weight = kRequired;
  };
  struct Outcome {
    Status status = Status::Added;
    ConstraintId id = -1;  // -1 unless added
    // For a refused required constraint: the constraints it conflicts with.
    std::vector<ConstraintId> involved;
  };

  SimplexSolver();
  ~SimplexSolver();
  SimplexSolver(const SimplexSolver&) = delete;
  SimplexSolver& operator=(const SimplexSolver&) = delete;

  Variable newVariable();
  // Gives back a variable no constraint it holds names any more, for a later
  // newVariable() to take.
  void removeVariable(Variable variable);
  [[nodiscard]] Outcome add(const Definition& definition);
  void remove(ConstraintId id);
  // The constraint with a new constant; refused like an added one, and then removed (a
  // required one).
  [[nodiscard]] Outcome setConstant(ConstraintId id, double constant);
  bool contains(ConstraintId id) const;
  // The variable's value in the present solution (0 for one nothing sets).
  double value(Variable variable) const;
  // The variables its arithmetic walks: the caller's and its own (slack, error, marker),
  // in use or kept for reuse.
  std::size_t variableCount() const;

 private:
  class Tableau;
  std::unique_ptr<Tableau> tableau_;
};

}  // namespace platform
