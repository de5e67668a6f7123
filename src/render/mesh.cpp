// The mesh generators and editors, Loop subdivision and the buffer upload.
#include "render/mesh.h"

#include "render/matrix.h"

#include "base/gl.h"
#include "base/log.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

// ---- Faults ----

namespace {

constexpr int kMeshFaultBytes = 256;     // one fault message

// Writes a mesh fault to the log (which also echoes it to the terminal) and ends the program.
[[noreturn]] void meshFault(const char* format, ...) __attribute__((format(printf, 1, 2)));
void meshFault(const char* format, ...) {
  char text[kMeshFaultBytes];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  logMessage("%s", text);
  std::exit(1);
}

}  // namespace

// ---- Construction, capacity and upload ----

Mesh::Mesh(uint32_t vertexCapacity_, uint32_t triangleCapacity_)
    : positions(new float[kFloatsPerVertex * static_cast<size_t>(vertexCapacity_)]()),
      normals(new float[kFloatsPerVertex * static_cast<size_t>(vertexCapacity_)]()),
      indices(new uint32_t[3 * static_cast<size_t>(triangleCapacity_)]()),
      vertexCount(0),
      triangleCount(0),
      vertexBuffer(0),
      indexBuffer(0),
      dirty(false),
      vertexCapacity(vertexCapacity_),
      triangleCapacity(triangleCapacity_) {}

Mesh::~Mesh() {
  releaseBuffers();
  delete[] positions;
  delete[] normals;
  delete[] indices;
  positions = normals = nullptr;
  indices = nullptr;
}

void Mesh::requireCapacity(uint64_t vertices, uint64_t triangles, const char* operation) const {
  if (vertices <= vertexCapacity && triangles <= triangleCapacity) return;
  // Writing on would corrupt memory; stop with the figures that tell which mesh overflowed.
  meshFault("Mesh %s needs %llu vertices and %llu triangles; capacity %u and %u.\n", operation,
            static_cast<unsigned long long>(vertices), static_cast<unsigned long long>(triangles), vertexCapacity,
            triangleCapacity);
}

void Mesh::setPosition(uint32_t i, Vec3 p) {
  positions[3 * i] = p.x;
  positions[3 * i + 1] = p.y;
  positions[3 * i + 2] = p.z;
}

void Mesh::setTriangle(uint32_t t, uint32_t a, uint32_t b, uint32_t c) {
  indices[3 * t] = a;
  indices[3 * t + 1] = b;
  indices[3 * t + 2] = c;
}

void Mesh::releaseBuffers() {
  if (vertexBuffer || indexBuffer) dirty = true;  // the arrays still hold what was sent
  deleteGlNames(glDeleteBuffers, &vertexBuffer, 1);
  deleteGlNames(glDeleteBuffers, &indexBuffer, 1);
}

void Mesh::upload() {
  if (!vertexBuffer) glGenBuffers(1, &vertexBuffer);
  if (!indexBuffer) glGenBuffers(1, &indexBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  if (!dirty) return;
  dirty = false;
  auto vertexBytes = static_cast<GLsizeiptr>(kVertexStrideBytes) * vertexCount;
  auto indexBytes = static_cast<GLsizeiptr>(kTriangleIndexBytes) * triangleCount;
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, indexBytes, indices, GL_STATIC_DRAW);
  glBufferData(GL_ARRAY_BUFFER, 2 * vertexBytes, nullptr, GL_STATIC_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, vertexBytes, positions);
  glBufferSubData(GL_ARRAY_BUFFER, vertexBytes, vertexBytes, normals);
}

// ---- Generators ----

