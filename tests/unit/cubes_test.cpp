// The cubes scene without a GPU: the shape against an independent walk of the extrusion and
// subdivision rules, the band, the search, the grid and its duplicate rule against the
// original 512-bucket chains, the random draws, the background groups and the matrices.
#include "scenes/cubes/cube_instances.h"
#include "scenes/cubes/cubes_scene.h"
#include "synth/process_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

// The runtime generator's rule, written out independently of the program's.
struct Lcg {
  uint32_t state;
  int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

// --- the shape, rebuilt step by step as the rules describe them -------------------------

struct PlainMesh {
  std::vector<Vec3> p;          // positions
  std::vector<uint32_t> index;  // three per triangle
  uint32_t triangles() const { return static_cast<uint32_t>(index.size() / 3); }
};

// Pushes triangle t out along its normal and walls the gap in.
void referenceExtrude(PlainMesh& m, uint32_t t, float distance) {
  uint32_t i[3] = {m.index[3 * t], m.index[3 * t + 1], m.index[3 * t + 2]};
  Vec3 P[3] = {m.p[i[0]], m.p[i[1]], m.p[i[2]]};
  Vec3 n = normalize(cross(P[1] - P[0], P[2] - P[0]));
  uint32_t q[3];
  Vec3 Q[3];
  for (int k = 0; k < 3; ++k) {
    Q[k] = P[k] + n * distance;
    q[k] = static_cast<uint32_t>(m.p.size());
    m.p.push_back(Q[k]);
  }
  m.index[3 * t] = q[0];
  m.index[3 * t + 1] = q[1];
  m.index[3 * t + 2] = q[2];
  for (int k = 1; k <= 3; ++k) {
    int a = k - 1, b = k % 3;
    uint32_t M = static_cast<uint32_t>(m.p.size());
    m.p.push_back((P[a] + Q[a] + Q[b] + P[b]) * 0.25f);
    const uint32_t tris[12] = {i[a], i[b], M, i[b], q[b], M, q[b], q[a], M, q[a], i[a], M};
    m.index.insert(m.index.end(), tris, tris + 12);
  }
}

// One Loop step with the ordered edge map, triangle records with neighbour links, and the
// walk around each old vertex from its last triangle.
void referenceSubdivide(PlainMesh& m) {
  const uint32_t n = static_cast<uint32_t>(m.p.size()), tc = m.triangles();
  constexpr uint32_t kNull = 0xFFFFFFFFu;
  struct Record {
    uint32_t A[3], L[3], E[3];
  };
  std::vector<Record> rec(tc);
  std::vector<uint32_t> link(n, kNull);
  for (uint32_t t = 0; t < tc; ++t) {
    for (int k = 0; k < 3; ++k) {
      rec[t].A[k] = m.index[3 * t + k];
      rec[t].L[k] = rec[t].E[k] = kNull;
      link[rec[t].A[k]] = t;
    }
  }
  std::vector<Vec3> out(m.p);
  std::map<std::pair<uint32_t, uint32_t>, std::pair<uint32_t, int>> open;
  uint32_t next = n;
  for (uint32_t t = 0; t < tc; ++t) {
    for (int k = 0; k < 3; ++k) {
      uint32_t a = rec[t].A[k], b = rec[t].A[(k + 1) % 3];
      auto key = std::make_pair(std::min(a, b), std::max(a, b));
      auto found = open.find(key);
      if (found == open.end()) {
        open[key] = {t, k};
        continue;
      }
      uint32_t t2 = found->second.first;
      int k2 = found->second.second;
      rec[t].L[k] = t2;
      rec[t2].L[k2] = t;
      rec[t].E[k] = rec[t2].E[k2] = next;
      uint32_t opposite = rec[t].A[(k + 2) % 3], opposite2 = kNull;
      for (int c = 0; c < 3; ++c)
        if (rec[t2].A[c] == a) opposite2 = rec[t2].A[(c + 1) % 3];
      out.push_back((m.p[a] + m.p[b]) * 0.375f + (m.p[opposite] + m.p[opposite2]) * 0.125f);
      ++next;
      open.erase(found);
    }
  }
  for (auto& edge : open) {
    rec[edge.second.first].E[edge.second.second] = next++;
    out.push_back((m.p[edge.first.first] + m.p[edge.first.second]) * 0.5f);
  }
  auto cornerOf = [&](uint32_t t, uint32_t i) {
    for (int c = 0; c < 3; ++c)
      if (rec[t].A[c] == i) return c;
    return -1;
  };
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t r0 = link[i];
    Vec3 sum;
    uint32_t visits = 0;
    bool closed = false;
    for (uint32_t t = r0;;) {
      int c = cornerOf(t, i);
      sum = sum + m.p[rec[t].A[(c + 2) % 3]];
      ++visits;
      t = rec[t].L[(c + 2) % 3];  // the edge from the preceding corner to i
      if (t == kNull) break;
      if (t == r0) {
        closed = true;
        break;
      }
    }
    if (!closed) {
      for (uint32_t t = r0; t != kNull;) {
        int c = cornerOf(t, i);
        sum = sum + m.p[rec[t].A[(c + 1) % 3]];
        ++visits;
        t = rec[t].L[c];
      }
    }
    float beta = visits == 6 ? 1.0f / 16.0f : visits == 3 ? 3.0f / 16.0f : 3.0f / (8.0f * static_cast<float>(visits));
    out[i] = m.p[i] * (1.0f - static_cast<float>(visits) * beta) + sum * beta;
  }
  std::vector<uint32_t> index;
  for (const Record& r : rec) {
    const uint32_t four[12] = {r.E[0], r.E[1], r.E[2], r.A[0], r.E[0], r.E[2],
                               r.A[1], r.E[1], r.E[0], r.A[2], r.E[2], r.E[1]};
    index.insert(index.end(), four, four + 12);
  }
  m.p = out;
  m.index = index;
}

