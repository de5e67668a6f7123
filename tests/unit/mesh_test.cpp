// Meshes: Loop subdivision, after extrusions too, checked bit for bit against an independent
// edge map, and the capacity checks. What the meshes look like the reference frames check.
#include "render/mesh.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace {

// One Loop step written independently: an ordered map of edge keys pairs the half-edges,
// open edges are numbered in key order after the shared ones, and each old vertex sums its
// neighbours walking its fan from its last triangle, so the result must match bit for bit.
struct Reference {
  std::vector<Vec3> p;          // positions
  std::vector<uint32_t> index;  // three per triangle
};

Reference referenceSubdivide(const Mesh& mesh) {
  const uint32_t n = mesh.vertexCount, tc = mesh.triangleCount;
  constexpr uint32_t kNull = 0xFFFFFFFFu;
  struct Record {
    uint32_t A[3], L[3], E[3];  // corners, neighbour across edge k, edge point of edge k
  };
  std::vector<Record> rec(tc);
  std::vector<uint32_t> link(n, kNull);
  for (uint32_t t = 0; t < tc; ++t)
    for (int k = 0; k < 3; ++k) {
      rec[t].A[k] = mesh.indices[3 * t + k];
      rec[t].L[k] = rec[t].E[k] = kNull;
      link[rec[t].A[k]] = t;
    }
  Reference out;
  for (uint32_t i = 0; i < n; ++i) out.p.push_back(mesh.position(i));
  std::map<std::pair<uint32_t, uint32_t>, std::pair<uint32_t, int>> open;
  uint32_t next = n;
  for (uint32_t t = 0; t < tc; ++t)
    for (int k = 0; k < 3; ++k) {
      uint32_t a = rec[t].A[k], b = rec[t].A[(k + 1) % 3];
      auto found = open.find({std::min(a, b), std::max(a, b)});
      if (found == open.end()) {
        open[{std::min(a, b), std::max(a, b)}] = {t, k};
        continue;
      }
      auto [t2, k2] = found->second;
      rec[t].L[k] = t2;
      rec[t2].L[k2] = t;
      rec[t].E[k] = rec[t2].E[k2] = next++;
      uint32_t opposite2 = kNull;
      for (int c = 0; c < 3; ++c)
        if (rec[t2].A[c] == a) opposite2 = rec[t2].A[(c + 1) % 3];
      out.p.push_back((mesh.position(a) + mesh.position(b)) * 0.375f +
                      (mesh.position(rec[t].A[(k + 2) % 3]) + mesh.position(opposite2)) * 0.125f);
      open.erase(found);
    }
  for (auto& [key, use] : open) {
    rec[use.first].E[use.second] = next++;
    out.p.push_back((mesh.position(key.first) + mesh.position(key.second)) * 0.5f);
  }
  auto cornerOf = [&](uint32_t t, uint32_t i) {
    for (int c = 0; c < 3; ++c)
      if (rec[t].A[c] == i) return c;
    return -1;
  };
  for (uint32_t i = 0; i < n; ++i) {
    Vec3 sum;
    uint32_t visits = 0, t = link[i];
    do {  // backwards over the edges that end at i; forwards too if the fan is open
      int c = cornerOf(t, i);
      sum = sum + mesh.position(rec[t].A[(c + 2) % 3]);
      ++visits;
      t = rec[t].L[(c + 2) % 3];
    } while (t != kNull && t != link[i]);
    for (uint32_t u = t == kNull ? link[i] : kNull; u != kNull; ++visits) {
      int c = cornerOf(u, i);
      sum = sum + mesh.position(rec[u].A[(c + 1) % 3]);
      u = rec[u].L[c];
    }
    float beta = visits == 6 ? 1.0f / 16.0f : visits == 3 ? 3.0f / 16.0f : 3.0f / (8.0f * static_cast<float>(visits));
    out.p[i] = mesh.position(i) * (1.0f - static_cast<float>(visits) * beta) + sum * beta;
  }
  for (const Record& r : rec) {
    const uint32_t four[12] = {r.E[0], r.E[1], r.E[2], r.A[0], r.E[0], r.E[2],
                               r.A[1], r.E[1], r.E[0], r.A[2], r.E[2], r.E[1]};
    out.index.insert(out.index.end(), four, four + 12);
  }
  return out;
}

// Subdivides and expects the reference's numbering, positions and four-way split exactly.
void expectSubdivisionMatchesReference(Mesh& mesh) {
  Reference expected = referenceSubdivide(mesh);
  mesh.subdivide();
  ASSERT_EQ(mesh.vertexCount, expected.p.size());
  ASSERT_EQ(3 * mesh.triangleCount, expected.index.size());
  EXPECT_TRUE(std::equal(expected.index.begin(), expected.index.end(), mesh.indices));
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
    Vec3 a = mesh.position(i), b = expected.p[i];
    ASSERT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z) << "vertex " << i;
  }
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

}  // namespace
