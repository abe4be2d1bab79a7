#include "platform/ui/LayoutSolver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/base/SystemLog.h"
#include "platform/ui/Animation.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/View.h"

namespace platform {

namespace {

using Attribute = LayoutConstraint::Attribute;
using Outcome = LayoutSolver::Outcome;

constexpr std::string_view kLogSubsystem = "ui";

// What an attribute is along its axis.
enum Kind { kMin, kMax, kCenter, kSize, kKinds };

struct AttributeInfo {
  bool valid = false;
  int axis = 0;  // 0 horizontal, 1 vertical
  Kind kind = kMin;
};

AttributeInfo infoOf(Attribute a) {
  switch (a) {
    case Attribute::Left:
    case Attribute::Leading: return {true, 0, kMin};
    case Attribute::Right:
    case Attribute::Trailing: return {true, 0, kMax};
    case Attribute::CenterX: return {true, 0, kCenter};
    case Attribute::Width: return {true, 0, kSize};
    case Attribute::Top: return {true, 1, kMin};
    case Attribute::Bottom: return {true, 1, kMax};
    case Attribute::CenterY: return {true, 1, kCenter};
    case Attribute::Height: return {true, 1, kSize};
    default: return {};
  }
}

// One axis of a rectangle.
struct Span {
  double min = 0;
  double size = 0;
  double value(Kind kind) const {
    switch (kind) {
      case kMin: return min;
      case kMax: return min + size;
      case kCenter: return min + size / 2;
      default: return size;
    }
  }
};

Span spanOf(const Rect& r, int axis) { return axis == 0 ? Span{r.minX(), r.width()} : Span{r.minY(), r.height()}; }

// The frame the view has, or is moving to inside an animation.
Rect modelFrame(const View& view) { return Animation::layoutTargetFrame(view).value_or(view.frame()); }

bool near(double a, double b) { return std::fabs(a - b) <= 1e-3 + 1e-9 * std::max(std::fabs(a), std::fabs(b)); }

// target.kind = multiplier * source + constant, where the source is a value known at
// once or a kind of another node's solution.
struct Fact {
  Kind kind = kMin;
  double multiplier = 1;
  double constant = 0;
  double fixed = 0;
  int sourceNode = -1;
  Kind sourceKind = kMin;
  const LayoutConstraint* constraint = nullptr;
};

// One axis of one subview the pass places.
struct Node {
  View* view = nullptr;
  int axis = 0;
  std::vector<Fact> facts;
  std::vector<int> dependents;
  int pending = 0;
  std::optional<Span> result;
};

// A constraint turned round to "target.attribute = multiplier * source.attribute + constant".
struct Normalized {
  View* target = nullptr;
  AttributeInfo targetInfo;
  const View* source = nullptr;  // nullptr: a constant size
  Attribute sourceAttribute = Attribute::NotAnAttribute;
  double multiplier = 1;
  double constant = 0;
  std::shared_ptr<LayoutConstraint> constraint;
};

class Pass {
 public:
  explicit Pass(const View& superview) : superview_(superview) {}

  LayoutSolver::Result run() {
    gather();
    if (constraints_.empty()) return std::move(result_);
    std::vector<Normalized> normalized;
    for (const auto& c : constraints_) {
      if (auto n = normalize(c)) normalized.push_back(std::move(*n));
    }
    for (const auto& n : normalized) nodeFor(n.target, n.targetInfo.axis);
    for (const auto& n : normalized) addFact(n);
    solveInOrder();
    if (result_.outcome == Outcome::Solved) collectFrames();
    return std::move(result_);
  }

 private:
  void gather() {
    auto take = [this](const View& v) {
      for (const auto& c : v.constraints()) {
        if (c->isActive()) constraints_.push_back(c);
      }
    };
    take(superview_);
    for (const auto& subview : superview_.subviews()) take(*subview);
    for (auto a = superview_.superview(); a; a = a->superview()) take(*a);
  }

  void leaveUnsolved(const std::shared_ptr<LayoutConstraint>& c) { result_.unsolved.push_back(c); }

