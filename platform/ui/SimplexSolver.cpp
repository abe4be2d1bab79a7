#include "platform/ui/SimplexSolver.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

namespace platform {

namespace {

constexpr double kEpsilon = 1e-8;

bool nearZero(double value) { return std::fabs(value) < kEpsilon; }

// Unrestricted variables of the caller, and the restricted ones the tableau makes: slack
// of an inequality, error of an optional constraint, dummy marker of a required equality
// (never allowed to enter the basis); and a place no symbol holds.
enum class Kind : unsigned char { External, Slack, Error, Dummy, Free };

// Set by any arithmetic of the tableau that gives a value that is not finite; each public
// call clears it first and checks it last.
thread_local bool tNotFinite = false;

double checked(double value) {
  if (!std::isfinite(value)) tNotFinite = true;
  return value;
}

struct Cell {
  int symbol;
  double coefficient;
};

// constant + sum(cells); as the row of a basic symbol, that symbol's value in terms of the
// parametric ones. Cells are sorted by symbol, so "first" means lowest (Bland's rule).
class Row {
 public:
  explicit Row(double constant = 0) : constant_(constant) {}
  // The objective: its constant, the weighted sum of the errors, steers nothing, so it may
  // overflow on a badly scaled system without the tableau being lost.
  static Row objective() {
    Row row;
    row.checksConstant_ = false;
    return row;
  }

  double constant() const { return constant_; }
  const std::vector<Cell>& cells() const { return cells_; }
  double add(double value) {
    constant_ += value;
    return checksConstant_ ? checked(constant_) : constant_;
  }

  double coefficientFor(int symbol) const {
    auto it = find(symbol);
    return it != cells_.end() && it->symbol == symbol ? it->coefficient : 0.0;
  }
  void insert(int symbol, double coefficient) {
    auto it = find(symbol);
    if (it != cells_.end() && it->symbol == symbol) {
      it->coefficient = checked(it->coefficient + coefficient);
      if (nearZero(it->coefficient)) cells_.erase(it);
    } else if (!nearZero(coefficient)) {
      cells_.insert(it, Cell{symbol, checked(coefficient)});
    }
  }
  void insert(const Row& other, double coefficient) {
    add(other.constant_ * coefficient);
    for (const Cell& cell : other.cells_) insert(cell.symbol, cell.coefficient * coefficient);
  }
  void remove(int symbol) {
    auto it = find(symbol);
    if (it != cells_.end() && it->symbol == symbol) cells_.erase(it);
  }
  void reverseSign() {
    constant_ = -constant_;
    for (Cell& cell : cells_) cell.coefficient = -cell.coefficient;
  }
  // 0 = this  ->  symbol = ...
  void solveFor(int symbol) {
    auto it = find(symbol);
    const double scale = -1.0 / it->coefficient;
    cells_.erase(it);
    constant_ = checked(constant_ * scale);
    for (Cell& cell : cells_) cell.coefficient = checked(cell.coefficient * scale);
  }
  // lhs = this  ->  rhs = ...
  void solveFor(int lhs, int rhs) {
    insert(lhs, -1.0);
    solveFor(rhs);
  }
  void substitute(int symbol, const Row& row) {
    auto it = find(symbol);
    if (it == cells_.end() || it->symbol != symbol) return;
    const double coefficient = it->coefficient;
    cells_.erase(it);
    insert(row, coefficient);
  }

 private:
  std::vector<Cell>::iterator find(int symbol) {
    return std::lower_bound(cells_.begin(), cells_.end(), symbol,
                            [](const Cell& cell, int s) { return cell.symbol < s; });
  }
  std::vector<Cell>::const_iterator find(int symbol) const {
    return std::lower_bound(cells_.begin(), cells_.end(), symbol,
                            [](const Cell& cell, int s) { return cell.symbol < s; });
  }

  double constant_;
  std::vector<Cell> cells_;
  bool checksConstant_ = true;
};

}  // namespace

class SimplexSolver::Tableau {
 public:
  Variable newVariable() { return newSymbol(Kind::External); }

  void removeVariable(Variable variable) {
    if (variable < 0 || static_cast<std::size_t>(variable) >= kinds_.size() || kindOf(variable) != Kind::External) {
      return;
    }
    // With no constraint naming it, it is in no row but for rounding (were it basic, its
    // row would only define it).
    for (auto& row : rows_) {
      if (row) row->remove(variable);
    }
    release(variable);
  }

