// The curves scene without a GPU: spawning on the shared random sequence, the following
// camera and the greeting placement at every picture size. Its pictures are checked against
// the reference frames.
#include "scenes/curves/curves_scene.h"
#include "synth/process_state.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

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
  scene.centiseconds = ms / 10;
  scene.seconds = static_cast<float>(ms * 0.001);
  scene.advanceSimulation();
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
  frameAt(*scene, 0);
  frameAt(*scene, 4990);
  EXPECT_EQ(thin.currentInterval, 0u);
  EXPECT_EQ(thin.curves[0].progress, 511u);  // (499 x 512 + 499) / 500
  EXPECT_FALSE(thin.curves[1].active);

  Lcg lcg{process.random.state};
  frameAt(*scene, 5000);
  EXPECT_TRUE(thin.curves[1].active);
  EXPECT_FLOAT_EQ(thin.curves[1].offset.x, 0.7f);
  EXPECT_EQ(thin.curves[1].offset.y, 0.0f);
  EXPECT_EQ(thin.curves[1].progress, 0u);
  EXPECT_EQ(thin.curves[1].birthTime, 5.0f);
  EXPECT_EQ(thin.curves[0].progress, 511u);  // an earlier slot keeps its last progress
  expectSpawnedFrom(thin.curves[1], lcg);
  EXPECT_EQ(process.random.state, lcg.state);

  frameAt(*scene, 6990);
  EXPECT_EQ(thick.curves[0].progress, 512u);  // (699 x 512 + 699) / 700: the whole curve
  frameAt(*scene, 7000);
  EXPECT_TRUE(thick.curves[1].active);
  EXPECT_FLOAT_EQ(thick.curves[1].offset.x, 0.98f);
  EXPECT_EQ(thick.curves[0].progress, 512u);

  for (uint32_t ms = 7100; ms < 35000; ms += 100) frameAt(*scene, ms);
  // At 3500 centiseconds both systems reach a boundary: the thick one spawns slot 5 first,
  // then the thin one respawns slot 0 in its second generation.
  lcg = Lcg{process.random.state};
  const float oldBirth = thin.curves[0].birthTime;
  frameAt(*scene, 35000);
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
  frameAt(*scene, 35100);
  EXPECT_EQ(process.random.state, lcg.state);
  for (uint32_t ms = 35200; ms < 70000; ms += 100) frameAt(*scene, ms);
  EXPECT_EQ(thin.curves[0].generation, 1u);
  frameAt(*scene, 70000);
  EXPECT_EQ(thin.curves[0].generation, 2u);
  EXPECT_FLOAT_EQ(thin.curves[0].offset.x, 14 * 0.7f);
  EXPECT_EQ(thin.curves[0].birthTime, 70.0f);
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

  frameAt(*scene, 3000);  // progress 308: point 408
  const Curve& thin = scene->curveSystems[1].curves[0];
  ASSERT_EQ(thin.progress, 308u);
  EXPECT_EQ(scene->cameraHistory[1].x, thin.points[408].x);
  frameAt(*scene, 4020);  // progress 412: the look-ahead stops at the last point
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

}  // namespace