namespace {

// The corner of a cube, numbered by the bits x = 0, y = 1, z = 2 (set = +1).
Vec3 cubeCorner(uint32_t v) {
  return {(v & 1) ? 1.0f : -1.0f, (v & 2) ? 1.0f : -1.0f, (v & 4) ? 1.0f : -1.0f};
}

// Writes the 8 corners and 12 triangles of the cube into flat arrays.
void writeCube(float* positions, uint32_t* indices) {
  for (uint32_t v = 0; v < kCubeVertexCount; ++v) {
    Vec3 p = cubeCorner(v);
    positions[3 * v] = p.x;
    positions[3 * v + 1] = p.y;
    positions[3 * v + 2] = p.z;
  }
  uint32_t* out = indices;
  for (uint32_t axis = 0; axis < 3; ++axis) {
    for (uint32_t side = 0; side < 2; ++side) {
      uint32_t d = side << axis, u = 1u << ((axis + 1) % 3), w = 1u << ((axis + 2) % 3);
      uint32_t face[6] = {d + u, d, d + w, d + w, d + u + w, d + u};
      if (side == 1) std::reverse(face, face + 6);
      out = std::copy(face, face + 6, out);
    }
  }
}

}  // namespace

void Mesh::makeCube() {
  requireCapacity(kCubeVertexCount, kCubeTriangleCount, "makeCube");
  makeCube(positions, indices, vertexCount, triangleCount);
  dirty = true;
}

void Mesh::makeCube(float* positions_, uint32_t* indices_, uint32_t& vertexCount_, uint32_t& triangleCount_) {
  vertexCount_ = 0;
  triangleCount_ = 0;
  writeCube(positions_, indices_);
  vertexCount_ = kCubeVertexCount;
  triangleCount_ = kCubeTriangleCount;
}

void Mesh::makeCenteredCube() {
  requireCapacity(kCenteredCubeVertexCount, kCenteredCubeTriangleCount, "makeCenteredCube");
  vertexCount = 0;
  triangleCount = 0;
  for (uint32_t v = 0; v < kCubeVertexCount; ++v) setPosition(vertexCount++, cubeCorner(v));
  for (uint32_t axis = 0; axis < 3; ++axis) {
    for (uint32_t side = 0; side < 2; ++side) {
      float centre[3] = {0.0f, 0.0f, 0.0f};
      centre[axis] = side ? 1.0f : -1.0f;
      uint32_t f = vertexCount++;
      setPosition(f, {centre[0], centre[1], centre[2]});
      uint32_t d = side << axis, u = 1u << ((axis + 1) % 3), w = 1u << ((axis + 2) % 3);
      uint32_t face[12] = {d + u, d, f, d, d + w, f, d + w, d + u + w, f, d + u + w, d + u, f};
      if (side == 1) std::reverse(face, face + 12);
      for (int k = 0; k < 12; k += 3) setTriangle(triangleCount++, face[k], face[k + 1], face[k + 2]);
    }
  }
  dirty = true;
}

void Mesh::makeGrid(uint32_t columns, uint32_t rows) {
  uint64_t cells = (columns > 0 && rows > 0) ? uint64_t(columns - 1) * (rows - 1) : 0;
  requireCapacity(uint64_t(columns) * rows, 2 * cells, "makeGrid");
  vertexCount = 0;
  triangleCount = 0;
  for (uint32_t i = 0; i < rows; ++i) {
    for (uint32_t j = 0; j < columns; ++j) {
      float x = (static_cast<float>(j) - static_cast<float>(columns) * 0.5f) * kGridSpacing;
      float z = (static_cast<float>(i) - static_cast<float>(rows) * 0.5f) * kGridSpacing;
      setPosition(vertexCount++, {x, 0.0f, z});
      if (i + 1 >= rows || j + 1 >= columns) continue;
      uint32_t p = i * columns + j, q = (i + 1) * columns + j;
      // Alternating diagonals keep the grid free of a preferred direction.
      if ((i ^ j) & 1) {
        setTriangle(triangleCount++, p, q, p + 1);
        setTriangle(triangleCount++, p + 1, q, q + 1);
      } else {
        setTriangle(triangleCount++, p, q, q + 1);
        setTriangle(triangleCount++, p, q + 1, p + 1);
      }
    }
  }
  dirty = true;
}

// ---- Editors ----

void Mesh::flipWinding() {
  for (uint32_t t = 0; t < triangleCount; ++t) std::swap(indices[3 * t], indices[3 * t + 2]);
  dirty = true;
}

