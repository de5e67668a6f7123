// The forest scene: its tracks and procedural content, its GPU resources, the geometry
// pass and the post-processing chain that finishes each frame.
#include "scenes/forest/forest_scene.h"

#include "base/gl.h"
#include "render/gl_objects.h"
#include "render/pass_probe.h"
#include "render/quad.h"
#include "render/target.h"
#include "scenes/forest/captions.h"
#include "synth/demo_random.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

Scene* forrestScene = new ForrestScene();
SceneTrackFile forestTrackFile = {
    "forest.txt", {{{"tint", 3}, {"distance", 1}, {"yaw", 1}, {"pitch", 1}, {"height", 1}, {"focus", 1}}, 6}};

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTrunkHeight = 10.0f;          // units a trunk's face is pushed up
constexpr float kTrunkLean = 0.02f;            // sideways share of a trunk's direction
constexpr float kDentDepth = -0.1f;            // units a dent's face is pushed along its normal
constexpr uint32_t kCubeTemplateVertices = 60; // the cube string's building block, unshared
constexpr uint32_t kCubeTemplateTriangles = 24;
constexpr float kFocusBase = 6.0f;            // focus distance before the focus track moves it
constexpr float kCameraTurnPerPixel = 0.005f;  // radians of yaw or pitch a pixel of the maker's mouse turns
constexpr float kCameraDollyStep = 0.25f;     // units of distance one step of the maker's wheel moves
constexpr float kNear = 0.99999994f;          // the frustum's near distance, one ulp below 1
constexpr float kLensFactor = 0.025f;
constexpr float kSkyScale = 96.0f;
constexpr float kTileStep = 32.0f;            // distance between terrain copies
constexpr int kTileRadius = 1;                // copies either side of the centre: 3 x 3
constexpr float kAoRadius = 0.06f;            // share of the picture height
constexpr float kAoStrength = 0.9f;           // how dark full occlusion gets
constexpr float kBlurStep = 0.4f;             // "direction" of the glow blur
constexpr float kDarken = 0.02f;

// Caption quad from client memory; the normals tilt two corners so the relief catches light.
const float kCaptionNormals[12] = {-0.1f, -0.1f, 1, -0.1f, 0.1f, 1, 0, 0, 1, 0, 0, 1};  // x, y, z per vertex

// Draws with attribute 0 ("vertex") and 2 ("normal") taken from the mesh's bound buffer.
void enableMeshAttributes(const Mesh& mesh) {
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(0, kFloatsPerVertex, GL_FLOAT, GL_FALSE, 0, nullptr);
  glVertexAttribPointer(2, kFloatsPerVertex, GL_FLOAT, GL_FALSE, 0,
                        reinterpret_cast<const void*>(static_cast<uintptr_t>(mesh.vertexCount) * kVertexStrideBytes));
}

// Switches the two mesh attributes off again.
void disableMeshAttributes() {
  glDisableVertexAttribArray(0);
  glDisableVertexAttribArray(2);
}

// Draws every triangle of the uploaded, bound mesh.
void drawMeshRange(const Mesh& mesh) {
  glDrawRangeElements(GL_TRIANGLES, 0, mesh.vertexCount - 1, static_cast<GLsizei>(mesh.triangleCount * 3),
                      GL_UNSIGNED_INT, nullptr);
}

// Draws, in index order, the triangles of the chunks that may be seen through clip (one draw
// per unbroken run of them): most of the frame's vertices are the terrain's, and a chunk
// wholly outside the view would not reach a pixel.
void drawVisibleChunks(const std::vector<MeshChunk>& chunks, const Mat4& clip) {
  size_t k = 0;
  while (k < chunks.size()) {
    if (boxOutsideClipVolume(clip, chunks[k].low, chunks[k].high)) {
      ++k;
      continue;
    }
    const uint32_t first = chunks[k].firstTriangle;
    uint32_t triangles = 0, firstVertex = chunks[k].firstVertex, lastVertex = chunks[k].lastVertex;
    for (; k < chunks.size() && !boxOutsideClipVolume(clip, chunks[k].low, chunks[k].high); ++k) {
      triangles += chunks[k].triangles;
      firstVertex = std::min(firstVertex, chunks[k].firstVertex);
      lastVertex = std::max(lastVertex, chunks[k].lastVertex);
    }
    glDrawRangeElements(GL_TRIANGLES, firstVertex, lastVertex, static_cast<GLsizei>(triangles * 3), GL_UNSIGNED_INT,
                        reinterpret_cast<const void*>(static_cast<uintptr_t>(first) * kTriangleIndexBytes));
  }
}

