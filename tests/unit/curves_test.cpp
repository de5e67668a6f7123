// The curves simulation in fixed 1/60 s steps: the state at a tick is the same at any frame
// rate and after any skip. Its pictures are checked against the reference frames.
#include "scenes/curves/curves_scene.h"
#include "synth/demo_random.h"
#include "synth/process_state.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

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
  scene.milliseconds = ms;
  scene.centiseconds = ms / 10;
  scene.seconds = static_cast<float>(ms * 0.001);
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
