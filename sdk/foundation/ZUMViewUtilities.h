// Where a view sits on the screen, as reported to ad pages.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>

#include <nlohmann/json_fwd.hpp>

namespace platform {
class Screen;
class View;
}  // namespace platform

class ZUMViewUtilities {
 public:
  // nullopt when the view has no superview or no window; otherwise the view's frame in
  // window coordinates as {"x", "y", "width", "height"} plus "visible": 1 when the view
  // is not hidden and overlaps the application frame of `screen` (its bounds below the
  // status bar), else 0.
  [[nodiscard]] static std::optional<nlohmann::ordered_json> positionOfView(const std::shared_ptr<platform::View>& view,
                                                                            const platform::Screen& screen);
};
