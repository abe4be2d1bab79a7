#include "platform/ui/LayoutSolver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/base/SystemLog.h"
#include "platform/ui/Animation.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/View.h"

namespace platform {

namespace {

using Attribute = LayoutConstraint::Attribute;
using Relation = SimplexSolver::Relation;
using Term = SimplexSolver::Term;

constexpr std::string_view kLogSubsystem = "ui";

// The variables of an item, in this order.
enum Var { kLeft, kTop, kWidth, kHeight };
// Constraints the solver makes for an item: its frame held (pins), where it stays, and
// its intrinsic size hugged and kept from compression (per axis).
enum Generated { kPin = 0, kStay = 4, kHug = 8, kCompress = 10 };

// Below every priority: what nothing else sets stays, its size before its position.
constexpr double kStayPositionWeight = 1e-3;
constexpr double kStaySizeWeight = 2e-3;

// A frame change of this view is the pass's own; anything else changes the generation.
const View* gQuiet = nullptr;
std::uint64_t gGeneration = 1;

class Quiet {
 public:
  explicit Quiet(const View& view) : saved_(std::exchange(gQuiet, &view)) {}
  ~Quiet() { gQuiet = saved_; }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  const View* saved_;
};

double weightOf(float priority) {
  return priority >= LayoutConstraint::kPriorityRequired ? SimplexSolver::kRequired : std::exp2(priority / 50.0);
}

// What an attribute is along its axis.
enum Kind { kMin, kMax, kCenter, kSize };

struct AttributeInfo {
  bool valid = false;
  int axis = 0;  // 0 horizontal, 1 vertical
  Kind kind = kMin;
};

AttributeInfo infoOf(Attribute a) {
  switch (a) {
    case Attribute::Left:
    case Attribute::Leading:
      return {true, 0, kMin};
    case Attribute::Right:
    case Attribute::Trailing:
      return {true, 0, kMax};
    case Attribute::CenterX:
      return {true, 0, kCenter};
    case Attribute::Width:
      return {true, 0, kSize};
    case Attribute::Top:
      return {true, 1, kMin};
    case Attribute::Bottom:
      return {true, 1, kMax};
    case Attribute::CenterY:
      return {true, 1, kCenter};
    case Attribute::Height:
      return {true, 1, kSize};
    default:
      return {};
  }
}

// The frame the view has, or is moving to inside an animation.
Rect modelFrame(const View& view) { return Animation::layoutTargetFrame(view).value_or(view.frame()); }

bool finite(const Rect& r) {
  return std::isfinite(r.minX()) && std::isfinite(r.minY()) && std::isfinite(r.width()) && std::isfinite(r.height()) &&
         std::isfinite(r.maxX()) && std::isfinite(r.maxY());
}

const char* nameOf(Attribute a) {
  static constexpr const char* kNames[] = {"none",     "left",  "right",  "top",     "bottom",  "leading",
                                           "trailing", "width", "height", "centerX", "centerY", "lastBaseline"};
  const auto i = static_cast<std::size_t>(a);
  return i < std::size(kNames) ? kNames[i] : "?";
}

std::string describe(const LayoutConstraint& c) {
  auto itemName = [](const std::shared_ptr<View>& v) { return v ? v->description() : std::string("nothing"); };
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, " * %g + %g @%g", c.multiplier(), c.constant(), c.priority());
  const char* relation = c.relation() == LayoutConstraint::Relation::Equal             ? " == "
                         : c.relation() == LayoutConstraint::Relation::LessThanOrEqual ? " <= "
                                                                                       : " >= ";
  return itemName(c.firstItem()) + "." + nameOf(c.firstAttribute()) + relation + itemName(c.secondItem()) + "." +
         nameOf(c.secondAttribute()) + numbers;
}

// Takes the entries no longer wanted out of the tableau, noting the required ones in
// `changed`.
template <typename Entries>
void dropUnseen(Entries& entries, SimplexSolver& simplex, std::unordered_set<SimplexSolver::ConstraintId>& changed) {
  for (auto it = entries.begin(); it != entries.end();) {
    if (it->second.seen) {
      ++it;
      continue;
    }
    if (it->second.id >= 0) {
      simplex.remove(it->second.id);
      if (it->second.definition.weight == SimplexSolver::kRequired) changed.insert(it->second.id);
    }
    it = entries.erase(it);
  }
}

bool sameShape(const SimplexSolver::Definition& a, const SimplexSolver::Definition& b) {
  return a.terms == b.terms && a.relation == b.relation && a.weight == b.weight;
}

}  // namespace

