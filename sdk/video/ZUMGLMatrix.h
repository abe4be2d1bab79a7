// 4x4 matrices of the spherical shader's view: column-major, as GL takes them, with the
// rotations and products its view matrix is made of. Angles in radians; Rx, Ry and Rz
// turn right-handed about their axes (rotationZ(t) has first row cos t, -sin t, 0, 0).
// Values; any thread.
#pragma once

#include <array>

struct ZUMGLMatrix4 {
  // m[column * 4 + row].
  std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

  double at(int row, int column) const { return m[column * 4 + row]; }
  double& at(int row, int column) { return m[column * 4 + row]; }

  static ZUMGLMatrix4 identity() { return {}; }
  static ZUMGLMatrix4 rotationX(double angle);
  static ZUMGLMatrix4 rotationY(double angle);
  static ZUMGLMatrix4 rotationZ(double angle);

  // this x other: `other` applies first to a column vector.
  ZUMGLMatrix4 operator*(const ZUMGLMatrix4& other) const;
  ZUMGLMatrix4 transposed() const;
  // Single precision, column-major, for glUniformMatrix4fv.
  std::array<float, 16> floats() const;

  // Every entry finite and the upper 3x3 a rotation: its columns of unit length and at
  // right angles within `tolerance`.
  bool isOrthonormal(double tolerance) const;

  friend bool operator==(const ZUMGLMatrix4&, const ZUMGLMatrix4&) = default;
};
