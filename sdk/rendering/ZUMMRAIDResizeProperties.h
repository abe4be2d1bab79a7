// An MRAID ad's resize request, as parsed from its "resize" message: the size it asks
// for, its offset from where the ad is now, where its 50 x 50 point close area sits
// (0 "top-right" to 6 "bottom-left") and whether it may extend beyond the screen. The
// class operations place the close area inside a content frame and judge a frame
// against bounds; the resize presenter and the full-screen ad controllers use them.
//
// The page is not trusted: a size or offset that is not a plain finite number, a
// negative size and an extent beyond kMaxExtent are refused at parsing (create() gives
// nullopt), so nothing non-finite or absurd ever reaches a view.
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
  // The largest size or offset magnitude a page may ask for, in points: far beyond any
  // screen, small enough that frame arithmetic stays exact.
  static constexpr double kMaxExtent = 100000.0;

  // From the message's parameters: "width", "height", "offsetX", "offsetY",
  // "customClosePosition" and "allowOffscreen" must all be present. Numbers may be
  // JSON numbers or strings holding only a number (white space around allowed). The
  // position name not in the table reads as 0; "allowOffscreen" is a boolean, a
  // number, or a string read as the platform reads booleans. nullopt when a key is
  // missing or a size or offset is refused.
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
  // The close area must lie wholly inside the bounds, so the user can always close the
  // ad; without off-screen permission the content frame must too.
  static bool isContentFrameValid(const platform::Rect& contentFrame, const platform::Rect& bounds,
                                  bool allowOffscreen, std::int64_t closeButtonPosition);

 private:
  platform::Size size_;
  platform::Point offset_;
  std::int64_t customClosePosition_ = 0;
  bool allowOffscreen_ = false;
};
