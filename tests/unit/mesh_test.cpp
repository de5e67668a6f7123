// Meshes: the generators' exact output, Loop subdivision's numbering and weights checked
// against an independent edge map, invariants of closed meshes, extrusion, the upload
// decision (through fake GL entry points) and the capacity checks.
#include "render/matrix.h"
#include "render/mesh.h"
#include "shell/gl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
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

void expectNear(Vec3 actual, Vec3 expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
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

// Neighbour sets straight from the triangle list.
std::vector<std::set<uint32_t>> neighbourSets(const Mesh& mesh) {
  std::vector<std::set<uint32_t>> out(mesh.vertexCount);
  for (uint32_t t = 0; t < mesh.triangleCount; ++t)
    for (int k = 0; k < 3; ++k) {
      uint32_t a = mesh.indices[3 * t + k], b = mesh.indices[3 * t + (k + 1) % 3];
      out[a].insert(b);
      out[b].insert(a);
    }
  return out;
}

// Loop subdivision written the slow, obvious way with an ordered map, to check the real one.
struct ReferenceSubdivision {
  std::vector<Vec3> positions;
  std::vector<uint32_t> edgePoint;  // per (triangle, edge)
};

ReferenceSubdivision referenceSubdivide(const Mesh& mesh) {
  const uint32_t n = mesh.vertexCount, m = mesh.triangleCount;
  ReferenceSubdivision out;
  out.edgePoint.assign(3 * m, 0);
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> open;  // key -> first half-edge
  std::vector<Vec3> edgePositions;
  uint32_t next = n;
  auto corner = [&](uint32_t t, uint32_t k) { return mesh.indices[3 * t + k % 3]; };
  for (uint32_t t = 0; t < m; ++t) {
    for (uint32_t k = 0; k < 3; ++k) {
      uint32_t a = corner(t, k), b = corner(t, k + 1);
      std::pair<uint32_t, uint32_t> key{std::min(a, b), std::max(a, b)};
      auto found = open.find(key);
      if (found == open.end()) {
        open[key] = 3 * t + k;
        continue;
      }
      uint32_t t2 = found->second / 3;
      uint32_t opposite2 = 0;
      for (uint32_t c = 0; c < 3; ++c)
        if (corner(t2, c) == a) opposite2 = corner(t2, c + 1);
      edgePositions.push_back((mesh.position(a) + mesh.position(b)) * 0.375f +
                              (mesh.position(corner(t, k + 2)) + mesh.position(opposite2)) * 0.125f);
      out.edgePoint[3 * t + k] = out.edgePoint[found->second] = next++;
      open.erase(found);
    }
  }
  for (const auto& [key, halfEdge] : open) {
    edgePositions.push_back((mesh.position(key.first) + mesh.position(key.second)) * 0.5f);
    out.edgePoint[halfEdge] = next++;
  }
  std::vector<std::set<uint32_t>> neighbours = neighbourSets(mesh);
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t count = static_cast<uint32_t>(neighbours[i].size());
    float beta = count == 6 ? 1.0f / 16 : count == 3 ? 3.0f / 16 : 3.0f / (8.0f * count);
    Vec3 sum;
    for (uint32_t j : neighbours[i]) sum = sum + mesh.position(j);
    out.positions.push_back(mesh.position(i) * (1.0f - count * beta) + sum * beta);
  }
  out.positions.insert(out.positions.end(), edgePositions.begin(), edgePositions.end());
  return out;
}

// Subdivides and checks numbering, positions and the four-way split against the reference.
void expectSubdivisionMatchesReference(Mesh& mesh) {
  ReferenceSubdivision expected = referenceSubdivide(mesh);
  std::vector<Triangle> before = triangles(mesh);
  mesh.subdivide();
  ASSERT_EQ(mesh.triangleCount, 4 * before.size());
  ASSERT_EQ(mesh.vertexCount, expected.positions.size());
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) expectNear(mesh.position(i), expected.positions[i], 1e-4f);
  for (uint32_t t = 0; t < before.size(); ++t) {
    const uint32_t* e = &expected.edgePoint[3 * t];
    const Triangle& a = before[t];
    EXPECT_EQ(triangles(mesh)[4 * t], (Triangle{e[0], e[1], e[2]}));
    EXPECT_EQ(triangles(mesh)[4 * t + 1], (Triangle{a[0], e[0], e[2]}));
    EXPECT_EQ(triangles(mesh)[4 * t + 2], (Triangle{a[1], e[1], e[0]}));
    EXPECT_EQ(triangles(mesh)[4 * t + 3], (Triangle{a[2], e[2], e[1]}));
  }
}

