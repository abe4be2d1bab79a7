#include "sdk/rendering/ZUMMRAIDResizeProperties.h"

#include <array>

#include <nlohmann/json.hpp>

#include "platform/base/StringConversions.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMJSONReaders.h"

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
    case Edge::Min:
      return min;
    case Edge::Mid:
      return mid - half;
    case Edge::Max:
      return max - 2 * half;
  }
  return min;
}

}  // namespace

platform::Rect ZUMMRAIDResizeProperties::closeButtonRectForPosition(std::int64_t position,
                                                                    const platform::Rect& contentFrame) {
  const auto& f = contentFrame;
  const ClosePlace p =
      known(position) ? kPlaces[static_cast<std::size_t>(position)] : ClosePlace{Edge::Min, Edge::Min, 0};
  return {place(p.x, f.minX(), f.midX(), f.maxX()), place(p.y, f.minY(), f.midY(), f.maxY()), kCloseAreaSide,
          kCloseAreaSide};
}

std::uint32_t ZUMMRAIDResizeProperties::autoresizingMaskForClosePosition(std::int64_t position) {
  return known(position) ? kPlaces[static_cast<std::size_t>(position)].mask : 0;
}

// --- Parsing -------------------------------------------------------------------------------

namespace {

constexpr const char* kPositionNames[] = {"top-right",    "top-center",    "top-left",   "center",
                                          "bottom-right", "bottom-center", "bottom-left"};

// A size or offset as the platform reads text as a number: the leading number, 0 for
// anything else (a word, an empty string, an object), and 0 for what is not finite.
double numberForKey(const nlohmann::ordered_json& dictionary, const char* key) {
  return ZUMJSONDoubleForKey(dictionary, key, 0.0, ZUMJSONStrings::Read);
}

}  // namespace

std::optional<ZUMMRAIDResizeProperties> ZUMMRAIDResizeProperties::create(const nlohmann::ordered_json& dictionary) {
  if (!dictionary.is_object()) return std::nullopt;
  for (const char* key : {"width", "height", "offsetX", "offsetY", "customClosePosition", "allowOffscreen"}) {
    if (!dictionary.contains(key)) return std::nullopt;
  }
  ZUMMRAIDResizeProperties properties;
  properties.size_ = {numberForKey(dictionary, "width"), numberForKey(dictionary, "height")};
  properties.offset_ = {numberForKey(dictionary, "offsetX"), numberForKey(dictionary, "offsetY")};
  const auto& position = dictionary["customClosePosition"];
  properties.customClosePosition_ = position.is_string() ? closePositionFromString(position.get<std::string>()) : 0;
  properties.allowOffscreen_ = ZUMJSONBoolForKey(dictionary, "allowOffscreen", false, ZUMJSONStrings::Read);
  return properties;
}

std::int64_t ZUMMRAIDResizeProperties::closePositionFromString(const std::string& name) {
  for (std::size_t i = 0; i < std::size(kPositionNames); ++i) {
    if (name == kPositionNames[i]) return static_cast<std::int64_t>(i);
  }
  return 0;
}

std::string ZUMMRAIDResizeProperties::description() const {
  using platform::doubleString;
  return "{{" + doubleString(size_.width) + ", " + doubleString(size_.height) + "}, {" + doubleString(offset_.x) +
         ", " + doubleString(offset_.y) + "}, " + platform::integerString(customClosePosition_) + ", " +
         (allowOffscreen_ ? "YES" : "NO") + "}";
}

// --- Validity -------------------------------------------------------------------------------

namespace {

bool liesWithin(const platform::Rect& rect, const platform::Rect& bounds) {
  return !rect.isNull() && bounds.intersection(rect) == rect.standardized();
}

}  // namespace

bool ZUMMRAIDResizeProperties::isContentFrameValid(const platform::Rect& contentFrame, const platform::Rect& bounds,
                                                   bool allowOffscreen, std::int64_t closeButtonPosition) {
  if (contentFrame.width() > kMaxExtent || contentFrame.height() > kMaxExtent) return false;
  if (allowOffscreen) return liesWithin(closeButtonRectForPosition(closeButtonPosition, contentFrame), bounds);
  return liesWithin(contentFrame, bounds);
}
