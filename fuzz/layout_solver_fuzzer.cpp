// Arbitrary constraint systems (any items, attributes, relations and priorities, cycles,
// conflicting equalities, huge multipliers and constants) solved for a view hierarchy:
// never crashes or hangs, never gives a frame that is not finite, leaves the frames of the
// views it does not place as they were, and every required constraint it neither records
// nor breaks holds in the frames it gives. Then passes after changes (a constraint goes,
// takes a new constant or priority, a view's frame moves, a view starts or stops keeping
// its frame): frames stay finite, and on a system of modest numbers the required
// constraints kept hold and each one broken cannot hold with them (a hierarchy built
// alike, holding those and then it, breaks it too).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "fuzz/FuzzEnvironment.h"
#include "platform/base/SystemLog.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/LayoutSolver.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace {

using platform::LayoutConstraint;
using platform::Rect;
using platform::View;

constexpr std::size_t kSubviews = 5;
constexpr std::size_t kBytesPerConstraint = 8;
constexpr std::size_t kMostConstraints = 64;

constexpr std::array<double, 8> kMultipliers = {1, 0.5, 2, 0, -1, 1e308, 1e-308, 3e154};
constexpr std::array<double, 8> kConstants = {0, 8, -50, 1e308, -1e308, 1e154, 0.25, 320};

// A view whose intrinsic size the input chooses.
class Sized : public View {
 public:
  static std::shared_ptr<Sized> make(std::uint8_t bits) {
    auto view = std::shared_ptr<Sized>(new Sized());
    view->size_ = {bits & 1 ? 40.0 : platform::kViewNoIntrinsicMetric,
                   bits & 2 ? 1e300 : platform::kViewNoIntrinsicMetric};
    return view;
  }
  platform::Size intrinsicContentSize() const override { return size_; }

 private:
  Sized() : View(Rect(3, 4, 50, 60)) {}
  platform::Size size_;
};