  bool isSubview(const View* view) const {
    if (!view) return false;
    auto s = view->superview();
    return s.get() == &superview_;
  }

  // The constraint as one that sets a subview of this pass; nullopt when it sets none
  // (it belongs to another view's pass) or is not of the simple kinds (recorded).
  std::optional<Normalized> normalize(const std::shared_ptr<LayoutConstraint>& c) {
    const auto first = c->firstItem();
    const auto second = c->secondItem();
    Normalized n;
    n.constraint = c;
    if (!first) return std::nullopt;  // its item is gone
    const bool secondUnderFirst = second && second->superview() == first;
    if (secondUnderFirst && first.get() == &superview_) {
      // superview.a = m * subview.b + k, solved for the subview.
      n.target = second.get();
      n.targetInfo = infoOf(c->secondAttribute());
      n.source = first.get();
      n.sourceAttribute = c->firstAttribute();
      if (c->multiplier() == 0) return unsolved(c);
      n.multiplier = 1 / c->multiplier();
      n.constant = -c->constant() / c->multiplier();
    } else if (secondUnderFirst) {
      return std::nullopt;  // the first item's own pass places the second
    } else if (isSubview(first.get())) {
      n.target = first.get();
      n.targetInfo = infoOf(c->firstAttribute());
      n.source = second.get();
      n.sourceAttribute = c->secondAttribute();
      n.multiplier = c->multiplier();
      n.constant = c->constant();
    } else if (first->superview()) {
      return std::nullopt;  // another view's pass places the first item
    } else {
      return unsolved(c);  // a guide or a view without a superview cannot be placed
    }
    if (c->relation() != LayoutConstraint::Relation::Equal || c->priority() < LayoutConstraint::kPriorityRequired ||
        !n.targetInfo.valid || n.target->translatesAutoresizingMaskIntoConstraints()) {
      return unsolved(c);
    }
    if (!sourceIsSimple(n)) return unsolved(c);
    return n;
  }

  std::optional<Normalized> unsolved(const std::shared_ptr<LayoutConstraint>& c) {
    leaveUnsolved(c);
    return std::nullopt;
  }

  bool sourceIsSimple(const Normalized& n) const {
    if (!n.source) return n.sourceAttribute == Attribute::NotAnAttribute && n.targetInfo.kind == kSize;
    const AttributeInfo s = infoOf(n.sourceAttribute);
    if (!s.valid) return false;
    const bool sizes = n.targetInfo.kind == kSize && s.kind == kSize;
    const bool locations = n.targetInfo.kind != kSize && s.kind != kSize && n.targetInfo.axis == s.axis;
    if (!sizes && !locations) return false;
    if (n.source == &superview_ || isSubview(n.source)) return true;
    const auto* guide = dynamic_cast<const LayoutGuide*>(n.source);
    if (!guide) return false;
    const auto owner = guide->ownerView();
    return owner && superview_.isDescendantOfView(owner.get());
  }

  int nodeFor(View* view, int axis) {
    auto& slots = nodeIndex_.try_emplace(view, std::array<int, 2>{-1, -1}).first->second;
    if (slots[axis] < 0) {
      slots[axis] = static_cast<int>(nodes_.size());
      nodes_.push_back(Node{view, axis, {}, {}, 0, std::nullopt});
    }
    return slots[axis];
  }

  int existingNode(const View* view, int axis) const {
    auto it = nodeIndex_.find(view);
    return it == nodeIndex_.end() ? -1 : it->second[axis];
  }

