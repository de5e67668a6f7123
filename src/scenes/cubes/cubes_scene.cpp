// Placeholder for the cubes scene until it is built: a plain black picture for its slot.
#include "shell/gl.h"
#include "shell/scene.h"
#include "shell/scenes.h"

class CubesScene : public Scene {
 public:
  CubesScene() { framesIndependent = true; }
  void start() override {}
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

Scene* cubesScene = new CubesScene();
