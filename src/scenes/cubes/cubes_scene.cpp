// The cubes scene on the GPU: its targets, the once-per-frame upload of the instances, and
// the 64 pairs of a shadow-map pass and an additive main pass that make the soft shadows.
#include "scenes/cubes/cubes_scene.h"

#include "base/gl.h"
#include "render/target.h"

#include <cstdint>

Scene* cubesScene = new CubesScene();

namespace {

constexpr int kCubeIndexCount = 3 * kCubeTriangleCount;  // indices of one cube draw
constexpr GLsizeiptr kPositionBytes = kVertexStrideBytes;  // an instance position, laid out as a vertex
constexpr float kWallScale = 6.0f;                       // half-edge of a wall cube
constexpr float kRingScale = 1.0f;                       // half-edge of a ring cube

// A byte offset into the bound array buffer, as the attribute pointer takes it.
const void* bufferOffset(GLsizeiptr bytes) { return reinterpret_cast<const void*>(static_cast<uintptr_t>(bytes)); }

// The camera, the shape's turn and the shadow bias of the frame at time t.
CubesFrameMatrices cubesFrameMatrices(float t, int32_t width, int32_t height) {
  CubesFrameMatrices m;
  m.projection = cubesProjection(width, height);
  m.view = cubesView();
  m.world = cubesWorld(t);
  m.shadowProjection = shadowBiasMatrix() * m.projection;
  return m;
}

}  // namespace

CubesScene::CubesScene()
    : shape(kShapeVertexCapacity, kShapeTriangleCapacity), instances(std::make_unique<CubeInstances>()) {
  // The shape and every cube are rebuilt from t alone (the sequence is reseeded every
  // frame), so a frame needs none of the frames before it.
  framesIndependent = true;
  uint32_t vertices = 0, triangles = 0;
  Mesh::makeCube(cubeCorners, cubeIndices, vertices, triangles);
  fillWallPositions(wallPositions);
  for (int pass = 0; pass < kLightPasses; ++pass) lightViews[pass] = cubesLightView(pass);
}

// The programs go with their members' destructors.
CubesScene::~CubesScene() { release(); }

// ---- resources ----

void CubesScene::start() {
  buildProgram(cubeProgram, "shaders/cube_v.glsl", nullptr, "shaders/cube_f.glsl");
  buildProgram(cubeshadowProgram, "shaders/cubeshadow_v.glsl", nullptr, "shaders/cubeshadow_f.glsl");
  generateSceneGlNames(glNames);
  createTextures();
  createFramebuffers();
  createBuffers();
}

void CubesScene::createTextures() {
  uint32_t* textures = glNames.textures;
  allocateTargetTexture(*this, textures[0], GL_RGBA16F, kFullSize);
  allocateTargetTexture(*this, textures[1], GL_RGBA16F, kFullSize);
  allocateTargetTexture(*this, textures[2], GL_RGBA16F, kFullSize);
  const int32_t quarterWidth = targetSide(width, kQuarterSize), quarterHeight = targetSide(height, kQuarterSize);
  allocateTexture(textures[4], GL_RGB16F, 1, quarterWidth, quarterHeight, GL_CLAMP_TO_BORDER, GL_LINEAR, GL_LINEAR);
  allocateTexture(textures[5], GL_RGB16F, 1, quarterWidth, quarterHeight, GL_CLAMP_TO_BORDER, GL_LINEAR, GL_LINEAR);
  checkGlError(__LINE__);
  shadowTexture = textures[kShadowEntry];
  allocateTexture(shadowTexture, GL_DEPTH_COMPONENT24, 1, kShadowMapSide, kShadowMapSide, GL_CLAMP_TO_BORDER,
                  GL_LINEAR, GL_LINEAR);
  // Sampled through a shadow sampler: a lookup compares against the stored depth.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
  checkGlError(__LINE__);
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, 0);
  checkGlError(__LINE__);
}

