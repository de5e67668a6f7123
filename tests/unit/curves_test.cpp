// The curves scene without a GPU: spawning on the shared random sequence and the following
// camera's window. Its pictures are checked against the reference frames.
#include "scenes/curves/curves_scene.h"
#include "synth/process_state.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// One random value as a spawn maps it: extended-precision quotient rounded to float.
float signedShare(int r) { return static_cast<float>(static_cast<long double>(r) / 32767.0L) * 2.0f - 1.0f; }

// A scene as start() leaves it on the CPU side, the sequence past the grain texture.
std::unique_ptr<CurvesScene> startedScene(int32_t width = 1920, int32_t height = 1080) {
  auto scene = std::make_unique<CurvesScene>();
  scene->width = width;
  scene->height = height;
  demoSrand(0);
  uint8_t noise[kCurvesNoiseBytes];
  fillCurvesNoise(noise);
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
  updateCurveSystem(scene.curveSystems[0], ms / 10, static_cast<float>(ms * 0.001));
  updateCurveSystem(scene.curveSystems[1], ms / 10, static_cast<float>(ms * 0.001));
  scene.recordLookAhead();
  scene.smoothCamera();
}

// Expects the curve to hold the shape and drift taken from the next 32 values of lcg.
void expectSpawnedFrom(const Curve& curve, Lcg& lcg) {
  for (int i = 0; i < kCurveControlPoints; ++i) {
    int r1 = lcg.next(), r2 = lcg.next();
    EXPECT_EQ(curve.controlPoints[i].y, signedShare(r1)) << i;
    EXPECT_EQ(curve.controlPoints[i].x, signedShare(r2)) << i;
  }
  for (int i = 0; i < kCurveControlPoints; ++i) {
    int r1 = lcg.next(), r2 = lcg.next();
    EXPECT_FLOAT_EQ(curve.velocities[i].y, signedShare(r1) * 0.001f) << i;
    EXPECT_FLOAT_EQ(curve.velocities[i].x, signedShare(r2) * 0.001f) << i;
  }
}

TEST(CurvesSpawn, FirstFrameSpawnsSlotZeroOfBothSystemsSystemZeroFirst) {
  auto scene = startedScene();
  Lcg lcg{process.random.state};
  frameAt(*scene, 0);
  for (int k = 0; k < kCurveSystems; ++k) {
    const Curve& slot = scene->curveSystems[k].curves[0];
    EXPECT_TRUE(slot.active && slot.offset.x == 0.0f && slot.offset.y == 0.0f && slot.progress == 0) << k;
    for (int s = 1; s < kCurvesPerSystem; ++s) EXPECT_FALSE(scene->curveSystems[k].curves[s].active) << k << s;
  }
  expectSpawnedFrom(scene->curveSystems[0].curves[0], lcg);
  expectSpawnedFrom(scene->curveSystems[1].curves[0], lcg);
  EXPECT_EQ(process.random.state, lcg.state);  // 32 values per spawn, nothing else
}

TEST(CurvesCamera, TriangularWindowOverTheRingScaledToThePicture) {
  auto scene = startedScene(1000, 2000);
  scene->historyIndex = 10;
  // The entry just written (9) and the one before it (8) weigh nothing; the oldest (10)
  // weighs 1/255 and the middle of the ring the most.
  scene->cameraHistory[9] = {100.0f, 100.0f};
  scene->cameraHistory[8] = {-100.0f, 100.0f};
  scene->smoothCamera();
  EXPECT_EQ(scene->cameraOffset.x, 0.0f);
  EXPECT_EQ(scene->cameraOffset.y, 0.0f);

  double total = 0;
  for (int u = 0; u < kCameraHistory; ++u) total += 0.5 - std::fabs(u / 255.0 - 0.5);
  scene->cameraHistory[10] = {1000.0f, 0.0f};
  scene->cameraHistory[(10 + 127) % kCameraHistory] = {0.0f, 1.0f};
  scene->smoothCamera();
  EXPECT_EQ(scene->cameraOffset.x, std::trunc(-(1000.0 / 255.0) / total * 500.0));
  EXPECT_EQ(scene->cameraOffset.y, std::trunc(-(0.5 - std::fabs(128 / 255.0 - 0.5)) / total * 1000.0));
}

// Everything the simulation keeps, copied out of a scene, with the shared sequence's state.
struct SimulationState {
  CurveSystem systems[kCurveSystems];
  CurvePoint2 history[kCameraHistory];
  uint32_t historyIndex = 0;
  CurvePoint2 camera;
  uint32_t stepsRun = 0;
  uint32_t randomState = 0;
};

SimulationState stateOf(const CurvesScene& scene) {
  SimulationState state;
  std::copy(scene.curveSystems, scene.curveSystems + kCurveSystems, state.systems);
  std::copy(scene.cameraHistory, scene.cameraHistory + kCameraHistory, state.history);
  state.historyIndex = scene.historyIndex;
  state.camera = scene.cameraOffset;
  state.stepsRun = scene.stepsRun;
  state.randomState = process.random.state;
  return state;
}

