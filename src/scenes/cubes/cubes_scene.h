// The cubes, 110 to 126 s: a spiky shape rebuilt every frame and covered band by band in
// thousands of grid cubes, before a ring and a wall of larger cubes, with soft shadows from
// 64 shadow-mapped light directions added up on the screen.
#pragma once

#include "render/mesh.h"
#include "render/shader.h"
#include "scenes/cubes/cube_instances.h"
#include "shell/scene.h"

#include <cstdint>
#include <memory>

constexpr int kCubesGlNames = 16;       // framebuffer, texture and renderbuffer names generated at once
constexpr int kShadowEntry = 7;         // entry of the shadow map in `framebuffers` and `textures`
constexpr int kShadowMapSide = 256;     // texels of the square depth map

class CubesScene : public Scene {
 public:
  ShaderProgram cubeProgram;        // the lit, shadowed cubes onto the screen, 1/64 per pass
  ShaderProgram cubeshadowProgram;  // the cubes into the shadow map
  Mesh shape;                       // the surface that carries the cubes, rebuilt every frame
  uint32_t framebuffers[kCubesGlNames] = {};   // GL names; entries 0 to 5 and 7 get attachments
  uint32_t textures[kCubesGlNames] = {};       // GL names; entries 0, 1, 2, 4, 5 and 7 get storage
  uint32_t renderbuffers[kCubesGlNames] = {};  // GL names; none is used
  uint32_t shadowFramebuffer = 0;   // framebuffers[7]: depth only
  uint32_t shadowTexture = 0;       // textures[7]: 256 x 256 depth with compare mode
  uint32_t cubeVertexBuffer = 0;    // GL buffer: the unit cube's 8 corners, 3 floats each
  uint32_t cubeIndexBuffer = 0;     // GL buffer: its 36 uint32 indices
  uint32_t instanceBuffer = 0;      // GL buffer: this frame's shape cubes, then ring, then wall (3 floats each)
  // Draws every instance array from client memory instead of the buffers (the older way,
  // kept to compare pictures and speed); set before start().
  bool clientArrays = false;
  std::unique_ptr<CubeInstances> instances;  // this frame's shape cubes
  float ringPositions[3 * kMaxRingCubes] = {};  // x, y, z per ring cube this frame
  int ringCount = 0;                            // entries used
  // What no frame changes, made once by the constructor:
  float wallPositions[3 * kWallCubes] = {};          // x, y, z per wall cube
  float cubeCorners[3 * kCubeVertexCount] = {};      // x, y, z of the unit cube's corners (+-1)
  uint32_t cubeIndices[3 * kCubeTriangleCount] = {};  // its 12 outward triangles
  Mat4 lightViews[kLightPasses] = {};                // the light's view of each pass

  CubesScene();
  ~CubesScene() override;
  void start() override;
  void render() override;
  void release() override;
  // Reports "instances" (shape cubes) and "grid_spacing" (units) of the last frame.
  void reportCounters(SceneCounters& out) const override;

  // Allocates the six textures of the layout; only the shadow map is ever drawn into.
  void createTextures();
  // Attaches the textures to their framebuffers.
  void createFramebuffers();
  // Fills the cube and instance buffers for this frame (nothing in client-array mode).
  void uploadInstances();
  // Points attribute 1 at the instances that start at entry `first` of the frame's data.
  void pointInstances(const float* clientData, uint32_t first);
  // Draws the ring and wall groups with program; the caller re-points attribute 1 afterwards.
  void drawCubeGroups(const ShaderProgram& program);
  // Draws count cubes whose positions attribute 1 points at.
  void drawCubes(uint32_t count);
};
