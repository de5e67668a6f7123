// Off-screen target textures sized from the window, and the two-pass reduction of a
// full-size image to a quarter-size one that the glow passes start from.
#pragma once

#include <cstdint>

class Scene;

constexpr uint32_t kFullSize = 1;     // divisor of a full-size target
constexpr uint32_t kQuarterSize = 4;  // divisor of a quarter-size target
// The smallest side of a picture the scenes render, in pixels: a quarter-size target needs one.
constexpr int kMinFrameSide = static_cast<int>(kQuarterSize);

// One side of a target at the window's side / divisor (kFullSize, kQuarterSize), rounded down.
constexpr int32_t targetSide(int32_t windowSide, uint32_t divisor) {
  return static_cast<int32_t>(static_cast<uint32_t>(windowSide) / divisor);
}

// Gives an already generated texture `levels` levels of immutable width x height storage, one
// wrap mode for both axes and its filters. Leaves it bound to GL_TEXTURE_2D; checks no errors,
// so a caller whose group of calls goes on checks once at its end.
void allocateTexture(uint32_t texture, uint32_t internalFormat, int32_t levels, int32_t width, int32_t height,
                     int32_t wrap, int32_t minFilter, int32_t magFilter);

// Gives an already generated texture one level of storage at the scene's size / divisor,
// nearest filtering and clamp-to-border wrapping. Leaves it bound to GL_TEXTURE_2D.
// The error check names the caller's line.
void allocateTargetTexture(const Scene& scene, uint32_t texture, uint32_t internalFormat, uint32_t divisor,
                           int line = __builtin_LINE());

// Reduces sourceTexture (full size) to quarter size: first into the lower-left quarter of
// halfTexture (the colour of halfFramebuffer, RGB only), then into quarterFramebuffer.
// Contract: no buffer bound to GL_ARRAY_BUFFER or GL_ELEMENT_ARRAY_BUFFER; the scene's width
// and height set. Builds the scene's downsample program on first use. Leaves quarterFramebuffer
// bound for drawing, the program current, unit 0 active with halfTexture, units 1 and 2 empty,
// depth test and depth writes off, all colour channels writable. Error checks name the caller's line.
void downsample(Scene& scene, uint32_t sourceTexture, uint32_t halfFramebuffer, uint32_t halfTexture,
                uint32_t quarterFramebuffer, int line = __builtin_LINE());

// Gives the texture bound to GL_TEXTURE_2D one wrap mode for both axes and its filters.
void setTextureModes(int32_t wrap, int32_t minFilter, int32_t magFilter);

// Binds framebuffer for drawing into its first colour attachment with a width x height
// viewport, then checks for errors, naming the caller's line.
void bindDrawTarget(uint32_t framebuffer, int32_t width, int32_t height, int line = __builtin_LINE());
