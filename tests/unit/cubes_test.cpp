// The cubes scene without a GPU: the cubes of every frame against an independent placing of
// them, and the random draws. Its pictures are checked against the reference frames.
#include "scenes/cubes/cube_instances.h"
#include "synth/process_state.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

namespace {

// The cubes' positions, three floats each, and the attempts made.
struct ReferenceInstances {
  std::vector<float> positions;
  uint32_t attempts = 0;
};

// Samples the band of the shape with the program's pieces, but draws and places the points
// independently, dropping a point in a cell already taken. (The original's bucket chains
// dropped one within 0.01 of an earlier one on every axis: with a spacing over 0.2, the same.)
ReferenceInstances referenceInstances(float t) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  buildCubeShape(shape, t);
  Lcg random{kCubesSeed};
  for (int k = 0; k < kShapeExtrusions; ++k) random.next();
  const uint32_t n = shape.triangleCount;
  std::vector<float> areas(n), cumulative(n);
  shape.triangleAreas(areas.data());
  float total = 0.0f;
  for (uint32_t i = 0; i < n; ++i)
    cumulative[i] = total += areas[i] * cubeBandWeight(shape.samplePoint(i, 0.333f, 0.333f).z, t);
  const float s = cubeGridSpacing(t);
  ReferenceInstances r;
  r.attempts = cubeAttemptCount(total, s);
  std::set<std::array<int, 3>> cells;
  for (uint32_t a = 0; a < r.attempts; ++a) {
    uint32_t tri = searchCumulative(cumulative.data(), n, (static_cast<float>(random.next()) / 32767.0f) * total);
    int r1 = random.next();
    Vec3 p = shape.samplePoint(tri, random.next() / 32767.0f, r1 / 32767.0f);
    const float axes[3] = {p.x, p.y, p.z};
    std::array<int, 3> cell;
    for (int k = 0; k < 3; ++k) cell[k] = static_cast<int>(std::floor(static_cast<double>(axes[k] / s)));
    if (!cells.insert(cell).second) continue;
    for (int k = 0; k < 3; ++k) r.positions.push_back(static_cast<float>(cell[k]) * s);
  }
  return r;
}

TEST(CubeInstances, SameCubesInTheSameOrderOverTheWholeScene) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  auto out = std::make_unique<CubeInstances>();  // too large for the stack
  for (int step = 0; step <= 320; ++step) {
    float t = 0.05f * static_cast<float>(step);
    ReferenceInstances expected = referenceInstances(t);
    buildCubeInstances(t, shape, *out);
    ASSERT_EQ(out->attempts, expected.attempts) << t;
    ASSERT_EQ(std::vector<float>(out->positions, out->positions + 3 * out->count), expected.positions) << t;
    Lcg after{kCubesSeed};  // exactly 20 + 3N values after the seed
    for (uint32_t k = 0; k < 20u + 3u * out->attempts; ++k) after.next();
    ASSERT_EQ(process.random.state, after.state) << t;
  }
}

}  // namespace