// The whole shape of time t by the reference steps; the random draws come from its own Lcg.
PlainMesh referenceShape(float t) {
  Mesh cube(kCenteredCubeVertexCount, kCenteredCubeTriangleCount);
  cube.makeCenteredCube();
  PlainMesh m;
  for (uint32_t v = 0; v < cube.vertexCount; ++v) m.p.push_back(cube.position(v));
  m.index.assign(cube.indices, cube.indices + 3 * cube.triangleCount);
  Lcg random{kCubesSeed};
  for (int k = 0; k < kShapeExtrusions; ++k) {
    uint32_t tri = static_cast<uint32_t>(random.next()) % m.triangles();
    EXPECT_EQ(m.triangles(), 24u + 12u * k);
    float x = 200.0f * static_cast<float>(tri) + 10.0f * t;
    float d = (0.2f * std::cos(2.0f * (x + 2.2f)) + std::cos(x)) * 0.1f + 3.0f;
    EXPECT_GE(d, 2.88f);
    EXPECT_LE(d, 3.12f);
    referenceExtrude(m, tri, d);
  }
  EXPECT_EQ(m.p.size(), 134u);
  EXPECT_EQ(m.triangles(), 264u);
  referenceSubdivide(m);
  return m;
}

TEST(CubeShape, MatchesTheStepByStepRulesBitForBit) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  for (float t : {0.0f, 3.7f, 8.25f, 15.99f}) {
    PlainMesh expected = referenceShape(t);
    buildCubeShape(shape, t);
    ASSERT_EQ(shape.vertexCount, expected.p.size()) << t;
    ASSERT_EQ(shape.triangleCount, expected.triangles()) << t;
    EXPECT_EQ(shape.triangleCount, 1056u);
    EXPECT_EQ(0, std::memcmp(shape.indices, expected.index.data(), 4 * expected.index.size())) << t;
    for (uint32_t v = 0; v < shape.vertexCount; ++v) {
      Vec3 a = shape.position(v), b = expected.p[v];
      ASSERT_EQ(0, std::memcmp(&a, &b, sizeof a)) << "t " << t << " vertex " << v;
    }
  }
}

// --- the instances, with the original duplicate test ------------------------------------

constexpr int kBuckets = 512;  // keyed by the low three bits of each cell

struct ReferenceInstances {
  std::vector<float> positions;
  uint32_t attempts = 0;
  uint32_t draws = 0;  // random values taken after the seed
};

