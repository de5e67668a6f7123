// The GL objects every scene makes the same way: its set of generated names, texture
// uploads, framebuffer attachments, texture units, and the same-size colour copy.
// A helper that makes or attaches an object leaves the binding points it used at 0; one that
// exists to bind (texture units, the colour copy's target) says what it leaves bound. Texture
// units are always left with unit 0 active.
#pragma once

#include <cstdint>

constexpr int kSceneGlNames = 16;  // names of each kind a scene generates at start

// The framebuffers, textures and renderbuffers of one scene: generated together at start,
// deleted together by release(). Entries a scene does not use stay generated and empty.
struct SceneGlNames {
  uint32_t framebuffers[kSceneGlNames] = {};   // GL names; 0 before generate and after release
  uint32_t textures[kSceneGlNames] = {};       // GL names; 0 before generate and after release
  uint32_t renderbuffers[kSceneGlNames] = {};  // GL names; 0 before generate and after release
};

// Generates every name of the set.
void generateSceneGlNames(SceneGlNames& names);
// Deletes the set's non-zero names and zeroes them: safe twice, and before generating.
void releaseSceneGlNames(SceneGlNames& names);

// Gives a generated 2D texture one level of width x height bytes in `format` (GL_RED, GL_RGB,
// GL_RGBA) stored as internalFormat, one wrap mode for both axes and its filters.
// Rows are read bottom row first, 4-byte aligned. Leaves GL_TEXTURE_2D unbound; the error
// check names the caller's line.
void uploadTexture2D(uint32_t texture, int32_t internalFormat, int32_t width, int32_t height, uint32_t format,
                     const void* texels, int32_t wrap, int32_t minFilter, int32_t magFilter,
                     int line = __builtin_LINE());
// Gives a generated 1D texture `entries` texels in `format` stored as internalFormat,
// nearest filtering and clamped ends: a palette. Leaves GL_TEXTURE_1D unbound.
void uploadPalette(uint32_t texture, int32_t internalFormat, int32_t entries, uint32_t format, const uint8_t* texels,
                   int line = __builtin_LINE());
// Gives a generated 3D texture side^3 texels in `format`, one wrap mode for all three axes and
// one filter for both directions. Leaves GL_TEXTURE_3D unbound.
void uploadTexture3D(uint32_t texture, int32_t internalFormat, int32_t side, uint32_t format, const void* texels,
                     int32_t wrap, int32_t filter, int line = __builtin_LINE());
// Gives a renderbuffer width x height GL_DEPTH_COMPONENT24 storage. Leaves it unbound.
void allocateDepthRenderbuffer(uint32_t renderbuffer, int32_t width, int32_t height, int line = __builtin_LINE());

// Attaches level 0 of a 2D texture to framebuffer at attachment (GL_COLOR_ATTACHMENTi,
// GL_DEPTH_ATTACHMENT). Leaves framebuffer 0 bound for drawing.
void attachTexture(uint32_t framebuffer, uint32_t attachment, uint32_t texture);
// Attaches a renderbuffer to framebuffer at attachment. Leaves framebuffer 0 bound for drawing.
void attachRenderbuffer(uint32_t framebuffer, uint32_t attachment, uint32_t renderbuffer);

// Binds 2D textures for a pass: unit2 and unit1 first, then unit0, leaving unit 0 active.
// Units given 0 are emptied, so a pass never samples what an earlier pass left there.
void bindPassTextures(uint32_t unit0, uint32_t unit1 = 0, uint32_t unit2 = 0);
// Binds texture to target (GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D) on one unit, then makes
// unit 0 active again; the other units keep what they have.
void bindTextureUnit(int unit, uint32_t target, uint32_t texture);

// Copies the colour of readFramebuffer's read buffer into drawFramebuffer (0: the default one)
// at the same width x height, nearest. Leaves drawFramebuffer bound for drawing with a
// width x height viewport and the read framebuffer at 0.
void copyColour(uint32_t readFramebuffer, uint32_t drawFramebuffer, int32_t width, int32_t height);