void CubesScene::createFramebuffers() {
  const uint32_t* framebuffers = glNames.framebuffers;
  const uint32_t* textures = glNames.textures;
  attachTexture(framebuffers[0], GL_COLOR_ATTACHMENT0, textures[0]);
  attachTexture(framebuffers[1], GL_COLOR_ATTACHMENT0, textures[1]);
  attachTexture(framebuffers[1], GL_COLOR_ATTACHMENT1, textures[2]);
  attachTexture(framebuffers[2], GL_COLOR_ATTACHMENT0, textures[1]);
  attachTexture(framebuffers[3], GL_COLOR_ATTACHMENT0, textures[2]);
  attachTexture(framebuffers[4], GL_COLOR_ATTACHMENT0, textures[4]);
  attachTexture(framebuffers[5], GL_COLOR_ATTACHMENT0, textures[5]);
  attachTexture(framebuffers[kShadowEntry], GL_DEPTH_ATTACHMENT, shadowTexture);
  shadowFramebuffer = framebuffers[kShadowEntry];
  // Depth only: no colour buffer to draw to or read from, so the target is complete on
  // drivers that still check the draw and read buffers.
  glBindFramebuffer(GL_FRAMEBUFFER, shadowFramebuffer);
  glDrawBuffer(GL_NONE);
  glReadBuffer(GL_NONE);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  checkGlError(__LINE__);
}

void CubesScene::createBuffers() {
  glGenBuffers(1, &cubeVertexBuffer);
  glGenBuffers(1, &cubeIndexBuffer);
  glGenBuffers(1, &instanceBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, cubeVertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof cubeCorners, cubeCorners, GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, cubeIndexBuffer);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof cubeIndices, cubeIndices, GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  checkGlError(__LINE__);
}

void CubesScene::release() {
  releaseSceneGlNames(glNames);
  deleteGlNames(glDeleteBuffers, &cubeVertexBuffer, 1);
  deleteGlNames(glDeleteBuffers, &cubeIndexBuffer, 1);
  deleteGlNames(glDeleteBuffers, &instanceBuffer, 1);
  shadowTexture = shadowFramebuffer = 0;
}

void CubesScene::reportCounters(SceneCounters& out) const {
  out.count = 0;
  out.add("instances", instances->count);
  out.add("grid_spacing", instances->gridSpacing);
}

// ---- drawing the cubes ----

void CubesScene::uploadInstances() {
  const GLsizeiptr shapeBytes = kPositionBytes * instances->count;
  const GLsizeiptr ringBytes = kPositionBytes * ringCount;
  const GLsizeiptr wallBytes = kPositionBytes * kWallCubes;
  glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer);
  // New storage every frame: the driver may still be reading last frame's, and need not wait.
  glBufferData(GL_ARRAY_BUFFER, shapeBytes + ringBytes + wallBytes, nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, shapeBytes, instances->positions);
  glBufferSubData(GL_ARRAY_BUFFER, shapeBytes, ringBytes, ringPositions);
  glBufferSubData(GL_ARRAY_BUFFER, shapeBytes + ringBytes, wallBytes, wallPositions);
  checkGlError(__LINE__);
}

void CubesScene::pointInstances(uint32_t first) {
  glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer);
  glVertexAttribPointer(1, kFloatsPerVertex, GL_FLOAT, GL_FALSE, 0, bufferOffset(kPositionBytes * first));
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void CubesScene::drawCubes(uint32_t count) {
  glDrawElementsInstanced(GL_TRIANGLES, kCubeIndexCount, GL_UNSIGNED_INT, nullptr, static_cast<GLsizei>(count));
}

void CubesScene::drawCubeGroups(const ShaderProgram& program) {
  const uint32_t shapeCubes = instances->count;
  setUniform4f(program, "colour", 0.2f, 0.3f, 0.4f, 1.0f);
  setUniformMatrix4(program, "world", 1, false, translationMatrix(0.0f, 0.0f, -15.0f).m);
  setUniform3f(program, "scale", kRingScale, kRingScale, kRingScale);
  pointInstances(shapeCubes);
  drawCubes(static_cast<uint32_t>(ringCount));

  setUniform4f(program, "colour", 0.4f, 0.3f, 0.2f, 1.0f);
  setUniformMatrix4(program, "world", 1, false, translationMatrix(4.0f, 0.0f, -30.0f).m);
  setUniform3f(program, "scale", kWallScale, kWallScale, kWallScale);
  pointInstances(shapeCubes + static_cast<uint32_t>(ringCount));
  drawCubes(kWallCubes);
}

