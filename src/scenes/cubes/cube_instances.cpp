// The cubes scene's CPU side: shape, band-weighted sampling onto a grid, the background
// groups and the pass matrices. Everything here depends on t alone.
#include "scenes/cubes/cube_instances.h"

#include "synth/demo_random.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kBandLow = 8.0f;          // the band's lower fade starts here (z + 1.51 t)
constexpr float kBandHigh = 14.0f;        // its upper fade starts here
constexpr float kBandSpeed = 1.51f;       // units per second down the shape's z axis
constexpr float kBandFade = 0.2f;         // 1 / fade width
constexpr float kCentreWeight = 0.333f;   // barycentric weights of a triangle's near-centre
constexpr float kCellArea = 0.333f;       // area per sample point, as a share of one cell face
constexpr uint32_t kMinCellTableSlots = 1024;  // cleared even for a handful of cubes
constexpr float kRingRadius2 = 307.2f;    // squared radius of the ring group

// The slot a grid cell starts its probe at: a multiplicative mix of the three coordinates.
uint32_t cellHash(int32_t c0, int32_t c1, int32_t c2, uint32_t mask) {
  uint32_t h = static_cast<uint32_t>(c0) * 0x9E3779B1u;
  h ^= static_cast<uint32_t>(c1) * 0x85EBCA77u;
  h ^= static_cast<uint32_t>(c2) * 0xC2B2AE3Du;
  h ^= h >> 15;
  return h & mask;
}

}  // namespace

void buildCubeShape(Mesh& shape, float t) {
  shape.makeCenteredCube();
  demoSrand(kCubesSeed);
  for (int k = 0; k < kShapeExtrusions; ++k) {
    uint32_t tri = static_cast<uint32_t>(demoRand()) % shape.triangleCount;
    float x = 200.0f * static_cast<float>(tri) + 10.0f * t;
    float d = (0.2f * std::cos(2.0f * (x + 2.2f)) + std::cos(x)) * 0.1f + 3.0f;
    shape.extrudeTriangle(tri, nullptr, d);
  }
  shape.subdivide();
}

float cubeBandWeight(float z, float t) {
  float w1 = std::min(1.0f, std::max(0.0f, ((z - kBandLow) + kBandSpeed * t) * kBandFade));
  float w2 = std::min(1.0f, std::max(0.0f, 1.0f - kBandFade * ((z - kBandHigh) + kBandSpeed * t)));
  return w1 * w2;
}

float cubeGridSpacing(float t) { return static_cast<float>(std::cos(static_cast<double>(t)) * 0.03 + 0.23); }

uint32_t cubeAttemptCount(float total, float s) {
  float n = total / (s * s * kCellArea);
  // Compared as a float first so an enormous total cannot overflow the conversion.
  if (!(n < static_cast<float>(kMaxCubeAttempts))) return n > 0.0f ? kMaxCubeAttempts : 0;
  return static_cast<uint32_t>(n);
}

uint32_t searchCumulative(const float* cumulative, uint32_t n, float target) {
  uint32_t lo = 0, hi = n - 1;
  while (hi - lo > 1) {
    uint32_t mid = (lo + hi) / 2;
    if (cumulative[mid] >= target)
      hi = mid;
    else
      lo = mid;
  }
  return hi;
}

void clearCubeGrid(CubeInstances& out, uint32_t attempts) {
  // The table stays at most half full, and is cleared only as far as this frame needs.
  uint32_t slots = kMinCellTableSlots;
  while (slots < 2 * attempts && slots < kCellTableSlots) slots *= 2;
  out.tableSlots = slots;
  std::fill(out.cellTable, out.cellTable + slots, -1);
  out.count = 0;
}

bool addGridCube(CubeInstances& out, Vec3 p) {
  const float s = out.gridSpacing;
  const float axes[3] = {p.x, p.y, p.z};
  int32_t cell[3];
  float corner[3];
  for (int k = 0; k < 3; ++k) {
    float v = axes[k] / s;
    double low = std::floor(static_cast<double>(v));
    cell[k] = static_cast<int32_t>(low);
    corner[k] = static_cast<float>(low) * s;
  }
  // Two grid points closer than 0.01 on every axis lie in the same cell (cells are at least
  // 0.2 apart), so a table keyed by the cell finds exactly the duplicates.
  // Past the contract's limit the probe could find no free slot; such points are dropped.
  if (out.count >= out.tableSlots / 2 || out.count >= kMaxCubeAttempts) return false;
  const uint32_t mask = out.tableSlots - 1;
  uint32_t slot = cellHash(cell[0], cell[1], cell[2], mask);
  for (; out.cellTable[slot] >= 0; slot = (slot + 1) & mask) {
    const int32_t* other = out.cells + 3 * out.cellTable[slot];
    if (other[0] == cell[0] && other[1] == cell[1] && other[2] == cell[2]) return false;
  }
  out.cellTable[slot] = static_cast<int32_t>(out.count);
  std::copy(cell, cell + 3, out.cells + 3 * out.count);
  std::copy(corner, corner + 3, out.positions + 3 * out.count);
  ++out.count;
  return true;
}

