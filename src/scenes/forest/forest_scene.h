// The forest, 0 to 34 s: a tiled, subdivided terrain with extruded trunks, a string of cubes
// and a caption, drawn into off-screen targets and finished with ambient occlusion, depth
// of field, a tinted glow and a composite.
#pragma once

#include "render/gl_objects.h"
#include "render/matrix.h"
#include "render/mesh.h"
#include "render/scene.h"
#include "render/shader.h"
#include "render/track.h"
#include "render/track_source.h"

#include <cstdint>
#include <vector>

constexpr uint32_t kTerrainVertexCapacity = 100000;
constexpr uint32_t kTerrainTriangleCapacity = 200000;
constexpr uint32_t kCubeStringVertexCapacity = 4096;
constexpr uint32_t kCubeStringTriangleCapacity = 4096;

constexpr uint32_t kTerrainChunkTriangles = 256;   // triangles per run tested against the view
constexpr uint32_t kTerrainColumns = 32;      // grid vertices per side
constexpr int kTrunkCount = 80;               // extrusions pushed 10 units up
constexpr int kDentCount = 16;                // shallow extrusions into the ground
constexpr int kTerrainSubdivisions = 3;
constexpr int kStringCubes = 16;              // cubes along the curve
constexpr uint32_t kForestSeed = 99991;       // seeds the terrain and cube recipes
constexpr int kNoiseSide = 16;                // texels per side of the 3D noise texture
constexpr int kNoiseBytes = kNoiseSide * kNoiseSide * kNoiseSide * 3;  // RGB

// Entries of `glNames.textures`.
constexpr int kColourTexture = 0;        // scene colour after the geometry pass, AO and depth of field
constexpr int kBokehTexture = 1;         // first output of the first depth-of-field pass
constexpr int kBokehSumTexture = 2;      // its second output; later the half-size downsample stage
constexpr int kGlowTexture = 4;          // quarter size: reduced image, then the finished glow
constexpr int kGlowBlurTexture = 5;      // quarter size: horizontally blurred glow
constexpr int kGeometryTexture = 6;      // colour output of the geometry pass
constexpr int kNoiseEntry = 7;
constexpr int kDepthEntry = 8;
constexpr int kSmallCaptionEntry = 9;
constexpr int kLargeCaptionEntry = 10;
// Entries of `glNames.framebuffers`.
constexpr int kColourFramebuffer = 0;    // texture 0
constexpr int kBokehFramebuffer = 1;     // textures 1 and 2
constexpr int kHalfFramebuffer = 3;      // texture 2
constexpr int kGlowFramebuffer = 4;      // texture 4
constexpr int kGlowBlurFramebuffer = 5;  // texture 5
constexpr int kGeometryFramebuffer = 6;  // textures 6 and 8, depth renderbuffer
// Entry of `glNames.renderbuffers`.
constexpr int kDepthRenderbuffer = 1;    // GL_DEPTH_COMPONENT24 for the geometry pass

constexpr float kSmallCaptionUntil = 16.0f;  // seconds; the large caption from then on

class ForrestScene : public Scene {
 public:
  ShaderProgram forrestProgram;    // lit geometry: sky cube, terrain, cubes, caption
  ShaderProgram bokehProgram;      // first depth-of-field pass
  ShaderProgram bokeh2Program;     // second depth-of-field pass
  ShaderProgram gaussblurProgram;  // separable blur of the glow image
  ShaderProgram compositeProgram;  // the tinted scene added onto the glow on the back buffer
  ShaderProgram flatProgram;       // built at start, drawn with by no pass
  ShaderProgram aoProgram;         // screen-space ambient occlusion
  ShaderProgram stretchProgram;    // the quarter-size glow stretched over the back buffer
  Mesh terrain;                    // ground with tree trunks
  Mesh cubeString;                 // 16 small cubes along a curve
  Mesh sky;                        // the inside-out sky cube, built and sent on its first draw
  // Boxes around the terrain's runs of kTerrainChunkTriangles triangles, in index order;
  // found on the first terrain draw.
  std::vector<MeshChunk> terrainChunks;
  KeyframeTrack<Vec3> tintTrack;   // colour of the glow and the composite; fades to black
  KeyframeTrack<float> distanceTrack;  // camera distance
  KeyframeTrack<float> yawTrack;       // camera rotation about +Y, radians
  KeyframeTrack<float> pitchTrack;     // camera rotation about +X, radians
  KeyframeTrack<float> focusTrack;     // focus distance offset
  KeyframeTrack<float> heightTrack;    // camera height offset
  // Framebuffers 0, 1, 3 to 6 (k...Framebuffer), textures 0 to 10 but 3 (k...Texture,
  // k...Entry) and renderbuffer 1, the depth buffer, are used.
  SceneGlNames glNames;
  uint32_t noiseTexture = 0;         // glNames.textures[7]: 16^3 RGB random bytes
  uint32_t depthTexture = 0;         // glNames.textures[8]: one float per pixel from the geometry pass
  uint32_t smallCaptionTexture = 0;  // glNames.textures[9]: 128 x 64 caption
  uint32_t largeCaptionTexture = 0;  // glNames.textures[10]: 256 x 128 caption
  uint32_t linearSampler = 0;        // linear and clamped to the edge: the glow's stretch

