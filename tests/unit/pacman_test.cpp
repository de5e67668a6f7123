// The shader world: what one frame hands its program, its tracks included.
#include "scenes/pacman/pacman_scene.h"
#include "shell/noop_gl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// Uniform values by name, as the fake driver received them.
std::vector<std::string> locationNames;
std::map<std::string, std::vector<float>> uniforms;

GLint APIENTRY getUniformLocation(GLuint, const GLchar* name) {
  locationNames.push_back(name);
  return static_cast<GLint>(locationNames.size() - 1);
}
void APIENTRY uniform1f(GLuint, GLint at, GLfloat x) { uniforms[locationNames[at]] = {x}; }
void APIENTRY uniform2f(GLuint, GLint at, GLfloat x, GLfloat y) { uniforms[locationNames[at]] = {x, y}; }
void APIENTRY uniform3f(GLuint, GLint at, GLfloat x, GLfloat y, GLfloat z) { uniforms[locationNames[at]] = {x, y, z}; }

TEST(PacmanScene, UniformNamesAndUnits) {
  installNoopGl();
  glGetUniformLocation = getUniformLocation;
  glProgramUniform1f = uniform1f;
  glProgramUniform2f = uniform2f;
  glProgramUniform3f = uniform3f;
  {
    PacmanScene scene;
    scene.width = 1920;
    scene.height = 1080;
    scene.start();
    // Time in seconds, tracks in centiseconds: 15 s in, the camera holds its key at 1500.
    scene.seconds = 15.0f;
    scene.centiseconds = 1500;
    scene.render();
  }
  using Values = std::vector<float>;
  EXPECT_EQ(uniforms.size(), 5u);
  EXPECT_EQ(uniforms["time"], (Values{15.0f}));
  EXPECT_EQ(uniforms["aspect"], (Values{1920.0f / 1080.0f, 1.0f}));
  EXPECT_EQ(uniforms["tint"], (Values{1, 1, 1}));
  EXPECT_EQ(uniforms["cam_pos"], (Values{0, 0, -4}));
  // 7/12 of the way from -1 (tangent 1) at 800 to 0 at 2000: -h00 + h10 of the Hermite basis.
  ASSERT_EQ(uniforms["cam_rot"].size(), 3u);
  EXPECT_NEAR(uniforms["cam_rot"][2], -0.274884f, 1e-5f);
  clearGlEntryPoints();
}

}  // namespace