// Uploads a caption record's image into texture: one byte of relief per texel, read linearly
// and clamped at the edges.
void uploadCaption(uint32_t texture, const uint8_t* record) {
  const CaptionImage image = readCaptionRecord(record);
  uploadTexture2D(texture, GL_R8, static_cast<GLsizei>(image.width), static_cast<GLsizei>(image.height), GL_RED,
                  image.pixels, GL_CLAMP_TO_EDGE, GL_LINEAR, GL_LINEAR);
}

// The setup of both depth-of-field passes: samplers tex0, tex1 and tex2 on units 0, 1 and 2.
void setBokehUnits(const ShaderProgram& program) {
  setUniform1i(program, "tex0", 0);
  setUniform1i(program, "tex1", 1);
  setUniform1i(program, "tex2", 2);
}

}  // namespace

ForrestScene::ForrestScene()
    : terrain(kTerrainVertexCapacity, kTerrainTriangleCapacity),
      cubeString(kCubeStringVertexCapacity, kCubeStringTriangleCapacity),
      sky(kCubeVertexCount, kCubeTriangleCount) {
  // Every frame sets the state it draws with and reads only the clock and the tracks.
  framesIndependent = true;
}

// ---- tracks ----

void ForrestScene::listTracks(SceneTracks& out) {
  out = SceneTracks();
  out.file = &forestTrackFile;
  out.add("tint", tintTrack);
  out.add("distance", distanceTrack, true);
  out.add("yaw", yawTrack, true);
  out.add("pitch", pitchTrack, true);
  out.add("height", heightTrack, true);
  out.add("focus", focusTrack);
  // The world follows the hand: right turns it right, down tilts it down, the wheel up comes closer.
  out.turn = {"yaw", 0, -kCameraTurnPerPixel};
  out.tilt = {"pitch", 0, -kCameraTurnPerPixel};
  out.dolly = {"distance", 0, -kCameraDollyStep};
}

// ---- procedural content ----

void fillNoiseBytes(uint8_t bytes[kNoiseBytes]) {
  for (int i = 0; i < kNoiseBytes; ++i) bytes[i] = static_cast<uint8_t>(demoRand() & 0xFF);
}

void shapeTerrain(Mesh& terrain) {
  terrain.makeGrid(kTerrainColumns, kTerrainColumns);
  demoSrand(kForestSeed);
  // Only the grid's own triangles are candidates: faces added by extrusion are never picked.
  const uint32_t n = terrain.triangleCount;
  for (int i = 0; i < kTrunkCount; ++i) {
    uint32_t r = static_cast<uint32_t>(demoRand());
    float angle = static_cast<float>(i);
    const float direction[3] = {std::cos(angle) * kTrunkLean, 1.0f, std::sin(angle) * kTrunkLean};
    terrain.extrudeTriangle(r % n, direction, kTrunkHeight);
  }
  for (int j = 0; j < kDentCount; ++j) {
    uint32_t r = static_cast<uint32_t>(demoRand());
    terrain.extrudeTriangle(r % n, nullptr, kDentDepth);
  }
}

void smoothTerrain(Mesh& terrain) {
  for (int s = 0; s < kTerrainSubdivisions; ++s) terrain.subdivide();
  terrain.wobble();
  terrain.computeNormals();
}

void buildTerrain(Mesh& terrain) {
  shapeTerrain(terrain);
  smoothTerrain(terrain);
}

void buildCubeString(Mesh& cubeString) {
  Mesh cube(kCubeTemplateVertices, kCubeTemplateTriangles);
  cube.makeCube();
  cube.transform(scaleMatrix(0.5f, 0.5f, 0.5f).m);
  cube.unshareVertices();
  const Vec3 p0(-1, 10, 0), p1(-3, 0, 0), p2(-4, -0.2f, -2), p3(-6, 0.3f, -5);
  for (int k = 0; k < kStringCubes; ++k) {
    float t = static_cast<float>(k) / static_cast<float>(kStringCubes - 1);
    float s = 1.0f - t;
    Vec3 b = p0 * (s * s * s) + p1 * (3 * t * s * s) + p2 * (3 * t * t * s) + p3 * (t * t * t);
    float a1 = static_cast<float>(demoRand()) / static_cast<float>(kRandomMax) * kPi;
    float a2 = static_cast<float>(demoRand()) / static_cast<float>(kRandomMax) * kPi;
    Mat4 m = translationMatrix(b.x, b.y, b.z) * rotationXMatrix(a2) * rotationYMatrix(a1);
    cubeString.appendTransformed(cube, m.m);
  }
  cubeString.computeNormals();
}

