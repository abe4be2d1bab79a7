#include "platform/ui/Color.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {
double unit(double v) { return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0); }
}  // namespace

Color Color::grey(double white, double alpha) {
  Color c;
  c.space_ = Space::Grey;
  c.white_ = unit(white);
  c.alpha_ = unit(alpha);
  return c;
}

Color Color::rgb(double red, double green, double blue, double alpha) {
  Color c;
  c.space_ = Space::RGB;
  c.r_ = unit(red);
  c.g_ = unit(green);
  c.b_ = unit(blue);
  c.alpha_ = unit(alpha);
  return c;
}

std::vector<double> Color::components() const {
  if (space_ == Space::Grey) return {white_, alpha_};
  return {r_, g_, b_, alpha_};
}

Color Color::withAlpha(double alpha) const {
  Color c = *this;
  c.alpha_ = unit(alpha);
  return c;
}

bool operator==(const Color& x, const Color& y) { return x.space_ == y.space_ && x.components() == y.components(); }

}  // namespace platform