// Samples the band of the shape as the program must, chaining duplicates in 512 buckets and
// dropping a candidate within 0.01 of an earlier one on every axis.
ReferenceInstances referenceInstances(float t) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  buildCubeShape(shape, t);
  Lcg random{kCubesSeed};
  ReferenceInstances r;
  for (int k = 0; k < kShapeExtrusions; ++k) random.next();
  r.draws = kShapeExtrusions;
  const uint32_t n = shape.triangleCount;
  std::vector<float> areas(n), cumulative(n);
  shape.triangleAreas(areas.data());
  float total = 0.0f;
  for (uint32_t i = 0; i < n; ++i) {
    Vec3 q = shape.samplePoint(i, 0.333f, 0.333f);
    float w1 = std::min(1.0f, std::max(0.0f, ((q.z - 8.0f) + 1.51f * t) * 0.2f));
    float w2 = std::min(1.0f, std::max(0.0f, 1.0f - 0.2f * ((q.z - 14.0f) + 1.51f * t)));
    areas[i] = areas[i] * w1 * w2;
    total += areas[i];
    cumulative[i] = total;
  }
  float s = static_cast<float>(std::cos(static_cast<double>(t)) * 0.03 + 0.23);
  uint32_t attempts = static_cast<uint32_t>(total / (s * s * 0.333f));
  if (attempts > kMaxCubeAttempts) attempts = kMaxCubeAttempts;
  r.attempts = attempts;
  std::vector<int32_t> head(kBuckets, -1), chain(kMaxCubeAttempts, -1);
  for (uint32_t a = 0; a < attempts; ++a) {
    float target = (static_cast<float>(random.next()) / 32767.0f) * total;
    uint32_t lo = 0, hi = n - 1;
    while (hi - lo > 1) {
      uint32_t mid = (lo + hi) / 2;
      if (cumulative[mid] >= target)
        hi = mid;
      else
        lo = mid;
    }
    int r1 = random.next();
    int r2 = random.next();
    r.draws += 3;
    Vec3 p = shape.samplePoint(hi, r2 / 32767.0f, r1 / 32767.0f);
    float axes[3] = {p.x, p.y, p.z}, candidate[3];
    int cell[3];
    for (int k = 0; k < 3; ++k) {
      float v = axes[k] / s;
      cell[k] = static_cast<int>(std::floor(static_cast<double>(v)));
      candidate[k] = static_cast<float>(std::floor(static_cast<double>(v))) * s;
    }
    int bucket = (cell[0] & 7) + 8 * (cell[1] & 7) + 64 * (cell[2] & 7);
    int32_t* tail = &head[bucket];
    bool duplicate = false;
    while (*tail >= 0) {
      const float* other = &r.positions[3 * *tail];
      if (std::fabs(other[0] - candidate[0]) < 0.01f && std::fabs(other[1] - candidate[1]) < 0.01f &&
          std::fabs(other[2] - candidate[2]) < 0.01f)
        duplicate = true;
      tail = &chain[*tail];
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
    // Exactly 20 + 3N values after the seed.
    Lcg after{kCubesSeed};
    for (uint32_t k = 0; k < expected.draws; ++k) after.next();
    ASSERT_EQ(expected.draws, 20u + 3u * out->attempts);
    ASSERT_EQ(process.random.state, after.state) << t;
    EXPECT_LE(out->count, out->attempts);
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
  EXPECT_EQ(first->gridSpacing, second->gridSpacing);
}

TEST(CubeInstances, NoneWhileTheBandIsAboveOrBelowTheWholeShape) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  auto out = newInstances();
  for (float t : {0.0f, 0.5f, 15.9f, 16.0f}) {
    buildCubeInstances(t, shape, *out);
    // Every triangle centre lies outside 8 < z + 1.51 t < 19.
    for (uint32_t i = 0; i < shape.triangleCount; ++i) {
      float z = shape.samplePoint(i, 0.333f, 0.333f).z + 1.51f * t;
      ASSERT_TRUE(z <= 8.0f || z >= 19.0f) << "t " << t << " triangle " << i << " at " << z;
    }
    EXPECT_EQ(out->totalWeight, 0.0f) << t;
    EXPECT_EQ(out->attempts, 0u) << t;
    EXPECT_EQ(out->count, 0u) << t;
  }
  buildCubeInstances(8.0f, shape, *out);
  EXPECT_GT(out->count, 1000u);
}

