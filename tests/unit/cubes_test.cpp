// The cubes scene without a GPU: the shape's recipe, the band, the search, the grid and its
// duplicate rule against the original 512-bucket chains, the random draws, the background
// groups and the matrices.
#include "scenes/cubes/cube_instances.h"
#include "scenes/cubes/cubes_scene.h"
#include "synth/process_state.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

// The shape of time t from the mesh operations (tested on their own in mesh_test): the
// random faces, their distances and the final subdivision.
TEST(CubeShape, TwentyRandomExtrusionsThenOneSubdivisionBitForBit) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity), expected(kShapeVertexCapacity, kShapeTriangleCapacity);
  for (float t : {0.0f, 3.7f, 8.25f, 15.99f}) {
    expected.makeCenteredCube();
    Lcg random{kCubesSeed};
    for (int k = 0; k < kShapeExtrusions; ++k) {
      uint32_t tri = static_cast<uint32_t>(random.next()) % expected.triangleCount;
      float x = 200.0f * static_cast<float>(tri) + 10.0f * t;
      float d = (0.2f * std::cos(2.0f * (x + 2.2f)) + std::cos(x)) * 0.1f + 3.0f;
      expected.extrudeTriangle(tri, nullptr, d);
    }
    expected.subdivide();
    buildCubeShape(shape, t);
    ASSERT_EQ(shape.vertexCount, expected.vertexCount) << t;
    ASSERT_EQ(shape.triangleCount, 1056u) << t;
    EXPECT_EQ(0, std::memcmp(shape.indices, expected.indices, 12 * 1056)) << t;
    EXPECT_EQ(0, std::memcmp(shape.positions, expected.positions, 12 * shape.vertexCount)) << t;
  }
}

constexpr int kBuckets = 512;  // the original duplicate test's chains, keyed by the low three bits of each cell

struct ReferenceInstances {
  std::vector<float> positions;
  uint32_t attempts = 0;
};

// Samples the band of the shape with the pieces tested on their own below, but draws and
// places the points independently, chaining duplicates in 512 buckets and dropping a
// candidate within 0.01 of an earlier one on every axis.
ReferenceInstances referenceInstances(float t) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  buildCubeShape(shape, t);
  Lcg random{kCubesSeed};
  ReferenceInstances r;
  for (int k = 0; k < kShapeExtrusions; ++k) random.next();
  const uint32_t n = shape.triangleCount;
  std::vector<float> areas(n), cumulative(n);
  shape.triangleAreas(areas.data());
  float total = 0.0f;
  for (uint32_t i = 0; i < n; ++i)
    cumulative[i] = total += areas[i] * cubeBandWeight(shape.samplePoint(i, 0.333f, 0.333f).z, t);
  const float s = cubeGridSpacing(t);
  r.attempts = cubeAttemptCount(total, s);
  std::vector<int32_t> head(kBuckets, -1), chain(kMaxCubeAttempts, -1);
  for (uint32_t a = 0; a < r.attempts; ++a) {
    uint32_t tri = searchCumulative(cumulative.data(), n, (static_cast<float>(random.next()) / 32767.0f) * total);
    int r1 = random.next();
    int r2 = random.next();
    Vec3 p = shape.samplePoint(tri, r2 / 32767.0f, r1 / 32767.0f);
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
      bool near = true;
      for (int k = 0; k < 3; ++k) near = near && std::fabs(other[k] - candidate[k]) < 0.01f;
      duplicate = duplicate || near;
    }
    if (duplicate) continue;
    *tail = static_cast<int32_t>(r.positions.size() / 3);
    r.positions.insert(r.positions.end(), candidate, candidate + 3);
  }
  return r;
}

// One scene-sized record on the heap (it is too large for the stack).
std::unique_ptr<CubeInstances> newInstances() { return std::make_unique<CubeInstances>(); }