  double value(Variable variable) const {
    const auto index = static_cast<std::size_t>(variable);
    return index < rows_.size() && rows_[index] ? rows_[index]->constant() : 0.0;
  }

  bool contains(ConstraintId id) const { return records_.count(id) != 0; }
  std::size_t variableCount() const { return kinds_.size(); }

  Outcome add(const Definition& definition) {
    const ConstraintId id = nextId_++;
    Outcome outcome = insert(id, definition);
    if (outcome.status == Status::Added) outcome.id = id;
    return outcome;
  }

  void remove(ConstraintId id) {
    auto it = records_.find(id);
    if (it == records_.end()) return;
    const Record record = it->second;
    forget(it);
    if (record.marker < 0) return;  // kept out of the tableau
    begin();
    for (int symbol : {record.marker, record.other}) {
      if (symbol < 0 || kindOf(symbol) != Kind::Error) continue;
      if (const Row* row = rowOf(symbol)) {
        objective_.insert(*row, -record.definition.weight);
      } else {
        objective_.insert(symbol, -record.definition.weight);
      }
    }
    if (rowOf(record.marker)) {
      rows_[static_cast<std::size_t>(record.marker)].reset();
    } else if (const int leaving = markerLeavingRow(record.marker); leaving >= 0) {
      auto row = takeRow(leaving);
      row->solveFor(leaving, record.marker);
      substitute(record.marker, *row);
    }
    release(record.marker);
    if (record.other >= 0) {
      // Every row left combines the other constraints only, so none holds the second
      // error (bar rounding).
      for (auto& row : rows_) {
        if (row) row->remove(record.other);
      }
      release(record.other);
    }
    optimize(objective_);
    if (tNotFinite) rebuild();
  }

  Outcome setConstant(ConstraintId id, double constant) {
    auto it = records_.find(id);
    if (it == records_.end()) return {Status::Unsatisfiable, -1, {}};
    if (it->second.marker < 0) {  // kept out of the tableau: it tries to enter again
      Definition definition = std::move(it->second.definition);
      definition.constant = constant;
      records_.erase(it);
      return insert(id, definition);
    }
    begin();
    Record& record = it->second;
    const double shift = checked(constant - record.definition.constant) / record.markerSign;
    record.definition.constant = constant;
    if (Row* row = rowOf(record.marker)) {
      row->add(-shift);
      if (outOfBounds(record.marker)) infeasible_.push_back(record.marker);
    } else {
      for (std::size_t s = 0; s < rows_.size(); ++s) {
        if (!rows_[s]) continue;
        const double coefficient = rows_[s]->coefficientFor(record.marker);
        if (coefficient == 0) continue;
        rows_[s]->add(coefficient * shift);
        if (outOfBounds(static_cast<int>(s))) infeasible_.push_back(static_cast<int>(s));
      }
    }
    std::vector<ConstraintId> involved;
    if (dualOptimize(involved) && !tNotFinite) return {Status::Added, id, {}};
    const Status status = tNotFinite ? Status::NotFinite : Status::Unsatisfiable;
    const Definition definition = record.definition;
    forget(it);
    rebuild();
    std::erase(involved, id);
    return refuse(id, definition, status, std::move(involved));
  }

 private:
  struct Record {
    Definition definition;
    int marker = -1;
    int other = -1;
    // The marker's coefficient in the constraint's own row: how a change of the
    // constant carries through the tableau.
    double markerSign = 1;
  };

  int newSymbol(Kind kind) {
    if (!free_.empty()) {
      const int symbol = free_.back();
      free_.pop_back();
      kinds_[static_cast<std::size_t>(symbol)] = kind;
      return symbol;
    }
    kinds_.push_back(kind);
    rows_.emplace_back();
    return static_cast<int>(kinds_.size() - 1);
  }
  // A symbol that no row holds any more, for a later one to take.
  void release(int symbol) {
    kinds_[static_cast<std::size_t>(symbol)] = Kind::Free;
    rows_[static_cast<std::size_t>(symbol)].reset();
    objective_.remove(symbol);
    free_.push_back(symbol);
  }
  Kind kindOf(int symbol) const { return kinds_[static_cast<std::size_t>(symbol)]; }
  // Whether a basic symbol's value is one it may not take: a slack or error below zero
  // (by more than rounding), a dummy (a required equality's marker) anything but zero.
  bool outOfBounds(int symbol) const {
    const double constant = rows_[static_cast<std::size_t>(symbol)]->constant();
    switch (kindOf(symbol)) {
      case Kind::External:
        return false;
      case Kind::Dummy:
        return !nearZero(constant);
      default:
        return constant <= -kEpsilon;
    }
  }
  Row* rowOf(int symbol) const { return symbol < 0 ? nullptr : rows_[static_cast<std::size_t>(symbol)].get(); }
  std::unique_ptr<Row> takeRow(int symbol) { return std::move(rows_[static_cast<std::size_t>(symbol)]); }
  void putRow(int symbol, std::unique_ptr<Row> row) { rows_[static_cast<std::size_t>(symbol)] = std::move(row); }