void Mesh::transform(const float matrix[kMatrixElements]) {
  for (uint32_t i = 0; i < vertexCount; ++i) setPosition(i, transformPoint(matrix, position(i)));
  dirty = true;
}

void Mesh::appendTransformed(const Mesh& other, const float matrix[kMatrixElements]) {
  requireCapacity(uint64_t(vertexCount) + other.vertexCount, uint64_t(triangleCount) + other.triangleCount,
                  "appendTransformed");
  uint32_t base = vertexCount;
  for (uint32_t i = 0; i < other.vertexCount; ++i)
    setPosition(vertexCount++, transformPoint(matrix, other.position(i)));
  for (uint32_t t = 0; t < other.triangleCount; ++t) {
    const uint32_t* c = other.indices + 3 * t;
    setTriangle(triangleCount++, c[0] + base, c[1] + base, c[2] + base);
  }
  dirty = true;
}

void Mesh::extrudeTriangle(uint32_t t, const float* direction, float distance) {
  if (t >= triangleCount) meshFault("Mesh extrudeTriangle of triangle %u; the mesh has %u.\n", t, triangleCount);
  requireCapacity(uint64_t(vertexCount) + kExtrudeAddedVertices, uint64_t(triangleCount) + kExtrudeAddedTriangles,
                  "extrudeTriangle");
  uint32_t i[3] = {indices[3 * t], indices[3 * t + 1], indices[3 * t + 2]};
  Vec3 p[3] = {position(i[0]), position(i[1]), position(i[2])};
  Vec3 d = direction ? Vec3(direction[0], direction[1], direction[2]) : normalize(cross(p[1] - p[0], p[2] - p[0]));
  uint32_t q[3];
  Vec3 moved[3];
  for (int k = 0; k < 3; ++k) {
    moved[k] = p[k] + d * distance;
    q[k] = vertexCount++;
    setPosition(q[k], moved[k]);
  }
  setTriangle(t, q[0], q[1], q[2]);
  for (int k = 1; k <= 3; ++k) {
    int a = k - 1, b = k % 3;
    uint32_t m = vertexCount++;
    setPosition(m, (p[a] + moved[a] + moved[b] + p[b]) * 0.25f);
    setTriangle(triangleCount++, i[a], i[b], m);
    setTriangle(triangleCount++, i[b], q[b], m);
    setTriangle(triangleCount++, q[b], q[a], m);
    setTriangle(triangleCount++, q[a], i[a], m);
  }
  dirty = true;
}

void Mesh::unshareVertices() {
  requireCapacity(3ull * triangleCount, triangleCount, "unshareVertices");
  std::vector<float> old(positions, positions + kFloatsPerVertex * static_cast<size_t>(vertexCount));
  vertexCount = 0;
  for (uint32_t t = 0; t < triangleCount; ++t) {
    for (int k = 0; k < 3; ++k) {
      const float* p = old.data() + kFloatsPerVertex * static_cast<size_t>(indices[3 * t + k]);
      setPosition(vertexCount, {p[0], p[1], p[2]});
      indices[3 * t + k] = vertexCount++;
    }
  }
  dirty = true;
}

void Mesh::wobble() {
  for (uint32_t i = 0; i < vertexCount; ++i) positions[3 * i + 1] += std::cos(static_cast<float>(i)) * 0.05f;
  dirty = true;
}

// ---- Normals, areas and sampling ----

