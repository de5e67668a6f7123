// The television scene's cost per frame: the CPU time of one render() call, against the
// real driver (recording the GL commands; the GPU's work is waited for outside the timing)
// and against the no-op table (the scene's own work alone), whole frames at several window
// sizes, and the line picture's per-frame arithmetic alone. The real-driver cases run
// headless through EGL; start it from the repository root, where the shaders are read from
// ./shaders.
#include "base/gl.h"
#include "base/log.h"
#include "base/noop_gl.h"
#include "capture/egl_context.h"
#include "capture/offscreen.h"
#include "scenes/tv/tv_scene.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr uint32_t kCubeMs = 15000;    // scene time of a frame with the wire cube (49 s of the show)
constexpr uint32_t kTunnelMs = 36000;  // scene time of a frame with the tunnel (70 s of the show)
constexpr uint32_t kFrameStepMs = 16;  // between successive frames of one benchmark run
constexpr uint32_t kTunnelFromMs = 29000;  // the stretch of scene time with squares in flight
constexpr uint32_t kTunnelToMs = 43000;
constexpr uint32_t kCubeFromMs = 8000;     // the stretch of scene time with the wire cube drawn
constexpr uint32_t kCubeToMs = 24000;

// A headless context of the given size with a started scene; ends the process when there is none.
struct TVBench {
  EglContext egl;
  std::unique_ptr<TVScene> scene;

  TVBench(int width, int height) {
    if (!startOffscreenOpenGl(egl, width, height)) std::exit(1);  // it says why on stderr
    logAttach(stderr);
    scene = std::make_unique<TVScene>();
    scene->width = width;
    scene->height = height;
    scene->start();
    glFinish();
  }
  ~TVBench() {
    scene.reset();  // deletes the GL objects while the context is current
    destroyEglContext(egl);
  }
  // Sets the scene's clock as the shell does.
  void setClock(uint32_t ms) {
    scene->seconds = static_cast<float>(ms * 0.001);
    scene->centiseconds = ms / 10;
  }
};

// CPU time of render() alone; arguments: width, height, scene time in ms.
void BM_TVRenderCpu(benchmark::State& state) {
  TVBench bench(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  uint32_t ms = static_cast<uint32_t>(state.range(2));
  for (auto _ : state) {
    bench.setClock(ms);
    bench.scene->render();
    state.PauseTiming();
    glFinish();
    ms += kFrameStepMs;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TVRenderCpu)
    ->Args({320, 180, kTunnelMs})
    ->Args({640, 360, kCubeMs})
    ->Args({640, 360, kTunnelMs})
    ->Args({1280, 720, kTunnelMs})
    ->Unit(benchmark::kMillisecond);

// CPU time of render() alone with every GL call a no-op: what the scene itself costs per
// frame, without the driver's vertex processing and binning on this thread. The clock steps
// through a stretch of scene time and starts it again; arguments: width, height, the
// stretch's first and last ms.
void BM_TVRenderNoDriver(benchmark::State& state) {
  NoopGlScope noop;
  auto scene = std::make_unique<TVScene>();
  scene->width = static_cast<int32_t>(state.range(0));
  scene->height = static_cast<int32_t>(state.range(1));
  scene->start();
  const uint32_t from = static_cast<uint32_t>(state.range(2)), to = static_cast<uint32_t>(state.range(3));
  uint32_t ms = from;
  int64_t squares = 0;
  for (auto _ : state) {
    scene->seconds = static_cast<float>(ms * 0.001);
    scene->centiseconds = ms / 10;
    scene->render();
    squares += scene->squaresDrawn;
    ms = ms + kFrameStepMs > to ? from : ms + kFrameStepMs;
  }
  state.counters["square_draws"] = static_cast<double>(squares) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TVRenderNoDriver)
    ->Args({640, 360, kCubeFromMs, kCubeToMs})
    ->Args({640, 360, kTunnelFromMs, kTunnelToMs})
    ->Args({1920, 1080, kTunnelFromMs, kTunnelToMs})
    ->Unit(benchmark::kMicrosecond);

// Whole frames, render() and the wait for the picture; arguments: width, height, scene time in ms.
void BM_TVFrame(benchmark::State& state) {
  TVBench bench(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  uint32_t ms = static_cast<uint32_t>(state.range(2));
  for (auto _ : state) {
    bench.setClock(ms);
    bench.scene->render();
    glFinish();
    ms += kFrameStepMs;
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TVFrame)
    ->Args({640, 360, kTunnelMs})
    ->Args({1280, 720, kTunnelMs})
    ->Args({1920, 1080, kTunnelMs})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The four copies' matrices and tunnel squares, as renderScreen computes them, without GL;
// the cube is computed in every frame too, which the show never needs while the tunnel runs.
void BM_TVShapesArithmetic(benchmark::State& state) {
  TVScene scene;
  fillSceneTracks(scene);
  uint32_t ms = kTunnelFromMs;
  for (auto _ : state) {
    float seconds = static_cast<float>(ms * 0.001);
    float d = scene.distanceTrack.evaluate(ms / 10);
    for (int i = 0; i < kTrailCopies; ++i) {
      float t = seconds + kTrailStep * static_cast<float>(i);
      Mat4 cube = cubeModelview(t, d);
      benchmark::DoNotOptimize(cube);
      TunnelSquare squares[kTunnelSlots];
      int count = tunnelSquares(t, squares);
      for (int k = 0; k < count; ++k) {
        Mat4 m = tunnelModelview(squares[k]);
        benchmark::DoNotOptimize(m);
      }
    }
    ms += kFrameStepMs;
    if (ms > kTunnelToMs) ms = kTunnelFromMs;
  }
}
BENCHMARK(BM_TVShapesArithmetic)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
