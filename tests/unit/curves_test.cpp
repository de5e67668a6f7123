// The curves scene without a GPU: spawning on the shared random sequence, drift and the
// curve points, the following camera, the greeting placement at every picture size, the
// greetings image and the frame figures.
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

TEST(CurvesSpawn, GrainTakesTheFirst1024ValuesAfterSeedZero) {
  demoSrand(0);
  uint8_t noise[kCurvesNoiseBytes];
  fillCurvesNoise(noise);
  Lcg lcg{0};
  for (int i = 0; i < kCurvesNoiseBytes; ++i) ASSERT_EQ(noise[i], lcg.next() & 0xFF) << i;
  EXPECT_EQ(process.random.state, lcg.state);
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

TEST(CurvesSpawn, IntervalBoundariesProgressAndRespawns) {
  auto scene = startedScene();
  CurveSystem& thick = scene->curveSystems[0];
  CurveSystem& thin = scene->curveSystems[1];
  stepAt(*scene, 0);
  stepAt(*scene, 4990);
  EXPECT_EQ(thin.currentInterval, 0u);
  EXPECT_EQ(thin.curves[0].progress, 511u);  // (499 x 512 + 499) / 500
  EXPECT_FALSE(thin.curves[1].active);

  Lcg lcg{process.random.state};
  stepAt(*scene, 5000);
  EXPECT_TRUE(thin.curves[1].active);
  EXPECT_FLOAT_EQ(thin.curves[1].offset.x, 0.7f);
  EXPECT_EQ(thin.curves[1].offset.y, 0.0f);
  EXPECT_EQ(thin.curves[1].progress, 0u);
  EXPECT_EQ(thin.curves[1].birthTime, 5.0f);
  EXPECT_EQ(thin.curves[0].progress, 511u);  // an earlier slot keeps its last progress
  expectSpawnedFrom(thin.curves[1], lcg);
  EXPECT_EQ(process.random.state, lcg.state);

  stepAt(*scene, 6990);
  EXPECT_EQ(thick.curves[0].progress, 512u);  // (699 x 512 + 699) / 700: the whole curve
  stepAt(*scene, 7000);
  EXPECT_TRUE(thick.curves[1].active);
  EXPECT_FLOAT_EQ(thick.curves[1].offset.x, 0.98f);
  EXPECT_EQ(thick.curves[0].progress, 512u);

  for (uint32_t ms = 7100; ms < 35000; ms += 100) stepAt(*scene, ms);
  // At 3500 centiseconds both systems reach a boundary: the thick one spawns slot 5 first,
  // then the thin one respawns slot 0 in its second generation.
  lcg = Lcg{process.random.state};
  const float oldBirth = thin.curves[0].birthTime;
  stepAt(*scene, 35000);
  EXPECT_EQ(thick.currentInterval, 5u);
  EXPECT_EQ(thin.currentInterval, 7u);
  expectSpawnedFrom(thick.curves[5], lcg);
  expectSpawnedFrom(thin.curves[0], lcg);
  EXPECT_EQ(process.random.state, lcg.state);
  EXPECT_EQ(thin.curves[0].generation, 1u);
  EXPECT_NE(thin.curves[0].birthTime, oldBirth);
  EXPECT_FLOAT_EQ(thin.curves[0].offset.x, 7 * 0.7f);

  // Nothing spawns inside an interval; the next respawn of slot 0 is 7 intervals later.
  lcg = Lcg{process.random.state};
  stepAt(*scene, 35100);
  EXPECT_EQ(process.random.state, lcg.state);
  for (uint32_t ms = 35200; ms < 70000; ms += 100) stepAt(*scene, ms);
  EXPECT_EQ(thin.curves[0].generation, 1u);
  stepAt(*scene, 70000);
  EXPECT_EQ(thin.curves[0].generation, 2u);
  EXPECT_FLOAT_EQ(thin.curves[0].offset.x, 14 * 0.7f);
  EXPECT_EQ(thin.curves[0].birthTime, 70.0f);
}

TEST(CurvePoints, ClosedSegmentsSharedPointsAndDrift) {
  auto scene = startedScene();
  frameAt(*scene, 0);
  Curve curve = scene->curveSystems[1].curves[0];
  curve.offset = {2.5f, -1.0f};
  buildCurvePoints(curve);
  const CurvePoint3* p = curve.points;
  // Each segment includes both its ends, so neighbours repeat their shared point, and the
  // last point closes the curve on the first.
  for (int j = 1; j <= kCurveSegments; ++j) {
    const CurvePoint3& end = p[j * kSegmentPoints - 1];
    const CurvePoint3& next = p[(j * kSegmentPoints) % kCurvePoints];
    EXPECT_EQ(end.x, next.x) << j;
    EXPECT_EQ(end.y, next.y) << j;
    EXPECT_EQ(end.z, next.z) << j;
  }
  const CurvePoint2* c = curve.controlPoints;
  EXPECT_FLOAT_EQ(p[0].x, (c[0].x + c[1].x) * 0.5f + 2.5f);
  EXPECT_FLOAT_EQ(p[0].y, (c[0].y + c[1].y) * 0.5f - 1.0f);
  EXPECT_FLOAT_EQ(p[128].x, (c[2].x + c[3].x) * 0.5f + 2.5f);
  // Halfway along segment 0 the weights are 1/8, 3/8, 3/8, 1/8.
  float mid = 0.125f * (c[0].x + c[1].x) * 0.5f + 0.375f * c[1].x + 0.375f * c[2].x + 0.125f * (c[2].x + c[3].x) * 0.5f;
  EXPECT_NEAR((p[63].x + p[64].x) * 0.5f - 2.5f, mid, 1e-3f);
  for (int n = 0; n < kCurvePoints; ++n) {
    ASSERT_GT(p[n].z, 0.0f) << n;
    ASSERT_LT(p[n].z, 0.015f + 0.01f + 0.0798f + 1e-4f) << n;
  }

  // Drift is per call (per frame): two frames move every control point by twice its velocity.
  Curve drifted = curve;
  advanceCurve(drifted);
  advanceCurve(drifted);
  for (int i = 0; i < kCurveControlPoints; ++i) {
    EXPECT_FLOAT_EQ(drifted.controlPoints[i].x, curve.controlPoints[i].x + 2 * curve.velocities[i].x);
    EXPECT_FLOAT_EQ(drifted.controlPoints[i].y, curve.controlPoints[i].y + 2 * curve.velocities[i].y);
  }
  EXPECT_NE(drifted.points[0].x, curve.points[0].x);
}

TEST(CurvePoints, StrokeWeightRippleBumpAndTheFmodSign) {
  Curve flat;  // every control point at the origin: the whole curve is one point
  flat.zScale = 3.0f;
  const double bump = 0.7978845676080871 * 0.1;
  // 3 birthTime + 2 x = -1: fmod keeps the sign, b = -1, e = exp(-12.5): no bump.
  flat.offset = {-0.5f, 0.0f};
  buildCurvePoints(flat);
  EXPECT_FLOAT_EQ(flat.points[200].z, static_cast<float>((0.015 + std::exp(-12.5) * bump) * 3.0));
  EXPECT_LT(flat.points[200].z, 0.046f);
  // 2 x = 2 + 3 birthTime with birthTime 1: a = 5, b = 2, e = exp(-0.5).
  flat.offset = {1.0f, 0.0f};
  flat.birthTime = 1.0f;
  buildCurvePoints(flat);
  EXPECT_FLOAT_EQ(flat.points[7].z, static_cast<float>((0.015 + std::exp(-0.5) * bump) * 3.0));
  // The bump's peak, b = 1.5: a = 1.5 from x = 0.75.
  flat.offset = {0.75f, 0.0f};
  flat.birthTime = 0.0f;
  buildCurvePoints(flat);
  EXPECT_FLOAT_EQ(flat.points[0].z, static_cast<float>((0.015 + bump) * 3.0));

  // The ripple follows the local coordinates, not the world ones.
  Curve shifted;
  for (CurvePoint2& cp : shifted.controlPoints) cp = {0.1f, 0.05f};
  shifted.offset = {-0.6f, 7.0f};  // world x -0.5: a = -1, no bump
  buildCurvePoints(shifted);
  double ripple = std::sin(10.0 * 0.05f) * std::cos(10.0 * 0.1f) * 0.01;
  EXPECT_NEAR(shifted.points[300].z, 0.015 + ripple + std::exp(-12.5) * bump, 1e-6);
}

TEST(CurvesCamera, FirstFrameLookAheadAndTruncation) {
  auto scene = startedScene(1920, 1080);
  frameAt(*scene, 0);
  // Only the entry just written is non-zero, and its weight is 0.
  EXPECT_EQ(scene->historyIndex, 1u);
  const CurvePoint3& first = scene->curveSystems[1].curves[0].points[100];
  EXPECT_EQ(scene->cameraHistory[0].x, first.x);
  EXPECT_EQ(scene->cameraHistory[0].y, first.y);
  EXPECT_EQ(scene->cameraOffset.x, 0.0f);
  EXPECT_EQ(scene->cameraOffset.y, 0.0f);

  stepAt(*scene, 3000);  // progress 308: point 408
  const Curve& thin = scene->curveSystems[1].curves[0];
  ASSERT_EQ(thin.progress, 308u);
  EXPECT_EQ(scene->cameraHistory[1].x, thin.points[408].x);
  stepAt(*scene, 4020);  // progress 412: the look-ahead stops at the last point
  ASSERT_EQ(thin.progress, 412u);
  EXPECT_EQ(scene->cameraHistory[2].x, thin.points[511].x);
  EXPECT_EQ(scene->cameraHistory[2].y, thin.points[511].y);

  // The offset is whole pixels, truncated towards zero.
  EXPECT_EQ(wholePixels(-0.6L), 0.0f);
  EXPECT_FALSE(std::signbit(wholePixels(-0.6L)));
  EXPECT_EQ(wholePixels(-1.7L), -1.0f);
  EXPECT_EQ(wholePixels(2.9L), 2.0f);
  scene->width = 100;
  scene->height = 100;
  for (CurvePoint2& e : scene->cameraHistory) e = {0.012f, 0.034f};  // -0.6 and -1.7 pixels
  scene->smoothCamera();
  EXPECT_EQ(scene->cameraOffset.x, 0.0f);
  EXPECT_EQ(scene->cameraOffset.y, -1.0f);
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

TEST(CurvesGreetings, UniformsAtFullHdAndTheMendElsewhere) {
  const CurvePoint2 camera = {-37.0f, 12.0f};
  GreetUniforms u = greetPatchUniforms(kGreetPatchTable[0], camera, 1920, 1080);
  EXPECT_FLOAT_EQ(u.scale.x, 0.33f * 0.4f * 1.7777778f);
  EXPECT_FLOAT_EQ(u.scale.y, (1.0f - 0.66f) * 0.4f);
  // At 1920 x 1080 exactly the positions in pixels: (2x + offset) / 960, (y + offset) / 540.
  for (const GreetPatch& p : kGreetPatchTable) {
    GreetUniforms full = greetPatchUniforms(p, camera, 1920, 1080);
    EXPECT_EQ(full.translation.x, (2.0f * p.x + camera.x) / 960.0f);
    EXPECT_EQ(full.translation.y, (p.y + camera.y) / 540.0f);
    // Elsewhere the same place on the screen for the same camera (its pixels scale with
    // the picture), and the same share of the height.
    const int32_t sizes[3][2] = {{1280, 720}, {320, 180}, {360, 640}};
    for (const auto& size : sizes) {
      const CurvePoint2 scaled = {camera.x * size[0] / 1920.0f, camera.y * size[1] / 1080.0f};
      GreetUniforms other = greetPatchUniforms(p, scaled, size[0], size[1]);
      EXPECT_NEAR(other.translation.x, full.translation.x, 1e-5f) << size[0];
      EXPECT_NEAR(other.translation.y, full.translation.y, 1e-5f) << size[0];
      EXPECT_FLOAT_EQ(other.scale.y, full.scale.y);
      EXPECT_FLOAT_EQ(other.scale.x / other.scale.y * size[1] / size[0], full.scale.x / full.scale.y * 1080 / 1920);
    }
  }
}

TEST(CurvesGreetings, ImageHasEveryWordInsideItsRectangle) {
  int lowest = 255;
  for (uint8_t v : kGreetsImage) lowest = std::min<int>(lowest, v);
  EXPECT_EQ(lowest, 1);  // the background is 1, never 0
  auto at = [](int x, int y) { return static_cast<int>(kGreetsImage[y * kGreetsWidth + x]); };
  for (const GreetPatch& p : kGreetPatchTable) {
    const int x0 = static_cast<int>(std::ceil(p.uMin * kGreetsWidth)), x1 = static_cast<int>(p.uMax * kGreetsWidth);
    const int y0 = static_cast<int>(std::ceil(p.vMin * kGreetsHeight)), y1 = static_cast<int>(p.vMax * kGreetsHeight);
    int inkInside = 0, inkNearEdge = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const bool nearEdge = x < x0 + 2 || x >= x1 - 2 || y < y0 + 2 || y >= y1 - 2;
        if (at(x, y) > 128) (nearEdge ? inkNearEdge : inkInside)++;
      }
    }
    EXPECT_GT(inkInside, 150) << p.x;  // a word, not a speck
    EXPECT_EQ(inkNearEdge, 0) << p.x;  // nothing bleeds into the neighbouring patch
  }
}

TEST(CurvesCounters, CameraAndActiveCurves) {
  auto scene = startedScene(640, 360);
  for (uint32_t ms = 0; ms <= 20400; ms += 17) frameAt(*scene, ms);
  SceneCounters counters;
  scene->reportCounters(counters);
  ASSERT_EQ(counters.count, 3);
  EXPECT_EQ(counters.values[0], scene->cameraOffset.x);
  EXPECT_LT(counters.values[0], 0.0);  // the world has scrolled left under the camera
  EXPECT_EQ(counters.values[1], scene->cameraOffset.y);
  EXPECT_EQ(counters.values[2], 3 + 5);  // thick: 0, 7, 14 s; thin: 0, 5, 10, 15, 20 s
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
