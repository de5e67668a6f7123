// The forest's CPU work at start: the tracks, the noise bytes, the terrain (three Loop
// subdivisions to 196736 triangles) and the cube string; each subdivision step alone; and
// one render() call against the no-op OpenGL table (run from the repository root, where
// start() reads ./shaders).
#include "base/noop_gl.h"
#include "scenes/forest/forest_scene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

constexpr uint32_t kSceneMs = 34000;   // 0 to 34 s of the show
constexpr uint32_t kFrameStepMs = 16;  // between successive frames of one benchmark run

// Everything start() computes on the CPU, on a scene object of its own.
void BM_ForestStartCpu(benchmark::State& state) {
  auto scene = std::make_unique<ForrestScene>();
  uint8_t noise[kNoiseBytes];
  for (auto _ : state) {
    scene->tintTrack = KeyframeTrack<Vec3>();
    scene->distanceTrack = scene->yawTrack = scene->pitchTrack = scene->focusTrack = scene->heightTrack =
        KeyframeTrack<float>();
    scene->cubeString.vertexCount = scene->cubeString.triangleCount = 0;
    fillNoiseBytes(noise);
    fillSceneTracks(*scene);
    buildTerrain(scene->terrain);
    buildCubeString(scene->cubeString);
    benchmark::DoNotOptimize(scene->terrain.positions);
  }
  state.counters["triangles"] = scene->terrain.triangleCount;
  state.counters["vertices"] = scene->terrain.vertexCount;
}
BENCHMARK(BM_ForestStartCpu)->Unit(benchmark::kMillisecond);

// Copies the content of one mesh into another of at least the same capacity.
void copyMesh(const Mesh& from, Mesh& to) {
  std::copy_n(from.positions, kFloatsPerVertex * from.vertexCount, to.positions);
  std::copy_n(from.indices, 3 * from.triangleCount, to.indices);
  to.vertexCount = from.vertexCount;
  to.triangleCount = from.triangleCount;
}

// One subdivision step of the terrain; the argument is the step, 1 to 3.
void BM_TerrainSubdivisionStep(benchmark::State& state) {
  Mesh before(kTerrainVertexCapacity, kTerrainTriangleCapacity);
  shapeTerrain(before);
  for (int s = 1; s < state.range(0); ++s) before.subdivide();
  Mesh work(kTerrainVertexCapacity, kTerrainTriangleCapacity);
  for (auto _ : state) {
    state.PauseTiming();
    copyMesh(before, work);
    state.ResumeTiming();
    work.subdivide();
    benchmark::DoNotOptimize(work.positions);
  }
  state.counters["triangles_in"] = before.triangleCount;
  state.counters["triangles_out"] = work.triangleCount;
}
BENCHMARK(BM_TerrainSubdivisionStep)->DenseRange(1, 3)->Unit(benchmark::kMillisecond);

// CPU time of render() with every GL call a no-op, frame after frame through the whole
// scene (the clock starts again at its end): the scene's own work per frame, without a
// driver. Arguments: width, height.
void BM_ForestRenderNoDriver(benchmark::State& state) {
  NoopGlScope noop;
  auto scene = std::make_unique<ForrestScene>();
  scene->width = static_cast<int32_t>(state.range(0));
  scene->height = static_cast<int32_t>(state.range(1));
  scene->start();
  uint32_t ms = 0;
  for (auto _ : state) {
    scene->centiseconds = ms / 10;
    scene->seconds = static_cast<float>(ms * 0.001);
    scene->render();
    ms = ms + kFrameStepMs >= kSceneMs ? 0 : ms + kFrameStepMs;
  }
}
BENCHMARK(BM_ForestRenderNoDriver)->Args({640, 360})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