TEST(MeshGrid, OneByOneIsASingleVertex) {
  Mesh mesh(16, 16);
  mesh.makeGrid(1, 1);
  ASSERT_EQ(mesh.vertexCount, 1u);
  EXPECT_EQ(mesh.triangleCount, 0u);
  expectNear(mesh.position(0), Vec3(-0.6f, 0, -0.6f));
  EXPECT_TRUE(mesh.dirty);
}

TEST(MeshGrid, TwoByTwoAndCheckerboardDiagonals) {
  Mesh mesh(16, 16);
  mesh.makeGrid(2, 2);
  ASSERT_EQ(mesh.vertexCount, 4u);
  expectNear(mesh.position(0), Vec3(-1.2f, 0, -1.2f));
  expectNear(mesh.position(1), Vec3(0, 0, -1.2f));
  expectNear(mesh.position(2), Vec3(-1.2f, 0, 0));
  expectNear(mesh.position(3), Vec3(0, 0, 0));
  EXPECT_EQ(triangles(mesh), (std::vector<Triangle>{{0, 2, 3}, {0, 3, 1}}));

  // The odd cell (row 0, column 1) takes the other diagonal; every triangle faces +y.
  mesh.makeGrid(3, 2);
  EXPECT_EQ(triangles(mesh), (std::vector<Triangle>{{0, 3, 4}, {0, 4, 1}, {1, 4, 2}, {2, 4, 5}}));
  for (uint32_t t = 0; t < mesh.triangleCount; ++t) EXPECT_GT(faceNormal(mesh, t).y, 0.0f);

  // The terrain's grid: 32 x 32 vertices, 2 * 31 * 31 triangles, spacing 1.2.
  Mesh terrain(2000, 4000);
  terrain.makeGrid(32, 32);
  EXPECT_EQ(terrain.vertexCount, 1024u);
  EXPECT_EQ(terrain.triangleCount, 1922u);
  expectNear(terrain.position(1023), Vec3(15 * 1.2f, 0, 15 * 1.2f));
}

TEST(MeshCube, FaceOrderAndOutwardWinding) {
  Mesh mesh(8, 12);
  mesh.makeCube();
  EXPECT_EQ(triangles(mesh), (std::vector<Triangle>{{2, 0, 4}, {4, 6, 2}, {3, 7, 5}, {5, 1, 3}, {4, 0, 1},
                                                    {1, 5, 4}, {6, 7, 3}, {3, 2, 6}, {1, 0, 2}, {2, 3, 1},
                                                    {5, 7, 6}, {6, 4, 5}}));
  expectNear(mesh.position(0), Vec3(-1, -1, -1));
  expectNear(mesh.position(5), Vec3(1, -1, 1));
  for (uint32_t t = 0; t < 12; ++t) EXPECT_GT(dot(faceNormal(mesh, t), centroid(mesh, t)), 0.0f);
  expectClosedAndOriented(mesh);

  // The caller-array form writes the same cube.
  float positions[24];
  uint32_t indices[36];
  uint32_t vertexCount = 99, triangleCount = 99;
  Mesh::makeCube(positions, indices, vertexCount, triangleCount);
  EXPECT_EQ(vertexCount, 8u);
  EXPECT_EQ(triangleCount, 12u);
  for (int i = 0; i < 36; ++i) EXPECT_EQ(indices[i], mesh.indices[i]);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(positions[i], mesh.positions[i]);
}