  void begin() {
    tNotFinite = false;
    pivotsLeft_ = 1000 + 8 * rows_.size();
    infeasible_.clear();
  }

  // A pivot the budget allows; a tableau that needs more is treated as numerically lost.
  bool spend() {
    if (pivotsLeft_ == 0) tNotFinite = true;
    if (tNotFinite) return false;
    --pivotsLeft_;
    return true;
  }

  void forget(std::map<ConstraintId, Record>::iterator it) {
    owners_.erase(it->second.marker);
    owners_.erase(it->second.other);
    records_.erase(it);
  }

  // Enters the constraint under `id`, or refuses it and leaves the other constraints as
  // they were.
  Outcome insert(ConstraintId id, const Definition& definition) {
    begin();
    Record record{definition};
    auto row = createRow(definition, record);
    int subject = chooseSubject(*row, record);
    std::vector<ConstraintId> involved;
    if (tNotFinite) {
      rebuild();  // its error terms may be in the objective already
      return refuse(id, definition, Status::NotFinite, {});
    }
    if (subject < 0 && allDummies(*row)) {
      if (!nearZero(row->constant())) {
        release(record.marker);  // a required equality's: in no row
        return {Status::Unsatisfiable, -1, involvedIn(*row)};
      }
      subject = record.marker;
    }
    bool entered = true;
    if (subject < 0) {
      entered = addWithArtificialVariable(*row, involved);
    } else {
      row->solveFor(subject);
      substitute(subject, *row);
      putRow(subject, std::move(row));
    }
    if (entered && !tNotFinite) {
      owners_[record.marker] = id;
      if (record.other >= 0) owners_[record.other] = id;
      records_.emplace(id, std::move(record));
      optimize(objective_);
      if (!tNotFinite) return {Status::Added, id, {}};
      forget(records_.find(id));
    }
    const Status status = tNotFinite ? Status::NotFinite : Status::Unsatisfiable;
    rebuild();
    return refuse(id, definition, status, std::move(involved));
  }

  // A refused required constraint is not kept. An optional one always has a solution (its
  // error takes what the others leave), so when the tableau cannot take it, it is kept out
  // of it (that is, unmet) and tries to enter again at a new constant.
  Outcome refuse(ConstraintId id, const Definition& definition, Status status, std::vector<ConstraintId> involved) {
    if (definition.weight == kRequired) return {status, -1, std::move(involved)};
    records_.emplace(id, Record{definition});
    return {Status::Added, id, {}};
  }

  // The tableau made again from the constraints it holds, after a refusal left it
  // changed; a required constraint that no longer enters is dropped. Its own symbols are
  // all made again, in the places of the old ones.
  void rebuild() {
    auto records = std::move(records_);
    records_.clear();
    owners_.clear();
    free_.clear();
    for (std::size_t s = rows_.size(); s-- > 0;) {
      rows_[s].reset();
      if (kinds_[s] != Kind::External) free_.push_back(static_cast<int>(s));
    }
    objective_ = Row::objective();
    for (auto& [id, record] : records) {
      if (record.marker >= 0) {
        (void)insert(id, record.definition);
      } else {
        records_.emplace(id, std::move(record));  // it would be refused again, at the cost of another rebuild
      }
    }
  }

