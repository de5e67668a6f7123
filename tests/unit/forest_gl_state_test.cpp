// The forest's geometry pass against a fake OpenGL that follows texture units, framebuffer
// attachments and hints: no draw into the geometry framebuffer may happen while a texture
// attached to it is bound to a texture unit (a feedback loop), even in a frame that follows
// one whose composite left depthTexture on unit 1; and per-pixel derivatives are asked for.
#include "base/noop_gl.h"
#include "scenes/forest/forest_scene.h"
#include "synth/process_state.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kUnits = 3;  // the units the scenes use

struct FakeState {
  GLuint nextName = 0;
  int activeUnit = 0;
  GLuint bound2d[kUnits] = {};
  GLuint drawFramebuffer = 0;
  std::map<GLuint, std::set<GLuint>> attachments;  // framebuffer -> textures attached
  GLenum derivativeHint = GL_DONT_CARE;
  GLuint geometryFramebuffer = 0;                   // set once the scene has made its names
  int geometryDraws = 0;                            // draws into it
  std::vector<std::string> faults;
} fake;

void APIENTRY genNames(GLsizei n, GLuint* names) {
  for (GLsizei i = 0; i < n; ++i) names[i] = ++fake.nextName;
}
void APIENTRY activeTexture(GLenum unit) { fake.activeUnit = static_cast<int>(unit - GL_TEXTURE0); }
void APIENTRY bindTexture(GLenum target, GLuint name) {
  if (target == GL_TEXTURE_2D && fake.activeUnit < kUnits) fake.bound2d[fake.activeUnit] = name;
}
void APIENTRY bindFramebuffer(GLenum target, GLuint name) {
  if (target == GL_DRAW_FRAMEBUFFER || target == GL_FRAMEBUFFER) fake.drawFramebuffer = name;
}
void APIENTRY framebufferTexture2D(GLenum, GLenum, GLenum, GLuint texture, GLint) {
  fake.attachments[fake.drawFramebuffer].insert(texture);
}
void APIENTRY hint(GLenum target, GLenum mode) {
  if (target == GL_FRAGMENT_SHADER_DERIVATIVE_HINT) fake.derivativeHint = mode;
}
// Every draw call comes here: checks the units against the draw framebuffer's attachments.
void checkDraw() {
  if (fake.drawFramebuffer != fake.geometryFramebuffer || fake.geometryFramebuffer == 0) return;
  ++fake.geometryDraws;
  if (fake.derivativeHint != GL_NICEST) fake.faults.push_back("geometry drawn without the derivative hint");
  for (int unit = 0; unit < kUnits; ++unit)
    if (fake.bound2d[unit] && fake.attachments[fake.geometryFramebuffer].count(fake.bound2d[unit]))
      fake.faults.push_back("unit " + std::to_string(unit) + " holds attached texture " +
                            std::to_string(fake.bound2d[unit]));
}
void APIENTRY drawElements(GLenum, GLsizei, GLenum, const void*) { checkDraw(); }
void APIENTRY drawRangeElements(GLenum, GLuint, GLuint, GLsizei, GLenum, const void*) { checkDraw(); }
void APIENTRY drawArrays(GLenum, GLint, GLsizei) { checkDraw(); }

TEST(ForestGlState, GeometryPassHasNoFeedbackLoopAndPerPixelDerivatives) {
  NoopGlScope noop;
  fake = FakeState();
  glGenTextures = glGenFramebuffers = glGenRenderbuffers = glGenBuffers = glGenSamplers = genNames;
  glActiveTexture = activeTexture, glBindTexture = bindTexture, glHint = hint;
  glBindFramebuffer = bindFramebuffer, glFramebufferTexture2D = framebufferTexture2D;
  glDrawElements = drawElements, glDrawRangeElements = drawRangeElements, glDrawArrays = drawArrays;
  process = ProcessState();
  {
    ForrestScene scene;
    scene.width = 64, scene.height = 36;
    scene.start();
    fake.geometryFramebuffer = scene.glNames.framebuffers[kGeometryFramebuffer];
    ASSERT_TRUE(fake.attachments[fake.geometryFramebuffer].count(scene.depthTexture));
    // Frame one, then a frame that inherits the composite's bindings; captions at both times.
    for (uint32_t ms : {0u, 1000u, 20000u}) {
      scene.milliseconds = ms, scene.centiseconds = ms / 10, scene.seconds = static_cast<float>(ms * 0.001);
      scene.render();
      // The composite does bind depthTexture on unit 1, so the next frame must unbind it.
      EXPECT_EQ(fake.bound2d[1], scene.depthTexture) << ms;
    }
  }
  EXPECT_GE(fake.geometryDraws, 3 * 3);
  EXPECT_EQ(fake.faults, std::vector<std::string>{});
}

}  // namespace