struct LayoutSolver::Item {
  std::weak_ptr<const View> view;
  const View* parent = nullptr;  // whose bounds its frame is in; nullptr for the top view
  std::array<SimplexSolver::Variable, 4> vars{};
  bool fixed = true;
  bool seen = false;
  std::optional<Rect> solved;  // the last solution, for a placed view
  bool reportedNotFinite = false;
};

struct LayoutSolver::Entry {
  Definition definition;
  SimplexSolver::ConstraintId id = -1;  // -1: not in the tableau
  bool seen = false;
};

struct LayoutSolver::UserEntry : Entry {
  std::shared_ptr<LayoutConstraint> constraint;
  bool broken = false;  // left out of the tableau: it cannot hold
  // For a broken one, the constraints it conflicts with: it is tried again when one of
  // them changes or goes. None known (its result would not be finite): when any required
  // constraint changes or goes.
  std::vector<SimplexSolver::ConstraintId> conflicts;
  std::string reason;  // why, for the log
};

LayoutSolver::LayoutSolver(const View& top) : top_(top) {}
LayoutSolver::~LayoutSolver() = default;

void LayoutSolver::geometryDidChange(const View& view) {
  if (&view != gQuiet) ++gGeneration;
}

LayoutSolver& LayoutSolver::of(const View& view) {
  const View* top = &view;
  while (auto s = top->superview()) top = s.get();
  if (!top->layoutSolver_) top->layoutSolver_ = std::make_unique<LayoutSolver>(*top);
  return *top->layoutSolver_;
}

LayoutSolver::Result LayoutSolver::solve(const View& superview) {
  LayoutSolver& solver = of(superview);
  (void)solver.update(&superview);
  return solver.resultFor(superview);
}

void LayoutSolver::layOutSubviews(const View& superview) {
  if (superview.subviews().empty()) return;
  LayoutSolver& solver = of(superview);
  (void)solver.update(&superview);
  solver.report();
  for (const auto& [view, frame] : solver.resultFor(superview).frames) {
    Quiet quiet(*view);
    Animation::setLayoutFrame(*view, frame);
  }
}

// --- Bringing the tableau up to date ------------------------------------------------

bool LayoutSolver::update(const View* layingOut) {
  if (generation_ == gGeneration) return false;
  for (auto& [view, item] : items_) item.seen = false;
  std::vector<std::shared_ptr<LayoutConstraint>> active;
  collect(top_, active);
  unsolved_.clear();
  std::vector<std::pair<std::shared_ptr<LayoutConstraint>, Definition>> wanted;
  for (const auto& c : active) {
    if (auto definition = define(*c)) {
      wanted.emplace_back(c, std::move(*definition));
    } else if (c->firstItem()) {
      unsolved_.push_back(c);
    }
  }
  std::vector<std::pair<GeneratedKey, Definition>> generatedWanted;
  for (const auto& [view, item] : items_) {
    if (item.seen) generate(*view, item, generatedWanted);
  }
  // A constraint that goes or changes its form may leave views free: their stays follow.
  std::size_t kept = 0;
  for (const auto& [c, definition] : wanted) {
    auto it = user_.find(c.get());
    kept += it != user_.end() && sameShape(it->second.definition, definition);
  }
  changed_.clear();
  syncGenerated(generatedWanted, kept != user_.size());
  syncUser(wanted);
  if (!changed_.empty()) retryBroken();
  // A view no constraint names any more has none in the tableau either: its variables
  // serve views to come.
  std::erase_if(items_, [this](const auto& entry) {
    if (!entry.second.seen) retired_.push_back(entry.second.vars);
    return !entry.second.seen;
  });
  for (const auto& vars : retired_) {
    for (auto variable : vars) simplex_.removeVariable(variable);
  }
  retired_.clear();
  readFrames(layingOut);
  generation_ = gGeneration;
  needsReport_ = true;
  return true;
}

