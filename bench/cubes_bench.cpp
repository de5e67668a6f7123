// The cubes scene's cost: the instance build at its busiest moment and over the whole scene;
// one render() call against the no-op OpenGL table (the scene's own work: the build and the
// 384 draws recorded) across the scene's time; and, given a headless OpenGL context (run
// from the repository root for shaders/), one render() call and whole frames at 640x360.
#include "base/gl.h"
#include "base/noop_gl.h"
#include "capture/offscreen.h"
#include "scenes/cubes/cubes_scene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr int kSceneFrames = 16 * 60;  // the scene's frames at 60 per second
constexpr int kWidth = 640;
constexpr int kHeight = 360;

// The frame time (60 per second) with the most sample points, the bulk of the build's work;
// timing each frame instead would pick whichever frame the machine happened to slow down.
float busiestTime() {
  static float busiest = [] {
    Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
    auto out = std::make_unique<CubeInstances>();
    float bestT = 0.0f;
    uint64_t best = 0;
    for (int frame = 0; frame < kSceneFrames; ++frame) {
      float t = static_cast<float>(frame) / 60.0f;
      buildCubeInstances(t, shape, *out);
      uint64_t work = (static_cast<uint64_t>(out->attempts) << 32) | out->count;
      if (work > best) {
        best = work;
        bestT = t;
      }
    }
    return bestT;
  }();
  return busiest;
}

// buildCubeInstances at the busiest t of the scene.
void BM_BuildCubeInstancesBusiest(benchmark::State& state) {
  const float t = busiestTime();
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  auto out = std::make_unique<CubeInstances>();
  for (auto _ : state) {
    buildCubeInstances(t, shape, *out);
    benchmark::DoNotOptimize(out->positions);
  }
  state.counters["t"] = t;
  state.counters["instances"] = out->count;
  state.counters["attempts"] = out->attempts;
}
BENCHMARK(BM_BuildCubeInstancesBusiest)->Unit(benchmark::kMicrosecond);

// buildCubeInstances for every frame of the scene at 60 fps, per frame.
void BM_BuildCubeInstancesWholeScene(benchmark::State& state) {
  Mesh shape(kShapeVertexCapacity, kShapeTriangleCapacity);
  auto out = std::make_unique<CubeInstances>();
  uint32_t most = 0;
  for (auto _ : state) {
    for (int frame = 0; frame < kSceneFrames; ++frame) {
      buildCubeInstances(static_cast<float>(frame) / 60.0f, shape, *out);
      most = std::max(most, out->count);
    }
  }
  state.SetItemsProcessed(state.iterations() * kSceneFrames);
  state.counters["most_instances"] = most;
}
BENCHMARK(BM_BuildCubeInstancesWholeScene)->Unit(benchmark::kMillisecond);

// A started scene at 640x360, for the no-op table's benchmarks.
std::unique_ptr<CubesScene> startedSceneNoDriver() {
  auto scene = std::make_unique<CubesScene>();
  scene->width = kWidth;
  scene->height = kHeight;
  scene->start();
  return scene;
}

// CPU time of one render() call with every GL call a no-op, at t whole seconds (the argument):
// how the scene's own cost follows the shape through the scene.
void BM_CubesRenderNoDriver(benchmark::State& state) {
  NoopGlScope noop;
  auto scene = startedSceneNoDriver();
  scene->seconds = static_cast<float>(state.range(0));
  for (auto _ : state) scene->render();
  state.counters["instances"] = scene->instances->count;
  state.counters["attempts"] = scene->instances->attempts;
}
BENCHMARK(BM_CubesRenderNoDriver)->DenseRange(0, 15)->Unit(benchmark::kMillisecond);

// The same at the busiest t of the scene.
void BM_CubesRenderNoDriverBusiest(benchmark::State& state) {
  NoopGlScope noop;
  auto scene = startedSceneNoDriver();
  scene->seconds = busiestTime();
  for (auto _ : state) scene->render();
  state.counters["t"] = scene->seconds;
  state.counters["instances"] = scene->instances->count;
  state.counters["attempts"] = scene->instances->attempts;
}
BENCHMARK(BM_CubesRenderNoDriverBusiest)->Unit(benchmark::kMillisecond);

// The same for every frame of the scene at 60 fps, per frame.
void BM_CubesRenderNoDriverWholeScene(benchmark::State& state) {
  NoopGlScope noop;
  auto scene = startedSceneNoDriver();
  for (auto _ : state) {
    for (int frame = 0; frame < kSceneFrames; ++frame) {
      scene->seconds = static_cast<float>(frame) / 60.0f;
      scene->render();
    }
  }
  state.SetItemsProcessed(state.iterations() * kSceneFrames);
}
BENCHMARK(BM_CubesRenderNoDriverWholeScene)->Unit(benchmark::kMillisecond);

// The headless context, made once for every GL benchmark; null when none can be had.
EglContext* glContext() {
  static EglContext* egl = [] {
    auto* context = new EglContext();
    if (!startOffscreenOpenGl(*context, kWidth, kHeight)) return static_cast<EglContext*>(nullptr);
    return context;
  }();
  return egl;
}

// A started scene with one frame drawn, so that the driver has compiled what the frames
// need before any is timed.
std::unique_ptr<CubesScene> startedScene() {
  auto scene = std::make_unique<CubesScene>();
  scene->width = kWidth;
  scene->height = kHeight;
  scene->start();
  scene->seconds = 8.0f;
  scene->render();
  glFinish();
  return scene;
}

// One render() call at t = 8 s (busy shape, full ring), measured on the calling thread's CPU
// clock; the driver may still be working when it returns.
void BM_CubesRenderCall(benchmark::State& state) {
  if (!glContext()) {
    state.SkipWithError("no headless OpenGL context");
    return;
  }
  auto scene = startedScene();
  scene->seconds = 8.0f;
  for (auto _ : state) {
    scene->render();
    state.PauseTiming();
    glFinish();
    state.ResumeTiming();
  }
  state.counters["instances"] = scene->instances->count;
}
BENCHMARK(BM_CubesRenderCall)->Unit(benchmark::kMillisecond)->Iterations(4);

// Whole frames over the scene (t stepping by 1 s through 16 s), finished; frames per second.
void BM_CubesFrames640x360(benchmark::State& state) {
  if (!glContext()) {
    state.SkipWithError("no headless OpenGL context");
    return;
  }
  auto scene = startedScene();
  int frame = 0;
  for (auto _ : state) {
    scene->seconds = static_cast<float>(frame++ % 16);
    scene->render();
    glFinish();
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CubesFrames640x360)->Unit(benchmark::kMillisecond)->Iterations(16)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