void Mesh::computeNormals() {
  std::fill(normals, normals + kFloatsPerVertex * static_cast<size_t>(vertexCount), 0.0f);
  for (uint32_t t = 0; t < triangleCount; ++t) {
    const uint32_t* c = indices + 3 * t;
    Vec3 p0 = position(c[0]);
    Vec3 n = cross(position(c[1]) - p0, position(c[2]) - p0);
    float len = length(n);
    // A degenerate triangle has no direction to give; skipping it keeps NaNs out.
    if (!(len > 0.0f)) continue;
    n = n * (1.0f / len);
    for (int k = 0; k < 3; ++k) {
      float* out = normals + 3 * c[k];
      out[0] += n.x;
      out[1] += n.y;
      out[2] += n.z;
    }
  }
  bool cancelled = false;
  for (uint32_t i = 0; i < vertexCount; ++i) {
    Vec3 n = normal(i);
    float len = length(n);
    if (!(len > 0.0f)) {
      cancelled = true;
      continue;
    }
    n = n * (1.0f / len);
    normals[3 * i] = n.x;
    normals[3 * i + 1] = n.y;
    normals[3 * i + 2] = n.z;
  }
  // Faces folded onto each other (a thin wall after a wobble) can cancel exactly; such a
  // vertex takes the normal of its first proper triangle rather than none at all. A vertex
  // on degenerate triangles only keeps a zero normal.
  for (uint32_t t = 0; cancelled && t < triangleCount; ++t) {
    const uint32_t* c = indices + 3 * t;
    Vec3 p0 = position(c[0]);
    Vec3 n = cross(position(c[1]) - p0, position(c[2]) - p0);
    float len = length(n);
    if (!(len > 0.0f)) continue;
    for (int k = 0; k < 3; ++k) {
      float* out = normals + 3 * c[k];
      if (out[0] != 0.0f || out[1] != 0.0f || out[2] != 0.0f) continue;
      out[0] = n.x / len;
      out[1] = n.y / len;
      out[2] = n.z / len;
    }
  }
  dirty = true;
}

void Mesh::triangleAreas(float* out) const {
  for (uint32_t t = 0; t < triangleCount; ++t) {
    const uint32_t* c = indices + 3 * t;
    Vec3 p0 = position(c[0]);
    out[t] = 0.5f * length(cross(position(c[1]) - p0, position(c[2]) - p0));
  }
}

Vec3 Mesh::samplePoint(uint32_t t, float a, float b) const {
  if (a + b > 1.0f) {
    a = 1.0f - a;
    b = 1.0f - b;
  }
  const uint32_t* c = indices + 3 * t;
  return position(c[0]) * a + position(c[1]) * b + position(c[2]) * (1.0f - a - b);
}

// ---- Loop subdivision ----

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;  // no triangle, no partner, no edge point yet

// Warren's weight for a vertex with n neighbours.
float loopBeta(uint32_t n) {
  if (n == 6) return 1.0f / 16.0f;
  if (n == 3) return 3.0f / 16.0f;
  return 3.0f / (8.0f * static_cast<float>(n));
}

// The working state of one Loop step, its stages in the order subdivide runs them. Half-edge h
// is edge h % 3 of triangle h / 3, running from corner h % 3 to the next corner.
class LoopStep {
 public:
  Mesh& mesh;
  const uint32_t n;                   // vertices on entry
  const uint32_t m;                   // triangles on entry
  const uint32_t halfEdges;           // three per triangle
  std::vector<uint32_t> grouped;      // half-edges by lower end point, triangle order inside a group
  std::vector<uint32_t> groupStart;   // n + 1 entries: group v is grouped[groupStart[v]] up to groupStart[v + 1]
  std::vector<uint32_t> partner;      // the half-edge across the same edge; kNone on an open edge
  std::vector<uint32_t> edgePoint;    // the new vertex on each half-edge
  std::vector<float> old;             // the positions on entry
  uint32_t next;                      // the next new vertex number

  // Takes the counts on entry; the stages fill the tables.
  explicit LoopStep(Mesh& mesh_)
      : mesh(mesh_), n(mesh_.vertexCount), m(mesh_.triangleCount), halfEdges(3 * m), next(n) {}

  // Start vertex of half-edge h.
  uint32_t from(uint32_t h) const { return mesh.indices[h]; }
  // End vertex of half-edge h.
  uint32_t to(uint32_t h) const { return mesh.indices[h - h % 3 + (h + 1) % 3]; }
  // The lower end point of h's edge, which names its group.
  uint32_t lower(uint32_t h) const { return std::min(from(h), to(h)); }
  // The higher end point of h's edge.
  uint32_t higher(uint32_t h) const { return std::max(from(h), to(h)); }
  // Position of vertex i on entry.
  Vec3 oldPosition(uint32_t i) const { return Vec3(old[3 * i], old[3 * i + 1], old[3 * i + 2]); }

