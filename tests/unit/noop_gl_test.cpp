// The no-op OpenGL scope the benchmarks time scenes under: shader builds succeed silently
// inside it, and the table found before it is back afterwards.
#include "render/shader.h"
#include "shell/log.h"
#include "shell/noop_gl.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

GLenum APIENTRY sentinelGetError() { return GL_INVALID_OPERATION; }

TEST(NoopGlScope, BuildsSilentlyAndRestoresTheTableItReplaced) {
  installNoopGl();
  glGetError = &sentinelGetError;
  glMajorVersion = 3;
  glMinorVersion = 3;
  FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  logAttach(log);
  {
    NoopGlScope noop;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(isGlVersionSupported(4, 5));
    GLint status = GL_FALSE;
    glGetProgramiv(0, GL_LINK_STATUS, &status);
    EXPECT_EQ(status, GL_TRUE);
    ShaderProgram program;
    buildProgram(program, DEMO_SOURCE_DIR "/shaders/cube_v.glsl", nullptr, DEMO_SOURCE_DIR "/shaders/cube_f.glsl");
    EXPECT_TRUE(program.built);
  }
  // A failed compile or link, or a missing file, would have left its report in the log.
  EXPECT_EQ(std::ftell(log), 0L);
  logClose();
  std::fclose(log);
  EXPECT_EQ(glGetError, &sentinelGetError);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_OPERATION));
  EXPECT_EQ(glMajorVersion, 3);
  EXPECT_EQ(glMinorVersion, 3);
  installNoopGl();
}

}  // namespace
