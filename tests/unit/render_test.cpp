// The downsample chain and the texture allocation against a fake OpenGL that records the
// calls that shape them.
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

void APIENTRY texParameteri(GLenum, GLenum name, GLint value) {
  calls.push_back("parameter " + std::to_string(name) + " " + std::to_string(value));
}
void APIENTRY texStorage2D(GLenum, GLsizei levels, GLenum format, GLsizei w, GLsizei h) {
  calls.push_back("storage " + std::to_string(levels) + " " + std::to_string(format) + " " + std::to_string(w) + "x" +
                  std::to_string(h));
}

// The parameter and storage calls expected for one texture, in the order they are made.
std::vector<std::string> allocation(const std::string& texture, int wrap, int minFilter, int magFilter,
                                    const std::string& storage) {
  return {"texture " + texture,
          "parameter " + std::to_string(GL_TEXTURE_MIN_FILTER) + " " + std::to_string(minFilter),
          "parameter " + std::to_string(GL_TEXTURE_MAG_FILTER) + " " + std::to_string(magFilter),
          "parameter " + std::to_string(GL_TEXTURE_WRAP_S) + " " + std::to_string(wrap),
          "parameter " + std::to_string(GL_TEXTURE_WRAP_T) + " " + std::to_string(wrap),
          "storage " + storage};
}

TEST(TextureAllocation, TargetsTakeTheWindowOverTheDivisorAndOthersTheirOwnModes) {
  installNoopGl();
  glBindTexture = bindTexture;
  glTexParameteri = texParameteri;
  glTexStorage2D = texStorage2D;
  PlainScene scene;
  scene.width = 1366;
  scene.height = 768;
  calls.clear();

  allocateTargetTexture(scene, 5, GL_RGBA8, kQuarterSize);
  allocateTexture(6, GL_RGBA8, 3, 512, 256, GL_CLAMP_TO_EDGE, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR);
  std::vector<std::string> expected =
      allocation("5", GL_CLAMP_TO_BORDER, GL_NEAREST, GL_NEAREST, "1 " + std::to_string(GL_RGBA8) + " 341x192");
  std::vector<std::string> second = allocation("6", GL_CLAMP_TO_EDGE, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR,
                                               "3 " + std::to_string(GL_RGBA8) + " 512x256");
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(calls, expected);
  calls.clear();
  clearGlEntryPoints();
}

}  // namespace
