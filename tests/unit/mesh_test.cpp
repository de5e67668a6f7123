// Meshes: the generators' exact output, Loop subdivision checked bit for bit against an
// independent edge map, invariants of closed meshes, extrusion, the upload (through fake GL
// entry points) and the capacity checks.
#include "render/matrix.h"
#include "render/mesh.h"
#include "shell/noop_gl.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

namespace {

using Triangle = std::vector<uint32_t>;

std::vector<Triangle> triangles(const Mesh& mesh) {
  std::vector<Triangle> out;
  for (uint32_t t = 0; t < mesh.triangleCount; ++t)
    out.push_back({mesh.indices[3 * t], mesh.indices[3 * t + 1], mesh.indices[3 * t + 2]});
  return out;
}

Vec3 faceNormal(const Mesh& mesh, uint32_t t) {
  Vec3 p0 = mesh.position(mesh.indices[3 * t]);
  return cross(mesh.position(mesh.indices[3 * t + 1]) - p0, mesh.position(mesh.indices[3 * t + 2]) - p0);
}

Vec3 centroid(const Mesh& mesh, uint32_t t) {
  return (mesh.position(mesh.indices[3 * t]) + mesh.position(mesh.indices[3 * t + 1]) +
          mesh.position(mesh.indices[3 * t + 2])) *
         (1.0f / 3.0f);
}

// Every directed edge of a closed, consistently oriented mesh appears once, and its reverse once.
void expectClosedAndOriented(const Mesh& mesh) {
  std::map<std::pair<uint32_t, uint32_t>, int> directed;
  for (uint32_t t = 0; t < mesh.triangleCount; ++t)
    for (int k = 0; k < 3; ++k) ++directed[{mesh.indices[3 * t + k], mesh.indices[3 * t + (k + 1) % 3]}];
  for (const auto& [edge, count] : directed) {
    EXPECT_EQ(count, 1) << "edge " << edge.first << "-" << edge.second << " used twice the same way";
    auto reverse = directed.find({edge.second, edge.first});
    EXPECT_TRUE(reverse != directed.end()) << "edge " << edge.first << "-" << edge.second << " has one triangle";
  }
}

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

TEST(MeshGrid, PositionsAndCheckerboardDiagonals) {
  Mesh mesh(16, 16);
  mesh.makeGrid(1, 1);
  ASSERT_EQ(mesh.vertexCount, 1u);
  EXPECT_EQ(mesh.triangleCount, 0u);
  expectVec(mesh.position(0), Vec3(-0.6f, 0, -0.6f));
  mesh.makeGrid(2, 2);
  ASSERT_EQ(mesh.vertexCount, 4u);
  expectVec(mesh.position(1), Vec3(0, 0, -1.2f));
  expectVec(mesh.position(2), Vec3(-1.2f, 0, 0));
  EXPECT_EQ(triangles(mesh), (std::vector<Triangle>{{0, 2, 3}, {0, 3, 1}}));
  // The odd cell (row 0, column 1) takes the other diagonal; every triangle faces +y.
  mesh.makeGrid(3, 2);
  EXPECT_EQ(triangles(mesh), (std::vector<Triangle>{{0, 3, 4}, {0, 4, 1}, {1, 4, 2}, {2, 4, 5}}));
  for (uint32_t t = 0; t < mesh.triangleCount; ++t) EXPECT_GT(faceNormal(mesh, t).y, 0.0f);
  Mesh terrain(2000, 4000);
  terrain.makeGrid(32, 32);
  EXPECT_EQ(terrain.triangleCount, 1922u);
  expectVec(terrain.position(1023), Vec3(15 * 1.2f, 0, 15 * 1.2f));
}

TEST(MeshCube, FaceOrderAndOutwardWinding) {
  Mesh mesh(8, 12);
  mesh.makeCube();
  EXPECT_EQ(triangles(mesh), (std::vector<Triangle>{{2, 0, 4}, {4, 6, 2}, {3, 7, 5}, {5, 1, 3}, {4, 0, 1},
                                                    {1, 5, 4}, {6, 7, 3}, {3, 2, 6}, {1, 0, 2}, {2, 3, 1},
                                                    {5, 7, 6}, {6, 4, 5}}));
  expectVec(mesh.position(0), Vec3(-1, -1, -1));
  expectVec(mesh.position(5), Vec3(1, -1, 1));
  for (uint32_t t = 0; t < 12; ++t) EXPECT_GT(dot(faceNormal(mesh, t), centroid(mesh, t)), 0.0f);
  expectClosedAndOriented(mesh);

  // The caller-array form writes the same cube.
  float positions[24];
  uint32_t indices[36], vertexCount = 99, triangleCount = 99;
  Mesh::makeCube(positions, indices, vertexCount, triangleCount);
  EXPECT_TRUE(vertexCount == 8 && triangleCount == 12);
  EXPECT_TRUE(std::equal(indices, indices + 36, mesh.indices) && std::equal(positions, positions + 24, mesh.positions));
}

TEST(MeshCube, CenteredCubeFansAroundFaceCentres) {
  Mesh mesh(14, 24);
  mesh.makeCenteredCube();
  ASSERT_EQ(mesh.triangleCount, 24u);
  std::vector<Triangle> all = triangles(mesh);
  EXPECT_EQ(std::vector<Triangle>(all.begin(), all.begin() + 8),
            (std::vector<Triangle>{{2, 0, 8}, {0, 4, 8}, {4, 6, 8}, {6, 2, 8}, {9, 3, 7}, {9, 7, 5}, {9, 5, 1},
                                   {9, 1, 3}}));
  const Vec3 centres[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
  for (int f = 0; f < 6; ++f) expectVec(mesh.position(8 + f), centres[f]);
  for (uint32_t t = 0; t < 24; ++t) EXPECT_GT(dot(faceNormal(mesh, t), centroid(mesh, t)), 0.0f);
  expectClosedAndOriented(mesh);
}

TEST(MeshSubdivide, MatchesTheReferenceOnClosedAndOpenMeshes) {
  Mesh cube(2000, 4000);
  cube.makeCube();
  expectSubdivisionMatchesReference(cube);
  // Worked by hand: corner 0 has three neighbours, so 7/16 of itself and 3/16 of each.
  expectVec(cube.position(0), Vec3(-0.625f, -0.625f, -0.625f));
  expectSubdivisionMatchesReference(cube);  // valences 4, 5, 6 and 3 on the second step

  // Extrusions keep a mesh closed and consistently wound, and so does subdivision after them.
  Mesh mesh(2000, 4000);
  mesh.makeCube();
  mesh.extrudeTriangle(0, nullptr, 0.8f);
  const float slant[3] = {0.2f, 1.0f, 0.1f};
  mesh.extrudeTriangle(7, slant, 0.5f);
  expectClosedAndOriented(mesh);
  expectSubdivisionMatchesReference(mesh);
  expectSubdivisionMatchesReference(mesh);
  expectClosedAndOriented(mesh);
  mesh.computeNormals();
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) EXPECT_NEAR(length(mesh.normal(i)), 1.0f, 1e-5f);

  // An open mesh: a grid with a raised triangle has boundary edges and walls.
  Mesh grid(400, 800);
  grid.makeGrid(4, 3);
  const float up[3] = {0, 1, 0};
  grid.extrudeTriangle(3, up, 1.0f);
  expectSubdivisionMatchesReference(grid);
}

TEST(MeshExtrude, DistanceZeroAddsDegenerateWallsThatKeepNormalsWhole) {
  Mesh mesh(64, 64);
  mesh.makeCube();
  mesh.extrudeTriangle(0, nullptr, 0.0f);
  float areas[24];
  mesh.triangleAreas(areas);
  for (int t = 12; t < 24; ++t) EXPECT_EQ(areas[t], 0.0f);
  mesh.computeNormals();
  for (uint32_t i = 0; i < 8; ++i) EXPECT_NEAR(length(mesh.normal(i)), 1.0f, 1e-5f);
}

TEST(MeshExtrude, WallsAndMovedFace) {
  Mesh mesh(64, 64);
  mesh.makeGrid(2, 2);
  const float up[3] = {0, 1, 0};
  mesh.extrudeTriangle(1, up, 2.0f);  // (0, 3, 1)
  EXPECT_EQ(triangles(mesh)[1], (Triangle{4, 5, 6}));
  expectVec(mesh.position(5), mesh.position(3) + Vec3(0, 2, 0));
  // Wall of edge (0, 3): its centre, summed in this order for exact positions, and four
  // triangles around it.
  Vec3 centre = (mesh.position(0) + mesh.position(4) + mesh.position(5) + mesh.position(3)) * 0.25f;
  EXPECT_TRUE(mesh.position(7).x == centre.x && mesh.position(7).y == centre.y && mesh.position(7).z == centre.z);
  std::vector<Triangle> all = triangles(mesh);
  EXPECT_EQ(std::vector<Triangle>(all.begin() + 2, all.begin() + 6),
            (std::vector<Triangle>{{0, 3, 7}, {3, 5, 7}, {5, 4, 7}, {4, 0, 7}}));
  // Without a direction the unit normal (+y for the grid) is used.
  mesh.extrudeTriangle(0, nullptr, 0.5f);
  expectVec(mesh.position(10), Vec3(-1.2f, 0.5f, -1.2f));
}

TEST(MeshEdit, TransformsMergeFlipAndSample) {
  Mesh cube(8, 12);
  cube.makeCube();
  Mesh merged(64, 64);
  merged.makeCube();
  Mat4 m = translationMatrix(10, 0, 0) * scaleMatrix(0.5f, 0.5f, 0.5f);
  merged.appendTransformed(cube, m.m);
  EXPECT_EQ(merged.vertexCount, 16u);
  EXPECT_EQ(merged.triangleCount, 24u);
  expectVec(merged.position(8), Vec3(9.5f, -0.5f, -0.5f));
  EXPECT_EQ(triangles(merged)[12], (Triangle{10, 8, 12}));

  // The perspective divide: w = 2 halves every coordinate.
  Mat4 halve = identityMatrix();
  halve.m[15] = 2.0f;
  cube.transform(halve.m);
  expectVec(cube.position(7), Vec3(0.5f, 0.5f, 0.5f));

  cube.flipWinding();
  EXPECT_EQ(triangles(cube)[0], (Triangle{4, 0, 2}));

  Mesh tri(8, 8);
  tri.makeGrid(2, 2);
  tri.triangleCount = 1;
  Vec3 p0 = tri.position(0), p1 = tri.position(2), p2 = tri.position(3);
  expectVec(tri.samplePoint(0, 0.75f, 0.75f), p0 * 0.25f + p1 * 0.25f + p2 * 0.5f);
  expectVec(tri.samplePoint(0, 0.2f, 0.3f), p0 * 0.2f + p1 * 0.3f + p2 * 0.5f);
}

TEST(MeshEdit, CancellingFacesStillGiveUnitNormals) {
  // Two faces folded onto each other cancel exactly; the vertices take the first face's normal.
  Mesh mesh(4, 4);
  mesh.makeGrid(2, 2);
  mesh.indices[3] = 0;
  mesh.indices[4] = 3;
  mesh.indices[5] = 2;  // (0, 2, 3) and (0, 3, 2)
  mesh.computeNormals();
  for (uint32_t i : {0u, 2u, 3u}) expectVec(mesh.normal(i), Vec3(0, 1, 0));
  expectVec(mesh.normal(1), Vec3(0, 0, 0));  // on no triangle at all
}

TEST(MeshEdit, UnshareThenFlatNormals) {
  Mesh mesh(36, 12);
  mesh.makeCube();
  mesh.unshareVertices();
  ASSERT_EQ(mesh.vertexCount, 36u);
  for (uint32_t t = 0; t < 12; ++t)
    for (uint32_t k = 0; k < 3; ++k) EXPECT_EQ(mesh.indices[3 * t + k], 3 * t + k);
  mesh.computeNormals();
  for (uint32_t t = 0; t < 12; ++t) {
    Vec3 n = normalize(faceNormal(mesh, t));
    for (uint32_t k = 0; k < 3; ++k) expectVec(mesh.normal(3 * t + k), n);
  }
  float areas[12];
  mesh.triangleAreas(areas);
  for (float a : areas) EXPECT_FLOAT_EQ(a, 2.0f);
}

// Fake buffer entry points: they record what the upload sends.
struct BufferLog {
  int generated = 0, binds = 0, deleted = 0;
  long long bytesSent = 0;
  std::vector<std::pair<GLintptr, const void*>> arrayWrites;  // offset and source of each sub-upload
} bufferLog;

void APIENTRY fakeGenBuffers(GLsizei n, GLuint* names) {
  for (GLsizei i = 0; i < n; ++i) names[i] = static_cast<GLuint>(++bufferLog.generated);
}
void APIENTRY fakeBindBuffer(GLenum, GLuint) { ++bufferLog.binds; }
void APIENTRY fakeBufferData(GLenum, GLsizeiptr size, const void* data, GLenum) {
  if (data) bufferLog.bytesSent += size;
}
void APIENTRY fakeBufferSubData(GLenum, GLintptr offset, GLsizeiptr size, const void* data) {
  bufferLog.bytesSent += size;
  bufferLog.arrayWrites.push_back({offset, data});
}
void APIENTRY fakeDeleteBuffers(GLsizei n, const GLuint*) { bufferLog.deleted += n; }

TEST(MeshUpload, SendsOnlyWhenDirty) {
  installNoopGl();
  glGenBuffers = fakeGenBuffers;
  glBindBuffer = fakeBindBuffer;
  glBufferData = fakeBufferData;
  glBufferSubData = fakeBufferSubData;
  glDeleteBuffers = fakeDeleteBuffers;
  bufferLog = BufferLog();
  {
    Mesh mesh(8, 12);
    mesh.makeCube();
    mesh.upload();
    EXPECT_EQ(bufferLog.generated, 2);
    EXPECT_EQ(bufferLog.bytesSent, 12 * 12 + 2 * 12 * 8);  // indices, positions, normals
    // Positions first, normals right after them: the draws read normals at 12 * vertexCount.
    using Write = std::pair<GLintptr, const void*>;
    EXPECT_EQ(bufferLog.arrayWrites, (std::vector<Write>{{0, mesh.positions}, {12 * 8, mesh.normals}}));

    long long sent = bufferLog.bytesSent;
    int binds = bufferLog.binds;
    mesh.upload();
    EXPECT_EQ(bufferLog.bytesSent, sent);    // unchanged: nothing re-sent
    EXPECT_EQ(bufferLog.binds, binds + 2);   // but both buffers bound for the draw

    mesh.flipWinding();
    mesh.upload();
    EXPECT_EQ(bufferLog.bytesSent, 2 * sent);

    // Released buffers are made and filled again by the next upload.
    mesh.releaseBuffers();
    mesh.releaseBuffers();
    EXPECT_EQ(bufferLog.deleted, 2);
    EXPECT_EQ(mesh.vertexBuffer, 0u);
    mesh.upload();
    EXPECT_EQ(bufferLog.generated, 4);
    EXPECT_EQ(bufferLog.bytesSent, 3 * sent);
  }
  EXPECT_EQ(bufferLog.deleted, 4);
  clearGlEntryPoints();
}

TEST(MeshCapacityDeathTest, OverflowEndsTheProgramWithAMessage) {
  // Subdivision needs room for the edge points as well as the four-way split.
  EXPECT_EXIT(
      {
        Mesh mesh(25, 48);
        mesh.makeCube();
        mesh.subdivide();
      },
      testing::ExitedWithCode(1), "subdivide needs 26 vertices and 48 triangles");
  EXPECT_EXIT(
      {
        Mesh mesh(20, 20);
        mesh.makeCube();
        mesh.extrudeTriangle(12, nullptr, 1.0f);
      },
      testing::ExitedWithCode(1), "extrudeTriangle of triangle 12; the mesh has 12");
}

}  // namespace
