// The voice rule, one sample at a time. It is kept deliberately literal: the block
// renderer in mixer.cpp must reproduce it bit for bit, and the tests hold it to that.
#include "synth/voice.h"

#include <algorithm>
#include <cmath>

void fillNoiseTable(double* noiseTable, RandomGenerator& random) {
  // Computed in extended precision and rounded once to double.
  for (int i = 0; i < kNoiseTableSize; ++i)
    noiseTable[i] = static_cast<double>(2.0L * nextRandom(random) / static_cast<long double>(kRandomMax) - 1.0L);
}

namespace {

// Oscillator phase in cycles at elapsed time x: (1 + slide)^x * pitch * x.
double phaseAt(const Instrument& in, double x) { return std::pow(1.0 + in.slide, x) * in.pitch * x; }

// Mean of the band-limited oscillator over the sample [time, time + 1).
double oscillatorMean(const Instrument& in, double time) {
  if (in.waveform != kWaveSawtooth && in.waveform != kWaveSquare) return 0.0;
  double phase0 = phaseAt(in, time + in.slideOffset);
  double phase1 = phaseAt(in, time + 1.0 + in.slideOffset);
  double u = std::fmod(phase0, 1.0);
  // A glide at its turning point (or decayed to nothing) does not move over the sample;
  // the mean is then the wave's value there, where the quotient would be 0/0.
  if (phase1 == phase0) return waveValue(in.waveform, u);
  double v = std::fmod(phase1, 1.0);
  return (waveIntegral(in.waveform, v) - waveIntegral(in.waveform, u)) / (phase1 - phase0);
}

}  // namespace

double renderVoice(Voice& voice, double time, const double* noiseTable) {
  const Instrument& in = voice.instrument;
  if (in.pitch == 0.0 || in.amplitude == 0.0) return 0.0;
  double w = oscillatorMean(in, time);
  w = w + in.noise * noiseTable[static_cast<int64_t>(std::trunc(time)) & kNoiseIndexMask];
  w = clipUnit(w);
  double a = in.filterEnvelope ? in.cutoff * envelope(time, in.filterStart, in.filterPeak, in.filterEnd)
                               : in.cutoff;
  double* stage = voice.stages;
  w = w - in.resonance * std::min(stage[3], 1.0);
  stage[0] += a * (w - stage[0]);
  stage[1] += a * (stage[0] - stage[1]);
  stage[2] += a * (stage[1] - stage[2]);
  stage[3] += a * (stage[2] - stage[3]);
  double o = in.highPass ? w - stage[3] : stage[3];
  if (in.ampEnvelope) return o * in.amplitude * envelope(time, in.ampStart, in.ampPeak, in.ampEnd);
  return o * in.amplitude;
}
