// One voice: the envelope, the band-limited oscillator, clipping, the resonant filter and
// its feedback, the glide's turning point, and the noise table.
#include "synth/voice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A voice whose output is its clipped input: no envelopes, and with a = 1 a fresh filter
// copies its input through all four stages exactly.
Voice passThrough(int32_t waveform, double pitch, double noise = 0.0) {
  Voice voice{};
  Instrument& in = voice.instrument;
  in.waveform = waveform, in.amplitude = 1.0, in.cutoff = 1.0, in.pitch = pitch, in.noise = noise;
  return voice;
}

// The first sample of a fresh copy of voice at time t.
double firstSample(Voice voice, double t, const std::vector<double>& noise) { return renderVoice(voice, t, noise.data()); }

const std::vector<double> kSilence(kNoiseTableSize, 0.0);

TEST(Envelope, ExactAtItsBreakpointsAndZeroOutside) {
  const double times[7] = {99, 100, 125, 150, 200, 350, 400};
  const double levels[7] = {0, 0, 0.15625, 0.5, 1, 0.15625, 0};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(envelope(times[i], 100, 200, 400), levels[i]) << times[i];
}

TEST(Voice, OscillatorIsTheWavesMeanOverTheSample) {
  // A quarter cycle per sample, phase = pitch * absolute time whenever the note started.
  const double saw[4] = {-0.75, -0.25, 0.25, 0.75};
  const double square[4] = {-1, -1, 1, 1};
  for (int t = 0; t < 8; ++t) {
    EXPECT_EQ(firstSample(passThrough(kWaveSawtooth, 0.25), 1000 + t, kSilence), saw[t % 4]) << t;
    EXPECT_EQ(firstSample(passThrough(kWaveSquare, 0.25), t, kSilence), square[t % 4]) << t;
  }
  // A sample over the square's edge (phase 0.4 to 0.6) averages the halves.
  EXPECT_NEAR(firstSample(passThrough(kWaveSquare, 0.2), 2, kSilence), 0.0, 1e-12);
}

TEST(Voice, NoiseIsAddedThenTheSumClippedBeforeTheFilter) {
  std::vector<double> noise(kNoiseTableSize, 0.9);
  noise[5] = 0.5;
  EXPECT_EQ(firstSample(passThrough(0, 0.01, 0.5), kNoiseTableSize + 5, noise), 0.25);  // index wraps
  EXPECT_EQ(firstSample(passThrough(kWaveSquare, 0.25, 2.0), 0, noise), 0.8);          // -1 + 1.8
  EXPECT_EQ(firstSample(passThrough(kWaveSquare, 0.25, 2.0), 2, noise), 1.0);          // 1 + 1.8
  EXPECT_EQ(firstSample(passThrough(kWaveSquare, 0.25, -2.0), 2, noise), -0.8);
  EXPECT_EQ(firstSample(passThrough(kWaveSquare, 0.25, -2.0), 0, noise), -1.0);
}

TEST(Voice, FilterCascadesFeedsBackStageFourAndHighPassSubtracts) {
  std::vector<double> noise(kNoiseTableSize, 1.0);
  Voice lowPass = passThrough(0, 0.01, 1.0), highPass = lowPass;
  lowPass.instrument.cutoff = highPass.instrument.cutoff = 0.5;
  highPass.instrument.highPass = true;
  EXPECT_EQ(renderVoice(lowPass, 0, noise.data()), 0.0625);
  const double stages[4] = {0.5, 0.25, 0.125, 0.0625};
  for (int s = 0; s < 4; ++s) EXPECT_EQ(lowPass.stages[s], stages[s]);
  EXPECT_EQ(renderVoice(highPass, 0, noise.data()), 1.0 - 0.0625);
  // Resonance 1.2 on an input of 0: stage 4 counts as at most 1, negative values pass, and
  // the fed-back input is not clipped again.
  for (double stage4 : {5.0, -3.0}) {
    Voice voice = passThrough(0, 0.01);
    voice.instrument.resonance = 1.2, voice.stages[3] = stage4;
    EXPECT_NEAR(renderVoice(voice, 0, kSilence.data()), stage4 > 0 ? -1.2 : 3.6, 1e-12) << stage4;
  }
}

TEST(Voice, GlideTurningPointGivesTheWaveValueInsteadOfNaN) {
  // A at 110 Hz gliding by -0.0001: the phases at elapsed samples 9999 and 10000 round to the
  // same double, where the mean would be 0/0.
  const double pitch = 110.0 / 44100.0, slide = -0.0001;
  const double fraction = std::fmod(std::pow(1 + slide, 9999.0) * pitch * 9999.0, 1.0);  // under 0.5
  Voice square = passThrough(kWaveSquare, pitch), saw = passThrough(kWaveSawtooth, pitch);
  square.instrument.slide = saw.instrument.slide = slide;
  EXPECT_EQ(firstSample(square, 9999, kSilence), -1.0);
  saw.instrument.slideOffset = -5000.0;  // the same elapsed time for a note started at 5000
  EXPECT_EQ(firstSample(saw, 14999, kSilence), 2.0 * fraction - 1.0);
  for (double t = 14990; t < 15010; ++t) EXPECT_TRUE(std::isfinite(renderVoice(saw, t, kSilence.data()))) << t;
}

TEST(NoiseTable, TakesOneDrawPerEntryFromTheStartOfTheSequence) {
  std::vector<double> table(kNoiseTableSize);
  RandomGenerator random, counted;
  fillNoiseTable(table.data(), random);
  for (int i = 0; i < kNoiseTableSize; ++i)
    ASSERT_NEAR(table[i], 2.0 * nextRandom(counted) / 32767.0 - 1.0, 1e-15) << i;
  EXPECT_EQ(random.state, counted.state);
}

}  // namespace
