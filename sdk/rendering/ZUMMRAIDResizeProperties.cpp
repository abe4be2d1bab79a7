#include "sdk/rendering/ZUMMRAIDResizeProperties.h"

#include <array>

#include "platform/ui/View.h"

namespace {

enum class Edge { Min, Mid, Max };

struct ClosePlace {
  Edge x;
  Edge y;
  std::uint32_t mask;
};

constexpr std::uint32_t kLeft = platform::AutoresizingFlexibleLeftMargin;
constexpr std::uint32_t kRight = platform::AutoresizingFlexibleRightMargin;
constexpr std::uint32_t kTop = platform::AutoresizingFlexibleTopMargin;
constexpr std::uint32_t kBottom = platform::AutoresizingFlexibleBottomMargin;

// By position: top-right, top-center, top-left, center, bottom-right, bottom-center,
// bottom-left.
constexpr std::array<ClosePlace, 7> kPlaces{{
    {Edge::Max, Edge::Min, kLeft | kBottom},
    {Edge::Mid, Edge::Min, kLeft | kRight | kBottom},
    {Edge::Min, Edge::Min, kRight | kBottom},
    {Edge::Mid, Edge::Mid, kLeft | kRight | kTop | kBottom},
    {Edge::Max, Edge::Max, kLeft | kTop},
    {Edge::Mid, Edge::Max, kLeft | kRight | kTop},
    {Edge::Min, Edge::Max, kRight | kTop},
}};

bool known(std::int64_t position) { return position >= 0 && position < static_cast<std::int64_t>(kPlaces.size()); }

double place(Edge edge, double min, double mid, double max) {
  const double half = ZUMMRAIDResizeProperties::kCloseAreaSide / 2;
  switch (edge) {
    case Edge::Min: return min;
    case Edge::Mid: return mid - half;
    case Edge::Max: return max - 2 * half;
  }
  return min;
}

}  // namespace

platform::Rect ZUMMRAIDResizeProperties::closeButtonRectForPosition(std::int64_t position,
                                                                    const platform::Rect& contentFrame) {
  const auto& f = contentFrame;
  const ClosePlace p = known(position) ? kPlaces[static_cast<std::size_t>(position)] : ClosePlace{Edge::Min, Edge::Min, 0};
  return {place(p.x, f.minX(), f.midX(), f.maxX()), place(p.y, f.minY(), f.midY(), f.maxY()), kCloseAreaSide,
          kCloseAreaSide};
}

std::uint32_t ZUMMRAIDResizeProperties::autoresizingMaskForClosePosition(std::int64_t position) {
  return known(position) ? kPlaces[static_cast<std::size_t>(position)].mask : 0;
}
