// An MRAID ad's resize request, as parsed from its "resize" message: the size it asks
// for, its offset from where the ad is now, where its 50 x 50 point close area sits
// (0 "top-right" to 6 "bottom-left") and whether it may extend beyond the screen. The
// class operations place the close area inside a content frame and judge a frame
// against bounds; the resize presenter and the full-screen ad controllers use them.
//
// Parsing reads numbers as the platform reads text and checks no range: a negative, zero
// or huge size passes, and the frame check judges it. The page is not trusted, so what
// is not a finite number reads as 0, and the frame check refuses a frame larger than
// kMaxExtent, so nothing non-finite or absurd ever reaches a view.
//
// A value type; pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/ui/Geometry.h"

class ZUMMRAIDResizeProperties {
 public:
  static constexpr double kCloseAreaSide = 50.0;
  // The largest width or height of a valid frame, in points: far beyond any screen,
  // small enough that frame arithmetic stays exact and a page's viewport stays drawable.
  static constexpr double kMaxExtent = 100000.0;

  // From the message's parameters: "width", "height", "offsetX", "offsetY",
  // "customClosePosition" and "allowOffscreen" must all be present. A size or offset is
  // a JSON number or the leading number of a string ("12px" is 12); anything else, and
  // what is not finite, reads as 0. The position name not in the table reads as 0;
  // "allowOffscreen" is a boolean, a number, or a string read as the platform reads
  // booleans. nullopt only when a key is missing.
  static std::optional<ZUMMRAIDResizeProperties> create(const nlohmann::ordered_json& dictionary);
  ZUMMRAIDResizeProperties() = default;

  platform::Size size() const { return size_; }
  void setSize(platform::Size size) { size_ = size; }
  platform::Point offset() const { return offset_; }
  void setOffset(platform::Point offset) { offset_ = offset; }
  std::int64_t customClosePosition() const { return customClosePosition_; }
  void setCustomClosePosition(std::int64_t position) { customClosePosition_ = position; }
  bool allowOffscreen() const { return allowOffscreen_; }
  void setAllowOffscreen(bool allow) { allowOffscreen_ = allow; }
  // (offset, size).
  platform::Rect frame() const { return {offset_, size_}; }
  // For page error messages: "{{w, h}, {x, y}, position, allowOffscreen}".
  std::string description() const;

  // The position table's value for a name ("top-right" 0 ... "bottom-left" 6; exact,
  // case-sensitive); any other name 0.
  static std::int64_t closePositionFromString(const std::string& name);
  // The close area for `position` in `contentFrame`; an unknown position gives the
  // frame's top-left corner.
  static platform::Rect closeButtonRectForPosition(std::int64_t position, const platform::Rect& contentFrame);
  // The autoresizing flags that keep the close area at its corner or edge; 0 for an
  // unknown position.
  static std::uint32_t autoresizingMaskForClosePosition(std::int64_t position);
  // With off-screen permission the close area must lie wholly inside the bounds, so the
  // user can always close the ad; without it the content frame must. Either way a frame
  // wider or higher than kMaxExtent is refused.
  static bool isContentFrameValid(const platform::Rect& contentFrame, const platform::Rect& bounds, bool allowOffscreen,
                                  std::int64_t closeButtonPosition);

 private:
  platform::Size size_;
  platform::Point offset_;
  std::int64_t customClosePosition_ = 0;
  bool allowOffscreen_ = false;
};