void buildCubeInstances(float t, Mesh& shape, CubeInstances& out) {
  buildCubeShape(shape, t);
  const uint32_t n = shape.triangleCount;
  shape.triangleAreas(out.areas);
  float total = 0.0f;
  for (uint32_t i = 0; i < n; ++i) {
    Vec3 q = shape.samplePoint(i, kCentreWeight, kCentreWeight);
    out.areas[i] = out.areas[i] * cubeBandWeight(q.z, t);
    total += out.areas[i];
    out.cumulative[i] = total;
  }
  const float s = cubeGridSpacing(t);
  out.totalWeight = total;
  out.gridSpacing = s;
  out.attempts = cubeAttemptCount(total, s);

  clearCubeGrid(out, out.attempts);
  for (uint32_t a = 0; a < out.attempts; ++a) {
    float target = (static_cast<float>(demoRand()) / static_cast<float>(kRandomMax)) * total;
    uint32_t tri = searchCumulative(out.cumulative, n, target);
    int r1 = demoRand();
    int r2 = demoRand();
    addGridCube(out, shape.samplePoint(tri, static_cast<float>(r2) / static_cast<float>(kRandomMax),
                                       static_cast<float>(r1) / static_cast<float>(kRandomMax)));
  }
}

int fillRingPositions(float t, float out[3 * kMaxRingCubes]) {
  const int limit = static_cast<int>(kRingCubesPerSecond * t);
  const float f = std::max(0.0f, (t - 8.0f) * 3.0f);
  const float g = std::max(0.0f, (t - 8.0f) * 0.3f);
  const float stretch = static_cast<float>(std::pow(g, 3.0)) + 1.0f;
  int n = 0;
  for (int j = 0; j < kRingRows && n < limit; ++j) {
    float y0 = static_cast<float>((8 - j) * 2);
    for (int k = 0; k < kRingColumns && n < limit; ++k) {
      float x = static_cast<float>((k - 8) * 2);
      if (!(x * x + y0 * y0 < kRingRadius2 && std::fabs(x) < 16.0f - f)) continue;
      out[3 * n] = x;
      out[3 * n + 1] = stretch * y0;
      out[3 * n + 2] = std::cos(t + static_cast<float>(k)) * std::cos(static_cast<float>(j));
      ++n;
    }
  }
  return n;
}

void fillWallPositions(float out[3 * kWallCubes]) {
  for (int j = 0; j < kWallSide; ++j) {
    for (int k = 0; k < kWallSide; ++k) {
      float* p = out + 3 * (kWallSide * j + k);
      p[0] = static_cast<float>((k - 4) * 10);
      p[1] = static_cast<float>((4 - j) * 10);
      p[2] = std::sin(static_cast<float>(j)) * std::cos(static_cast<float>(k));
    }
  }
}

void lightAngles(int pass, float& a1, float& a2) {
  a1 = static_cast<float>(pass / kLightGridSide) * kLightAngleStep;
  a2 = static_cast<float>(pass % kLightGridSide) * kLightAngleStep;
}

Mat4 cubesLightView(int pass) {
  float a1, a2;
  lightAngles(pass, a1, a2);
  return translationMatrix(0.0f, -5.0f, -20.0f) * rotationXMatrix(a1) * rotationYMatrix(a2);
}

Mat4 cubesProjection(int32_t width, int32_t height) {
  // -(far + near) / (far - near) = -51 / 49 and -2 far near / (far - near) = -100 / 49
  return wideFrustumMatrix(width, height, -1.0408163f, -2.0408161f);
}

Mat4 cubesView() { return translationMatrix(0.0f, 0.0f, -9.0f); }

Mat4 cubesWorld(float t) { return rotationXMatrix(0.2f * t) * rotationYMatrix(0.3f * t); }

Mat4 shadowBiasMatrix() { return translationMatrix(0.5f, 0.5f, 0.4999f) * scaleMatrix(0.5f, 0.5f, 0.5f); }