void LayoutSolver::collect(const View& view, std::vector<std::shared_ptr<LayoutConstraint>>& out) const {
  for (const auto& c : view.constraints()) {
    if (c->isActive()) out.push_back(c);
  }
  for (const auto& subview : view.subviews()) collect(*subview, out);
}

bool LayoutSolver::inHierarchy(const View& view) const {
  const View* v = &view;
  while (auto s = v->superview()) v = s.get();
  return v == &top_;
}

LayoutSolver::Item* LayoutSolver::itemFor(const View& view) {
  auto found = items_.find(&view);
  if (found != items_.end() && found->second.seen && !found->second.view.expired()) return &found->second;
  const auto* guide = dynamic_cast<const LayoutGuide*>(&view);
  const std::shared_ptr<View> parent = guide ? guide->ownerView() : view.superview();
  if (guide ? !parent || !inHierarchy(*parent) : !inHierarchy(view)) return nullptr;
  if (parent && !itemFor(*parent)) return nullptr;
  auto [it, fresh] = items_.try_emplace(&view);
  Item& item = it->second;
  if (!fresh && item.view.expired()) {  // another view where a gone one was
    retired_.push_back(item.vars);      // once the constraints that name them have gone
    item = Item{};
  }
  if (item.view.expired()) {
    item.view = view.weak_from_this();
    for (auto& variable : item.vars) variable = simplex_.newVariable();
  }
  item.parent = parent.get();
  item.fixed = guide || !parent || view.translatesAutoresizingMaskIntoConstraints();
  item.seen = true;
  return &item;
}

// The constraint as sum(terms) + constant (relation) 0 over the items' variables;
// nullopt when it is not of the kinds solved or an item is gone.
std::optional<SimplexSolver::Definition> LayoutSolver::define(const LayoutConstraint& c) {
  const auto first = c.firstItem();
  const auto second = c.secondItem();
  const AttributeInfo a = infoOf(c.firstAttribute());
  const AttributeInfo b = infoOf(c.secondAttribute());
  if (!first || !a.valid) return std::nullopt;
  if (!second ? a.kind != kSize || c.secondAttribute() != Attribute::NotAnAttribute
              : !b.valid || (a.kind == kSize) != (b.kind == kSize) || (a.kind != kSize && a.axis != b.axis)) {
    return std::nullopt;
  }
  Item* firstItem = itemFor(*first);
  Item* secondItem = second ? itemFor(*second) : nullptr;
  if (!firstItem || (second && !secondItem)) return std::nullopt;
  Definition definition;
  auto addTerms = [&definition](const Item& item, const AttributeInfo& info, double scale) {
    const auto position = item.vars[info.axis == 0 ? kLeft : kTop];
    const auto size = item.vars[info.axis == 0 ? kWidth : kHeight];
    if (info.kind != kSize) definition.terms.push_back({position, scale});
    if (info.kind != kMin) definition.terms.push_back({size, info.kind == kCenter ? scale / 2 : scale});
  };
  addTerms(*firstItem, a, 1);
  if (secondItem) addTerms(*secondItem, b, -c.multiplier());
  definition.constant = -c.constant();
  definition.relation = c.relation() == LayoutConstraint::Relation::Equal             ? Relation::Equal
                        : c.relation() == LayoutConstraint::Relation::LessThanOrEqual ? Relation::LessOrEqual
                                                                                      : Relation::GreaterOrEqual;
  definition.weight = weightOf(c.priority());
  return definition;
}

