// Plane geometry of the view system, in points: Point, Size, Rect, EdgeInsets and
// AffineTransform. Plain values with no surprises; usable on any thread.
//
// A Rect may have a negative size; every operation reads it "standardized" (origin at
// the smallest corner). The null rect (infinite origin, zero size) stands for "no
// rectangle": the intersection of rects that do not overlap, or the union of nothing.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform {

struct Point {
  double x = 0;
  double y = 0;

  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;

  friend bool operator==(const Size&, const Size&) = default;
};

struct EdgeInsets {
  double top = 0;
  double left = 0;
  double bottom = 0;
  double right = 0;

  friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

struct Rect {
  Point origin;
  Size size;

  constexpr Rect() = default;
  constexpr Rect(Point o, Size s) : origin(o), size(s) {}
  constexpr Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

  static constexpr Rect zero() { return {}; }
  static constexpr Rect null() {
    return {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(), 0, 0};
  }

  bool isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }
  // Null, or without area.
  bool isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

  Rect standardized() const {
    if (isNull()) return *this;
    Rect r = *this;
    if (r.size.width < 0) {
      r.origin.x += r.size.width;
      r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
      r.origin.y += r.size.height;
      r.size.height = -r.size.height;
    }
    return r;
  }

  double minX() const { return standardized().origin.x; }
  double minY() const { return standardized().origin.y; }
  double maxX() const {
    Rect r = standardized();
    return r.origin.x + r.size.width;
  }
  double maxY() const {
    Rect r = standardized();
    return r.origin.y + r.size.height;
  }
  double midX() const {
    Rect r = standardized();
    return r.origin.x + r.size.width / 2;
  }
  double midY() const {
    Rect r = standardized();
    return r.origin.y + r.size.height / 2;
  }
  double width() const { return std::fabs(size.width); }
  double height() const { return std::fabs(size.height); }

  // The common part; the null rect when the two do not overlap (touching edges overlap
  // in a rect of zero width or height).
  Rect intersection(const Rect& other) const {
    if (isNull() || other.isNull()) return null();
    const Rect a = standardized();
    const Rect b = other.standardized();
    const double x0 = std::max(a.minX(), b.minX());
    const double y0 = std::max(a.minY(), b.minY());
    const double x1 = std::min(a.maxX(), b.maxX());
    const double y1 = std::min(a.maxY(), b.maxY());
    if (!(x0 <= x1) || !(y0 <= y1)) return null();
    return {x0, y0, x1 - x0, y1 - y0};
  }
  bool intersects(const Rect& other) const { return !intersection(other).isNull(); }

  // The smallest rect holding both; a null rect adds nothing.
  Rect unionWith(const Rect& other) const {
    if (isNull()) return other.standardized();
    if (other.isNull()) return standardized();
    const double x0 = std::min(minX(), other.minX());
    const double y0 = std::min(minY(), other.minY());
    const double x1 = std::max(maxX(), other.maxX());
    const double y1 = std::max(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
  }

  // Half-open: the minimum edges belong to the rect, the maximum edges do not.
  bool contains(Point p) const {
    if (isNull()) return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
  }
  bool contains(const Rect& other) const {
    if (isNull() || other.isNull()) return false;
    return unionWith(other) == standardized();
  }

  // Moves each edge in by dx / dy (out when negative); null when nothing is left.
  Rect insetBy(double dx, double dy) const {
    if (isNull()) return *this;
    Rect r = standardized();
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0) return null();
    return r;
  }
  Rect inset(const EdgeInsets& insets) const {
    if (isNull()) return *this;
    Rect r = standardized();
    r.origin.x += insets.left;
    r.origin.y += insets.top;
    r.size.width -= insets.left + insets.right;
    r.size.height -= insets.top + insets.bottom;
    if (r.size.width < 0 || r.size.height < 0) return null();
    return r;
  }
  Rect offsetBy(double dx, double dy) const {
    if (isNull()) return *this;
    return {origin.x + dx, origin.y + dy, size.width, size.height};
  }
  // The smallest rect with integral coordinates that holds this one.
  Rect integral() const {
    if (isNull()) return *this;
    const Rect r = standardized();
    const double x0 = std::floor(r.minX());
    const double y0 = std::floor(r.minY());
    return {x0, y0, std::ceil(r.maxX()) - x0, std::ceil(r.maxY()) - y0};
  }

  friend bool operator==(const Rect&, const Rect&) = default;
};

// The matrix [a b 0; c d 0; tx ty 1] acting on row vectors: x' = a x + c y + tx,
// y' = b x + d y + ty.
struct AffineTransform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static constexpr AffineTransform identity() { return {}; }
  static constexpr AffineTransform makeTranslation(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static constexpr AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  // Positive angles (radians) turn the x axis towards the y axis (clockwise on a
  // screen whose y axis points down).
  static AffineTransform makeRotation(double angle) {
    const double s = std::sin(angle), co = std::cos(angle);
    return {co, s, -s, co, 0, 0};
  }

  bool isIdentity() const { return *this == identity(); }

  // This transform followed by `then`.
  AffineTransform concat(const AffineTransform& then) const {
    const AffineTransform& t = then;
    return {a * t.a + b * t.c, a * t.b + b * t.d,          c * t.a + d * t.c,
            c * t.b + d * t.d, tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
  }
  // Each applies the new step first, then this transform (as the platform's
  // translate/scale/rotate of an existing transform do).
  AffineTransform translated(double x, double y) const { return makeTranslation(x, y).concat(*this); }
  AffineTransform scaled(double sx, double sy) const { return makeScale(sx, sy).concat(*this); }
  AffineTransform rotated(double angle) const { return makeRotation(angle).concat(*this); }

  // The inverse; the transform itself when it cannot be inverted.
  AffineTransform inverted() const {
    const double det = a * d - b * c;
    if (det == 0 || !std::isfinite(det)) return *this;
    return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
  }

  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  Size apply(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
  // The bounding box of the transformed rect; null stays null.
  Rect apply(const Rect& rect) const {
    if (rect.isNull()) return rect;
    const Rect r = rect.standardized();
    const Point p[4] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}),
                        apply(Point{r.minX(), r.maxY()}), apply(Point{r.maxX(), r.maxY()})};
    double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const Point& q : p) {
      x0 = std::min(x0, q.x);
      x1 = std::max(x1, q.x);
      y0 = std::min(y0, q.y);
      y1 = std::max(y1, q.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
  }

  friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

}  // namespace platform
