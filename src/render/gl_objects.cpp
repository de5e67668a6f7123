// Name sets, uploads, attachments, texture units and the colour copy shared by the scenes.
#include "render/gl_objects.h"

#include "base/gl.h"
#include "render/target.h"

void generateSceneGlNames(SceneGlNames& names) {
  glGenFramebuffers(kSceneGlNames, names.framebuffers);
  glGenTextures(kSceneGlNames, names.textures);
  glGenRenderbuffers(kSceneGlNames, names.renderbuffers);
}

void releaseSceneGlNames(SceneGlNames& names) {
  deleteGlNames(glDeleteTextures, names.textures, kSceneGlNames);
  deleteGlNames(glDeleteFramebuffers, names.framebuffers, kSceneGlNames);
  deleteGlNames(glDeleteRenderbuffers, names.renderbuffers, kSceneGlNames);
}

void uploadTexture2D(uint32_t texture, int32_t internalFormat, int32_t width, int32_t height, uint32_t format,
                     const void* texels, int32_t wrap, int32_t minFilter, int32_t magFilter, int line) {
  glBindTexture(GL_TEXTURE_2D, texture);
  setTextureModes(wrap, minFilter, magFilter);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, texels);
  checkGlError(line);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void uploadPalette(uint32_t texture, int32_t internalFormat, int32_t entries, uint32_t format, const uint8_t* texels,
                   int line) {
  glBindTexture(GL_TEXTURE_1D, texture);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexImage1D(GL_TEXTURE_1D, 0, internalFormat, entries, 0, format, GL_UNSIGNED_BYTE, texels);
  checkGlError(line);
  glBindTexture(GL_TEXTURE_1D, 0);
}

void uploadTexture3D(uint32_t texture, int32_t internalFormat, int32_t side, uint32_t format, const void* texels,
                     int32_t wrap, int32_t filter, int line) {
  glBindTexture(GL_TEXTURE_3D, texture);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, wrap);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, wrap);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, filter);
  glTexImage3D(GL_TEXTURE_3D, 0, internalFormat, side, side, side, 0, format, GL_UNSIGNED_BYTE, texels);
  checkGlError(line);
  glBindTexture(GL_TEXTURE_3D, 0);
}

void allocateDepthRenderbuffer(uint32_t renderbuffer, int32_t width, int32_t height, int line) {
  glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  checkGlError(line);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
}

void attachTexture(uint32_t framebuffer, uint32_t attachment, uint32_t texture) {
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, attachment, GL_TEXTURE_2D, texture, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

void attachRenderbuffer(uint32_t framebuffer, uint32_t attachment, uint32_t renderbuffer) {
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
  glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, attachment, GL_RENDERBUFFER, renderbuffer);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

void bindPassTextures(uint32_t unit0, uint32_t unit1, uint32_t unit2) {
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, unit2);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, unit1);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, unit0);
}

void bindTextureUnit(int unit, uint32_t target, uint32_t texture) {
  glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
  glBindTexture(target, texture);
  glActiveTexture(GL_TEXTURE0);
}

void copyColour(uint32_t readFramebuffer, uint32_t drawFramebuffer, int32_t width, int32_t height) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFramebuffer);
  glViewport(0, 0, width, height);
  glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
}