// Pins for a view that keeps its frame; stays, hugging and compression resistance for
// one that is placed.
void LayoutSolver::generate(const View& view, const Item& item,
                            std::vector<std::pair<GeneratedKey, Definition>>& out) const {
  const View* parent = item.parent;
  const auto* guide = dynamic_cast<const LayoutGuide*>(&view);
  const Rect frame = !parent ? view.bounds() : guide ? guide->rectInOwnerView().value_or(Rect()) : modelFrame(view);
  const Point origin = parent ? parent->bounds().origin : Point{0, 0};
  const int base = item.fixed ? kPin : kStay;
  for (int axis = 0; axis < 2; ++axis) {
    const auto position = item.vars[axis == 0 ? kLeft : kTop];
    const auto size = item.vars[axis == 0 ? kWidth : kHeight];
    const double weight = item.fixed ? SimplexSolver::kRequired : kStayPositionWeight;
    const double offset = axis == 0 ? frame.minX() - origin.x : frame.minY() - origin.y;
    std::vector<Term> terms{{position, 1}};
    if (parent) terms.push_back({items_.at(parent).vars[axis == 0 ? kLeft : kTop], -1});
    out.push_back({{&view, base + axis}, {std::move(terms), -offset, Relation::Equal, weight}});
    const double length = axis == 0 ? frame.width() : frame.height();
    out.push_back(
        {{&view, base + 2 + axis}, {{{size, 1}}, -length, Relation::Equal, item.fixed ? weight : kStaySizeWeight}});
    if (!item.fixed) generateIntrinsic(view, axis, size, out);
  }
}

void LayoutSolver::generateIntrinsic(const View& view, int axis, SimplexSolver::Variable size,
                                     std::vector<std::pair<GeneratedKey, Definition>>& out) const {
  const auto layoutAxis = axis == 0 ? LayoutConstraintAxis::Horizontal : LayoutConstraintAxis::Vertical;
  const Size intrinsic = view.intrinsicContentSize();
  const double along = axis == 0 ? intrinsic.width : intrinsic.height;
  if (!std::isfinite(along) || along < 0) return;
  out.push_back({{&view, kHug + axis},
                 {{{size, 1}}, -along, Relation::LessOrEqual, weightOf(view.contentHuggingPriority(layoutAxis))}});
  out.push_back({{&view, kCompress + axis},
                 {{{size, 1}},
                  -along,
                  Relation::GreaterOrEqual,
                  weightOf(view.contentCompressionResistancePriority(layoutAxis))}});
}

// A stay follows the view's frame when something other than a pass moved it, or when a
// constraint goes (what it held must stay where it is); a frame the last solution gave
// needs no new stay, which keeps a pass after a changed constant from touching every
// stay of the views it moved.
bool LayoutSolver::staysPut(const GeneratedKey& key, bool refreshStays) const {
  if (refreshStays || key.second < kStay || key.second >= kHug) return false;
  const Item& item = items_.at(key.first);
  return item.solved && modelFrame(*key.first) == *item.solved;
}

void LayoutSolver::syncGenerated(std::vector<std::pair<GeneratedKey, Definition>>& wanted, bool refreshStays) {
  for (auto& [key, entry] : generated_) entry.seen = false;
  std::vector<Entry*> fresh;
  std::vector<std::pair<Entry*, double>> moved;
  for (auto& [key, definition] : wanted) {
    auto [it, added] = generated_.try_emplace(key);
    Entry& entry = it->second;
    if (!added && !sameShape(entry.definition, definition) && entry.id >= 0) {
      if (entry.definition.weight == SimplexSolver::kRequired) changed_.insert(entry.id);
      simplex_.remove(std::exchange(entry.id, -1));
    }
    entry.seen = true;
    if (entry.id >= 0 && entry.definition.constant != definition.constant) {
      if (!staysPut(key, refreshStays)) moved.emplace_back(&entry, definition.constant);
    } else if (entry.id < 0) {
      entry.definition = std::move(definition);
      fresh.push_back(&entry);
    }
  }
  dropUnseen(generated_, simplex_, changed_);
  for (auto& [entry, constant] : moved) {
    entry->definition.constant = constant;
    const auto outcome = simplex_.setConstant(entry->id, constant);
    if (entry->definition.weight == SimplexSolver::kRequired) changed_.insert(entry->id);
    if (outcome.status != SimplexSolver::Status::Added) {
      entry->id = -1;
      enterGenerated(*entry, breakUser(outcome));
    }
  }
  for (Entry* entry : fresh) enterGenerated(*entry);
}