  // The corner of triangle t that holds vertex i, or kNone.
  uint32_t cornerOf(uint32_t t, uint32_t i) const {
    for (uint32_t c = 0; c < 3; ++c)
      if (mesh.indices[3 * t + c] == i) return c;
    return kNone;
  }

  // Groups the half-edges by their lower end point, keeping triangle order inside a group.
  void groupByLowerEnd() {
    groupStart.assign(n + 1, 0);
    for (uint32_t h = 0; h < halfEdges; ++h) ++groupStart[lower(h) + 1];
    for (uint32_t v = 0; v < n; ++v) groupStart[v + 1] += groupStart[v];
    grouped.resize(halfEdges);
    std::vector<uint32_t> cursor(groupStart.begin(), groupStart.end() - 1);
    for (uint32_t h = 0; h < halfEdges; ++h) grouped[cursor[lower(h)]++] = h;
  }

  // Pairs the half-edges of each edge. Inside the groups this behaves like an ordered map of
  // edge keys walked in triangle order: the first and second use of a key pair up, a third
  // starts over.
  void pairHalfEdges() {
    groupByLowerEnd();
    partner.assign(halfEdges, kNone);
    for (uint32_t v = 0; v < n; ++v) {
      for (uint32_t a = groupStart[v]; a < groupStart[v + 1]; ++a) {
        uint32_t h = grouped[a];
        if (partner[h] != kNone) continue;
        uint32_t high = higher(h);
        for (uint32_t b = a + 1; b < groupStart[v + 1]; ++b) {
          uint32_t g = grouped[b];
          if (partner[g] == kNone && higher(g) == high) {
            partner[h] = g;
            partner[g] = h;
            break;
          }
        }
      }
    }
  }

  // Numbers the edge points: shared edges in the order their second triangle comes, then open
  // edges in ascending (lower, higher) end-point order.
  void numberEdgePoints() {
    edgePoint.assign(halfEdges, kNone);
    for (uint32_t h = 0; h < halfEdges; ++h)
      if (partner[h] != kNone && partner[h] < h) edgePoint[h] = edgePoint[partner[h]] = next++;
    std::vector<uint32_t> open;
    for (uint32_t v = 0; v < n; ++v) {
      open.clear();
      for (uint32_t a = groupStart[v]; a < groupStart[v + 1]; ++a)
        if (partner[grouped[a]] == kNone) open.push_back(grouped[a]);
      std::sort(open.begin(), open.end(), [&](uint32_t x, uint32_t y) { return higher(x) < higher(y); });
      for (uint32_t h : open) edgePoint[h] = next++;
    }
  }

  // Keeps the entry positions: the new ones are written over them.
  void keepOldPositions() {
    old.assign(mesh.positions, mesh.positions + kFloatsPerVertex * static_cast<size_t>(n));
  }

  // The position of a shared edge's point, h being its first use: 3/8 of its end points and 1/8
  // of the two opposite vertices. The formula names the second triangle t and the first t2.
  Vec3 sharedEdgePoint(uint32_t h) const {
    const uint32_t* indices = mesh.indices;
    uint32_t second = partner[h], t = second / 3, k = second % 3, t2 = h / 3;
    uint32_t a = indices[3 * t + k], b = indices[3 * t + (k + 1) % 3];
    uint32_t oppositeT = indices[3 * t + (k + 2) % 3];
    uint32_t oppositeT2 = a;
    for (uint32_t c = 0; c < 3; ++c)
      if (indices[3 * t2 + c] == a) oppositeT2 = indices[3 * t2 + (c + 1) % 3];
    return (oldPosition(a) + oldPosition(b)) * 0.375f + (oldPosition(oppositeT) + oldPosition(oppositeT2)) * 0.125f;
  }

  // Places every edge point, once per edge: open edges at their midpoints.
  void placeEdgePoints() {
    for (uint32_t h = 0; h < halfEdges; ++h) {
      if (h > partner[h] && partner[h] != kNone) continue;  // placed from its first half-edge
      if (partner[h] == kNone)
        mesh.setPosition(edgePoint[h], (oldPosition(from(h)) + oldPosition(to(h))) * 0.5f);
      else
        mesh.setPosition(edgePoint[h], sharedEdgePoint(h));
    }
  }

