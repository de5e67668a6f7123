// The scenes without a GPU; their pictures are checked against the reference frames.
// The forest's geometry pass against a fake OpenGL that follows texture units, framebuffer
// attachments and hints: no draw into the geometry framebuffer may happen while a texture
// attached to it is bound to a texture unit (a feedback loop), even in a frame that follows
// one whose composite left depthTexture on unit 1; and per-pixel derivatives are asked for.
// The cubes of every frame against an independent placing of them, and the random draws.
// The curves simulation in fixed 1/60 s steps: the state at a tick is the same at any frame
// rate and after any skip.
#include "base/noop_gl.h"
#include "scenes/cubes/cube_instances.h"
#include "scenes/curves/curves_scene.h"
#include "scenes/forest/forest_scene.h"
#include "synth/demo_random.h"
#include "synth/process_state.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
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
      scene.setClock(ms);
      scene.render();
      // The composite does bind depthTexture on unit 1, so the next frame must unbind it.
      EXPECT_EQ(fake.bound2d[1], scene.depthTexture) << ms;
    }
  }
  EXPECT_GE(fake.geometryDraws, 3 * 3);
  EXPECT_EQ(fake.faults, std::vector<std::string>{});
}

// The cubes' positions, three floats each, and the attempts made.
struct ReferenceInstances {
  std::vector<float> positions;
  uint32_t attempts = 0;
};

// Samples the band of the shape with the program's pieces, but draws and places the points
// independently, dropping a point in a cell already taken. (The original's bucket chains
// dropped one within 0.01 of an earlier one on every axis: with a spacing over 0.2, the same.)
ReferenceInstances referenceInstances(float t) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  buildCubeShape(shape, t);
  Lcg random{kCubesSeed};
  for (int k = 0; k < kShapeExtrusions; ++k) random.next();
  const uint32_t n = shape.triangleCount;
  std::vector<float> areas(n), cumulative(n);
  shape.triangleAreas(areas.data());
  float total = 0.0f;
  for (uint32_t i = 0; i < n; ++i)
    cumulative[i] = total += areas[i] * cubeBandWeight(shape.samplePoint(i, 0.333f, 0.333f).z, t);
  const float s = cubeGridSpacing(t);
  ReferenceInstances r;
  r.attempts = cubeAttemptCount(total, s);
  std::unordered_set<uint64_t> cells;  // each cell as its three numbers, 21 bits each
  cells.reserve(r.attempts);
  for (uint32_t a = 0; a < r.attempts; ++a) {
    uint32_t tri = searchCumulative(cumulative.data(), n, (static_cast<float>(random.next()) / 32767.0f) * total);
    int r1 = random.next();
    Vec3 p = shape.samplePoint(tri, random.next() / 32767.0f, r1 / 32767.0f);
    const float axes[3] = {p.x, p.y, p.z};
    int cell[3];
    uint64_t key = 0;
    for (int k = 0; k < 3; ++k) {
      cell[k] = static_cast<int>(std::floor(static_cast<double>(axes[k] / s)));
      key = key << 21 | static_cast<uint64_t>(cell[k] + (1 << 20));
    }
    if (!cells.insert(key).second) continue;
    for (int k = 0; k < 3; ++k) r.positions.push_back(static_cast<float>(cell[k]) * s);
  }
  return r;
}

TEST(CubeInstances, SameCubesInTheSameOrderOverTheWholeScene) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  auto out = std::make_unique<CubeInstances>();  // too large for the stack
  for (int step = 0; step <= 320; ++step) {
    float t = 0.05f * static_cast<float>(step);
    ReferenceInstances expected = referenceInstances(t);
    buildCubeInstances(t, shape, *out);
    ASSERT_EQ(out->attempts, expected.attempts) << t;
    ASSERT_EQ(std::vector<float>(out->positions, out->positions + 3 * out->count), expected.positions) << t;
    Lcg after{kCubesSeed};  // exactly 20 + 3N values after the seed
    for (uint32_t k = 0; k < 20u + 3u * out->attempts; ++k) after.next();
    ASSERT_EQ(process.random.state, after.state) << t;
  }
}

// A scene as start() leaves it on the CPU side, the sequence past the grain texture.
std::unique_ptr<CurvesScene> startedScene() {
  auto scene = std::make_unique<CurvesScene>();
  scene->width = 640, scene->height = 360;
  demoSrand(0);
  uint8_t noise[kCurvesNoiseBytes];
  fillCurvesNoise(noise);
  scene->spawnSequence = saveDemoRand();
  scene->prepareSimulation();
  return scene;
}

// Runs the scene's simulation for the frame at the given milliseconds of its own clock.
void frameAt(CurvesScene& scene, uint32_t ms) {
  scene.setClock(ms);
  scene.advanceSimulation();
}