// ---- camera and lens ----

Mat4 forestProjection(int32_t width, int32_t height) {
  // -(far + near) / (far - near) = -201 / 199 and -2 far near / (far - near) = -400 / 199
  return wideFrustumMatrix(width, height, -1.0100503f, -2.0100501f);
}

void depthOfFieldScaleAndBias(float f, float& scale, float& bias) {
  const float n = kNear;
  scale = f * kLensFactor * 199.0f / ((f - n) * n * 200.0f);
  bias = (n - f) * kLensFactor / (f * n * n);
}

Mat4 forestCamera(float pitch, float height, float distance, float yaw) {
  return rotationXMatrix(pitch) * translationMatrix(0.0f, height - 1.0f, -3.0f - distance) * rotationYMatrix(yaw);
}

// ---- resources ----

void ForrestScene::start() {
  generateSceneGlNames(glNames);
  createPrograms();
  createTextures();
  createFramebuffers();
  fillSceneTracks(*this);
  buildTerrain(terrain);
  buildCubeString(cubeString);
}

void ForrestScene::createPrograms() {
  buildProgram(forrestProgram, "shaders/forrest_v.glsl", nullptr, "shaders/forrest_f.glsl", [](const ShaderProgram& p) {
    setUniform1i(p, "noiseTex", 0);
    setUniform1i(p, "colour_tex", 1);
  });
  buildProgram(flatProgram, "shaders/flat_v.glsl", nullptr, "shaders/flat_f.glsl");
  buildProgram(bokehProgram, "shaders/bokeh_v.glsl", nullptr, "shaders/bokeh_f.glsl", setBokehUnits);
  buildProgram(bokeh2Program, "shaders/bokeh2_v.glsl", nullptr, "shaders/bokeh2_f.glsl", setBokehUnits);
  buildProgram(gaussblurProgram, "shaders/gaussblur_v.glsl", nullptr, "shaders/gaussblur_f.glsl", setTex0Unit);
  buildProgram(compositeProgram, "shaders/composite_v.glsl", nullptr, "shaders/composite_f.glsl", setTex0Unit);
  buildProgram(aoProgram, "shaders/ao_v.glsl", nullptr, "shaders/ao_f.glsl",
               [](const ShaderProgram& p) { setUniform1i(p, "depth_tex", 0); });
  // The full-screen vertex stage is the composite's own.
  buildProgram(stretchProgram, "shaders/composite_v.glsl", nullptr, "shaders/stretch_f.glsl", setTex0Unit);
}

