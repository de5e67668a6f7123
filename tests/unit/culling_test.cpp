// Leaving out geometry the camera cannot see: a box is outside the view only when all of it
// lies beyond one plane of the clip volume, and a mesh's chunks cover its triangles in order.
#include "render/matrix.h"
#include "render/mesh.h"
#include "scenes/forest/forest_scene.h"

#include <gtest/gtest.h>

namespace {

TEST(Culling, BoxesOutsideOnePlaneOnlyAreLeftOut) {
  // The forest's frustum, camera at the origin looking down -z, near 1, far 200.
  const Mat4 clip = forestProjection(160, 90);
  const Vec3 unit(1, 1, 1);
  auto outside = [&](Vec3 centre, float half) { return boxOutsideClipVolume(clip, centre - unit * half, centre + unit * half); };
  EXPECT_FALSE(outside(Vec3(0, 0, -10), 1));      // straight ahead
  EXPECT_TRUE(outside(Vec3(0, 0, 10), 1));        // behind the camera
  EXPECT_TRUE(outside(Vec3(0, 0, -0.5f), 0.25f));  // between the eye and the near plane
  EXPECT_TRUE(outside(Vec3(0, 0, -300), 10));     // past the far plane
  EXPECT_TRUE(outside(Vec3(-30, 0, -10), 1));     // far to the left
  EXPECT_TRUE(outside(Vec3(0, 30, -10), 1));      // far above
  EXPECT_FALSE(outside(Vec3(-10, 0, -10), 1.5f));  // across the left plane: partly visible
  EXPECT_FALSE(outside(Vec3(0, 0, 0), 5));        // around the eye
  // Beyond the left plane at one end and the top plane at the other, yet no single plane has
  // all of it: kept, though nothing of it may show (being sure matters more than being tight).
  EXPECT_FALSE(boxOutsideClipVolume(clip, Vec3(-12, -1, -10), Vec3(-2, 9, -9)));
  // A box just touching the view is kept: the margin errs on the side of drawing.
  EXPECT_FALSE(outside(Vec3(-11.0f, 0, -10), 1.0f));
}

TEST(Culling, ChunksCoverEveryTriangleInOrderInsideTheirBoxesAndVertexRanges) {
  Mesh grid(1100, 2000);
  grid.makeGrid(20, 20);
  std::vector<MeshChunk> chunks = meshChunks(grid, 100);
  ASSERT_EQ(chunks.size(), (grid.triangleCount + 99) / 100);
  uint32_t next = 0;
  for (const MeshChunk& chunk : chunks) {
    EXPECT_EQ(chunk.firstTriangle, next);
    next += chunk.triangles;
    for (uint32_t i = 3 * chunk.firstTriangle; i < 3 * (chunk.firstTriangle + chunk.triangles); ++i) {
      EXPECT_GE(grid.indices[i], chunk.firstVertex);
      EXPECT_LE(grid.indices[i], chunk.lastVertex);
      const float* p = grid.positions + 3 * grid.indices[i];
      EXPECT_TRUE(p[0] >= chunk.low.x && p[0] <= chunk.high.x && p[1] >= chunk.low.y && p[1] <= chunk.high.y &&
                  p[2] >= chunk.low.z && p[2] <= chunk.high.z)
          << "triangle " << i / 3;
    }
  }
  EXPECT_EQ(next, grid.triangleCount);
  // Runs of neighbouring triangles make small boxes: a chunk spans far less than the grid.
  auto span = [](const MeshChunk& c) { return c.high.x - c.low.x + c.high.y - c.low.y + c.high.z - c.low.z; };
  MeshChunk whole = meshChunks(grid, grid.triangleCount).front();
  for (const MeshChunk& chunk : chunks) EXPECT_LT(span(chunk), 0.75f * span(whole));
  EXPECT_TRUE(meshChunks(grid, 0).empty());
}

}  // namespace
