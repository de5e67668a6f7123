// The downsample chain against a fake OpenGL that records the calls that shape its passes.
#include "render/target.h"
#include "shell/noop_gl.h"
#include "shell/scene.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> calls;  // what the chain asked of OpenGL, in order
int programsCreated = 0;

GLuint APIENTRY createProgram() { return static_cast<GLuint>(100 + ++programsCreated); }
void APIENTRY bindFramebuffer(GLenum, GLuint name) { calls.push_back("framebuffer " + std::to_string(name)); }
void APIENTRY viewport(GLint x, GLint y, GLsizei w, GLsizei h) {
  calls.push_back("viewport " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + "x" +
                  std::to_string(h));
}
void APIENTRY colorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a) {
  calls.push_back(std::string("mask ") + (r ? "r" : "-") + (g ? "g" : "-") + (b ? "b" : "-") + (a ? "a" : "-"));
}
void APIENTRY bindTexture(GLenum, GLuint name) { calls.push_back("texture " + std::to_string(name)); }
void APIENTRY drawRangeElements(GLenum, GLuint, GLuint, GLsizei, GLenum, const void*) { calls.push_back("draw"); }

class PlainScene : public Scene {
 public:
  void start() override {}
  void render() override {}
  void release() override {}
};

// The calls from the last "framebuffer" to the next draw.
std::vector<std::string> passes() {
  std::vector<std::string> out;
  for (const std::string& c : calls)
    if (c.rfind("framebuffer", 0) == 0 || c.rfind("viewport", 0) == 0 || c.rfind("mask", 0) == 0 || c == "draw" ||
        c == "texture 7" || c == "texture 9")
      out.push_back(c);
  return out;
}

TEST(Downsample, TwoPassesToQuarterSizeWithTheProgramBuiltOnce) {
  installNoopGl();
  glCreateProgram = createProgram;
  glBindFramebuffer = bindFramebuffer;
  glViewport = viewport;
  glColorMask = colorMask;
  glBindTexture = bindTexture;
  glDrawRangeElements = drawRangeElements;
  PlainScene scene;
  scene.width = 1366;
  scene.height = 768;

  // Source texture 7 into the half stage (framebuffer 3, texture 9), then into framebuffer 4.
  downsample(scene, 7, 3, 9, 4);
  std::vector<std::string> expected = {
      "framebuffer 3", "viewport 0 0 1366x768", "mask rgb-",  // pass 1 leaves alpha alone
      "texture 7",     "draw",
      "framebuffer 4", "viewport 0 0 341x192",  "mask rgba",  // 1366 / 4 truncates to 341
      "texture 9",     "draw",
  };
  EXPECT_EQ(passes(), expected);
  EXPECT_EQ(programsCreated, 1);
  EXPECT_TRUE(scene.downsampleProgram.built);

  calls.clear();
  downsample(scene, 7, 3, 9, 4);
  EXPECT_EQ(passes(), expected);
  EXPECT_EQ(programsCreated, 1);  // built on first use only
  scene.downsampleProgram.id = 0;
  clearGlEntryPoints();
}

}  // namespace