void ForrestScene::createTextures() {
  const uint32_t* textures = glNames.textures;
  allocateTargetTexture(*this, textures[kColourTexture], GL_RGBA16F, kFullSize);
  allocateTargetTexture(*this, textures[kBokehTexture], GL_RGBA16F, kFullSize);
  allocateTargetTexture(*this, textures[kBokehSumTexture], GL_RGBA16F, kFullSize);
  allocateTargetTexture(*this, textures[kGlowTexture], GL_RGBA16F, kQuarterSize);
  allocateTargetTexture(*this, textures[kGlowBlurTexture], GL_RGBA16F, kQuarterSize);
  allocateTargetTexture(*this, textures[kGeometryTexture], GL_RGBA16F, kFullSize);
  checkGlError(__LINE__);
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, 0);

  noiseTexture = textures[kNoiseEntry];
  depthTexture = textures[kDepthEntry];
  smallCaptionTexture = textures[kSmallCaptionEntry];
  largeCaptionTexture = textures[kLargeCaptionEntry];

  uploadCaption(smallCaptionTexture, kSmallCaptionRecord);
  uploadCaption(largeCaptionTexture, kLargeCaptionRecord);

  uint8_t noise[kNoiseBytes];
  fillNoiseBytes(noise);
  uploadTexture3D(noiseTexture, GL_RGB8, kNoiseSide, GL_RGB, noise, GL_REPEAT, GL_LINEAR);

  allocateTexture(depthTexture, GL_R16F, 1, width, height, GL_CLAMP_TO_EDGE, GL_NEAREST, GL_NEAREST);
  checkGlError(__LINE__);
  glBindTexture(GL_TEXTURE_2D, 0);

  // The glow texture is sampled nearest by the blur; its stretch reads it through this.
  glGenSamplers(1, &linearSampler);
  glSamplerParameteri(linearSampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glSamplerParameteri(linearSampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glSamplerParameteri(linearSampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(linearSampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  checkGlError(__LINE__);
}

void ForrestScene::createFramebuffers() {
  const uint32_t* framebuffers = glNames.framebuffers;
  const uint32_t* textures = glNames.textures;
  allocateDepthRenderbuffer(glNames.renderbuffers[kDepthRenderbuffer], width, height);
  attachTexture(framebuffers[kColourFramebuffer], GL_COLOR_ATTACHMENT0, textures[kColourTexture]);
  attachTexture(framebuffers[kBokehFramebuffer], GL_COLOR_ATTACHMENT0, textures[kBokehTexture]);
  attachTexture(framebuffers[kBokehFramebuffer], GL_COLOR_ATTACHMENT1, textures[kBokehSumTexture]);
  attachTexture(framebuffers[kHalfFramebuffer], GL_COLOR_ATTACHMENT0, textures[kBokehSumTexture]);
  attachTexture(framebuffers[kGlowFramebuffer], GL_COLOR_ATTACHMENT0, textures[kGlowTexture]);
  attachTexture(framebuffers[kGlowBlurFramebuffer], GL_COLOR_ATTACHMENT0, textures[kGlowBlurTexture]);
  attachTexture(framebuffers[kGeometryFramebuffer], GL_COLOR_ATTACHMENT0, textures[kGeometryTexture]);
  attachTexture(framebuffers[kGeometryFramebuffer], GL_COLOR_ATTACHMENT1, depthTexture);
  attachRenderbuffer(framebuffers[kGeometryFramebuffer], GL_DEPTH_ATTACHMENT,
                     glNames.renderbuffers[kDepthRenderbuffer]);
  checkGlError(__LINE__);
}

// The programs go with their members' destructors.
ForrestScene::~ForrestScene() { release(); }

void ForrestScene::release() {
  if (linearSampler) glDeleteSamplers(1, &linearSampler);
  linearSampler = 0;
  releaseSceneGlNames(glNames);
  noiseTexture = depthTexture = smallCaptionTexture = largeCaptionTexture = 0;
  terrain.releaseBuffers();
  cubeString.releaseBuffers();
  sky.releaseBuffers();
  terrainChunks.clear();
}

// ---- geometry pass ----

void ForrestScene::drawGeometry() {
  Mat4 projection = forestProjection(width, height);
  float cocScale, cocBias;
  depthOfFieldScaleAndBias(focusTrack.evaluate(centiseconds) + kFocusBase, cocScale, cocBias);
  setUniform2f(forrestProgram, "CoCScaleAndBias", cocScale, cocBias);
  setUniform1f(forrestProgram, "time", seconds);
  float pitch = pitchTrack.evaluate(centiseconds);
  float distance = distanceTrack.evaluate(centiseconds);
  float cameraHeight = heightTrack.evaluate(centiseconds);
  float yaw = yawTrack.evaluate(centiseconds);
  Mat4 view = forestCamera(pitch, cameraHeight, distance, yaw);

  const GLenum outputs[2] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
  glDrawBuffers(2, outputs);
  glViewport(0, 0, width, height);
  glEnable(GL_MULTISAMPLE);
  // The last frame's composite left depthTexture on unit 1, a sampler of forrestProgram; it is
  // also the second output of this pass, and sampling it while drawing into it is undefined.
  bindTextureUnit(1, GL_TEXTURE_2D, 0);
  // The bump relief differentiates per pixel; drivers may default to one derivative per 2 x 2.
  glHint(GL_FRAGMENT_SHADER_DERIVATIVE_HINT, GL_NICEST);
  checkGlError(__LINE__);

  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glEnable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  drawSky(projection, view);
  drawTerrain(projection, view);
  drawCubeString(view);
  drawCaption(view);

  glUseProgram(0);
  checkGlError(__LINE__);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void ForrestScene::drawSky(const Mat4& projection, const Mat4& view) {
  // The same cube every frame: built once, and sent again only after release().
  if (sky.triangleCount == 0) {
    sky.makeCube();
    sky.flipWinding();
  }
  sky.upload();
  useProgram(forrestProgram);
  setUniform1f(forrestProgram, "material", 0.0f);
  setUniform1f(forrestProgram, "bump_scale", 1.0f);
  bindTextureUnit(0, GL_TEXTURE_3D, noiseTexture);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, kFloatsPerVertex, GL_FLOAT, GL_FALSE, 0, nullptr);
  setUniformMatrix4(forrestProgram, "projection", 1, false, projection.m);
  Mat4 skyModelview = view * scaleMatrix(kSkyScale, kSkyScale, kSkyScale);
  setUniformMatrix4(forrestProgram, "modelview", 1, false, skyModelview.m);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(sky.triangleCount * 3), GL_UNSIGNED_INT, nullptr);
  glDisableVertexAttribArray(0);
  glUseProgram(0);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  checkGlError(__LINE__);
}

void ForrestScene::drawTerrain(const Mat4& projection, const Mat4& view) {
  if (terrainChunks.empty()) terrainChunks = meshChunks(terrain, kTerrainChunkTriangles);
  // Neighbouring tiles overlap a little.
  useProgram(forrestProgram);
  terrain.upload();
  bindTextureUnit(0, GL_TEXTURE_3D, noiseTexture);
  enableMeshAttributes(terrain);
  for (int i = -kTileRadius; i <= kTileRadius; ++i) {
    for (int j = -kTileRadius; j <= kTileRadius; ++j) {
      Mat4 modelview = view * translationMatrix(kTileStep * j, 0.0f, kTileStep * i);
      setUniformMatrix4(forrestProgram, "modelview", 1, false, modelview.m);
      drawVisibleChunks(terrainChunks, projection * modelview);
    }
  }
  disableMeshAttributes();
}

void ForrestScene::drawCubeString(const Mat4& view) {
  useProgram(forrestProgram);
  cubeString.upload();
  enableMeshAttributes(cubeString);
  setUniformMatrix4(forrestProgram, "modelview", 1, false, view.m);
  drawMeshRange(cubeString);
  disableMeshAttributes();
}

void ForrestScene::drawCaption(const Mat4& view) {
  useProgram(forrestProgram);
  setUniform1f(forrestProgram, "material", 1.0f);
  setUniform1f(forrestProgram, "bump_scale", 0.1f);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  bindTextureUnit(0, GL_TEXTURE_3D, noiseTexture);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, kFullscreenQuadPositions);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 0, kFullscreenQuadCoords);
  glVertexAttribPointer(2, 3, GL_FLOAT, GL_FALSE, 0, kCaptionNormals);

  Mat4 model;
  if (seconds < kSmallCaptionUntil) {
    bindTextureUnit(1, GL_TEXTURE_2D, smallCaptionTexture);
    // -135 degrees about +Y, cosine and sine given exactly.
    model = translationMatrix(-1.5f, 3.0f, -4.0f) * rotationYMatrix(-0.70710677f, -0.70710677f) *
            scaleMatrix(3.0f, 1.5f, 3.0f);
  } else {
    bindTextureUnit(1, GL_TEXTURE_2D, largeCaptionTexture);
    // -144 degrees about +Y.
    model = translationMatrix(-3.5f, 0.3f, -6.0f) * rotationYMatrix(-0.809017f, -0.58778524f) *
            scaleMatrix(2.0f, 1.0f, 2.0f);
  }
  Mat4 modelview = view * model;
  setUniformMatrix4(forrestProgram, "modelview", 1, false, modelview.m);
  glDrawRangeElements(GL_TRIANGLE_STRIP, 0, 3, 4, GL_UNSIGNED_BYTE, kQuadIndices);
  glDisableVertexAttribArray(0);
  glDisableVertexAttribArray(1);
  glDisableVertexAttribArray(2);
  glDisable(GL_BLEND);
}

