// Meshes: Loop subdivision, after extrusions too, checked against an independent edge map,
// and the capacity checks; and leaving out geometry the camera cannot see: a box is outside
// the view only when all of it lies beyond one plane of the clip volume, and a mesh's chunks
// cover its triangles in order. What the meshes look like the reference frames check.
#include "render/matrix.h"
#include "render/mesh.h"
#include "scenes/forest/forest_scene.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace {

// One Loop step written independently: an ordered map of edge keys pairs the half-edges,
// shared edges are numbered as their second half is met and open edges in key order after
// them, and each old vertex is weighted with the set of its neighbours.
struct Reference {
  std::vector<Vec3> p;          // positions
  std::vector<uint32_t> index;  // three per triangle
};

Reference referenceSubdivide(const Mesh& mesh) {
  const uint32_t n = mesh.vertexCount, tc = mesh.triangleCount;
  auto corner = [&](uint32_t t, int k) { return mesh.indices[3 * t + k % 3]; };
  Reference out;
  std::vector<std::set<uint32_t>> neighbours(n);
  for (uint32_t i = 0; i < n; ++i) out.p.push_back(mesh.position(i));
  std::vector<uint32_t> edgePoint(3 * tc);  // of edge k (corner k to k + 1) of each triangle
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> open;  // edge -> its half-edge 3t + k
  for (uint32_t t = 0; t < tc; ++t)
    for (int k = 0; k < 3; ++k) {
      uint32_t a = corner(t, k), b = corner(t, k + 1);
      neighbours[a].insert(b), neighbours[b].insert(a);
      auto found = open.find({std::min(a, b), std::max(a, b)});
      if (found == open.end()) {
        open[{std::min(a, b), std::max(a, b)}] = 3 * t + k;
        continue;
      }
      uint32_t other = found->second;
      edgePoint[3 * t + k] = edgePoint[other] = static_cast<uint32_t>(out.p.size());
      out.p.push_back((mesh.position(a) + mesh.position(b)) * 0.375f +
                      (mesh.position(corner(t, k + 2)) + mesh.position(corner(other / 3, other % 3 + 2))) * 0.125f);
      open.erase(found);
    }
  for (auto& [key, half] : open) {
    edgePoint[half] = static_cast<uint32_t>(out.p.size());
    out.p.push_back((mesh.position(key.first) + mesh.position(key.second)) * 0.5f);
  }
  for (uint32_t i = 0; i < n; ++i) {
    Vec3 sum;
    for (uint32_t j : neighbours[i]) sum = sum + mesh.position(j);
    const size_t v = neighbours[i].size();
    float beta = v == 6 ? 1.0f / 16.0f : v == 3 ? 3.0f / 16.0f : 3.0f / (8.0f * static_cast<float>(v));
    out.p[i] = mesh.position(i) * (1.0f - static_cast<float>(v) * beta) + sum * beta;
  }
  for (uint32_t t = 0; t < tc; ++t) {
    const uint32_t* e = &edgePoint[3 * t];
    const uint32_t four[12] = {e[0], e[1], e[2], corner(t, 0), e[0], e[2], corner(t, 1), e[1], e[0], corner(t, 2), e[2], e[1]};
    out.index.insert(out.index.end(), four, four + 12);
  }
  return out;
}

// Subdivides and expects the reference's numbering, four-way split and positions.
void expectSubdivisionMatchesReference(Mesh& mesh) {
  Reference expected = referenceSubdivide(mesh);
  mesh.subdivide();
  ASSERT_EQ(mesh.vertexCount, expected.p.size());
  ASSERT_EQ(3 * mesh.triangleCount, expected.index.size());
  EXPECT_TRUE(std::equal(expected.index.begin(), expected.index.end(), mesh.indices));
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) expectVec(mesh.position(i), expected.p[i]);
}

TEST(MeshSubdivide, MatchesTheReferenceOnClosedAndOpenMeshes) {
  Mesh cube(2000, 4000);
  cube.makeCube();
  expectSubdivisionMatchesReference(cube);
  // Worked by hand: corner 0 has three neighbours, so 7/16 of itself and 3/16 of each.
  expectVec(cube.position(0), Vec3(-0.625f, -0.625f, -0.625f));
  expectSubdivisionMatchesReference(cube);  // valences 4, 5, 6 and 3 on the second step

  // Extrusions, straight and slanted, then two steps.
  Mesh mesh(2000, 4000);
  mesh.makeCube();
  mesh.extrudeTriangle(0, nullptr, 0.8f);
  const float slant[3] = {0.2f, 1.0f, 0.1f};
  mesh.extrudeTriangle(7, slant, 0.5f);
  expectSubdivisionMatchesReference(mesh);
  expectSubdivisionMatchesReference(mesh);

  // An open mesh: a grid with a raised triangle has boundary edges and walls.
  Mesh grid(400, 800);
  grid.makeGrid(4, 3);
  const float up[3] = {0, 1, 0};
  grid.extrudeTriangle(3, up, 1.0f);
  expectSubdivisionMatchesReference(grid);
}

TEST(MeshCapacityDeathTest, OverflowEndsTheProgramWithAMessage) {
  // Subdivision needs room for the edge points as well as the four-way split.
  Mesh small(25, 48), tight(20, 20);
  small.makeCube();
  tight.makeCube();
  EXPECT_EXIT(small.subdivide(), testing::ExitedWithCode(1), "subdivide needs 26 vertices and 48 triangles");
  EXPECT_EXIT(tight.extrudeTriangle(12, nullptr, 1.0f), testing::ExitedWithCode(1),
              "extrudeTriangle of triangle 12; the mesh has 12");
}

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
