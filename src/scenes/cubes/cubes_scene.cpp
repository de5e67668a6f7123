// The cubes scene on the GPU: its targets, the once-per-frame upload of the instances, and
// the 64 pairs of a shadow-map pass and an additive main pass that make the soft shadows.
#include "scenes/cubes/cubes_scene.h"

#include "render/target.h"
#include "shell/gl.h"
#include "shell/scenes.h"

#include <cstdint>

Scene* cubesScene = new CubesScene();

namespace {

constexpr int kCubeIndexCount = 3 * kCubeTriangleCount;  // indices of one cube draw
constexpr GLsizeiptr kPositionBytes = 12;                // 3 floats per instance
constexpr float kWallScale = 6.0f;                       // half-edge of a wall cube
constexpr float kRingScale = 1.0f;                       // half-edge of a ring cube

// One texture of the layout: filters, clamped to its border, storage of one level.
void allocateSceneTexture(uint32_t texture, GLenum filter, GLenum format, int32_t width, int32_t height) {
  glBindTexture(GL_TEXTURE_2D, texture);
  setTextureModes(GL_CLAMP_TO_BORDER, static_cast<GLint>(filter), static_cast<GLint>(filter));
  if (format == GL_DEPTH_COMPONENT24) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
  }
  glTexStorage2D(GL_TEXTURE_2D, 1, format, width, height);
  checkGlError(__LINE__);
}