  void addFact(const Normalized& n) {
    const int target = existingNode(n.target, n.targetInfo.axis);
    Fact fact{n.targetInfo.kind, n.multiplier, n.constant, 0, -1, kMin, n.constraint.get()};
    if (n.source) {
      const AttributeInfo s = infoOf(n.sourceAttribute);
      fact.sourceKind = s.kind;
      if (n.source == &superview_) {
        fact.fixed = spanOf(superview_.bounds(), s.axis).value(s.kind);
      } else if (const int node = existingNode(n.source, s.axis); node >= 0) {
        fact.sourceNode = node;
        nodes_[static_cast<std::size_t>(node)].dependents.push_back(target);
        ++nodes_[static_cast<std::size_t>(target)].pending;
      } else if (const auto* guide = dynamic_cast<const LayoutGuide*>(n.source)) {
        const auto owner = guide->ownerView();
        const Rect inSuperview = superview_.convertRectFromView(*guide->rectInOwnerView(), owner.get());
        fact.fixed = spanOf(inSuperview, s.axis).value(s.kind);
      } else {
        fact.fixed = spanOf(modelFrame(*n.source), s.axis).value(s.kind);
      }
    }
    nodes_[static_cast<std::size_t>(target)].facts.push_back(fact);
    factConstraints_.push_back(n.constraint);
  }

  void fail(Outcome outcome, const Node& node) {
    result_.outcome = outcome;
    for (const auto& fact : node.facts) addFaulty(fact.constraint);
  }

  void addFaulty(const LayoutConstraint* c) {
    for (const auto& held : factConstraints_) {
      if (held.get() == c && std::find(result_.faulty.begin(), result_.faulty.end(), held) == result_.faulty.end()) {
        result_.faulty.push_back(held);
      }
    }
  }

  // Kahn's order: a node is solved once every node it reads is.
  void solveInOrder() {
    std::deque<int> ready;
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
      if (nodes_[i].pending == 0) ready.push_back(static_cast<int>(i));
    }
    std::size_t solved = 0;
    while (!ready.empty()) {
      Node& node = nodes_[static_cast<std::size_t>(ready.front())];
      ready.pop_front();
      if (!solveNode(node)) return;
      ++solved;
      for (int d : node.dependents) {
        if (--nodes_[static_cast<std::size_t>(d)].pending == 0) ready.push_back(d);
      }
    }
    if (solved == nodes_.size()) return;
    result_.outcome = Outcome::Cycle;
    for (const auto& node : nodes_) {
      if (!node.result) fail(Outcome::Cycle, node);
    }
  }

  bool solveNode(Node& node) {
    std::array<std::optional<double>, kKinds> values;
    for (const auto& fact : node.facts) {
      double source = fact.fixed;
      if (fact.sourceNode >= 0) source = nodes_[static_cast<std::size_t>(fact.sourceNode)].result->value(fact.sourceKind);
      const double value = fact.multiplier * source + fact.constant;  // a constant size reads 0
      if (!std::isfinite(value)) {
        fail(Outcome::NotFinite, node);
        return false;
      }
      auto& slot = values[fact.kind];
      if (slot && !near(*slot, value)) {
        fail(Outcome::Conflict, node);
        return false;
      }
      slot = value;
    }
    auto span = combine(node, values);
    if (!span) {
      fail(Outcome::Conflict, node);
      return false;
    }
    if (!std::isfinite(span->min) || !std::isfinite(span->size) || !std::isfinite(span->min + span->size)) {
      fail(Outcome::NotFinite, node);
      return false;
    }
    span->size = std::max(0.0, span->size);
    node.result = span;
    return true;
  }

  // The span the kinds give: the first two present settle it, the others must agree.
  std::optional<Span> combine(const Node& node, const std::array<std::optional<double>, kKinds>& v) const {
    const Span present = spanOf(modelFrame(*node.view), node.axis);
    Span span;
    if (v[kMin] && v[kMax]) {
      span = {*v[kMin], *v[kMax] - *v[kMin]};
    } else if (v[kMin] && v[kCenter]) {
      span = {*v[kMin], 2 * (*v[kCenter] - *v[kMin])};
    } else if (v[kMin]) {
      span = {*v[kMin], v[kSize] ? *v[kSize] : freeSize(node, present)};
    } else if (v[kMax] && v[kCenter]) {
      span = {2 * *v[kCenter] - *v[kMax], 2 * (*v[kMax] - *v[kCenter])};
    } else if (v[kMax]) {
      const double size = v[kSize] ? *v[kSize] : freeSize(node, present);
      span = {*v[kMax] - size, size};
    } else if (v[kCenter]) {
      const double size = v[kSize] ? *v[kSize] : freeSize(node, present);
      span = {*v[kCenter] - size / 2, size};
    } else {
      span = {present.min, *v[kSize]};
    }
    for (int kind = 0; kind < kKinds; ++kind) {
      if (v[kind] && !near(*v[kind], span.value(static_cast<Kind>(kind)))) return std::nullopt;
    }
    return span;
  }

