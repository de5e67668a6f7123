// The abstract scene the shell drives: started once when the timeline makes it current,
// rendered once per frame with its own clock, destroyed when the next entry applies.
#pragma once

#include "render/shader.h"

#include <cstdint>

class Scene {
 public:
  ShaderProgram downsampleProgram;  // built by the first downsample() of this scene
  uint32_t centiseconds = 0;        // since the scene became current, ms / 10 truncated
  int32_t width = 0;                // of the video surface, pixels
  int32_t height = 0;               // of the video surface, pixels
  float seconds = 0.0f;             // since the scene became current
  // True when render() depends only on the clock and the state it sets itself, so a frame
  // may be rendered without the frames before it (the capture tool then skips ahead).
  bool framesIndependent = false;

  Scene() = default;
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;
  virtual void start() = 0;    // build programs, GL objects, tracks and geometry
  virtual void render() = 0;   // draw the whole frame into the bound draw framebuffer
  virtual void release() = 0;  // delete textures, framebuffers, renderbuffers; never called by the shell
  virtual ~Scene();
};