bool finite(const Rect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

// An attribute of an item in the top view's coordinates; nullopt where a size was
// clamped to zero or the frame was kept, so the equation no longer says anything.
std::optional<double> valueOf(const std::shared_ptr<View>& item, LayoutConstraint::Attribute a, const View& top) {
  using A = LayoutConstraint::Attribute;
  if (!item) return a == A::NotAnAttribute ? std::optional<double>(0) : std::nullopt;
  Rect r = item->bounds();
  if (auto guide = std::dynamic_pointer_cast<platform::LayoutGuide>(item)) {
    r = *guide->rectInOwnerView();
  } else if (item.get() != &top) {
    r = item->convertRectToView(item->bounds(), &top);
  }
  if (r.width() <= 0 || r.height() <= 0 || std::fabs(r.minX()) > 1e9 || std::fabs(r.minY()) > 1e9) return std::nullopt;
  switch (a) {
    case A::Left:
    case A::Leading:
      return r.minX();
    case A::Right:
    case A::Trailing:
      return r.maxX();
    case A::CenterX:
      return r.midX();
    case A::Width:
      return r.width();
    case A::Top:
      return r.minY();
    case A::Bottom:
      return r.maxY();
    case A::CenterY:
      return r.midY();
    case A::Height:
      return r.height();
    default:
      return std::nullopt;
  }
}

// `scale`: the largest magnitude in the system, which bounds what rounding can lose.
bool holds(const LayoutConstraint& c, const View& top, double scale) {
  if (!c.firstItem()) return true;  // nothing to place: left alone
  const auto first = valueOf(c.firstItem(), c.firstAttribute(), top);
  const auto second = valueOf(c.secondItem(), c.secondAttribute(), top);
  if (!first || !second || std::fabs(c.multiplier()) > 1e6 || std::fabs(c.constant()) > 1e6) return true;
  const double right = c.multiplier() * *second + c.constant();
  const double slack = 1e-3 + 1e-9 * scale + 1e-6 * (std::fabs(*first) + std::fabs(right));
  switch (c.relation()) {
    case LayoutConstraint::Relation::Equal:
      return std::fabs(*first - right) <= slack;
    case LayoutConstraint::Relation::LessThanOrEqual:
      return *first <= right + slack;
    default:
      return *first >= right - slack;
  }
}

struct Hierarchy {
  std::shared_ptr<platform::ViewController> controller = platform::ViewController::create();
  std::vector<std::shared_ptr<View>> items;  // the top view, its subviews, a nested one, a guide, nothing
  std::vector<std::shared_ptr<View>> holders;

  explicit Hierarchy(std::uint8_t bits) {
    auto superview = controller->view();
    superview->setFrame(Rect(0, 0, 375, 667));
    items.push_back(superview);
    for (std::size_t i = 0; i < kSubviews; ++i) {
      auto v = Sized::make(static_cast<std::uint8_t>(bits >> i));
      v->setTranslatesAutoresizingMaskIntoConstraints(i == 0 && (bits & 0x80));
      superview->addSubview(v);
      items.push_back(v);
    }
    auto nested = View::create(Rect(1, 1, 1, 1));
    items[1]->addSubview(nested);
    items.push_back(nested);
    items.push_back(controller->topLayoutGuide());
    items.push_back(nullptr);
    holders = {superview, nested};
    for (const auto& subview : superview->subviews()) holders.push_back(subview);
  }
  const std::shared_ptr<View>& top() const { return items[0]; }
  std::size_t indexOf(const std::shared_ptr<View>& item) const {
    return static_cast<std::size_t>(std::find(items.begin(), items.end(), item) - items.begin());
  }
};

template <typename List, typename T>
bool listed(const List& list, const T& c) {
  return std::find(list.begin(), list.end(), c) != list.end();
}

// Whether every constant, multiplier, frame and intrinsic size is of a size where
// rounding cannot decide whether constraints can hold together.
bool modest(const Hierarchy& h) {
  for (const auto& v : h.items) {
    if (!v) continue;
    const Rect r = v->frame();
    const platform::Size intrinsic = v->intrinsicContentSize();
    for (double value : {r.minX(), r.minY(), r.maxX(), r.maxY(), intrinsic.width, intrinsic.height}) {
      if (!(std::fabs(value) <= 1e4)) return false;
    }
  }
  for (const auto& holder : h.holders) {
    for (const auto& c : holder->constraints()) {
      const double m = std::fabs(c->multiplier());
      if (std::fabs(c->constant()) > 1e4 || m > 2 || (m != 0 && m < 0.5)) return false;
    }
  }
  return true;
}

// Frames finite, a kept frame where it was (when `before` is given), and (when `holding`)
// every required constraint neither recorded nor broken holding.
platform::LayoutSolver::Result checkPass(const Hierarchy& h, const std::vector<Rect>* before, bool holding) {
  const auto& superview = h.top();
  // A pass below the top view may ask it for another, which a window's next turn runs.
  superview->layoutIfNeeded();
  superview->layoutIfNeeded();
  const auto result = platform::LayoutSolver::solve(*superview);
  for (std::size_t i = 0; i < h.items.size(); ++i) {
    if (!h.items[i]) continue;
    const Rect now = h.items[i]->frame();
    fuzzenv::check(finite(now));
    if (before && (h.items[i]->translatesAutoresizingMaskIntoConstraints() || h.items[i] == superview)) {
      fuzzenv::check(now == (*before)[i]);
    }
  }
  for (const auto& [view, frame] : result.frames) fuzzenv::check(finite(frame) && frame.size.width >= 0);
  // Every required constraint kept holds (those held by views of the hierarchy).
  double scale = 1e6;  // the constants checked
  for (const auto& v : h.items) {
    if (!v) continue;
    const Rect r = v->frame();
    const platform::Size intrinsic = v->intrinsicContentSize();
    for (double value : {r.minX(), r.minY(), r.maxX(), r.maxY(), intrinsic.width, intrinsic.height}) {
      scale = std::max(scale, std::fabs(value));
    }
  }
  for (const auto& holder : h.holders) {
    for (const auto& c : holder->constraints()) {
      scale = std::max({scale, std::fabs(c->constant()) * std::max(1.0, std::fabs(c->multiplier())),
                        1e3 * std::fabs(c->multiplier())});
    }
  }
  for (const auto& holder : h.holders) {
    for (const auto& c : holder->constraints()) {
      if (!holding || c->priority() < LayoutConstraint::kPriorityRequired || listed(result.unsolved, c) ||
          listed(result.broken, c) || listed(result.notFinite, c->firstItem()) ||
          listed(result.notFinite, c->secondItem())) {
        continue;
      }
      fuzzenv::check(holds(*c, *superview, scale));
    }
  }
  return result;
}

// Each constraint broken (a few) cannot hold with the required ones kept: a hierarchy
// built alike, with the same frames, that holds those and then it breaks it alone.
void checkBrokenConflict(const Hierarchy& h, std::uint8_t bits, const platform::LayoutSolver::Result& result) {
  if (!result.notFinite.empty() || result.broken.empty()) return;
  std::vector<std::shared_ptr<LayoutConstraint>> kept;
  for (const auto& holder : h.holders) {
    for (const auto& c : holder->constraints()) {
      if (c->priority() >= LayoutConstraint::kPriorityRequired && !listed(result.unsolved, c) &&
          !listed(result.broken, c)) {
        kept.push_back(c);
      }
    }
  }
  for (std::size_t b = 0; b < result.broken.size() && b < 2; ++b) {
    Hierarchy alike(bits);
    for (std::size_t i = 1; i < h.items.size(); ++i) {
      if (h.items[i] && !std::dynamic_pointer_cast<platform::LayoutGuide>(h.items[i])) {
        alike.items[i]->setFrame(h.items[i]->frame());
        alike.items[i]->setTranslatesAutoresizingMaskIntoConstraints(
            h.items[i]->translatesAutoresizingMaskIntoConstraints());
      }
    }
    auto copy = [&](const LayoutConstraint& c) {
      auto made = LayoutConstraint::create(alike.items[h.indexOf(c.firstItem())], c.firstAttribute(), c.relation(),
                                           alike.items[h.indexOf(c.secondItem())], c.secondAttribute(), c.multiplier(),
                                           c.constant());
      alike.top()->addConstraint(made);
      return made;
    };
    for (const auto& c : kept) copy(*c);
    const auto last = copy(*result.broken[b]);
    const auto again = platform::LayoutSolver::solve(*alike.top());
    fuzzenv::check(again.notFinite.size() > 0 || (again.broken.size() == 1 && again.broken[0] == last));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("layout_solver");
  if (size < 1) return 0;
  platform::SystemLog::Capture quiet(true);
  Hierarchy h(data[0]);
  const auto& items = h.items;

  const std::uint8_t* p = data + 1;
  std::size_t left = size - 1;
  std::vector<std::shared_ptr<LayoutConstraint>> made;
  for (std::size_t n = 0; left >= kBytesPerConstraint && n < kMostConstraints; ++n) {
    auto pick = [&](std::uint8_t b) { return items[b % items.size()]; };
    auto attribute = [](std::uint8_t b) { return static_cast<LayoutConstraint::Attribute>(b % 12); };
    double constant = kConstants[p[6] % kConstants.size()];
    if (p[6] & 0x80) std::memcpy(&constant, p, sizeof constant);  // any bits at all
    auto c = LayoutConstraint::create(pick(p[0]), attribute(p[1]),
                                      static_cast<LayoutConstraint::Relation>(static_cast<int>(p[2] % 3) - 1),
                                      pick(p[3]), attribute(p[4]), kMultipliers[p[5] % kMultipliers.size()], constant);
    fuzzenv::check(c || !std::isfinite(constant));
    if (c) {
      if (p[7] & 1) c->setPriority(750);
      if (p[7] & 2) {
        c->setActive(true);
      } else if (auto holder = pick(static_cast<std::uint8_t>(p[7] >> 2))) {
        holder->addConstraint(c);
      }
      made.push_back(c);
    }
    p += kBytesPerConstraint;
    left -= kBytesPerConstraint;
  }

  std::vector<Rect> before;
  for (const auto& v : items) before.push_back(v ? v->frame() : Rect());
  auto result = checkPass(h, &before, true);
  // Rounding decides what extreme numbers leave behind, in the passes after them too.
  bool modestSoFar = modest(h);
  if (modestSoFar) checkBrokenConflict(h, data[0], result);

  // A byte left is a change, then a pass.
  for (std::size_t k = 0; k < left && !made.empty(); ++k) {
    const std::uint8_t op = p[k];
    const auto& c = made[static_cast<std::size_t>(op >> 2) % made.size()];
    switch (op & 3) {
      case 0:
        c->setActive(false);
        break;
      case 1:
        c->setConstant(kConstants[static_cast<std::size_t>(op >> 5) % kConstants.size()]);
        break;
      case 2:
        c->setPriority(c->priority() < LayoutConstraint::kPriorityRequired ? LayoutConstraint::kPriorityRequired : 750);
        break;
      default: {
        const auto& view = items[1 + op % kSubviews];
        view->setFrame(Rect(op >> 3, 4, 50, 60));
        // It may start or stop keeping its frame too.
        if (op & 4)
          view->setTranslatesAutoresizingMaskIntoConstraints(!view->translatesAutoresizingMaskIntoConstraints());
        h.top()->setNeedsLayout();  // a frame set by the app stays until the next pass
        break;
      }
    }
    modestSoFar = modestSoFar && modest(h);
    result = checkPass(h, nullptr, modestSoFar);
  }
  if (left > 0 && modestSoFar) checkBrokenConflict(h, data[0], result);
  return 0;
}