// A view's own frame, size or intrinsic size comes before a constraint: when it cannot
// enter, the constraints in its way (and `broken`, broken for it already) are broken
// instead, until it changes or goes. A refusal names one set in its way; others may stand
// behind it, each broken in turn.
void LayoutSolver::enterGenerated(Entry& entry, std::vector<UserEntry*> broken) {
  auto outcome = simplex_.add(entry.definition);
  while (outcome.status == SimplexSolver::Status::Unsatisfiable) {
    auto more = breakUser(outcome);
    if (more.empty()) break;
    broken.insert(broken.end(), more.begin(), more.end());
    outcome = simplex_.add(entry.definition);
  }
  entry.id = outcome.id;
  if (entry.id < 0) return;
  for (UserEntry* user : broken) user->conflicts.push_back(entry.id);
}

std::vector<LayoutSolver::UserEntry*> LayoutSolver::breakUser(const SimplexSolver::Outcome& outcome) {
  const auto& involved = outcome.involved;
  std::vector<UserEntry*> broken;
  for (auto& [key, entry] : user_) {
    if (entry.id < 0 || std::find(involved.begin(), involved.end(), entry.id) == involved.end()) continue;
    simplex_.remove(entry.id);
    changed_.insert(entry.id);
    SimplexSolver::Outcome conflict{SimplexSolver::Status::Unsatisfiable, -1, involved};
    std::erase(conflict.involved, entry.id);
    record(entry, conflict);
    entry.reason = "it conflicts with the frame or size a view keeps";
    broken.push_back(&entry);
  }
  return broken;
}

void LayoutSolver::syncUser(std::vector<std::pair<std::shared_ptr<LayoutConstraint>, Definition>>& wanted) {
  for (auto& [key, entry] : user_) entry.seen = false;
  std::vector<UserEntry*> fresh;
  for (auto& [constraint, definition] : wanted) {
    auto [it, added] = user_.try_emplace(constraint.get());
    UserEntry& entry = it->second;
    entry.constraint = constraint;
    entry.seen = true;
    const bool sameForm = !added && sameShape(entry.definition, definition);
    if (sameForm && entry.definition.constant == definition.constant) continue;
    const bool required = entry.definition.weight == SimplexSolver::kRequired;
    if (sameForm && entry.id >= 0) {
      entry.definition.constant = definition.constant;
      if (required) changed_.insert(entry.id);
      record(entry, simplex_.setConstant(entry.id, definition.constant));
      continue;
    }
    if (entry.id >= 0) {
      if (required) changed_.insert(entry.id);
      simplex_.remove(std::exchange(entry.id, -1));
    }
    entry.definition = std::move(definition);
    fresh.push_back(&entry);
  }
  dropUnseen(user_, simplex_, changed_);
  for (UserEntry* entry : fresh) record(*entry, simplex_.add(entry->definition));
}

