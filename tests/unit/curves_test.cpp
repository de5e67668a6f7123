// The curves scene without a GPU: spawning on the shared random sequence and the following
// camera's window. Its pictures are checked against the reference frames.
#include "scenes/curves/curves_scene.h"
#include "synth/process_state.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

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

}  // namespace