// Bit for bit the same simulation (floats compared as bytes, so -0 and 0 differ).
void expectSameState(const SimulationState& a, const SimulationState& b, const std::string& where) {
  SCOPED_TRACE(where);
  EXPECT_EQ(a.stepsRun, b.stepsRun);
  EXPECT_EQ(a.randomState, b.randomState);
  EXPECT_EQ(a.historyIndex, b.historyIndex);
  EXPECT_EQ(0, std::memcmp(a.history, b.history, sizeof a.history));
  EXPECT_EQ(0, std::memcmp(&a.camera, &b.camera, sizeof a.camera));
  for (int k = 0; k < kCurveSystems; ++k) {
    const CurveSystem &p = a.systems[k], &q = b.systems[k];
    EXPECT_EQ(p.currentInterval, q.currentInterval) << k;
    for (int i = 0; i < kCurvesPerSystem; ++i) {
      const Curve &c = p.curves[i], &d = q.curves[i];
      EXPECT_EQ(c.active, d.active) << k << i;
      EXPECT_EQ(c.progress, d.progress) << k << i;
      EXPECT_EQ(c.generation, d.generation) << k << i;
      EXPECT_EQ(0, std::memcmp(&c.birthTime, &d.birthTime, sizeof c.birthTime)) << k << i;
      EXPECT_EQ(0, std::memcmp(&c.offset, &d.offset, sizeof c.offset)) << k << i;
      EXPECT_EQ(0, std::memcmp(c.controlPoints, d.controlPoints, sizeof c.controlPoints)) << k << i;
      EXPECT_EQ(0, std::memcmp(c.velocities, d.velocities, sizeof c.velocities)) << k << i;
      EXPECT_EQ(0, std::memcmp(c.points, d.points, sizeof c.points)) << k << i;
    }
  }
}

// The tick of frame n at fps frames per second, as the capture tool's clock gives it.
uint32_t frameTickAt(int64_t n, int fps) { return static_cast<uint32_t>(n * 1000 / fps); }

constexpr uint32_t kSceneLengthMs = 66000;  // 126 s to the end of the show

TEST(CurvesSteps, StepTicksAreTheTicksOf60FramesPerSecond) {
  EXPECT_EQ(curveStepTick(0), 0u);
  EXPECT_EQ(curveStepTick(1), 16u);
  EXPECT_EQ(curveStepTick(2), 33u);
  EXPECT_EQ(curveStepTick(3), 50u);
  for (uint32_t k = 0; k <= 60 * 200; ++k) ASSERT_EQ(curveStepTick(k), uint64_t{frameTickAt(k, 60)}) << k;
  // No overflow where a long stall leaves the scene's clock far ahead.
  EXPECT_EQ(curveStepTick(4000000000u), 4000000000ull * 1000 / 60);
}

TEST(CurvesSteps, At60FramesPerSecondEachFrameRunsOneStepAsTheFrameLoopDid) {
  // The stepped scene, frame by frame at 60 fps over the first 40 s (two respawns of the thin
  // system's slot 0), against the loop that ran one update per frame at the frame's clock.
  constexpr int kFrames = 2400;
  constexpr int kEvery = 97;  // frames between full comparisons
  std::vector<SimulationState> stepped, perFrame;
  auto scene = startedScene(640, 360);
  for (int n = 0; n < kFrames; ++n) {
    frameAt(*scene, frameTickAt(n, 60));
    ASSERT_EQ(scene->stepsRun, static_cast<uint32_t>(n + 1));
    if (n % kEvery == 0 || n == kFrames - 1) stepped.push_back(stateOf(*scene));
  }
  scene = startedScene(640, 360);
  for (int n = 0; n < kFrames; ++n) {
    stepAt(*scene, frameTickAt(n, 60));
    scene->stepsRun = n + 1;
    if (n % kEvery == 0 || n == kFrames - 1) perFrame.push_back(stateOf(*scene));
  }
  ASSERT_EQ(stepped.size(), perFrame.size());
  for (size_t i = 0; i < stepped.size(); ++i) expectSameState(stepped[i], perFrame[i], "check " + std::to_string(i));
}

TEST(CurvesSteps, AtOtherRatesAndAfterSkipsTheStateAtATickIsThe60FramesPerSecondOne) {
  // The check ticks: frames of every rate tried, spread over the scene, boundaries included.
  std::vector<uint32_t> checks;
  const int rates[] = {30, 144, 23, 1};
  for (int fps : rates)
    for (int64_t n = 0; frameTickAt(n, fps) < kSceneLengthMs; n += std::max(1, fps * 7 / 3))
      checks.push_back(frameTickAt(n, fps));
  for (uint32_t t : {4999u, 5000u, 34999u, 35000u, 65999u}) checks.push_back(t);
  std::sort(checks.begin(), checks.end());
  checks.erase(std::unique(checks.begin(), checks.end()), checks.end());

  // At 60 fps the state at tick t is that of the last frame at or before t.
  std::vector<SimulationState> reference;
  {
    auto scene = startedScene(640, 360);
    size_t next = 0;
    for (int64_t n = 0; next < checks.size(); ++n) {
      frameAt(*scene, frameTickAt(n, 60));
      while (next < checks.size() && frameTickAt(n + 1, 60) > checks[next]) {
        reference.push_back(stateOf(*scene));
        ++next;
      }
    }
  }
  auto expectRate = [&](const std::vector<uint32_t>& frames, const std::string& name) {
    auto scene = startedScene(640, 360);
    for (uint32_t t : frames) {
      frameAt(*scene, t);
      auto at = std::lower_bound(checks.begin(), checks.end(), t);
      if (at != checks.end() && *at == t)
        expectSameState(stateOf(*scene), reference[at - checks.begin()], name + " at " + std::to_string(t));
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
}

}  // namespace