// One simulation step at the given milliseconds, whatever the steps before it: the per-frame
// loop as it ran before the fixed steps, which each 60 fps frame still runs.
void stepAt(CurvesScene& scene, uint32_t ms) {
  for (CurveSystem& system : scene.curveSystems) updateCurveSystem(system, ms / 10, static_cast<float>(ms * 0.001));
  scene.recordLookAhead();
  scene.buildAllPoints();
  scene.smoothCamera();
}

// Everything the simulation keeps, with the shared sequence's state, as bytes: the same
// simulation bit for bit (so -0 and 0 differ).
using SimulationState = std::vector<uint8_t>;

template <typename T>
void append(SimulationState& out, const T& value) {
  out.insert(out.end(), reinterpret_cast<const uint8_t*>(&value), reinterpret_cast<const uint8_t*>(&value + 1));
}

SimulationState stateOf(const CurvesScene& scene) {
  SimulationState s;
  append(s, scene.stepsRun), append(s, process.random.state), append(s, scene.historyIndex);
  append(s, scene.cameraHistory), append(s, scene.cameraOffset);
  for (const CurveSystem& system : scene.curveSystems) {
    append(s, system.currentInterval);
    for (const Curve& c : system.curves) {
      append(s, c.active), append(s, c.progress), append(s, c.generation), append(s, c.kind);
      append(s, c.birthTime), append(s, c.zScale), append(s, c.offset);
      append(s, c.controlPoints), append(s, c.velocities), append(s, c.points);
    }
  }
  return s;
}

// The tick of frame n at fps frames per second, as the capture tool's clock gives it.
uint32_t frameTickAt(int64_t n, int fps) { return static_cast<uint32_t>(n * 1000 / fps); }

constexpr uint32_t kSceneLengthMs = 66000;  // 126 s to the end of the show

// No overflow where a long stall leaves the scene's clock far ahead (the ticks of the steps
// themselves the test below holds to the frame loop's).
TEST(CurvesSteps, StepTicksDoNotOverflow) { EXPECT_EQ(curveStepTick(4000000000u), 66666666666ull); }

// At 60 fps each frame runs one step, as the frame loop did; at other rates and after skips
// the state at a tick is that of the frame loop at 60 fps.
TEST(CurvesSteps, AtAnyRateAndAfterSkipsTheStateAtATickIsThe60FramesPerSecondLoops) {
  // The check ticks: frames of every rate tried, spread over the scene, boundaries included.
  std::vector<uint32_t> checks;
  const int rates[] = {60, 30, 144, 23, 1};
  for (int fps : rates)
    for (int64_t n = 0; frameTickAt(n, fps) < kSceneLengthMs; n += std::max(1, fps * 7 / 3))
      checks.push_back(frameTickAt(n, fps));
  for (uint32_t t : {4999u, 5000u, 34999u, 35000u, 65999u}) checks.push_back(t);
  std::sort(checks.begin(), checks.end());
  checks.erase(std::unique(checks.begin(), checks.end()), checks.end());

  // The loop's state at tick t is that of its last frame at or before t.
  std::vector<SimulationState> reference;
  {
    auto scene = startedScene();
    size_t next = 0;
    for (int64_t n = 0; next < checks.size(); ++n) {
      stepAt(*scene, frameTickAt(n, 60));
      scene->stepsRun = static_cast<uint32_t>(n + 1);
      for (; next < checks.size() && frameTickAt(n + 1, 60) > checks[next]; ++next) reference.push_back(stateOf(*scene));
    }
  }
  auto expectRate = [&](const std::vector<uint32_t>& frames, const std::string& name) {
    auto scene = startedScene();
    for (uint32_t t : frames) {
      frameAt(*scene, t);
      auto at = std::lower_bound(checks.begin(), checks.end(), t);
      EXPECT_TRUE(at == checks.end() || *at != t || stateOf(*scene) == reference[at - checks.begin()])
          << name << " at " << t;
    }
  };
  for (int fps : rates) {
    std::vector<uint32_t> frames;
    for (int64_t n = 0; frameTickAt(n, fps) < kSceneLengthMs; ++n) frames.push_back(frameTickAt(n, fps));
    expectRate(frames, std::to_string(fps) + " fps");
  }
  // The capture tool's skip: the scene's first frame, then straight to 8 s (134 s of the show).
  expectRate({0, 8000}, "skip to 8000");
  expectRate({0, 5000, 35000, 65999}, "skip over respawns");
  // The maker's mode's jumps back inside the scene, which it does not start again.
  expectRate({0, 65999, 35000, 34999, 5000, 0, 8000}, "jumps back");
}

}  // namespace