  ForrestScene();
  ~ForrestScene() override;
  // Generates the GL names, builds programs, textures and framebuffers, then tracks and meshes.
  void start() override;
  // The frame as its passes: geometry, occlusion, depth of field, glow, composite.
  void render() override;
  // Deletes the glow's sampler, the scene's GL name set (targets, noise, depth and caption
  // textures, framebuffers, depth renderbuffer) and the meshes' buffers, and zeroes their names.
  void release() override;
  // The six tracks of forestTrackFile; distance, yaw, pitch and height are the camera.
  void listTracks(SceneTracks& out) override;

  // Builds the eight programs and gives their samplers texture units.
  void createPrograms();
  // Allocates the targets, uploads the noise and the captions, allocates depthTexture, makes
  // the glow's sampler.
  void createTextures();
  // Gives the depth renderbuffer storage and attaches the targets to their framebuffers.
  void createFramebuffers();

  // Draws sky, terrain, cubes and caption into the bound framebuffer (framebuffer 6).
  void drawGeometry();
  // Draws the inside-out sky cube, only its lens value (alpha) and depth.
  void drawSky(const Mat4& projection, const Mat4& view);
  // Draws the terrain as a 3 x 3 tiling of one buffer, leaving out the runs of triangles
  // wholly outside the view, which could not reach a pixel; the rest keep their order.
  void drawTerrain(const Mat4& projection, const Mat4& view);
  // Draws the string of cubes.
  void drawCubeString(const Mat4& view);
  // Draws the caption of the moment as a relief quad seen through the camera.
  void drawCaption(const Mat4& view);

  // Geometry into framebuffer 6, then its colour and lens alpha copied into texture 0.
  void geometryPass();
  // Ambient occlusion multiplies texture 0's colour; alpha keeps the lens value.
  void occlusionPass();
  // Depth of field: two blurred images from texture 0, combined back into its colour.
  void depthOfFieldPass();
  // Texture 0 reduced to quarter size, blurred across, then up with the tint: the glow in texture 4.
  void glowPass();
  // The glow stretched over the back buffer, the tinted scene added on top.
  void compositePass();
};

// The show's forest, created before main; the show's scene table points at it.
extern Scene* forrestScene;
// Its tracks' file, tracks/forest.txt: tint, distance, yaw, pitch, height and focus.
extern SceneTrackFile forestTrackFile;

// Fills bytes with the low 8 bits of the next kNoiseBytes values of the shared random sequence.
void fillNoiseBytes(uint8_t bytes[kNoiseBytes]);
// The ground with its trunks and dents: shapeTerrain, then smoothTerrain.
void buildTerrain(Mesh& terrain);
// The 32 x 32 grid with 80 trunks and 16 dents extruded; seeds the random sequence first.
void shapeTerrain(Mesh& terrain);
// Three Loop subdivisions, the wobble and smooth normals.
void smoothTerrain(Mesh& terrain);
// The 16 cubes along a curve from high above down to the ground, continuing the random sequence.
void buildCubeString(Mesh& cubeString);

// The frustum of the geometry pass: 90 degrees across, near 1, far 200.
Mat4 forestProjection(int32_t width, int32_t height);
// The lens constants ("CoCScaleAndBias") for focus distance f.
void depthOfFieldScaleAndBias(float f, float& scale, float& bias);
// The camera: Rx(pitch) * T(0, height - 1, -3 - distance) * Ry(yaw).
Mat4 forestCamera(float pitch, float height, float distance, float yaw);