TEST(CubeBand, WeightsFadeOverFiveUnitsEitherSide) {
  // At t = 0 the band is full from z = 13 to 14.
  EXPECT_EQ(cubeBandWeight(13.0f, 0), 1.0f);
  EXPECT_EQ(cubeBandWeight(14.0f, 0), 1.0f);
  EXPECT_FLOAT_EQ(cubeBandWeight(10.5f, 0), 0.5f);
  EXPECT_FLOAT_EQ(cubeBandWeight(16.5f, 0), 0.5f);
  EXPECT_EQ(cubeBandWeight(8.0f, 0), 0.0f);
  EXPECT_EQ(cubeBandWeight(19.0f, 0), 0.0f);
  EXPECT_EQ(cubeBandWeight(-3.0f, 0), 0.0f);
  // It moves down at 1.51 units a second.
  EXPECT_EQ(cubeBandWeight(13.0f - 15.1f, 10.0f), 1.0f);
  EXPECT_EQ(cubeBandWeight(8.0f - 15.1f - 0.01f, 10.0f), 0.0f);
}

TEST(CubeGrid, SpacingAttemptsAndTheirCap) {
  EXPECT_FLOAT_EQ(cubeGridSpacing(0.0f), 0.26f);
  EXPECT_FLOAT_EQ(cubeGridSpacing(3.14159265f), 0.2f);
  EXPECT_EQ(cubeAttemptCount(0.0f, 0.2f), 0u);
  EXPECT_EQ(cubeAttemptCount(0.0133f, 0.2f), 0u);   // just under one cell face
  EXPECT_EQ(cubeAttemptCount(1.0f, 0.25f), 48u);    // 1 / 0.0208125 = 48.05
  EXPECT_EQ(cubeAttemptCount(665.9f, 0.2f), 49992u);
  EXPECT_EQ(cubeAttemptCount(666.1f, 0.2f), kMaxCubeAttempts);
  EXPECT_EQ(cubeAttemptCount(1e30f, 0.2f), kMaxCubeAttempts);
}

TEST(CubeGrid, TwoPointsInOneCellGiveOneCubeTheFirst) {
  auto out = newInstances();
  out->gridSpacing = 0.25f;
  clearCubeGrid(*out, 8);
  EXPECT_TRUE(addGridCube(*out, Vec3(0.30f, -0.01f, 1.0f)));
  EXPECT_FALSE(addGridCube(*out, Vec3(0.49f, -0.24f, 1.2f)));  // same cell
  EXPECT_TRUE(addGridCube(*out, Vec3(0.51f, -0.01f, 1.0f)));   // next cell along x
  EXPECT_TRUE(addGridCube(*out, Vec3(0.30f, 0.01f, 1.0f)));    // across y = 0
  ASSERT_EQ(out->count, 3u);
  // The low corner of the cell: negative coordinates round down, not towards zero.
  EXPECT_EQ(out->positions[0], 0.25f);
  EXPECT_EQ(out->positions[1], -0.25f);
  EXPECT_EQ(out->positions[2], 1.0f);
  EXPECT_EQ(out->positions[3], 0.5f);
  EXPECT_EQ(out->positions[7], 0.0f);
  clearCubeGrid(*out, 8);
  EXPECT_EQ(out->count, 0u);
  EXPECT_TRUE(addGridCube(*out, Vec3(0.49f, -0.24f, 1.2f)));  // a new frame starts empty
}

TEST(CubeSearch, FindsTheFirstSumReachingTheTargetButNeverTriangleZero) {
  const float sums[6] = {2, 2, 5, 5, 5, 9};
  EXPECT_EQ(searchCumulative(sums, 6, 0.0f), 1u);  // at or below cumulative[0]: lo 0, hi 1
  EXPECT_EQ(searchCumulative(sums, 6, 2.0f), 1u);
  EXPECT_EQ(searchCumulative(sums, 2, 1.0f), 1u);
  EXPECT_EQ(searchCumulative(sums, 1, 1.0f), 0u);  // a single triangle is its own answer
  EXPECT_EQ(searchCumulative(sums, 6, 9.5f), 5u);  // past the end: the last
  // Any target: the first index above 0 whose sum reaches it.
  for (float target = 0.0f; target <= 9.0f; target += 0.25f) {
    uint32_t expected = 1;
    while (expected < 5 && sums[expected] < target) ++expected;
    EXPECT_EQ(searchCumulative(sums, 6, target), expected) << target;
  }
}