// ---- the frame's passes ----

void ForrestScene::render() {
  MEASURED_PASS(geometryPass());
  MEASURED_PASS(occlusionPass());
  MEASURED_PASS(depthOfFieldPass());
  MEASURED_PASS(glowPass());
  MEASURED_PASS(compositePass());
}

void ForrestScene::geometryPass() {
  glDisable(GL_BLEND);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, glNames.framebuffers[kGeometryFramebuffer]);
  drawGeometry();
  // Colour and lens alpha into texture 0, which the next passes build on.
  copyColour(glNames.framebuffers[kGeometryFramebuffer], glNames.framebuffers[kColourFramebuffer], width, height);
}

void ForrestScene::occlusionPass() {
  // Draws into texture 0, still bound from the copy.
  useProgram(aoProgram);
  setUniform4f(aoProgram, "ao_settings", kAoRadius * static_cast<float>(width) / static_cast<float>(height),
               kAoRadius, kAoStrength, 0.0f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ZERO, GL_SRC_COLOR);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  disableDepth();
  bindPassTextures(depthTexture);
  drawFullscreenQuad();
  glDisable(GL_BLEND);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void ForrestScene::depthOfFieldPass() {
  const uint32_t* textures = glNames.textures;
  // First: two blurred images from texture 0.
  const GLenum bokehOutputs[2] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, glNames.framebuffers[kBokehFramebuffer]);
  glDrawBuffers(2, bokehOutputs);
  glViewport(0, 0, width, height);
  checkGlError(__LINE__);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  disableDepth();
  useProgram(bokehProgram);
  checkGlError(__LINE__);
  bindPassTextures(textures[kColourTexture]);
  checkGlError(__LINE__);
  drawFullscreenQuad();
  checkGlError(__LINE__);

  // Second: combined from those two back into texture 0's colour.
  bindDrawTarget(glNames.framebuffers[kColourFramebuffer], width, height);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  disableDepth();
  useProgram(bokeh2Program);
  bindPassTextures(textures[kColourTexture], textures[kBokehTexture], textures[kBokehSumTexture]);
  drawFullscreenQuad();
  checkGlError(__LINE__);
}

