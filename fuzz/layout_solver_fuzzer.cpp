// Arbitrary constraint sets (any items, attributes, relations and priorities, cycles,
// conflicting equalities, huge multipliers and constants) solved for the subviews of
// one view: never crashes or hangs, never gives a frame that is not finite, and a pass
// that reports a fault, like every view it does not place, leaves frames as they were.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
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
    view->size_ = {bits & 1 ? 40.0 : platform::kViewNoIntrinsicMetric, bits & 2 ? 1e300 : platform::kViewNoIntrinsicMetric};
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("layout_solver");
  if (size < 1) return 0;
  platform::SystemLog::Capture quiet(true);
  auto controller = platform::ViewController::create();
  auto superview = controller->view();
  superview->setFrame(Rect(0, 0, 375, 667));
  std::vector<std::shared_ptr<View>> items{superview};
  for (std::size_t i = 0; i < kSubviews; ++i) {
    auto v = Sized::make(static_cast<std::uint8_t>(data[0] >> i));
    v->setTranslatesAutoresizingMaskIntoConstraints(i == 0 && (data[0] & 0x80));
    superview->addSubview(v);
    items.push_back(v);
  }
  auto nested = View::create(Rect(1, 1, 1, 1));
  items[1]->addSubview(nested);
  items.push_back(nested);
  items.push_back(controller->topLayoutGuide());
  items.push_back(nullptr);

  const std::uint8_t* p = data + 1;
  std::size_t left = size - 1;
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
    }
    p += kBytesPerConstraint;
    left -= kBytesPerConstraint;
  }

  std::vector<Rect> before;
  for (const auto& v : items) before.push_back(v ? v->frame() : Rect());
  const auto result = platform::LayoutSolver::solve(*superview);
  superview->layoutIfNeeded();
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!items[i]) continue;
    const Rect now = items[i]->frame();
    fuzzenv::check(finite(now));
    bool placed = false;
    for (const auto& [view, frame] : result.frames) placed |= view == items[i];
    if (result.outcome != platform::LayoutSolver::Outcome::Solved || !placed) {
      fuzzenv::check(now == before[i] || items[i] == nested);
    }
  }
  for (const auto& [view, frame] : result.frames) fuzzenv::check(finite(frame) && frame.size.width >= 0);
  return 0;
}