// --- the background groups --------------------------------------------------------------

TEST(CubeGroups, TheRingFillsRowByRowThenSpreadsAndEmpties) {
  float ring[3 * kMaxRingCubes];
  EXPECT_EQ(fillRingPositions(0.0f, ring), 0);
  ASSERT_EQ(fillRingPositions(1.0f, ring), 70);
  // Row by row from the top (j = 0, y = 16), left to right, all inside the circle.
  for (int i = 0; i < 70; ++i) {
    float x = ring[3 * i], y = ring[3 * i + 1];
    EXPECT_LT(x * x + y * y, 307.2f);
    if (i > 0) {
      float px = ring[3 * i - 3], py = ring[3 * i - 2];
      EXPECT_TRUE(y < py || (y == py && x > px)) << i;
    }
  }
  EXPECT_EQ(ring[1], 16.0f);  // the first row is j = 0
  EXPECT_EQ(ring[0], -6.0f);  // its first column inside the circle
  EXPECT_FLOAT_EQ(ring[2], std::cos(1.0f + 5.0f) * std::cos(0.0f));

  int full = fillRingPositions(8.0f, ring);
  EXPECT_GT(full, 200);
  EXPECT_LT(full, kMaxRingCubes);
  EXPECT_EQ(fillRingPositions(7.9f, ring), full);  // 553 allowed: every place is taken
  // After 8 s the rows spread apart and the outer columns go.
  int spread = fillRingPositions(10.0f, ring);
  EXPECT_LT(spread, full);
  for (int i = 0; i < spread; ++i) EXPECT_LT(std::fabs(ring[3 * i]), 10.0f);
  EXPECT_FLOAT_EQ(ring[1], 16.0f * (0.6f * 0.6f * 0.6f + 1.0f));
  EXPECT_GT(fillRingPositions(13.3f, ring), 0);  // the middle column only
  EXPECT_EQ(fillRingPositions(13.35f, ring), 0);
  EXPECT_EQ(fillRingPositions(15.9f, ring), 0);
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
  EXPECT_EQ(wall[0], -40.0f);
  EXPECT_EQ(wall[1], 40.0f);
  EXPECT_EQ(wall[3 * 9], -30.0f);  // entry 8j + k with j = 1, k = 1
  EXPECT_EQ(wall[3 * 9 + 1], 30.0f);
  EXPECT_FLOAT_EQ(wall[3 * 9 + 2], std::sin(1.0f) * std::cos(1.0f));
  EXPECT_EQ(wall[3 * 63], 30.0f);
  EXPECT_EQ(wall[3 * 63 + 1], -30.0f);
}

// --- matrices -----------------------------------------------------------------------------

TEST(CubeMatrices, LightDirectionsOfThePasses) {
  float a1, a2;
  lightAngles(9, a1, a2);
  EXPECT_EQ(a1, 0.125f);
  EXPECT_EQ(a2, 0.125f);
  lightAngles(63, a1, a2);
  EXPECT_EQ(a1, 0.875f);
  EXPECT_EQ(a2, 0.875f);
  lightAngles(7, a1, a2);
  EXPECT_EQ(a1, 0.0f);
  EXPECT_EQ(a2, 0.875f);
  // The light looks at the shape's centre from 20 units, 5 above; Y turns first.
  for (int pass : {0, 9, 63}) {
    Vec3 c = transformPoint(cubesLightView(pass), Vec3(0, 0, 0));
    EXPECT_FLOAT_EQ(c.y, -5.0f);
    EXPECT_FLOAT_EQ(c.z, -20.0f);
  }
  Vec3 p = transformPoint(cubesLightView(1), Vec3(1, 0, 0));
  EXPECT_FLOAT_EQ(p.x, std::cos(0.125f));
  EXPECT_NEAR(p.z + 20.0f, -std::sin(0.125f), 1e-5f);
  Vec3 q = transformPoint(cubesLightView(8), Vec3(0, 1, 0));
  EXPECT_FLOAT_EQ(q.y + 5.0f, std::cos(0.125f));
  EXPECT_NEAR(q.z + 20.0f, std::sin(0.125f), 1e-5f);
}

