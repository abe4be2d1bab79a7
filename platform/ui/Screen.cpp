#include "platform/ui/Screen.h"

#include <cmath>

#include "platform/base/TestingReset.h"

namespace platform {

Screen& Screen::main() {
  static Screen* screen = [] {
    auto* made = new Screen();
    registerTestingReset(made, [made] { made->resetForTesting(); });
    return made;
  }();
  return *screen;
}

void Screen::setBoundsSize(Size size) {
  if (!std::isfinite(size.width) || !std::isfinite(size.height) || size.width < 0 || size.height < 0) {
    return;
  }
  bounds_ = {0, 0, size.width, size.height};
}

void Screen::setScale(double scale) {
  if (!std::isfinite(scale) || scale <= 0) return;
  scale_ = scale;
}

void Screen::resetForTesting() {
  bounds_ = {0, 0, 375, 667};
  scale_ = 2.0;
}

}  // namespace platform
