// A colour in one of two colour spaces: grey (white level and alpha) or RGB (red,
// green, blue and alpha), every component from 0 to 1. A plain value; any thread.
//
// Two colours are equal when they have the same space and the same components, so
// grey white and RGB white differ, as they do on the platform.
#pragma once

#include <vector>

namespace platform {

class Color {
 public:
  enum class Space { Grey, RGB };

  // Opaque black.
  Color() = default;

  // Components are clamped to 0...1; NaN reads as 0.
  static Color grey(double white, double alpha = 1.0);
  static Color rgb(double red, double green, double blue, double alpha = 1.0);

  static Color clear() { return grey(0, 0); }
  static Color black() { return grey(0); }
  static Color white() { return grey(1); }
  static Color darkGray() { return grey(1.0 / 3); }
  static Color lightGray() { return grey(2.0 / 3); }
  static Color gray() { return grey(0.5); }
  static Color red() { return rgb(1, 0, 0); }
  static Color green() { return rgb(0, 1, 0); }
  static Color blue() { return rgb(0, 0, 1); }

  Space space() const { return space_; }
  // Two components (white, alpha) in the grey space, four (red, green, blue, alpha)
  // in RGB.
  std::vector<double> components() const;

  // The colour in RGB terms, whatever its space.
  double redComponent() const { return space_ == Space::Grey ? white_ : r_; }
  double greenComponent() const { return space_ == Space::Grey ? white_ : g_; }
  double blueComponent() const { return space_ == Space::Grey ? white_ : b_; }
  double alpha() const { return alpha_; }

  Color withAlpha(double alpha) const;

  friend bool operator==(const Color& x, const Color& y);

 private:
  Space space_ = Space::Grey;
  double white_ = 0;
  double r_ = 0, g_ = 0, b_ = 0;
  double alpha_ = 1;
};

}  // namespace platform