TEST(CubeMatrices, ProjectionAndShadowBiasAt1920x1080) {
  Mat4 p = cubesProjection(1920, 1080);
  for (int e = 0; e < kMatrixElements; ++e) {
    if (e == 0 || e == 5 || e == 10 || e == 11 || e == 14) continue;
    EXPECT_EQ(p.m[e], 0.0f) << e;
  }
  EXPECT_EQ(p.m[0], 0.99999994f);
  EXPECT_FLOAT_EQ(p.m[5], 1.7777777f);
  EXPECT_FLOAT_EQ(p.m[10], -51.0f / 49.0f);
  EXPECT_EQ(p.m[11], -1.0f);
  EXPECT_FLOAT_EQ(p.m[14], -100.0f / 49.0f);
  EXPECT_FLOAT_EQ(cubesProjection(360, 640).m[5], 0.5625f);

  Mat4 bp = shadowBiasMatrix() * p;
  for (int e = 0; e < kMatrixElements; ++e) {
    if (e == 0 || e == 5 || e == 8 || e == 9 || e == 10 || e == 11 || e == 14) continue;
    EXPECT_EQ(bp.m[e], 0.0f) << e;
  }
  EXPECT_EQ(bp.m[0], 0.5f * p.m[0]);
  EXPECT_EQ(bp.m[5], 0.5f * p.m[5]);
  EXPECT_EQ(bp.m[8], -0.5f);
  EXPECT_EQ(bp.m[9], -0.5f);
  EXPECT_NEAR(bp.m[10], -1.0203081f, 1e-6f);
  EXPECT_EQ(bp.m[11], -1.0f);
  EXPECT_NEAR(bp.m[14], -1.0204080f, 1e-6f);
  // A point on the near plane's centre lands in the middle of the map, just short of depth 0.
  Vec3 s = transformPoint(bp, Vec3(0, 0, -1));
  EXPECT_FLOAT_EQ(s.x, 0.5f);
  EXPECT_NEAR(s.z, -0.0001f, 1e-6f);
}

TEST(CubeMatrices, TheWorldTurnsAboutYFirstAndTheCameraStandsNineBack) {
  const float t = 2.0f;
  Vec3 v(0.3f, -1.2f, 2.5f);
  Vec3 expected = transformPoint(rotationXMatrix(0.4f), transformPoint(rotationYMatrix(0.6f), v));
  Vec3 actual = transformPoint(cubesWorld(t), v);
  EXPECT_NEAR(actual.x, expected.x, 1e-6f);
  EXPECT_NEAR(actual.y, expected.y, 1e-6f);
  EXPECT_NEAR(actual.z, expected.z, 1e-6f);
  EXPECT_FLOAT_EQ(transformPoint(cubesView(), Vec3(0, 0, 0)).z, -9.0f);
}

// --- what the scene reports ----------------------------------------------------------------

TEST(CubesScene, ReportsItsInstancesAndGridSpacingAndIsFrameIndependent) {
  CubesScene scene;  // no GL: nothing is started, so nothing is deleted
  EXPECT_TRUE(scene.framesIndependent);
  buildCubeInstances(9.0f, scene.shape, *scene.instances);
  SceneCounters counters;
  scene.reportCounters(counters);
  ASSERT_EQ(counters.count, 2);
  EXPECT_STREQ(counters.names[0], "instances");
  EXPECT_EQ(counters.values[0], static_cast<double>(scene.instances->count));
  EXPECT_GT(counters.values[0], 1000.0);
  EXPECT_STREQ(counters.names[1], "grid_spacing");
  EXPECT_FLOAT_EQ(static_cast<float>(counters.values[1]), cubeGridSpacing(9.0f));
}

}  // namespace
