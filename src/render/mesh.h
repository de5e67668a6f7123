// Indexed triangle meshes in fixed-capacity arrays: cube and grid generators, editors
// (extrusion, Loop subdivision, transforms, merging, normals) and the upload into two
// OpenGL buffers. An edit that would overflow an array ends the program with a message.
#pragma once

#include "render/matrix.h"
#include "render/vec.h"

#include <cstdint>
#include <vector>

constexpr uint32_t kCubeVertexCount = 8;           // corners of makeCube
constexpr uint32_t kCubeTriangleCount = 12;        // two per face
constexpr uint32_t kCenteredCubeVertexCount = 14;  // corners and face centres of makeCenteredCube
constexpr uint32_t kCenteredCubeTriangleCount = 24;
constexpr uint32_t kExtrudeAddedVertices = 6;      // moved face and three wall centres
constexpr uint32_t kExtrudeAddedTriangles = 12;    // four per side wall
constexpr float kGridSpacing = 1.2f;               // distance between makeGrid's vertices

// Vertex buffer layout: every position and every normal is three tightly packed floats, so
// the normals start kVertexStrideBytes * vertexCount bytes in; scenes use this for attribute 2.
constexpr uint32_t kFloatsPerVertex = 3;                                   // x, y, z
constexpr uint32_t kVertexStrideBytes = kFloatsPerVertex * sizeof(float);  // 12
constexpr uint32_t kTriangleIndexBytes = 3 * sizeof(uint32_t);             // 12 per triangle in the index buffer

class Mesh {
 public:
  float* positions;           // x, y, z per vertex, vertexCapacity vertices
  float* normals;             // x, y, z per vertex, vertexCapacity vertices
  uint32_t* indices;          // three vertex numbers per triangle, counter-clockwise from the front
  uint32_t vertexCount;       // vertices in use
  uint32_t triangleCount;     // triangles in use
  uint32_t vertexBuffer;      // GL buffer: positions, then normals at kVertexStrideBytes * vertexCount; 0 before upload
  uint32_t indexBuffer;       // GL buffer: 3 uint32 per triangle; 0 before upload
  bool dirty;                 // arrays changed since the last upload
  uint32_t vertexCapacity;    // vertices positions and normals hold
  uint32_t triangleCapacity;  // triangles indices holds

  Mesh(uint32_t vertexCapacity, uint32_t triangleCapacity);
  ~Mesh();
  Mesh(const Mesh&) = delete;
  Mesh& operator=(const Mesh&) = delete;

  // Creates the GL buffers if needed and binds them (left bound); re-sends the arrays only when dirty.
  void upload();
  // Deletes the GL buffers and zeroes their names; the next upload creates and fills them again.
  void releaseBuffers();
  // Replaces the content with the 8-corner cube (corners at +-1, 12 outward triangles).
  void makeCube();
  // Writes that cube into caller arrays of at least 24 floats and 36 indices and sets the counts.
  static void makeCube(float* positions, uint32_t* indices, uint32_t& vertexCount, uint32_t& triangleCount);
  // Replaces the content with a cube whose faces are fans around their centres (14 vertices, 24 triangles).
  void makeCenteredCube();
  // Replaces the content with a columns x rows grid on y = 0, checkerboard diagonals, facing +y.
  void makeGrid(uint32_t columns, uint32_t rows);
  // Reverses every triangle.
  void flipWinding();
  // Transforms every position by a column-major matrix, with the perspective divide; normals stay.
  void transform(const float matrix[kMatrixElements]);
  // Appends other's vertices transformed by matrix and its triangles renumbered after ours.
  void appendTransformed(const Mesh& other, const float matrix[kMatrixElements]);
  // Moves triangle t by direction * distance (its unit normal when direction is null) and walls
  // the gap in: 6 vertices and 12 triangles more.
  void extrudeTriangle(uint32_t t, const float* direction, float distance);
  // Smooth normals: the normalised sum of the unit normals of the triangles around each vertex.
  void computeNormals();
  // Writes the area of every triangle into out (triangleCount entries).
  void triangleAreas(float* out) const;
  // Gives every triangle its own three vertices (for flat shading).
  void unshareVertices();
  // One step of Loop subdivision with Warren's weights: each triangle becomes four.
  void subdivide();
  // Offsets every vertex i vertically by cos(i) * 0.05.
  void wobble();
  // The point a * P0 + b * P1 + (1 - a - b) * P2 of triangle t, folded back when a + b > 1.
  Vec3 samplePoint(uint32_t t, float a, float b) const;

  // Position of vertex i.
  Vec3 position(uint32_t i) const { return {positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]}; }
  // Normal of vertex i.
  Vec3 normal(uint32_t i) const { return {normals[3 * i], normals[3 * i + 1], normals[3 * i + 2]}; }
  // Stores p as the position of vertex i (no capacity check: the editors check first).
  void setPosition(uint32_t i, Vec3 p);
  // Stores the corners of triangle t (no capacity check: the editors check first).
  void setTriangle(uint32_t t, uint32_t a, uint32_t b, uint32_t c);

 private:
  // Ends the program with a message unless the arrays hold the given counts.
  void requireCapacity(uint64_t vertices, uint64_t triangles, const char* operation) const;
};

// A run of a mesh's triangles and the smallest axis-aligned box around their corners.
struct MeshChunk {
  uint32_t firstTriangle = 0;
  uint32_t triangles = 0;
  uint32_t firstVertex = 0;  // smallest vertex index its triangles use
  uint32_t lastVertex = 0;   // largest
  Vec3 low, high;
};

// The mesh's triangles in runs of chunkTriangles (the last may be shorter), in index order.
std::vector<MeshChunk> meshChunks(const Mesh& mesh, uint32_t chunkTriangles);
