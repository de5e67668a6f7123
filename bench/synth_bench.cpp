// Speed of the music: the whole show's 192 s rendered by the block renderer and by the plain
// rule, and the slowest 4096-frame device callback of the song.
#include "synth/audio.h"
#include "synth/mixer.h"
#include "synth/process_state.h"
#include "synth/sample_rate.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int kShowSeconds = 192;
constexpr int kShowFrames = kShowSeconds * kSampleRate;
constexpr int kCallbackFrames = 4096;            // the device buffer
constexpr int kCallbackBytes = kCallbackFrames * 4;
constexpr double kCallbackBudgetMs = 1000.0 * kCallbackFrames / kSampleRate;

// A process state with the noise table filled and the song built, as after initAudio.
const ProcessState& preparedState() {
  static std::unique_ptr<ProcessState> state = [] {
    auto s = std::make_unique<ProcessState>();
    prepareMusic(*s);
    return s;
  }();
  return *state;
}

// Reports frames per second, output samples per second and the real-time factor.
void reportRates(benchmark::State& state, int64_t frames) {
  state.SetItemsProcessed(state.iterations() * frames);
  state.counters["samples_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * frames * 2), benchmark::Counter::kIsRate);
  state.counters["realtime_factor"] =
      benchmark::Counter(static_cast<double>(state.iterations() * frames) / kSampleRate, benchmark::Counter::kIsRate);
}

// The whole show's music with the block renderer the callback uses.
void BM_RenderShow(benchmark::State& state) {
  std::vector<int16_t> out(2 * static_cast<size_t>(kShowFrames));
  auto synth = std::make_unique<Synth>();
  for (auto _ : state) {
    state.PauseTiming();
    *synth = preparedState().synth;
    state.ResumeTiming();
    renderFrames(*synth, out.data(), kShowFrames);
    benchmark::DoNotOptimize(out.data());
  }
  reportRates(state, kShowFrames);
}
BENCHMARK(BM_RenderShow)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The same 192 s by the plain rule, renderVoice for every voice of every frame.
void BM_RenderShowPlainRule(benchmark::State& state) {
  std::vector<int16_t> out(2 * static_cast<size_t>(kShowFrames));
  auto synth = std::make_unique<Synth>();
  for (auto _ : state) {
    state.PauseTiming();
    *synth = preparedState().synth;
    state.ResumeTiming();
    renderFramesPlain(*synth, out.data(), kShowFrames);
    benchmark::DoNotOptimize(out.data());
  }
  reportRates(state, kShowFrames);
}
BENCHMARK(BM_RenderShowPlainRule)->Unit(benchmark::kMillisecond)->Iterations(1);

// Every 4096-frame callback of the show through audioCallback; reports the slowest.
void BM_WorstCallback(benchmark::State& state) {
  std::vector<uint8_t> stream(kCallbackBytes);
  double worstMs = 0.0, totalMs = 0.0;
  int64_t callbacks = 0;
  for (auto _ : state) {
    state.PauseTiming();
    process.synth = preparedState().synth;
    state.ResumeTiming();
    for (int done = 0; done < kShowFrames; done += kCallbackFrames) {
      auto start = std::chrono::steady_clock::now();
      audioCallback(nullptr, stream.data(), kCallbackBytes);
      double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      worstMs = std::max(worstMs, ms);
      totalMs += ms;
      ++callbacks;
    }
    benchmark::DoNotOptimize(stream.data());
  }
  state.counters["worst_callback_ms"] = worstMs;
  state.counters["mean_callback_ms"] = totalMs / callbacks;
  state.counters["budget_ms"] = kCallbackBudgetMs;
}
BENCHMARK(BM_WorstCallback)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
