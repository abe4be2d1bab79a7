// Colours as pages write them in CSS: "#rgb", "#rgba", "#rrggbb", "#rrggbbaa",
// "rgb(r, g, b)", "rgba(r, g, b, a)" (numbers or percentages), "transparent" and the
// basic colour names. Pure functions; any thread.
#pragma once

#include <optional>
#include <string_view>

#include "platform/ui/Color.h"

namespace platform {

class CSSColor {
 public:
  // An RGB colour, or std::nullopt for what is not a colour.
  [[nodiscard]] static std::optional<Color> parse(std::string_view text);
};

}  // namespace platform
