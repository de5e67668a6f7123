// What the cubes scene computes on the CPU, with no GPU: the spiky shape rebuilt from a seed
// every frame, the grid cubes scattered over the band of it that t selects, the two
// background groups, and the matrices of its 64 light passes.
#pragma once

#include "render/matrix.h"
#include "render/mesh.h"

#include <cstdint>

constexpr uint32_t kShapeVertexCapacity = 1024;    // the shape after its one subdivision
constexpr uint32_t kShapeTriangleCapacity = 2048;
constexpr int kShapeExtrusions = 20;               // random faces pushed out of the centred cube
constexpr uint32_t kCubesSeed = 99991;             // reseeds the shared sequence every frame
constexpr uint32_t kMaxCubeAttempts = 50000;       // sample points per frame, so also the most cubes
constexpr uint32_t kCellTableSlots = 1u << 17;     // open-addressed cell table, over twice the cubes
constexpr int kMaxRingCubes = 256;                 // 16 x 16 candidates of the ring group
constexpr int kRingRows = 16;
constexpr int kRingColumns = 16;
constexpr int kWallSide = 8;                       // the wall is 8 x 8 large cubes
constexpr int kWallCubes = kWallSide * kWallSide;
constexpr int kLightPasses = 64;                   // shadow and main pass pairs per frame
constexpr int kLightGridSide = 8;                  // light directions per angle
constexpr float kLightAngleStep = 0.125f;          // radians between neighbouring directions
constexpr float kRingCubesPerSecond = 70.0f;

// One frame's cubes on the shape, and the scratch space that finds them.
struct CubeInstances {
  float positions[3 * kMaxCubeAttempts];          // x, y, z of each cube's grid point (low cell corner)
  int32_t cells[3 * kMaxCubeAttempts];            // grid cell of each cube, same order
  int32_t cellTable[kCellTableSlots];             // cube index per slot, -1 = empty; first tableSlots used
  float areas[kShapeTriangleCapacity];            // band-weighted area per shape triangle, units^2
  float cumulative[kShapeTriangleCapacity];       // running sums of areas
  uint32_t count = 0;                             // cubes in positions
  uint32_t attempts = 0;                          // sample points drawn, at most kMaxCubeAttempts
  uint32_t tableSlots = 0;                        // power of two in use in cellTable
  float totalWeight = 0.0f;                       // last running sum, units^2
  float gridSpacing = 0.0f;                       // cube edge this frame, units
};

// Rebuilds the shape for time t: the centred cube, the seed, 20 extrusions and one
// subdivision. Leaves the shared sequence 20 draws after the seed.
void buildCubeShape(Mesh& shape, float t);
// How much a triangle whose centre lies at height z counts at time t: 1 inside the band,
// fading to 0 over 5 units on either side.
float cubeBandWeight(float z, float t);
// The grid's edge length at time t, between 0.20 and 0.26.
float cubeGridSpacing(float t);
// The number of sample points for a weighted area total and grid spacing s, capped.
uint32_t cubeAttemptCount(float total, float s);
// The triangle a target falls in: the smallest i above 0 with cumulative[i] >= target (n - 1
// when none is), by bisection; with n >= 2 it never returns 0. Contract: n >= 1.
uint32_t searchCumulative(const float* cumulative, uint32_t n, float target);
// Empties out's cubes and readies its cell table for up to attempts grid points.
void clearCubeGrid(CubeInstances& out, uint32_t attempts);
// Snaps p to the low corner of its cell of edge out.gridSpacing and stores that grid point
// unless the cell already has a cube; true when stored. Contract: clearCubeGrid before, and
// at most the attempts it was given.
bool addGridCube(CubeInstances& out, Vec3 p);
// Rebuilds shape and fills out for time t (seconds of the scene); the same t gives the same
// cubes in the same order. Consumes 20 + 3 * attempts values of the shared sequence after
// seeding it.
void buildCubeInstances(float t, Mesh& shape, CubeInstances& out);

// The ring group at time t: fills out with up to kMaxRingCubes positions and returns how many.
int fillRingPositions(float t, float out[3 * kMaxRingCubes]);
// The wall group: kWallCubes positions, the same at every time.
void fillWallPositions(float out[3 * kWallCubes]);

// The light's two angles of pass i (0..63), radians: a1 steps every 8 passes, a2 every pass.
void lightAngles(int pass, float& a1, float& a2);
// The light's view of pass i: T(0, -5, -20) * Rx(a1) * Ry(a2).
Mat4 cubesLightView(int pass);
// The camera's (and the light's) projection: 90 degrees across, near 1, far 50.
Mat4 cubesProjection(int32_t width, int32_t height);
// The camera: 9 units back.
Mat4 cubesView();
// The shape's turn at time t: Rx(0.2 t) * Ry(0.3 t).
Mat4 cubesWorld(float t);
// Clip space to shadow-map space: T(0.5, 0.5, 0.4999) * S(0.5); the z offset keeps a lit
// surface just in front of its own depth.
Mat4 shadowBiasMatrix();