  std::unique_ptr<Row> createRow(const Definition& definition, Record& record) {
    auto row = std::make_unique<Row>(checked(definition.constant));
    for (const Term& term : definition.terms) {
      if (nearZero(term.coefficient)) continue;
      if (const Row* basic = rowOf(term.variable)) {
        row->insert(*basic, term.coefficient);
      } else {
        row->insert(term.variable, term.coefficient);
      }
    }
    const bool optional = definition.weight < kRequired;
    if (definition.relation != Relation::Equal) {
      const double sign = definition.relation == Relation::LessOrEqual ? 1.0 : -1.0;
      record.marker = newSymbol(Kind::Slack);
      record.markerSign = sign;
      row->insert(record.marker, sign);
      if (optional) {
        record.other = newSymbol(Kind::Error);
        row->insert(record.other, -sign);
        objective_.insert(record.other, definition.weight);
      }
    } else if (optional) {
      record.marker = newSymbol(Kind::Error);
      record.markerSign = -1;
      record.other = newSymbol(Kind::Error);
      row->insert(record.marker, -1);
      row->insert(record.other, 1);
      objective_.insert(record.marker, definition.weight);
      objective_.insert(record.other, definition.weight);
    } else {
      record.marker = newSymbol(Kind::Dummy);
      row->insert(record.marker, 1);
    }
    if (row->constant() < 0) row->reverseSign();
    return row;
  }

  int chooseSubject(const Row& row, const Record& record) const {
    for (const Cell& cell : row.cells()) {
      if (kindOf(cell.symbol) == Kind::External) return cell.symbol;
    }
    for (int symbol : {record.marker, record.other}) {
      if (symbol >= 0 && kindOf(symbol) != Kind::Dummy && row.coefficientFor(symbol) < 0) return symbol;
    }
    return -1;
  }

  bool allDummies(const Row& row) const {
    return std::all_of(row.cells().begin(), row.cells().end(),
                       [this](const Cell& cell) { return kindOf(cell.symbol) == Kind::Dummy; });
  }

  std::vector<ConstraintId> involvedIn(const Row& row) const {
    std::vector<ConstraintId> ids;
    for (const Cell& cell : row.cells()) {
      auto it = owners_.find(cell.symbol);
      if (it != owners_.end() && std::find(ids.begin(), ids.end(), it->second) == ids.end()) ids.push_back(it->second);
    }
    return ids;
  }

  // Phase one for a row with no subject: minimise an artificial variable standing for it.
  bool addWithArtificialVariable(const Row& row, std::vector<ConstraintId>& involved) {
    const int art = newSymbol(Kind::Slack);
    putRow(art, std::make_unique<Row>(row));
    artificial_ = std::make_unique<Row>(row);
    optimize(*artificial_);
    const bool success = nearZero(artificial_->constant());
    if (!success) involved = involvedIn(*artificial_);
    artificial_.reset();
    if (rowOf(art)) {
      // Basic, so in no other row.
      auto basic = takeRow(art);
      if (basic->cells().empty()) {
        release(art);
        return success;
      }
      auto pivotable = std::find_if(basic->cells().begin(), basic->cells().end(), [this](const Cell& cell) {
        return kindOf(cell.symbol) == Kind::Slack || kindOf(cell.symbol) == Kind::Error;
      });
      if (pivotable == basic->cells().end()) {
        release(art);
        return false;
      }
      const int entering = pivotable->symbol;
      basic->solveFor(art, entering);
      substitute(entering, *basic);
      putRow(entering, std::move(basic));
    }
    for (auto& each : rows_) {
      if (each) each->remove(art);
    }
    release(art);
    return success;
  }

  void substitute(int symbol, const Row& row) {
    for (std::size_t s = 0; s < rows_.size(); ++s) {
      if (!rows_[s]) continue;
      rows_[s]->substitute(symbol, row);
      if (outOfBounds(static_cast<int>(s))) infeasible_.push_back(static_cast<int>(s));
    }
    objective_.substitute(symbol, row);
    if (artificial_) artificial_->substitute(symbol, row);
  }

  void pivot(int leaving, int entering) {
    auto row = takeRow(leaving);
    row->solveFor(leaving, entering);
    substitute(entering, *row);
    putRow(entering, std::move(row));
  }

  // Primal simplex: lowers the objective while every restricted row stays feasible.
  void optimize(const Row& objective) {
    while (spend()) {
      auto entering = std::find_if(objective.cells().begin(), objective.cells().end(), [this](const Cell& cell) {
        return kindOf(cell.symbol) != Kind::Dummy && cell.coefficient < 0;
      });
      if (entering == objective.cells().end()) return;
      const int symbol = entering->symbol;
      int leaving = -1;
      double best = std::numeric_limits<double>::infinity();
      for (std::size_t s = 0; s < rows_.size(); ++s) {
        if (!rows_[s] || kinds_[s] == Kind::External) continue;
        const double coefficient = rows_[s]->coefficientFor(symbol);
        if (coefficient >= 0) continue;
        const double ratio = -rows_[s]->constant() / coefficient;
        if (ratio < best) {
          best = ratio;
          leaving = static_cast<int>(s);
        }
      }
      if (leaving < 0) {
        tNotFinite = true;  // unbounded: only a tableau lost to rounding does this
        return;
      }
      pivot(leaving, symbol);
    }
  }

