#include "platform/ui/LayoutConstraint.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "platform/ui/LayoutGuide.h"
#include "platform/ui/View.h"

namespace platform {

std::shared_ptr<LayoutConstraint> LayoutConstraint::create(const std::shared_ptr<View>& firstItem,
                                                           Attribute firstAttribute, Relation relation,
                                                           const std::shared_ptr<View>& secondItem,
                                                           Attribute secondAttribute, double multiplier,
                                                           double constant) {
  if (!std::isfinite(multiplier) || !std::isfinite(constant)) return nullptr;
  std::shared_ptr<LayoutConstraint> c(new LayoutConstraint());
  c->first_ = firstItem;
  c->firstAttribute_ = firstAttribute;
  c->relation_ = relation;
  c->second_ = secondItem;
  c->secondAttribute_ = secondAttribute;
  c->multiplier_ = multiplier;
  c->constant_ = constant;
  return c;
}

void LayoutConstraint::setConstant(double constant) {
  if (!std::isfinite(constant) || constant == constant_) return;
  constant_ = constant;
  invalidateLayout();
}

void LayoutConstraint::setActive(bool active) {
  auto holder = holder_.lock();
  if (!active) {
    if (holder) holder->removeConstraint(shared_from_this());
    active_ = false;
    return;
  }
  active_ = true;
  if (holder) return;
  // A guide is not in the tree; its controller's view stands in for it.
  auto asTreeItem = [](std::shared_ptr<View> item) -> std::shared_ptr<View> {
    if (auto guide = std::dynamic_pointer_cast<LayoutGuide>(item)) return guide->ownerView();
    return item;
  };
  const auto first = asTreeItem(first_.lock());
  const auto second = asTreeItem(second_.lock());
  std::shared_ptr<View> home = second ? nullptr : first;
  for (auto v = first; v && second && !home; v = v->superview()) {
    if (second->isDescendantOfView(v.get())) home = v;
  }
  if (home) home->addConstraint(shared_from_this());
}

// Asks for the pass that reads each item: its superview's, or the top view's own, or the
// guide's controller's view's.
void LayoutConstraint::invalidateLayout() const {
  for (const auto& item : {first_.lock(), second_.lock()}) {
    if (!item) continue;
    if (auto guide = std::dynamic_pointer_cast<LayoutGuide>(item)) {
      if (auto owner = guide->ownerView()) owner->setNeedsLayout();
    } else if (auto superview = item->superview()) {
      superview->setNeedsLayout();
    } else {
      item->setNeedsLayout();
    }
  }
}

void LayoutConstraint::setPriority(float priority) {
  if (!std::isfinite(priority)) return;
  const float clamped = std::fmin(std::fmax(priority, 1.0f), kPriorityRequired);
  if (clamped == priority_) return;
  priority_ = clamped;
  invalidateLayout();
}

namespace {

using Attribute = LayoutConstraint::Attribute;
using Relation = LayoutConstraint::Relation;

constexpr double kStandardSpacing = 8.0;

// One predicate of a visual format: a relation to a number or to a named view.
struct Predicate {
  Relation relation = Relation::Equal;
  double constant = 0;
  std::shared_ptr<View> view;
  std::optional<float> priority;
};

class FormatParser {
 public:
  FormatParser(const std::string& text, const std::map<std::string, std::shared_ptr<View>>& views)
      : text_(text), views_(views) {}

  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }
  bool take(const char* literal) {
    const std::string s(literal);
    if (text_.compare(pos_, s.size(), s) != 0) return false;
    pos_ += s.size();
    return true;
  }