// ---- the frame ----

void CubesScene::render() {
  const CubesFrameMatrices matrices = cubesFrameMatrices(seconds, width, height);
  glDisable(GL_BLEND);
  // Everything the frame's 384 instanced draws read (64 directions, a shadow and a light
  // pass each, three groups per pass) is computed and sent once.
  prepareInstances();
  setUpCubeDrawing();
  for (int pass = 0; pass < kLightPasses; ++pass) {
    shadowPass(lightViews[pass], matrices);
    lightPass(pass, lightViews[pass], matrices);
  }
  tearDownCubeDrawing();
}

void CubesScene::prepareInstances() {
  buildCubeInstances(seconds, shape, *instances);
  ringCount = fillRingPositions(seconds, ringPositions);
  uploadInstances();
}

void CubesScene::setUpCubeDrawing() {
  // State the passes rely on, set here so the first frame looks the same whichever scene
  // (or none) came before: culling of back faces and the clear values.
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glEnable(GL_CULL_FACE);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  checkGlError(__LINE__);
  glBindBuffer(GL_ARRAY_BUFFER, cubeVertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, cubeIndexBuffer);
  glVertexAttribPointer(0, kFloatsPerVertex, GL_FLOAT, GL_FALSE, 0, nullptr);
  pointInstances(0);
  glVertexAttribDivisor(1, 1);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  checkGlError(__LINE__);
}

void CubesScene::shadowPass(const Mat4& lightView, const CubesFrameMatrices& matrices) {
  const float half = instances->gridSpacing / 2.0f;
  useProgram(cubeshadowProgram);
  setUniform3f(cubeshadowProgram, "scale", half, half, half);
  setUniformMatrix4(cubeshadowProgram, "world", 1, false, matrices.world.m);
  setUniformMatrix4(cubeshadowProgram, "projection", 1, false, matrices.projection.m);
  setUniformMatrix4(cubeshadowProgram, "modelview", 1, false, lightView.m);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, shadowFramebuffer);
  glDepthMask(GL_TRUE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glViewport(0, 0, kShadowMapSide, kShadowMapSide);
  glClear(GL_DEPTH_BUFFER_BIT);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  // The map is not bound for sampling while it is this pass's target.
  bindTextureUnit(0, GL_TEXTURE_2D, 0);
  drawCubes(instances->count);
  drawCubeGroups(cubeshadowProgram);
  pointInstances(0);
  checkGlError(__LINE__);
}

void CubesScene::lightPass(int pass, const Mat4& lightView, const CubesFrameMatrices& matrices) {
  const float half = instances->gridSpacing / 2.0f;
  useProgram(cubeProgram);
  setUniform4f(cubeProgram, "colour", 0.5f, 0.5f, 0.5f, 1.0f);
  setUniform3f(cubeProgram, "scale", half, half, half);
  setUniformMatrix4(cubeProgram, "shadow_modelview", 1, false, lightView.m);
  setUniformMatrix4(cubeProgram, "world", 1, false, matrices.world.m);
  setUniformMatrix4(cubeProgram, "shadow_projection", 1, false, matrices.shadowProjection.m);
  setUniformMatrix4(cubeProgram, "projection", 1, false, matrices.projection.m);
  setUniformMatrix4(cubeProgram, "modelview", 1, false, matrices.view.m);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glViewport(0, 0, width, height);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_CULL_FACE);
  if (pass == 0)
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  else
    glEnable(GL_BLEND);
  bindTextureUnit(0, GL_TEXTURE_2D, shadowTexture);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glBlendFunc(GL_ONE, GL_ONE);
  drawCubes(instances->count);
  drawCubeGroups(cubeProgram);
  pointInstances(0);
  glDisable(GL_BLEND);
  checkGlError(__LINE__);
}

void CubesScene::tearDownCubeDrawing() {
  glDisableVertexAttribArray(0);
  glDisableVertexAttribArray(1);
  glVertexAttribDivisor(1, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  bindTextureUnit(0, GL_TEXTURE_2D, 0);
  checkGlError(__LINE__);
}