TEST(CubeInstances, SameCubesInTheSameOrderAsTheBucketChainsOverTheWholeScene) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  auto out = newInstances();
  uint32_t busiest = 0;
  for (int step = 0; step <= 320; ++step) {
    float t = 0.05f * static_cast<float>(step);
    ReferenceInstances expected = referenceInstances(t);
    buildCubeInstances(t, shape, *out);
    ASSERT_EQ(out->attempts, expected.attempts) << t;
    ASSERT_EQ(3 * out->count, expected.positions.size()) << t;
    // memcmp must not see the null data of an empty vector (undefined behaviour).
    if (!expected.positions.empty()) {
      ASSERT_EQ(0, std::memcmp(out->positions, expected.positions.data(), 4 * expected.positions.size())) << t;
    }
    Lcg after{kCubesSeed};  // exactly 20 + 3N values after the seed
    for (uint32_t k = 0; k < 20u + 3u * out->attempts; ++k) after.next();
    ASSERT_EQ(process.random.state, after.state) << t;
    busiest = std::max(busiest, out->count);
  }
  EXPECT_GT(busiest, 2000u);  // thousands of cubes at the busiest moment
}

TEST(CubeInstances, DependOnTimeAloneWhateverTheSequenceDidBefore) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  auto first = newInstances(), second = newInstances();
  buildCubeInstances(8.0f, shape, *first);
  for (int k = 0; k < 1000; ++k) demoRand();
  buildCubeInstances(5.0f, shape, *second);  // another frame in between
  buildCubeInstances(8.0f, shape, *second);
  ASSERT_GT(first->count, 0u);
  ASSERT_EQ(first->count, second->count);
  EXPECT_EQ(0, std::memcmp(first->positions, second->positions, 12 * first->count));
}

