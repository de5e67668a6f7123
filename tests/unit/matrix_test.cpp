// Matrices: column-major layout, right-handed rotations as glRotate, product order.
#include "render/matrix.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(Matrix, RotationsTurnRightHanded) {
  const float quarter = 1.5707963f;
  expectVec(transformPoint(rotationXMatrix(quarter), Vec3(0, 1, 0)), Vec3(0, 0, 1));
  expectVec(transformPoint(rotationYMatrix(quarter), Vec3(0, 0, 1)), Vec3(1, 0, 0));
  expectVec(transformPoint(rotationYMatrix(quarter), Vec3(1, 0, 0)), Vec3(0, 0, -1));
  // Cosine and sine given directly: -135 degrees.
  expectVec(transformPoint(rotationYMatrix(-0.70710677f, -0.70710677f), Vec3(0, 0, 1)),
            Vec3(-0.70710677f, 0, -0.70710677f));
}

TEST(Matrix, ProductAppliesTheRightFactorFirst) {
  Mat4 m = translationMatrix(1, 2, 3) * scaleMatrix(2, 2, 2);
  expectVec(transformPoint(m, Vec3(1, 1, 1)), Vec3(3, 4, 5));
  EXPECT_EQ(m.m[12], 1.0f);  // translation in the fourth column
  EXPECT_EQ(m.m[14], 3.0f);
  Mat4 r = rotationXMatrix(0.3f) * identityMatrix();
  for (int e = 0; e < kMatrixElements; ++e) EXPECT_EQ(r.m[e], rotationXMatrix(0.3f).m[e]);
}

}  // namespace
