// 4 x 4 single-precision matrices, column-major (element m[c * 4 + r] in column c, row r),
// applied to column vectors and handed to OpenGL untransposed.
#pragma once

#include "render/vec.h"

#include <cstdint>

constexpr int kMatrixElements = 16;

struct Mat4 {
  float m[kMatrixElements];  // column-major
};

// The identity.
Mat4 identityMatrix();
// a * b: b is applied to a vector first.
Mat4 operator*(const Mat4& a, const Mat4& b);
// Translation by (x, y, z).
Mat4 translationMatrix(float x, float y, float z);
// Scale by (x, y, z) along the axes.
Mat4 scaleMatrix(float x, float y, float z);
// Right-handed rotation by angle (radians) about the +X axis, as glRotate.
Mat4 rotationXMatrix(float angle);
// Right-handed rotation by angle (radians) about the +Y axis, as glRotate.
Mat4 rotationYMatrix(float angle);
// Right-handed rotation about +Y given its cosine and sine directly.
Mat4 rotationYMatrix(float cosine, float sine);
// The scenes' perspective frustum, 90 degrees across at any aspect: x scale one ulp below 1,
// y scale from height / width, and the depth terms of its near and far planes (m[10], m[14]).
Mat4 wideFrustumMatrix(int32_t width, int32_t height, float depthScale, float depthOffset);
// True when every point of the axis-aligned box [lo, hi], taken to clip space by clip, lies
// beyond one and the same plane of the clip volume (with a margin for the GPU's own rounding):
// nothing drawn inside the box can then reach a pixel.
bool boxOutsideClipVolume(const Mat4& clip, Vec3 lo, Vec3 hi);
// The point p transformed by m, divided by its w.
Vec3 transformPoint(const Mat4& m, Vec3 p);
// The same for a matrix held as 16 column-major floats, as the mesh editors take it.
Vec3 transformPoint(const float m[kMatrixElements], Vec3 p);
// Right-handed rotation by angle (radians) about the +Z axis, its cosine and sine taken in
// double precision.
Mat4 rotationZMatrix(double angle);