  // Dual simplex: makes every restricted row feasible again while the objective stays
  // optimal. False when a row cannot be (a required constraint cannot hold), with the
  // constraints of that row.
  bool dualOptimize(std::vector<ConstraintId>& involved) {
    while (!infeasible_.empty() && spend()) {
      const int leaving = infeasible_.back();
      infeasible_.pop_back();
      const Row* row = rowOf(leaving);
      if (!row || !outOfBounds(leaving)) continue;
      int entering = -1;
      double best = std::numeric_limits<double>::infinity();
      for (const Cell& cell : row->cells()) {
        if (cell.coefficient <= 0 || kindOf(cell.symbol) == Kind::Dummy) continue;
        const double ratio = objective_.coefficientFor(cell.symbol) / cell.coefficient;
        if (ratio < best) {
          best = ratio;
          entering = cell.symbol;
        }
      }
      if (entering < 0) {
        involved = involvedIn(*row);
        if (auto owner = owners_.find(leaving); owner != owners_.end()) involved.push_back(owner->second);
        return false;
      }
      pivot(leaving, entering);
    }
    return true;
  }

  // The row through which a parametric marker leaves with its constraint.
  int markerLeavingRow(int marker) const {
    double firstRatio = std::numeric_limits<double>::infinity();
    double secondRatio = firstRatio;
    int first = -1, second = -1, third = -1;
    for (std::size_t s = 0; s < rows_.size(); ++s) {
      if (!rows_[s]) continue;
      const double coefficient = rows_[s]->coefficientFor(marker);
      if (coefficient == 0) continue;
      const int symbol = static_cast<int>(s);
      // A basic dummy holds only dummies and must stay at zero: the marker leaves through
      // it, at no change to any value.
      if (kinds_[s] == Kind::Dummy) return symbol;
      if (kinds_[s] == Kind::External) {
        third = symbol;
      } else if (coefficient < 0 && -rows_[s]->constant() / coefficient < firstRatio) {
        firstRatio = -rows_[s]->constant() / coefficient;
        first = symbol;
      } else if (coefficient > 0 && rows_[s]->constant() / coefficient < secondRatio) {
        secondRatio = rows_[s]->constant() / coefficient;
        second = symbol;
      }
    }
    return first >= 0 ? first : second >= 0 ? second : third;
  }

  std::vector<Kind> kinds_;
  std::vector<std::unique_ptr<Row>> rows_;  // by symbol: the row of each basic symbol
  Row objective_ = Row::objective();
  std::unique_ptr<Row> artificial_;
  std::map<ConstraintId, Record> records_;        // ordered, so a rebuild enters them as they came
  std::unordered_map<int, ConstraintId> owners_;  // marker or error symbol -> its constraint
  std::vector<int> infeasible_;
  std::vector<int> free_;  // symbols of its own no row holds, for new ones
  std::size_t pivotsLeft_ = 0;
  ConstraintId nextId_ = 0;
};

SimplexSolver::SimplexSolver() : tableau_(std::make_unique<Tableau>()) {}
SimplexSolver::~SimplexSolver() = default;

SimplexSolver::Variable SimplexSolver::newVariable() { return tableau_->newVariable(); }
void SimplexSolver::removeVariable(Variable variable) { tableau_->removeVariable(variable); }
SimplexSolver::Outcome SimplexSolver::add(const Definition& definition) { return tableau_->add(definition); }
void SimplexSolver::remove(ConstraintId id) { tableau_->remove(id); }
SimplexSolver::Outcome SimplexSolver::setConstant(ConstraintId id, double constant) {
  return tableau_->setConstant(id, constant);
}
bool SimplexSolver::contains(ConstraintId id) const { return tableau_->contains(id); }
double SimplexSolver::value(Variable variable) const { return tableau_->value(variable); }
std::size_t SimplexSolver::variableCount() const { return tableau_->variableCount(); }

}  // namespace platform