  std::optional<std::string> name() {
    const std::size_t start = pos_;
    if (atEnd() || !(std::isalpha(static_cast<unsigned char>(peek())) || peek() == '_')) return std::nullopt;
    while (!atEnd() && (std::isalnum(static_cast<unsigned char>(peek())) || peek() == '_')) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  std::optional<double> number() {
    const std::size_t start = pos_;
    if (peek() == '-' || peek() == '+') ++pos_;
    bool digits = false;
    while (!atEnd() && (std::isdigit(static_cast<unsigned char>(peek())) || peek() == '.')) {
      ++pos_;
      digits = true;
    }
    if (!digits) {
      pos_ = start;
      return std::nullopt;
    }
    char* end = nullptr;
    const std::string piece = text_.substr(start, pos_ - start);
    const double value = std::strtod(piece.c_str(), &end);
    if (end != piece.c_str() + piece.size() || !std::isfinite(value)) return std::nullopt;
    return value;
  }

  std::optional<Predicate> predicate() {
    Predicate p;
    if (take("==")) {
      p.relation = Relation::Equal;
    } else if (take(">=")) {
      p.relation = Relation::GreaterThanOrEqual;
    } else if (take("<=")) {
      p.relation = Relation::LessThanOrEqual;
    }
    if (auto n = number()) {
      p.constant = *n;
    } else if (auto viewName = name()) {
      auto it = views_.find(*viewName);
      if (it == views_.end() || !it->second) return std::nullopt;
      p.view = it->second;
    } else {
      return std::nullopt;
    }
    if (take('@')) {
      auto priority = number();
      if (!priority) return std::nullopt;
      p.priority = static_cast<float>(*priority);
    }
    return p;
  }

  // "(p, p, ...)" or a bare number.
  std::optional<std::vector<Predicate>> predicateList() {
    std::vector<Predicate> list;
    if (take('(')) {
      do {
        auto p = predicate();
        if (!p) return std::nullopt;
        list.push_back(std::move(*p));
      } while (take(','));
      if (!take(')')) return std::nullopt;
      return list;
    }
    auto n = number();
    if (!n) return std::nullopt;
    list.push_back({Relation::Equal, *n, nullptr, std::nullopt});
    return list;
  }

  // The spacing before a view or an edge: none (0), "-" (standard) or "-pred-".
  std::optional<std::vector<Predicate>> connection() {
    if (!take('-')) return std::vector<Predicate>{{Relation::Equal, 0, nullptr, std::nullopt}};
    if (peek() == '[' || peek() == '|') {
      return std::vector<Predicate>{{Relation::Equal, kStandardSpacing, nullptr, std::nullopt}};
    }
    auto list = predicateList();
    if (!list || !take('-')) return std::nullopt;
    for (const auto& p : *list) {
      if (p.view) return std::nullopt;  // spacing is a number
    }
    return list;
  }

  std::size_t position() const { return pos_; }

 private:
  const std::string& text_;
  const std::map<std::string, std::shared_ptr<View>>& views_;
  std::size_t pos_ = 0;
};

void add(std::vector<std::shared_ptr<LayoutConstraint>>& out, const std::shared_ptr<View>& first, Attribute a,
         const Predicate& p, const std::shared_ptr<View>& second, Attribute b) {
  auto c = LayoutConstraint::create(first, a, p.relation, second, b, 1, p.constant);
  if (!c) return;
  if (p.priority) c->setPriority(*p.priority);
  out.push_back(std::move(c));
}

}  // namespace

std::vector<std::shared_ptr<LayoutConstraint>> LayoutConstraint::constraintsWithVisualFormat(
    const std::string& rawFormat, std::uint32_t options, const std::map<std::string, std::shared_ptr<View>>& views) {
  std::string format;
  for (char c : rawFormat) {
    if (!std::isspace(static_cast<unsigned char>(c))) format.push_back(c);
  }
  FormatParser parser(format, views);
  bool vertical = false;
  if (parser.take("V:")) {
    vertical = true;
  } else {
    parser.take("H:");
  }
  const Attribute leadingEdge = vertical ? Attribute::Top : Attribute::Leading;
  const Attribute trailingEdge = vertical ? Attribute::Bottom : Attribute::Trailing;
  const Attribute size = vertical ? Attribute::Height : Attribute::Width;

  std::vector<std::shared_ptr<LayoutConstraint>> out;
  std::vector<std::shared_ptr<View>> sequence;
  std::optional<std::vector<Predicate>> pendingSpacing;  // before the next view or edge
  bool leadingSuperview = false;
  std::vector<Predicate> leadingSpacing;

  if (parser.take('|')) {
    auto spacing = parser.connection();
    if (!spacing) return {};
    leadingSuperview = true;
    leadingSpacing = *spacing;
  }
  while (parser.take('[')) {
    auto viewName = parser.name();
    if (!viewName) return {};
    auto it = views.find(*viewName);
    if (it == views.end() || !it->second) return {};
    const auto view = it->second;
    if (parser.peek() == '(') {
      auto list = parser.predicateList();
      if (!list) return {};
      for (const auto& p : *list) add(out, view, size, p, p.view, p.view ? size : Attribute::NotAnAttribute);
    }
    if (!parser.take(']')) return {};
    if (!sequence.empty()) {
      for (const auto& p : *pendingSpacing) add(out, view, leadingEdge, p, sequence.back(), trailingEdge);
    }
    sequence.push_back(view);
    pendingSpacing = parser.connection();
    if (!pendingSpacing) return {};
  }
  if (sequence.empty()) return {};
  bool trailingSuperview = false;
  if (parser.take('|')) {
    trailingSuperview = true;
  } else if (pendingSpacing->front().constant != 0 || parser.position() != format.size()) {
    return {};  // a dangling connection or trailing text
  }
  if (!parser.atEnd()) return {};

  const auto superview = sequence.front()->superview();
  if ((leadingSuperview || trailingSuperview) && !superview) return {};
  if (leadingSuperview) {
    for (const auto& p : leadingSpacing) add(out, sequence.front(), leadingEdge, p, superview, leadingEdge);
  }
  if (trailingSuperview) {
    for (const auto& p : *pendingSpacing) add(out, superview, trailingEdge, p, sequence.back(), trailingEdge);
  }
  for (std::uint32_t bit = 1; bit <= static_cast<std::uint32_t>(Attribute::LastBaseline); ++bit) {
    if (!(options & (1u << bit))) continue;
    for (std::size_t i = 1; i < sequence.size(); ++i) {
      add(out, sequence[i], static_cast<Attribute>(bit), Predicate{}, sequence[i - 1], static_cast<Attribute>(bit));
    }
  }
  return out;
}

}  // namespace platform