TEST(MeshCube, CenteredCubeFansAroundFaceCentres) {
  Mesh mesh(14, 24);
  mesh.makeCenteredCube();
  ASSERT_EQ(mesh.vertexCount, 14u);
  ASSERT_EQ(mesh.triangleCount, 24u);
  std::vector<Triangle> all = triangles(mesh);
  EXPECT_EQ(std::vector<Triangle>(all.begin(), all.begin() + 8),
            (std::vector<Triangle>{{2, 0, 8}, {0, 4, 8}, {4, 6, 8}, {6, 2, 8}, {9, 3, 7}, {9, 7, 5}, {9, 5, 1},
                                   {9, 1, 3}}));
  const Vec3 centres[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
  for (int f = 0; f < 6; ++f) expectNear(mesh.position(8 + f), centres[f]);
  for (uint32_t t = 0; t < 24; ++t) EXPECT_GT(dot(faceNormal(mesh, t), centroid(mesh, t)), 0.0f);
  expectClosedAndOriented(mesh);
}

TEST(MeshSubdivide, MatchesTheOrderedEdgeMapRule) {
  Mesh cube(200, 800);
  cube.makeCube();
  expectSubdivisionMatchesReference(cube);
  // Worked by hand: corner 0 has three neighbours, so 7/16 of itself and 3/16 of each.
  expectNear(cube.position(0), Vec3(-0.625f, -0.625f, -0.625f));
  expectSubdivisionMatchesReference(cube);  // valences 4, 5, 6 and 3 on the second step

  // An open mesh: a grid with a raised triangle has boundary edges and walls.
  Mesh grid(400, 800);
  grid.makeGrid(4, 3);
  const float up[3] = {0, 1, 0};
  grid.extrudeTriangle(3, up, 1.0f);
  expectSubdivisionMatchesReference(grid);
}

TEST(MeshSubdivide, SingleTriangleBoundaryNumbering) {
  Mesh mesh(16, 16);
  const Vec3 p[3] = {{0, 0, 0}, {4, 0, 0}, {1, 3, 2}};
  for (uint32_t i = 0; i < 3; ++i) {
    mesh.positions[3 * i] = p[i].x;
    mesh.positions[3 * i + 1] = p[i].y;
    mesh.positions[3 * i + 2] = p[i].z;
  }
  mesh.indices[0] = 0;
  mesh.indices[1] = 1;
  mesh.indices[2] = 2;
  mesh.vertexCount = 3;
  mesh.triangleCount = 1;
  mesh.subdivide();
  ASSERT_EQ(mesh.vertexCount, 6u);
  // Boundary points in key order (0,1), (0,2), (1,2) become 3, 4, 5, at the edge midpoints.
  expectNear(mesh.position(3), (p[0] + p[1]) * 0.5f);
  expectNear(mesh.position(4), (p[0] + p[2]) * 0.5f);
  expectNear(mesh.position(5), (p[1] + p[2]) * 0.5f);
  // Edges 0-1 -> 3, 1-2 -> 5, 2-0 -> 4.
  EXPECT_EQ(triangles(mesh), (std::vector<Triangle>{{3, 5, 4}, {0, 3, 4}, {1, 5, 3}, {2, 4, 5}}));
  // Two neighbours each: 5/8 of itself and 3/16 of each neighbour.
  expectNear(mesh.position(0), p[0] * 0.625f + (p[1] + p[2]) * 0.1875f);
  expectNear(mesh.position(1), p[1] * 0.625f + (p[0] + p[2]) * 0.1875f);
  expectNear(mesh.position(2), p[2] * 0.625f + (p[0] + p[1]) * 0.1875f);
}

TEST(MeshSubdivide, ClosedMeshInvariantsAfterExtrusions) {
  Mesh mesh(2000, 4000);
  mesh.makeCube();
  mesh.extrudeTriangle(0, nullptr, 0.8f);
  const float slant[3] = {0.2f, 1.0f, 0.1f};
  mesh.extrudeTriangle(7, slant, 0.5f);
  expectClosedAndOriented(mesh);
  mesh.subdivide();
  mesh.subdivide();
  EXPECT_EQ(mesh.triangleCount, 16u * 36u);
  expectClosedAndOriented(mesh);
  mesh.computeNormals();
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) EXPECT_NEAR(length(mesh.normal(i)), 1.0f, 1e-5f);
}

TEST(MeshExtrude, DistanceZeroAddsDegenerateWalls) {
  Mesh mesh(64, 64);
  mesh.makeCube();
  Vec3 corners[3] = {mesh.position(2), mesh.position(0), mesh.position(4)};
  mesh.extrudeTriangle(0, nullptr, 0.0f);
  EXPECT_EQ(mesh.vertexCount, 14u);
  EXPECT_EQ(mesh.triangleCount, 24u);
  EXPECT_EQ(triangles(mesh)[0], (Triangle{8, 9, 10}));
  for (int k = 0; k < 3; ++k) expectNear(mesh.position(8 + k), corners[k]);
  float areas[24];
  mesh.triangleAreas(areas);
  for (int t = 12; t < 24; ++t) EXPECT_EQ(areas[t], 0.0f);
  // Degenerate walls do not spoil the normals of the vertices they touch.
  mesh.computeNormals();
  for (uint32_t i = 0; i < 8; ++i) EXPECT_NEAR(length(mesh.normal(i)), 1.0f, 1e-5f);
}