  // The size of an axis set by a location alone.
  double freeSize(const Node& node, const Span& present) const {
    const Size intrinsic = node.view->intrinsicContentSize();
    const double along = node.axis == 0 ? intrinsic.width : intrinsic.height;
    return std::isfinite(along) && along >= 0 ? along : present.size;
  }

  void collectFrames() {
    std::unordered_map<const View*, std::size_t> placed;
    for (const auto& node : nodes_) {
      auto [it, fresh] = placed.try_emplace(node.view, result_.frames.size());
      if (fresh) result_.frames.emplace_back(node.view->shared_from_this(), modelFrame(*node.view));
      Rect& frame = result_.frames[it->second].second;
      if (node.axis == 0) {
        frame.origin.x = node.result->min;
        frame.size.width = node.result->size;
      } else {
        frame.origin.y = node.result->min;
        frame.size.height = node.result->size;
      }
    }
  }

  const View& superview_;
  std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
  std::vector<std::shared_ptr<LayoutConstraint>> factConstraints_;
  std::vector<Node> nodes_;
  std::unordered_map<const View*, std::array<int, 2>> nodeIndex_;
  LayoutSolver::Result result_;
};

const char* nameOf(Attribute a) {
  static constexpr const char* kNames[] = {"none",  "left",  "right",   "top",     "bottom",  "leading",
                                           "trailing", "width", "height", "centerX", "centerY", "lastBaseline"};
  const auto i = static_cast<std::size_t>(a);
  return i < std::size(kNames) ? kNames[i] : "?";
}

std::string describe(const LayoutConstraint& c) {
  auto itemName = [](const std::shared_ptr<View>& v) { return v ? v->description() : std::string("nothing"); };
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, " * %g + %g @%g", c.multiplier(), c.constant(), c.priority());
  const char* relation = c.relation() == LayoutConstraint::Relation::Equal ? " == "
                         : c.relation() == LayoutConstraint::Relation::LessThanOrEqual ? " <= " : " >= ";
  return itemName(c.firstItem()) + "." + nameOf(c.firstAttribute()) + relation + itemName(c.secondItem()) + "." +
         nameOf(c.secondAttribute()) + numbers;
}

const char* faultName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Cycle: return "a cycle";
    case Outcome::Conflict: return "conflicting equalities";
    default: return "a result that is not finite";
  }
}

}  // namespace

LayoutSolver::Result LayoutSolver::solve(const View& superview) { return Pass(superview).run(); }

void LayoutSolver::layOutSubviews(const View& superview) {
  if (superview.subviews().empty()) return;
  Result result = solve(superview);
  for (const auto& c : result.unsolved) {
    if (std::exchange(c->reported_, true)) continue;
    SystemLog::write(kLogSubsystem, "Layout constraint recorded, not solved: " + describe(*c));
  }
  if (result.outcome != Outcome::Solved) {
    bool fresh = false;
    for (const auto& c : result.faulty) fresh |= !std::exchange(c->reported_, true);
    if (fresh) {
      SystemLog::write(kLogSubsystem, "Layout of the subviews of " + superview.description() + " left as it was: " +
                                          faultName(result.outcome) + " among " +
                                          std::to_string(result.faulty.size()) + " constraints, first " +
                                          describe(*result.faulty.front()));
    }
    return;
  }
  for (const auto& [view, frame] : result.frames) Animation::setLayoutFrame(*view, frame);
}

}  // namespace platform