// Where a constraint stands after it tried to enter (or to take a new constant).
void LayoutSolver::record(UserEntry& entry, const SimplexSolver::Outcome& outcome) {
  entry.id = outcome.id;
  const bool broken = outcome.status != SimplexSolver::Status::Added;
  if (broken && !entry.broken) entry.constraint->reported_ = false;  // a new break is logged
  entry.broken = broken;
  entry.conflicts = outcome.involved;
  if (!broken) return;
  entry.reason =
      outcome.status == SimplexSolver::Status::NotFinite ? "its result would not be finite" : "it conflicts with:";
  const auto& involved = outcome.involved;
  auto isInvolved = [&involved](const Entry& other) {
    return other.id >= 0 && std::find(involved.begin(), involved.end(), other.id) != involved.end();
  };
  for (const auto& [key, other] : user_) {
    if (isInvolved(other)) entry.reason += " " + describe(*other.constraint) + ";";
  }
  for (const auto& [key, other] : generated_) {
    if (isInvolved(other) && key.second < kStay) entry.reason += " the frame of " + key.first->description() + ";";
  }
}

// A broken constraint can hold again only when one it conflicts with changes or goes;
// trying it otherwise would fail again, at the cost of a refusal.
void LayoutSolver::retryBroken() {
  for (auto& [key, entry] : user_) {
    if (!entry.broken) continue;
    const bool loosened = entry.conflicts.empty() || std::any_of(entry.conflicts.begin(), entry.conflicts.end(),
                                                                 [this](auto id) { return changed_.count(id) != 0; });
    if (loosened) record(entry, simplex_.add(entry.definition));
  }
}

// --- Reading the solution -----------------------------------------------------------

std::optional<Rect> LayoutSolver::solvedFrame(const Item& item) const {
  const Item& parent = items_.at(item.parent);
  const Point origin = item.parent->bounds().origin;
  const Rect frame(simplex_.value(item.vars[kLeft]) - simplex_.value(parent.vars[kLeft]) + origin.x,
                   simplex_.value(item.vars[kTop]) - simplex_.value(parent.vars[kTop]) + origin.y,
                   std::max(0.0, simplex_.value(item.vars[kWidth])), std::max(0.0, simplex_.value(item.vars[kHeight])));
  if (!finite(frame)) return std::nullopt;
  return frame;
}

// Keeps each placed view's solution; a view whose solution moved and whose superview is
// not the one being laid out asks that superview for a pass.
void LayoutSolver::readFrames(const View* layingOut) {
  for (auto& [view, item] : items_) {
    if (item.fixed) continue;
    const auto frame = solvedFrame(item);
    if (frame == item.solved) continue;
    item.solved = frame;
    if (item.parent == layingOut || !frame) continue;
    Quiet quiet(*item.parent);
    const_cast<View*>(item.parent)->setNeedsLayout();
  }
}

LayoutSolver::Result LayoutSolver::resultFor(const View& superview) const {
  Result result;
  for (const auto& subview : superview.subviews()) {
    auto it = items_.find(subview.get());
    if (it != items_.end() && !it->second.fixed && it->second.solved)
      result.frames.emplace_back(subview, *it->second.solved);
  }
  result.unsolved = unsolved_;
  for (const auto& [key, entry] : user_) {
    if (entry.broken) result.broken.push_back(entry.constraint);
  }
  for (const auto& [view, item] : items_) {
    if (!item.fixed && !item.solved) result.notFinite.push_back(item.view.lock());
  }
  result.solverVariables = simplex_.variableCount();
  return result;
}

void LayoutSolver::report() {
  if (!std::exchange(needsReport_, false)) return;
  for (const auto& c : unsolved_) {
    if (std::exchange(c->reported_, true)) continue;
    SystemLog::write(kLogSubsystem, "Layout constraint recorded, not solved: " + describe(*c));
  }
  for (auto& [key, entry] : user_) {
    if (!entry.broken || std::exchange(entry.constraint->reported_, true)) continue;
    SystemLog::write(kLogSubsystem, "Unable to satisfy layout constraints; breaking " + describe(*entry.constraint) +
                                        ": " + entry.reason);
  }
  for (auto& [view, item] : items_) {
    if (item.fixed || item.solved || std::exchange(item.reportedNotFinite, true)) continue;
    SystemLog::write(kLogSubsystem, "Layout left " + view->description() + " as it was: a result that is not finite");
  }
}

}  // namespace platform