TEST(MeshExtrude, WallsAndMovedFace) {
  Mesh mesh(64, 64);
  mesh.makeGrid(2, 2);
  const float up[3] = {0, 1, 0};
  mesh.extrudeTriangle(1, up, 2.0f);  // (0, 3, 1)
  EXPECT_EQ(triangles(mesh)[1], (Triangle{4, 5, 6}));
  expectNear(mesh.position(5), mesh.position(3) + Vec3(0, 2, 0));
  // Wall of edge (0, 3): its centre and four triangles around it.
  expectNear(mesh.position(7), (mesh.position(0) * 2 + mesh.position(3) * 2 + Vec3(0, 4, 0)) * 0.25f);
  std::vector<Triangle> all = triangles(mesh);
  EXPECT_EQ(all[2], (Triangle{0, 3, 7}));
  EXPECT_EQ(all[3], (Triangle{3, 5, 7}));
  EXPECT_EQ(all[4], (Triangle{5, 4, 7}));
  EXPECT_EQ(all[5], (Triangle{4, 0, 7}));
  // Without a direction the unit normal (+y for the grid) is used.
  mesh.extrudeTriangle(0, nullptr, 0.5f);
  expectNear(mesh.position(10), Vec3(-1.2f, 0.5f, -1.2f));
}

TEST(MeshEdit, TransformsMergeFlipSampleAndWobble) {
  Mesh cube(8, 12);
  cube.makeCube();
  Mesh merged(64, 64);
  merged.makeCube();
  Mat4 m = translationMatrix(10, 0, 0) * scaleMatrix(0.5f, 0.5f, 0.5f);
  merged.appendTransformed(cube, m.m);
  EXPECT_EQ(merged.vertexCount, 16u);
  EXPECT_EQ(merged.triangleCount, 24u);
  expectNear(merged.position(8), Vec3(9.5f, -0.5f, -0.5f));
  EXPECT_EQ(triangles(merged)[12], (Triangle{10, 8, 12}));

  // The perspective divide: w = 2 halves every coordinate.
  Mat4 halve = identityMatrix();
  halve.m[15] = 2.0f;
  cube.transform(halve.m);
  expectNear(cube.position(7), Vec3(0.5f, 0.5f, 0.5f));

  cube.flipWinding();
  EXPECT_EQ(triangles(cube)[0], (Triangle{4, 0, 2}));

  Mesh tri(8, 8);
  tri.makeGrid(2, 2);
  tri.triangleCount = 1;
  Vec3 p0 = tri.position(0), p1 = tri.position(2), p2 = tri.position(3);
  expectNear(tri.samplePoint(0, 0.75f, 0.75f), p0 * 0.25f + p1 * 0.25f + p2 * 0.5f);
  expectNear(tri.samplePoint(0, 0.2f, 0.3f), p0 * 0.2f + p1 * 0.3f + p2 * 0.5f);

  tri.wobble();
  EXPECT_FLOAT_EQ(tri.position(0).y, 0.05f);
  EXPECT_FLOAT_EQ(tri.position(2).y, std::cos(2.0f) * 0.05f);
}

TEST(MeshEdit, CancellingFacesStillGiveUnitNormals) {
  // Two faces folded onto each other cancel exactly; the vertices take the first face's normal.
  Mesh mesh(4, 4);
  mesh.makeGrid(2, 2);
  mesh.indices[3] = 0;
  mesh.indices[4] = 3;
  mesh.indices[5] = 2;  // (0, 2, 3) and (0, 3, 2)
  mesh.computeNormals();
  for (uint32_t i : {0u, 2u, 3u}) expectNear(mesh.normal(i), Vec3(0, 1, 0));
  expectNear(mesh.normal(1), Vec3(0, 0, 0));  // on no triangle at all
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
    for (uint32_t k = 0; k < 3; ++k) expectNear(mesh.normal(3 * t + k), n);
  }
  float areas[12];
  mesh.triangleAreas(areas);
  for (float a : areas) EXPECT_FLOAT_EQ(a, 2.0f);
}

// Fake buffer entry points: they record what the upload sends.
struct BufferLog {
  int generated = 0;
  int binds = 0;
  long long bytesSent = 0;
  int deleted = 0;
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
  clearGlEntryPoints();
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
    EXPECT_FALSE(mesh.dirty);
    EXPECT_NE(mesh.vertexBuffer, 0u);

    long long sent = bufferLog.bytesSent;
    int binds = bufferLog.binds;
    mesh.upload();
    EXPECT_EQ(bufferLog.bytesSent, sent);    // unchanged: nothing re-sent
    EXPECT_EQ(bufferLog.binds, binds + 2);   // but both buffers bound for the draw
    EXPECT_EQ(bufferLog.generated, 2);

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
  EXPECT_EXIT(
      {
        Mesh mesh(10, 10);
        mesh.makeGrid(4, 4);
      },
      testing::ExitedWithCode(1), "makeGrid needs 16 vertices and 18 triangles; capacity 10 and 10");
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
