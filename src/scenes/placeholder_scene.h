// A plain black picture that holds a scene's slot on the timeline until the scene is built.
#pragma once

#include "shell/gl.h"
#include "shell/scene.h"

class PlaceholderScene : public Scene {
 public:
  PlaceholderScene() { framesIndependent = true; }
  void start() override {}
  // Clears the default framebuffer to black.
  void render() override {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    checkGlError(__LINE__);
  }
  void release() override {}
};
