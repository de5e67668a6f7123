// The cubes, 110 to 126 s: a spiky shape rebuilt every frame and covered band by band in
// thousands of grid cubes, before a ring and a wall of larger cubes, with soft shadows from
// 64 shadow-mapped light directions added up on the screen.
#pragma once

#include "render/gl_objects.h"
#include "render/mesh.h"
#include "render/scene.h"
#include "render/shader.h"
#include "scenes/cubes/cube_instances.h"

#include <cstdint>
#include <memory>

constexpr int kShadowEntry = 7;         // entry of the shadow map in the framebuffers and textures
constexpr int kShadowMapSide = 256;     // texels of the square depth map

// The matrices every pass of one frame shares.
struct CubesFrameMatrices {
  Mat4 projection;        // the camera's, aspect included; the shadow passes use it too
  Mat4 view;              // the camera
  Mat4 world;             // the shape's turn at this frame's time
  Mat4 shadowProjection;  // shadow bias times projection: a light's clip space to the shadow map
};

class CubesScene : public Scene {
 public:
  ShaderProgram cubeProgram;        // the lit, shadowed cubes onto the screen, 1/64 per pass
  ShaderProgram cubeshadowProgram;  // the cubes into the shadow map
  Mesh shape;                       // the surface that carries the cubes, rebuilt every frame
  // Framebuffers 0 to 5 and 7 get attachments, textures 0, 1, 2, 4, 5 and 7 storage; no
  // renderbuffer is used. Only entry 7, the shadow map, is ever drawn into or read.
  SceneGlNames glNames;
  uint32_t shadowFramebuffer = 0;   // framebuffers[7]: depth only
  uint32_t shadowTexture = 0;       // textures[7]: 256 x 256 depth with compare mode
  uint32_t cubeVertexBuffer = 0;    // GL buffer: the unit cube's 8 corners, 3 floats each
  uint32_t cubeIndexBuffer = 0;     // GL buffer: its 36 uint32 indices
  uint32_t instanceBuffer = 0;      // GL buffer: this frame's shape cubes, then ring, then wall (3 floats each)
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
  // Generates the three buffers and fills the two that hold the unit cube.
  void createBuffers();

  // ---- the passes of a frame, in order ----
  // Builds this frame's shape cubes and ring and sends every instance to instanceBuffer.
  void prepareInstances();
  // The state and vertex input all 64 pass pairs share: depth, culling, clear values, the
  // cube's buffers on attribute 0 and the instances, one per cube, on attribute 1.
  void setUpCubeDrawing();
  // Draws every cube into the shadow map as seen from one light direction.
  void shadowPass(const Mat4& lightView, const CubesFrameMatrices& matrices);
  // Adds the lit picture of one light direction onto the screen; pass 0 replaces it instead.
  void lightPass(int pass, const Mat4& lightView, const CubesFrameMatrices& matrices);
  // Leaves no attribute array enabled, no divisor, and no buffer or texture bound.
  void tearDownCubeDrawing();

  // Fills instanceBuffer with this frame's shape, ring and wall positions.
  void uploadInstances();
  // Points attribute 1 at the instances that start at entry `first` of instanceBuffer.
  void pointInstances(uint32_t first);
  // Draws the ring and wall groups with program; the caller re-points attribute 1 afterwards.
  void drawCubeGroups(const ShaderProgram& program);
  // Draws count cubes whose positions attribute 1 points at.
  void drawCubes(uint32_t count);
};

// The show's cubes, created before main; the show's scene table points at it.
extern Scene* cubesScene;
