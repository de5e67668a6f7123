// The cubes scene without a GPU: the cubes of every frame against the original 512-bucket
// duplicate chains and the random draws. Its pictures are checked against the reference frames.
#include "scenes/cubes/cube_instances.h"
#include "synth/process_state.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int kBuckets = 512;  // the original duplicate test's chains, keyed by the low three bits of each cell

// The cubes' positions, three floats each, and the attempts made.
struct ReferenceInstances {
  std::vector<float> positions;
  uint32_t attempts = 0;
};

// Samples the band of the shape with the program's pieces, but draws and places the points
// independently, chaining duplicates in 512 buckets and dropping a candidate within 0.01 of
// an earlier one on every axis.
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
  std::vector<int32_t> head(kBuckets, -1), chain(kMaxCubeAttempts, -1);
  for (uint32_t a = 0; a < r.attempts; ++a) {
    uint32_t tri = searchCumulative(cumulative.data(), n, (static_cast<float>(random.next()) / 32767.0f) * total);
    int r1 = random.next();
    Vec3 p = shape.samplePoint(tri, random.next() / 32767.0f, r1 / 32767.0f);
    float axes[3] = {p.x, p.y, p.z}, candidate[3];
    int cell[3];
    for (int k = 0; k < 3; ++k) {
      cell[k] = static_cast<int>(std::floor(static_cast<double>(axes[k] / s)));
      candidate[k] = static_cast<float>(cell[k]) * s;
    }
    int32_t* tail = &head[(cell[0] & 7) + 8 * (cell[1] & 7) + 64 * (cell[2] & 7)];
    bool duplicate = false;
    for (; *tail >= 0; tail = &chain[*tail]) {
      const float* other = &r.positions[3 * *tail];
      duplicate = duplicate || (std::fabs(other[0] - candidate[0]) < 0.01f && std::fabs(other[1] - candidate[1]) < 0.01f &&
                                std::fabs(other[2] - candidate[2]) < 0.01f);
    }
    if (duplicate) continue;
    *tail = static_cast<int32_t>(r.positions.size() / 3);
    r.positions.insert(r.positions.end(), candidate, candidate + 3);
  }
  return r;
}

TEST(CubeInstances, SameCubesInTheSameOrderAsTheBucketChainsOverTheWholeScene) {
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
