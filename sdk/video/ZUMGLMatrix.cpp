#include "sdk/video/ZUMGLMatrix.h"

#include <cmath>

namespace {

// A rotation in the plane of axes `a` and `b` (a -> b for a positive angle).
ZUMGLMatrix4 planeRotation(int a, int b, double angle) {
  ZUMGLMatrix4 r;
  const double c = std::cos(angle), s = std::sin(angle);
  r.at(a, a) = c;
  r.at(a, b) = -s;
  r.at(b, a) = s;
  r.at(b, b) = c;
  return r;
}

}  // namespace

ZUMGLMatrix4 ZUMGLMatrix4::rotationX(double angle) { return planeRotation(1, 2, angle); }
ZUMGLMatrix4 ZUMGLMatrix4::rotationY(double angle) { return planeRotation(2, 0, angle); }
ZUMGLMatrix4 ZUMGLMatrix4::rotationZ(double angle) { return planeRotation(0, 1, angle); }

ZUMGLMatrix4 ZUMGLMatrix4::operator*(const ZUMGLMatrix4& other) const {
  ZUMGLMatrix4 product;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += at(row, k) * other.at(k, column);
      product.at(row, column) = sum;
    }
  }
  return product;
}

ZUMGLMatrix4 ZUMGLMatrix4::transposed() const {
  ZUMGLMatrix4 t;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) t.at(row, column) = at(column, row);
  }
  return t;
}

std::array<float, 16> ZUMGLMatrix4::floats() const {
  std::array<float, 16> f{};
  for (int i = 0; i < 16; ++i) f[i] = static_cast<float>(m[i]);
  return f;
}

bool ZUMGLMatrix4::isOrthonormal(double tolerance) const {
  for (double value : m) {
    if (!std::isfinite(value)) return false;
  }
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double dot = 0;
      for (int k = 0; k < 3; ++k) dot += at(k, i) * at(k, j);
      if (std::fabs(dot - (i == j ? 1.0 : 0.0)) > tolerance) return false;
    }
  }
  return true;
}
