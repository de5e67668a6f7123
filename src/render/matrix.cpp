// Matrix construction and products.
#include "render/matrix.h"

#include <cmath>

Mat4 identityMatrix() {
  Mat4 r = {};
  r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
  return r;
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int c = 0; c < 4; ++c)
    for (int row = 0; row < 4; ++row) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[c * 4 + k];
      r.m[c * 4 + row] = sum;
    }
  return r;
}

Mat4 translationMatrix(float x, float y, float z) {
  Mat4 r = identityMatrix();
  r.m[12] = x;
  r.m[13] = y;
  r.m[14] = z;
  return r;
}

Mat4 scaleMatrix(float x, float y, float z) {
  Mat4 r = identityMatrix();
  r.m[0] = x;
  r.m[5] = y;
  r.m[10] = z;
  return r;
}

Mat4 rotationXMatrix(float angle) {
  float c = std::cos(angle), s = std::sin(angle);
  Mat4 r = identityMatrix();
  r.m[5] = c;
  r.m[6] = s;
  r.m[9] = -s;
  r.m[10] = c;
  return r;
}

Mat4 rotationYMatrix(float angle) { return rotationYMatrix(std::cos(angle), std::sin(angle)); }

Mat4 rotationYMatrix(float cosine, float sine) {
  Mat4 r = identityMatrix();
  r.m[0] = cosine;
  r.m[2] = -sine;
  r.m[8] = sine;
  r.m[10] = cosine;
  return r;
}

Mat4 wideFrustumMatrix(int32_t width, int32_t height, float depthScale, float depthOffset) {
  Mat4 p = {};
  p.m[0] = 0.99999994f;
  p.m[5] = 1.9999999f / (2.0f * static_cast<float>(height) / static_cast<float>(width));
  p.m[10] = depthScale;
  p.m[11] = -1.0f;
  p.m[14] = depthOffset;
  return p;
}

bool boxOutsideClipVolume(const Mat4& clip, Vec3 lo, Vec3 hi) {
  constexpr float kMargin = 1e-3f;  // share of |coordinate| + |w| a corner must clear a plane by
  constexpr int kPlanes = 6;        // x, y and z against -w and +w
  bool outside[kPlanes] = {true, true, true, true, true, true};
  for (int corner = 0; corner < 8; ++corner) {
    const float p[3] = {corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z};
    float c[4];
    for (int row = 0; row < 4; ++row)
      c[row] = clip.m[row] * p[0] + clip.m[4 + row] * p[1] + clip.m[8 + row] * p[2] + clip.m[12 + row];
    const float w = c[3];
    for (int axis = 0; axis < 3; ++axis) {
      const float margin = kMargin * (std::fabs(c[axis]) + std::fabs(w));
      if (!(c[axis] < -w - margin)) outside[2 * axis] = false;
      if (!(c[axis] > w + margin)) outside[2 * axis + 1] = false;
    }
  }
  for (bool beyond : outside)
    if (beyond) return true;
  return false;
}

Vec3 transformPoint(const Mat4& m, Vec3 p) { return transformPoint(m.m, p); }

Vec3 transformPoint(const float e[kMatrixElements], Vec3 p) {
  float x = e[0] * p.x + e[4] * p.y + e[8] * p.z + e[12];
  float y = e[1] * p.x + e[5] * p.y + e[9] * p.z + e[13];
  float z = e[2] * p.x + e[6] * p.y + e[10] * p.z + e[14];
  float w = e[3] * p.x + e[7] * p.y + e[11] * p.z + e[15];
  return {x / w, y / w, z / w};
}

Mat4 rotationZMatrix(double angle) {
  Mat4 r = identityMatrix();
  float c = static_cast<float>(std::cos(angle)), s = static_cast<float>(std::sin(angle));
  r.m[0] = c;
  r.m[1] = s;
  r.m[4] = -s;
  r.m[5] = c;
  return r;
}