  // Walks the fan of vertex i from triangle r0 across the edges that end at i, adding the
  // vertex before i in each triangle; true when the walk came back round to r0. The step
  // limit stops a walk that a non-manifold fan would send round in circles.
  bool walkEdgesEndingAt(uint32_t i, uint32_t r0, Vec3& sum, uint32_t& visits) const {
    for (uint32_t t = r0, steps = 0; steps <= m; ++steps) {
      uint32_t c = cornerOf(t, i);
      sum = sum + oldPosition(mesh.indices[3 * t + (c + 2) % 3]);
      ++visits;
      uint32_t across = partner[3 * t + (c + 2) % 3];
      if (across == kNone) return false;
      t = across / 3;
      if (t == r0) return true;
      if (cornerOf(t, i) == kNone) return false;
    }
    return false;
  }

  // Walks the other way from r0, across the edges that start at i, adding the vertex after i.
  void walkEdgesStartingAt(uint32_t i, uint32_t r0, Vec3& sum, uint32_t& visits) const {
    for (uint32_t t = r0, steps = 0; steps <= m; ++steps) {
      uint32_t c = cornerOf(t, i);
      sum = sum + oldPosition(mesh.indices[3 * t + (c + 1) % 3]);
      ++visits;
      uint32_t across = partner[3 * t + c];
      if (across == kNone) return;
      t = across / 3;
      if (cornerOf(t, i) == kNone) return;
    }
  }

  // Moves every old vertex towards its neighbours, gathered by walking its fan of triangles
  // from the last triangle that uses it; an open fan is walked both ways.
  void moveOldVertices() {
    std::vector<uint32_t> vertexTriangle(n, kNone);
    for (uint32_t h = 0; h < halfEdges; ++h) vertexTriangle[mesh.indices[h]] = h / 3;
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t r0 = vertexTriangle[i];
      if (r0 == kNone) continue;  // used by no triangle: nothing to average, it stays
      Vec3 sum;
      uint32_t visits = 0;
      if (!walkEdgesEndingAt(i, r0, sum, visits)) walkEdgesStartingAt(i, r0, sum, visits);
      float beta = loopBeta(visits);
      mesh.setPosition(i, oldPosition(i) * (1.0f - static_cast<float>(visits) * beta) + sum * beta);
    }
  }

  // Rewrites each triangle as its centre triangle and three corner triangles, same orientation.
  // Going backwards never overwrites a triangle that is still to be read.
  void splitTriangles() {
    const uint32_t* indices = mesh.indices;
    for (uint32_t t = m; t-- > 0;) {
      uint32_t a0 = indices[3 * t], a1 = indices[3 * t + 1], a2 = indices[3 * t + 2];
      uint32_t e0 = edgePoint[3 * t], e1 = edgePoint[3 * t + 1], e2 = edgePoint[3 * t + 2];
      mesh.setTriangle(4 * t, e0, e1, e2);
      mesh.setTriangle(4 * t + 1, a0, e0, e2);
      mesh.setTriangle(4 * t + 2, a1, e1, e0);
      mesh.setTriangle(4 * t + 3, a2, e2, e1);
    }
  }
};

}  // namespace

void Mesh::subdivide() {
  requireCapacity(vertexCount, 4ull * triangleCount, "subdivide");
  for (uint32_t h = 0; h < 3 * triangleCount; ++h)
    if (indices[h] >= vertexCount)
      meshFault("Mesh subdivide: triangle %u uses vertex %u of %u.\n", h / 3, indices[h], vertexCount);
  LoopStep step(*this);
  step.pairHalfEdges();
  step.numberEdgePoints();
  requireCapacity(step.next, 4ull * step.m, "subdivide");
  step.keepOldPositions();
  step.placeEdgePoints();
  step.moveOldVertices();
  step.splitTriangles();
  triangleCount = 4 * step.m;
  vertexCount = step.next;
  dirty = true;
}
