// The curves scene's CPU work per frame: both systems moved, respawned and rebuilt (14
// curves of 512 points with their transcendental functions) and the camera's 256-term sum;
// the whole render() call against the no-op OpenGL table (run from the repository root,
// where start() reads ./shaders); and one curve's points alone.
#include "base/noop_gl.h"
#include "scenes/curves/curves_scene.h"
#include "synth/demo_random.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kFramesPerSecond = 60;
constexpr uint32_t kSceneMs = 66000;  // 126 s to 192 s

// A scene as start() leaves it on the CPU side.
std::unique_ptr<CurvesScene> freshScene() {
  auto scene = std::make_unique<CurvesScene>();
  scene->width = 1920;
  scene->height = 1080;
  demoSrand(0);
  uint8_t noise[kCurvesNoiseBytes];
  fillCurvesNoise(noise);
  scene->prepareSimulation();
  return scene;
}

// One frame of the simulation after another at 60 fps; the scene restarts at its end, so
// the mean covers the whole 66 s (all 14 curves active from 49 s on).
void BM_CurvesFrameCpu(benchmark::State& state) {
  auto scene = freshScene();
  int64_t frame = 0;
  for (auto _ : state) {
    uint32_t ms = static_cast<uint32_t>(frame * 1000 / kFramesPerSecond);
    if (ms >= kSceneMs) {
      state.PauseTiming();
      scene = freshScene();
      frame = 0;
      ms = 0;
      state.ResumeTiming();
    }
    scene->centiseconds = ms / 10;
    scene->seconds = static_cast<float>(ms * 0.001);
    scene->advanceSimulation();
    benchmark::DoNotOptimize(scene->cameraOffset);
    ++frame;
  }
}
BENCHMARK(BM_CurvesFrameCpu)->Unit(benchmark::kMicrosecond);

// One frame late in the scene, every slot active: the worst case.
void BM_CurvesFrameCpuAllActive(benchmark::State& state) {
  auto scene = freshScene();
  uint32_t ms = 0;
  for (; ms < 50000; ms += 1000 / kFramesPerSecond) {
    scene->centiseconds = ms / 10;
    scene->seconds = static_cast<float>(ms * 0.001);
    scene->advanceSimulation();
  }
  for (auto _ : state) {
    scene->advanceSimulation();  // same clock: drift and rebuild, no spawn
    benchmark::DoNotOptimize(scene->cameraOffset);
  }
}
BENCHMARK(BM_CurvesFrameCpuAllActive)->Unit(benchmark::kMicrosecond);

// A scene started under the no-op table at the size of the benchmark's first two arguments.
std::unique_ptr<CurvesScene> startedSceneNoDriver(const benchmark::State& state) {
  auto scene = std::make_unique<CurvesScene>();
  scene->width = static_cast<int32_t>(state.range(0));
  scene->height = static_cast<int32_t>(state.range(1));
  scene->start();
  return scene;
}

// CPU time of render() with every GL call a no-op, frame after frame at 60 fps through the
// whole scene (restarted at its end): the simulation and the draws recorded, without a
// driver. Arguments: width, height.
void BM_CurvesRenderNoDriver(benchmark::State& state) {
  NoopGlScope noop;
  auto scene = startedSceneNoDriver(state);
  int64_t frame = 0;
  for (auto _ : state) {
    uint32_t ms = static_cast<uint32_t>(frame * 1000 / kFramesPerSecond);
    if (ms >= kSceneMs) {
      state.PauseTiming();
      scene = startedSceneNoDriver(state);
      frame = 0;
      ms = 0;
      state.ResumeTiming();
    }
    scene->centiseconds = ms / 10;
    scene->seconds = static_cast<float>(ms * 0.001);
    scene->render();
    ++frame;
  }
}
BENCHMARK(BM_CurvesRenderNoDriver)->Args({640, 360})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// The same late in the scene with every slot active, the clock held (drift and rebuild, no
// spawn), at 1920x1080.
void BM_CurvesRenderNoDriverAllActive(benchmark::State& state) {
  NoopGlScope noop;
  auto scene = startedSceneNoDriver(state);
  for (uint32_t ms = 0; ms < 50000; ms += 1000 / kFramesPerSecond) {
    scene->centiseconds = ms / 10;
    scene->seconds = static_cast<float>(ms * 0.001);
    scene->advanceSimulation();
  }
  for (auto _ : state) scene->render();
}
BENCHMARK(BM_CurvesRenderNoDriverAllActive)->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// The 512 points of one curve.
void BM_BuildCurvePoints(benchmark::State& state) {
  auto scene = freshScene();
  scene->advanceSimulation();
  Curve curve = scene->curveSystems[1].curves[0];
  for (auto _ : state) {
    buildCurvePoints(curve);
    benchmark::DoNotOptimize(curve.points);
  }
}
BENCHMARK(BM_BuildCurvePoints)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