TEST(CubeBand, WeightsAndNoInstancesWhileTheBandMissesTheWholeShape) {
  // At t = 0 the band is full from z = 13 to 14, fades over 5 units either side, and moves
  // down at 1.51 units a second.
  const float cases[][3] = {{13, 0, 1},   {14, 0, 1},    {10.5f, 0, 0.5f}, {16.5f, 0, 0.5f},           {8, 0, 0},
                            {19, 0, 0},   {-3, 0, 0},    {13 - 15.1f, 10, 1}, {8 - 15.1f - 0.01f, 10, 0}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(cubeBandWeight(c[0], c[1]), c[2]) << c[0] << " at " << c[1];

  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  auto out = newInstances();
  for (float t : {0.0f, 0.5f, 15.9f, 16.0f}) {
    buildCubeInstances(t, shape, *out);
    for (uint32_t i = 0; i < shape.triangleCount; ++i) {  // every centre outside 8 < z + 1.51 t < 19
      float z = shape.samplePoint(i, 0.333f, 0.333f).z + 1.51f * t;
      ASSERT_TRUE(z <= 8.0f || z >= 19.0f) << "t " << t << " triangle " << i << " at " << z;
    }
    EXPECT_EQ(out->totalWeight, 0.0f) << t;
    EXPECT_EQ(out->attempts, 0u) << t;
    EXPECT_EQ(out->count, 0u) << t;
  }
}

TEST(CubeGrid, SpacingAttemptsAndTheirCap) {
  EXPECT_FLOAT_EQ(cubeGridSpacing(0.0f), 0.26f);
  EXPECT_FLOAT_EQ(cubeGridSpacing(3.14159265f), 0.2f);
  const float cases[][3] = {{0, 0.2f, 0},          {0.0133f, 0.2f, 0},    {1, 0.25f, 48},  // 1 / 0.0208125
                            {665.9f, 0.2f, 49992}, {666.1f, 0.2f, 50000}, {1e30f, 0.2f, 50000}};
  for (const auto& c : cases) EXPECT_EQ(cubeAttemptCount(c[0], c[1]), static_cast<uint32_t>(c[2])) << c[0];
}

TEST(CubeGrid, TwoPointsInOneCellGiveOneCubeTheFirst) {
  auto out = newInstances();
  out->gridSpacing = 0.25f;
  clearCubeGrid(*out, 8);
  EXPECT_TRUE(addGridCube(*out, Vec3(0.30f, -0.01f, 1.0f)));
  EXPECT_FALSE(addGridCube(*out, Vec3(0.49f, -0.24f, 1.2f)));  // same cell
  EXPECT_TRUE(addGridCube(*out, Vec3(0.51f, -0.01f, 1.0f)));   // next cell along x
  EXPECT_TRUE(addGridCube(*out, Vec3(0.30f, 0.01f, 1.0f)));    // across y = 0
  // The low corner of the cell: negative coordinates round down, not towards zero.
  const float corners[9] = {0.25f, -0.25f, 1.0f, 0.5f, -0.25f, 1.0f, 0.25f, 0.0f, 1.0f};
  ASSERT_EQ(out->count, 3u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(out->positions[i], corners[i]) << i;
  clearCubeGrid(*out, 8);
  EXPECT_EQ(out->count, 0u);
  EXPECT_TRUE(addGridCube(*out, Vec3(0.49f, -0.24f, 1.2f)));  // a new frame starts empty
}

TEST(CubeSearch, FindsTheFirstSumReachingTheTargetButNeverTriangleZero) {
  const float sums[6] = {2, 2, 5, 5, 5, 9};
  EXPECT_EQ(searchCumulative(sums, 2, 1.0f), 1u);
  EXPECT_EQ(searchCumulative(sums, 1, 1.0f), 0u);  // a single triangle is its own answer
  EXPECT_EQ(searchCumulative(sums, 6, 9.5f), 5u);  // past the end: the last
  // Any target: the first index above 0 whose sum reaches it (at or below sums[0]: 1).
  for (float target = 0.0f; target <= 9.0f; target += 0.25f) {
    uint32_t expected = 1;
    while (expected < 5 && sums[expected] < target) ++expected;
    EXPECT_EQ(searchCumulative(sums, 6, target), expected) << target;
  }
}

TEST(CubeGroups, TheRingFillsRowByRowThenSpreadsAndEmpties) {
  float ring[3 * kMaxRingCubes];
  EXPECT_EQ(fillRingPositions(0.0f, ring), 0);
  ASSERT_EQ(fillRingPositions(1.0f, ring), 70);
  // Row by row from the top (y = 16), left to right, all inside the circle.
  EXPECT_EQ(ring[0], -6.0f);
  EXPECT_EQ(ring[1], 16.0f);
  EXPECT_FLOAT_EQ(ring[2], std::cos(1.0f + 5.0f));
  for (int i = 1; i < 70; ++i) {
    float x = ring[3 * i], y = ring[3 * i + 1], px = ring[3 * i - 3], py = ring[3 * i - 2];
    EXPECT_LT(x * x + y * y, 307.2f);
    EXPECT_TRUE(y < py || (y == py && x > px)) << i;
  }
  int full = fillRingPositions(8.0f, ring);
  EXPECT_GT(full, 200);
  EXPECT_EQ(fillRingPositions(7.9f, ring), full);  // 553 allowed: every place is taken
  // After 8 s the rows spread apart and the outer columns go.
  int spread = fillRingPositions(10.0f, ring);
  EXPECT_LT(spread, full);
  for (int i = 0; i < spread; ++i) EXPECT_LT(std::fabs(ring[3 * i]), 10.0f);
  EXPECT_FLOAT_EQ(ring[1], 16.0f * (0.6f * 0.6f * 0.6f + 1.0f));
  EXPECT_GT(fillRingPositions(13.3f, ring), 0);  // the middle column only
  EXPECT_EQ(fillRingPositions(13.35f, ring), 0);
}

TEST(CubeGroups, TheWallIsAlwaysTheSameEightByEight) {
  float wall[3 * kWallCubes];
  fillWallPositions(wall);
  std::set<std::pair<float, float>> places;
  for (int i = 0; i < kWallCubes; ++i) {
    places.insert({wall[3 * i], wall[3 * i + 1]});
    EXPECT_LE(std::fabs(wall[3 * i + 2]), 1.0f);
  }
  EXPECT_EQ(places.size(), 64u);
  // Entry 8j + k: from (-40, 40) to (30, -30) in steps of 10.
  const int corners[3][3] = {{0, -40, 40}, {9, -30, 30}, {63, 30, -30}};
  for (const auto& c : corners) {
    EXPECT_EQ(wall[3 * c[0]], c[1]);
    EXPECT_EQ(wall[3 * c[0] + 1], c[2]);
  }
  EXPECT_FLOAT_EQ(wall[3 * 9 + 2], std::sin(1.0f) * std::cos(1.0f));
}

TEST(CubeMatrices, LightDirectionsOfThePasses) {
  const int passes[3] = {9, 63, 7};
  const float angles[3][2] = {{0.125f, 0.125f}, {0.875f, 0.875f}, {0.0f, 0.875f}};
  for (int i = 0; i < 3; ++i) {
    float a1, a2;
    lightAngles(passes[i], a1, a2);
    EXPECT_EQ(a1, angles[i][0]) << passes[i];
    EXPECT_EQ(a2, angles[i][1]) << passes[i];
    // The light looks at the shape's centre from 20 units, 5 above.
    Vec3 c = transformPoint(cubesLightView(passes[i]), Vec3(0, 0, 0));
    EXPECT_FLOAT_EQ(c.y, -5.0f);
    EXPECT_FLOAT_EQ(c.z, -20.0f);
  }
  // Y turns first.
  Vec3 p = transformPoint(cubesLightView(1), Vec3(1, 0, 0)), q = transformPoint(cubesLightView(8), Vec3(0, 1, 0));
  EXPECT_FLOAT_EQ(p.x, std::cos(0.125f));
  EXPECT_NEAR(p.z + 20.0f, -std::sin(0.125f), 1e-5f);
  EXPECT_FLOAT_EQ(q.y + 5.0f, std::cos(0.125f));
  EXPECT_NEAR(q.z + 20.0f, std::sin(0.125f), 1e-5f);
}

TEST(CubeMatrices, ProjectionAndShadowBiasAt1920x1080) {
  Mat4 p = cubesProjection(1920, 1080), bp = shadowBiasMatrix() * p;
  const float expectedP[16] = {0.99999994f, 0, 0, 0, 0, 1.7777777f, 0, 0, 0, 0, -51.0f / 49.0f, -1,
                               0,           0, -100.0f / 49.0f, 0};
  const float expectedBP[16] = {0.49999997f, 0, 0, 0, 0, 0.88888884f, 0, 0, -0.5f, -0.5f, -1.0203081f, -1,
                                0, 0, -1.0204080f, 0};
  for (int e = 0; e < kMatrixElements; ++e) {
    EXPECT_NEAR(p.m[e], expectedP[e], 1e-6f) << e;
    EXPECT_NEAR(bp.m[e], expectedBP[e], 1e-6f) << e;
  }
  EXPECT_EQ(p.m[0], 0.99999994f);
  EXPECT_FLOAT_EQ(cubesProjection(360, 640).m[5], 0.5625f);
  // A point on the near plane's centre lands in the middle of the map, just short of depth 0.
  Vec3 s = transformPoint(bp, Vec3(0, 0, -1));
  EXPECT_FLOAT_EQ(s.x, 0.5f);
  EXPECT_NEAR(s.z, -0.0001f, 1e-6f);
}

TEST(CubeMatrices, TheWorldTurnsAboutYFirstAndTheCameraStandsNineBack) {
  Vec3 v(0.3f, -1.2f, 2.5f);
  expectVec(transformPoint(cubesWorld(2.0f), v),
            transformPoint(rotationXMatrix(0.4f), transformPoint(rotationYMatrix(0.6f), v)), 1e-6f);
  EXPECT_FLOAT_EQ(transformPoint(cubesView(), Vec3(0, 0, 0)).z, -9.0f);
}

TEST(CubesScene, ReportsItsInstancesAndGridSpacingAndIsFrameIndependent) {
  CubesScene scene;  // no GL: nothing is started, so nothing is deleted
  EXPECT_TRUE(scene.framesIndependent);
  buildCubeInstances(9.0f, scene.shape, *scene.instances);
  SceneCounters counters;
  scene.reportCounters(counters);
  ASSERT_EQ(counters.count, 2);
  EXPECT_EQ(counters.values[0], static_cast<double>(scene.instances->count));
  EXPECT_GT(counters.values[0], 1000.0);
  EXPECT_FLOAT_EQ(static_cast<float>(counters.values[1]), cubeGridSpacing(9.0f));
}

}  // namespace
