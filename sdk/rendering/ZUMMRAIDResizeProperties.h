// Where an MRAID ad's 50 x 50 point close area sits inside a content frame, by the
// page's close position (0 "top-right" to 6 "bottom-left"), and how it follows the
// frame's size. Here: the class operations that the full-screen ad controllers use; the
// parsed resize request itself comes with the MRAID message handler.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>

#include "platform/ui/Geometry.h"

class ZUMMRAIDResizeProperties {
 public:
  static constexpr double kCloseAreaSide = 50.0;

  // The close area for `position` in `contentFrame`; an unknown position gives the
  // frame's top-left corner.
  static platform::Rect closeButtonRectForPosition(std::int64_t position, const platform::Rect& contentFrame);
  // The autoresizing flags that keep the close area at its corner or edge; 0 for an
  // unknown position.
  static std::uint32_t autoresizingMaskForClosePosition(std::int64_t position);
};