// Attaches a texture to a framebuffer at one attachment point.
void attachTexture(uint32_t framebuffer, GLenum attachment, uint32_t texture) {
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, attachment, GL_TEXTURE_2D, texture, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

// A byte offset into the bound array buffer, as the attribute pointer takes it.
const void* bufferOffset(GLsizeiptr bytes) { return reinterpret_cast<const void*>(static_cast<uintptr_t>(bytes)); }

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

void CubesScene::start() {
  buildProgram(cubeProgram, "shaders/cube_v.glsl", nullptr, "shaders/cube_f.glsl");
  buildProgram(cubeshadowProgram, "shaders/cubeshadow_v.glsl", nullptr, "shaders/cubeshadow_f.glsl");
  createTextures();
  createFramebuffers();
  if (!clientArrays) {
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
}

void CubesScene::createTextures() {
  glGenTextures(kCubesGlNames, textures);
  allocateSceneTexture(textures[0], GL_NEAREST, GL_RGBA16F, width, height);
  allocateSceneTexture(textures[1], GL_NEAREST, GL_RGBA16F, width, height);
  allocateSceneTexture(textures[2], GL_NEAREST, GL_RGBA16F, width, height);
  allocateSceneTexture(textures[4], GL_LINEAR, GL_RGB16F, width / 4, height / 4);
  allocateSceneTexture(textures[5], GL_LINEAR, GL_RGB16F, width / 4, height / 4);
  allocateSceneTexture(textures[kShadowEntry], GL_LINEAR, GL_DEPTH_COMPONENT24, kShadowMapSide, kShadowMapSide);
  shadowTexture = textures[kShadowEntry];
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, 0);
  checkGlError(__LINE__);
}

void CubesScene::createFramebuffers() {
  glGenFramebuffers(kCubesGlNames, framebuffers);
  glGenRenderbuffers(kCubesGlNames, renderbuffers);
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

void CubesScene::release() {
  deleteGlNames(glDeleteTextures, textures, kCubesGlNames);
  deleteGlNames(glDeleteFramebuffers, framebuffers, kCubesGlNames);
  deleteGlNames(glDeleteRenderbuffers, renderbuffers, kCubesGlNames);
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

void CubesScene::uploadInstances() {
  if (clientArrays) return;
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

void CubesScene::pointInstances(const float* clientData, uint32_t first) {
  if (clientArrays) {
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 0, clientData);
  } else {
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 0, bufferOffset(kPositionBytes * first));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
  }
}

void CubesScene::drawCubes(uint32_t count) {
  const void* indices = clientArrays ? cubeIndices : nullptr;
  glDrawElementsInstanced(GL_TRIANGLES, kCubeIndexCount, GL_UNSIGNED_INT, indices, static_cast<GLsizei>(count));
}

void CubesScene::drawCubeGroups(const ShaderProgram& program) {
  const uint32_t shapeCubes = instances->count;
  setUniform4f(program, "colour", 0.2f, 0.3f, 0.4f, 1.0f);
  setUniformMatrix4(program, "world", 1, false, translationMatrix(0.0f, 0.0f, -15.0f).m);
  setUniform3f(program, "scale", kRingScale, kRingScale, kRingScale);
  pointInstances(ringPositions, shapeCubes);
  drawCubes(static_cast<uint32_t>(ringCount));

  setUniform4f(program, "colour", 0.4f, 0.3f, 0.2f, 1.0f);
  setUniformMatrix4(program, "world", 1, false, translationMatrix(4.0f, 0.0f, -30.0f).m);
  setUniform3f(program, "scale", kWallScale, kWallScale, kWallScale);
  pointInstances(wallPositions, shapeCubes + static_cast<uint32_t>(ringCount));
  drawCubes(kWallCubes);
}

void CubesScene::render() {
  const float t = seconds;
  const Mat4 projection = cubesProjection(width, height);
  const Mat4 view = cubesView();
  const Mat4 world = cubesWorld(t);
  const Mat4 shadowProjection = shadowBiasMatrix() * projection;
  glDisable(GL_BLEND);

  // Everything the 128 draws read is computed and sent once.
  buildCubeInstances(t, shape, *instances);
  ringCount = fillRingPositions(t, ringPositions);
  uploadInstances();

  // State the passes rely on, set here so the first frame looks the same whichever scene
  // (or none) came before: culling of back faces, unit 0, and the clear values.
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glEnable(GL_CULL_FACE);
  glActiveTexture(GL_TEXTURE0);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  checkGlError(__LINE__);
  glBindBuffer(GL_ARRAY_BUFFER, clientArrays ? 0 : cubeVertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, clientArrays ? 0 : cubeIndexBuffer);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, clientArrays ? cubeCorners : nullptr);
  pointInstances(instances->positions, 0);
  glVertexAttribDivisor(1, 1);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  checkGlError(__LINE__);

  const float half = instances->gridSpacing / 2.0f;
  for (int pass = 0; pass < kLightPasses; ++pass) {
    const Mat4& light = lightViews[pass];

    // The shadow map from this pass's light direction.
    useProgram(cubeshadowProgram);
    setUniform3f(cubeshadowProgram, "scale", half, half, half);
    setUniformMatrix4(cubeshadowProgram, "world", 1, false, world.m);
    setUniformMatrix4(cubeshadowProgram, "projection", 1, false, projection.m);
    setUniformMatrix4(cubeshadowProgram, "modelview", 1, false, light.m);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, shadowFramebuffer);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glViewport(0, 0, kShadowMapSide, kShadowMapSide);
    glClear(GL_DEPTH_BUFFER_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBindTexture(GL_TEXTURE_2D, 0);
    drawCubes(instances->count);
    drawCubeGroups(cubeshadowProgram);
    pointInstances(instances->positions, 0);
    checkGlError(__LINE__);

    // The lit picture of this direction, added as 1/64 of the whole.
    useProgram(cubeProgram);
    setUniform4f(cubeProgram, "colour", 0.5f, 0.5f, 0.5f, 1.0f);
    setUniform3f(cubeProgram, "scale", half, half, half);
    setUniformMatrix4(cubeProgram, "shadow_modelview", 1, false, light.m);
    setUniformMatrix4(cubeProgram, "world", 1, false, world.m);
    setUniformMatrix4(cubeProgram, "shadow_projection", 1, false, shadowProjection.m);
    setUniformMatrix4(cubeProgram, "projection", 1, false, projection.m);
    setUniformMatrix4(cubeProgram, "modelview", 1, false, view.m);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    if (pass == 0)
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    else
      glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, shadowTexture);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBlendFunc(GL_ONE, GL_ONE);
    drawCubes(instances->count);
    drawCubeGroups(cubeProgram);
    pointInstances(instances->positions, 0);
    glDisable(GL_BLEND);
    checkGlError(__LINE__);
  }

  glDisableVertexAttribArray(0);
  glDisableVertexAttribArray(1);
  glVertexAttribDivisor(1, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  checkGlError(__LINE__);
}
