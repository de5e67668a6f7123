// Target texture storage and the downsample chain.
#include "render/target.h"

#include "base/gl.h"
#include "render/gl_objects.h"
#include "render/quad.h"
#include "render/scene.h"
#include "render/shader.h"

namespace {

// Pass 1 draws the whole source into the lower-left quarter of the full-size viewport.
const float kHalfPassPositions[kQuadFloats] = {-1, -1, 0, -1, 0, 0, -1, 0};    // x, y per vertex
const float kHalfPassCoords[kQuadFloats] = {0, 0, 1, 0, 1, 1, 0, 1};           // u, v per vertex
// Pass 2 fills the quarter viewport from that lower-left quarter.
const float kQuarterPassPositions[kQuadFloats] = {-1, -1, 1, -1, 1, 1, -1, 1};  // x, y per vertex
const float kQuarterPassCoords[kQuadFloats] = {0, 0, 0.5f, 0, 0.5f, 0.5f, 0, 0.5f};  // u, v per vertex

}  // namespace

void allocateTexture(uint32_t texture, uint32_t internalFormat, int32_t levels, int32_t width, int32_t height,
                     int32_t wrap, int32_t minFilter, int32_t magFilter) {
  glBindTexture(GL_TEXTURE_2D, texture);
  setTextureModes(wrap, minFilter, magFilter);
  glTexStorage2D(GL_TEXTURE_2D, levels, internalFormat, width, height);
}

void allocateTargetTexture(const Scene& scene, uint32_t texture, uint32_t internalFormat, uint32_t divisor,
                           int line) {
  allocateTexture(texture, internalFormat, 1, targetSide(scene.width, divisor), targetSide(scene.height, divisor),
                  GL_CLAMP_TO_BORDER, GL_NEAREST, GL_NEAREST);
  checkGlError(line);
}

void downsample(Scene& scene, uint32_t sourceTexture, uint32_t halfFramebuffer, uint32_t halfTexture,
                uint32_t quarterFramebuffer, int line) {
  const GLenum colour0 = GL_COLOR_ATTACHMENT0;
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, halfFramebuffer);
  glDrawBuffers(1, &colour0);
  glViewport(0, 0, scene.width, scene.height);
  checkGlError(line);
  // Alpha of the half-size stage is left alone; only the quarter image's alpha matters.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  disableDepth();
  if (!scene.downsampleProgram.built)
    buildProgram(scene.downsampleProgram, "shaders/downsample_v.glsl", nullptr, "shaders/downsample_f.glsl",
                 setTex0Unit);
  useProgram(scene.downsampleProgram);
  bindPassTextures(sourceTexture);
  drawQuad(kHalfPassPositions, kHalfPassCoords);

  GLsizei quarterWidth = targetSide(scene.width, kQuarterSize);
  GLsizei quarterHeight = targetSide(scene.height, kQuarterSize);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, quarterFramebuffer);
  glDrawBuffers(1, &colour0);
  glViewport(0, 0, quarterWidth, quarterHeight);
  checkGlError(line);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  disableDepth();
  useProgram(scene.downsampleProgram);
  bindPassTextures(halfTexture);
  drawQuad(kQuarterPassPositions, kQuarterPassCoords);
}

void setTextureModes(int32_t wrap, int32_t minFilter, int32_t magFilter) {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}

void bindDrawTarget(uint32_t framebuffer, int32_t width, int32_t height, int line) {
  const GLenum colour0 = GL_COLOR_ATTACHMENT0;
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
  glDrawBuffers(1, &colour0);
  glViewport(0, 0, width, height);
  checkGlError(line);
}