void ForrestScene::glowPass() {
  const uint32_t* framebuffers = glNames.framebuffers;
  const uint32_t* textures = glNames.textures;
  const int32_t quarterW = targetSide(width, kQuarterSize), quarterH = targetSide(height, kQuarterSize);
  downsample(*this, textures[kColourTexture], framebuffers[kHalfFramebuffer], textures[kBokehSumTexture],
             framebuffers[kGlowFramebuffer]);

  setUniform4f(gaussblurProgram, "tint", 1.0f, 1.0f, 1.0f, 1.0f);
  bindDrawTarget(framebuffers[kGlowBlurFramebuffer], quarterW, quarterH);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  disableDepth();
  useProgram(gaussblurProgram);
  setUniform2f(gaussblurProgram, "direction", kBlurStep, 0.0f);
  bindPassTextures(textures[kGlowTexture]);
  drawFullscreenQuad();

  Vec3 tint = tintTrack.evaluate(centiseconds);
  setUniform4f(gaussblurProgram, "tint", tint.x, tint.y, tint.z, 1.0f);
  bindDrawTarget(framebuffers[kGlowFramebuffer], quarterW, quarterH);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  disableDepth();
  useProgram(gaussblurProgram);
  setUniform2f(gaussblurProgram, "direction", 0.0f, kBlurStep);
  bindPassTextures(textures[kGlowBlurTexture]);
  drawFullscreenQuad();
  checkGlError(__LINE__);
}

void ForrestScene::compositePass() {
  // The glow fills the back buffer; no clear is needed. It is drawn, not blitted: a scaled
  // blit may not go into a multisampled default framebuffer, and where the window system
  // stands in a framebuffer object of its own for it, the back buffer cannot be named.
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glViewport(0, 0, width, height);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  disableDepth();
  useProgram(stretchProgram);
  bindPassTextures(glNames.textures[kGlowTexture]);
  glBindSampler(0, linearSampler);
  drawFullscreenQuad();
  glBindSampler(0, 0);
  checkGlError(__LINE__);

  // The scene, tinted, added on top of the glow.
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  useProgram(compositeProgram);
  setUniform1f(compositeProgram, "darken", kDarken);
  Vec3 tint = tintTrack.evaluate(centiseconds);
  setUniform4f(compositeProgram, "tint", tint.x, tint.y, tint.z, 1.0f);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  disableDepth();
  // depthTexture on unit 1 is not sampled here; the next frame's geometry pass unbinds it.
  bindPassTextures(glNames.textures[kColourTexture], depthTexture);
  drawFullscreenQuad();
  glDisable(GL_BLEND);
}
