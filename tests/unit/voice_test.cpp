// One voice: the envelope, the band-limited oscillator, clipping, the resonant filter and
// its feedback, the glide's turning point, and the noise table.
#include "synth/voice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A voice whose output is its clipped input: no envelopes, and with a = 1 a fresh filter
// copies its input through all four stages exactly.
Voice passThrough(int32_t waveform, double pitch) {
  Voice voice{};
  voice.instrument.waveform = waveform;
  voice.instrument.amplitude = 1.0;
  voice.instrument.cutoff = 1.0;
  voice.instrument.pitch = pitch;
  return voice;
}

// A noise table holding one value everywhere.
std::vector<double> flatNoise(double value) { return std::vector<double>(kNoiseTableSize, value); }

TEST(Envelope, ExactAtItsBreakpointsAndZeroOutside) {
  EXPECT_EQ(envelope(100, 100, 200, 400), 0.0);
  EXPECT_EQ(envelope(99, 100, 200, 400), 0.0);
  EXPECT_EQ(envelope(200, 100, 200, 400), 1.0);
  EXPECT_EQ(envelope(150, 100, 200, 400), 0.5);
  EXPECT_EQ(envelope(300, 100, 200, 400), 0.5);
  EXPECT_EQ(envelope(400, 100, 200, 400), 0.0);
  EXPECT_EQ(envelope(401, 100, 200, 400), 0.0);
  EXPECT_DOUBLE_EQ(envelope(125, 100, 200, 400), 0.15625);  // 3x^2 - 2x^3 at x = 0.25
  EXPECT_DOUBLE_EQ(envelope(350, 100, 200, 400), 0.15625);
}

TEST(Voice, NeverGivenANoteIsSilentAndKeepsItsFilter) {
  Voice voice{};
  std::vector<double> noise = flatNoise(0.5);
  for (double t = 0; t < 100; ++t) EXPECT_EQ(renderVoice(voice, t, noise.data()), 0.0);
  for (double stage : voice.stages) EXPECT_EQ(stage, 0.0);
  // Amplitude 0 returns early as well, even with a filter state to disturb.
  Voice quiet = passThrough(kWaveSawtooth, 0.01);
  quiet.instrument.amplitude = 0.0;
  quiet.stages[3] = 0.25;
  EXPECT_EQ(renderVoice(quiet, 5, noise.data()), 0.0);
  EXPECT_EQ(quiet.stages[3], 0.25);
  EXPECT_EQ(quiet.stages[0], 0.0);
}

TEST(Voice, OscillatorIsTheMeanOfTheWaveOverTheSample) {
  std::vector<double> noise = flatNoise(0.0);
  // A quarter cycle per sample: the sawtooth's mean over [t/4, (t+1)/4) of a cycle.
  Voice saw = passThrough(kWaveSawtooth, 0.25);
  const double sawMeans[4] = {-0.75, -0.25, 0.25, 0.75};
  for (int t = 0; t < 8; ++t) EXPECT_DOUBLE_EQ(renderVoice(saw, t, noise.data()), sawMeans[t % 4]) << t;
  // Square: -1 over the first half cycle, +1 over the second.
  Voice square = passThrough(kWaveSquare, 0.25);
  const double squareMeans[4] = {-1, -1, 1, 1};
  for (int t = 0; t < 8; ++t) EXPECT_DOUBLE_EQ(renderVoice(square, t, noise.data()), squareMeans[t % 4]) << t;
  // A sample straddling the square's edge averages the two halves.
  Voice edge = passThrough(kWaveSquare, 0.2);
  EXPECT_NEAR(renderVoice(edge, 2, noise.data()), 0.0, 1e-12);  // phase 0.4 .. 0.6
  // Without a glide the phase is pitch * absolute time, whenever the note started.
  Voice late = passThrough(kWaveSawtooth, 0.25);
  EXPECT_DOUBLE_EQ(renderVoice(late, 1001, noise.data()), sawMeans[1]);
}

TEST(Voice, NoiseIsReadAtTheSampleIndexModuloTheTable) {
  std::vector<double> noise = flatNoise(0.0);
  noise[5] = 0.5;
  Voice voice = passThrough(0, 0.01);
  voice.instrument.noise = 0.5;
  EXPECT_EQ(renderVoice(voice, 5, noise.data()), 0.25);
  Voice wrapped = passThrough(0, 0.01);
  wrapped.instrument.noise = 0.5;
  EXPECT_EQ(renderVoice(wrapped, kNoiseTableSize + 5, noise.data()), 0.25);
}

TEST(Voice, SumIsClippedBeforeTheFilter) {
  std::vector<double> noise = flatNoise(0.9);
  Voice loud = passThrough(kWaveSquare, 0.25);
  loud.instrument.noise = 2.0;  // -1 + 1.8 and 1 + 1.8 before clipping
  EXPECT_EQ(renderVoice(loud, 0, noise.data()), 0.8);
  Voice louder = passThrough(kWaveSquare, 0.25);
  louder.instrument.noise = 2.0;
  EXPECT_EQ(renderVoice(louder, 2, noise.data()), 1.0);
  std::vector<double> low = flatNoise(-0.9);
  Voice under = passThrough(kWaveSquare, 0.25);
  under.instrument.noise = 2.0;
  EXPECT_EQ(renderVoice(under, 0, low.data()), -1.0);
}

TEST(Voice, FeedbackUsesStageFourLimitedFromAboveOnly) {
  std::vector<double> noise = flatNoise(0.0);
  // Input 0 after clipping, resonance 1.2: the feedback alone drives the filter.
  Voice high = passThrough(0, 0.01);
  high.instrument.resonance = 1.2;
  high.stages[3] = 5.0;  // counts as 1
  EXPECT_NEAR(renderVoice(high, 0, noise.data()), -1.2, 1e-12);
  Voice low = passThrough(0, 0.01);
  low.instrument.resonance = 1.2;
  low.stages[3] = -3.0;  // passes unchanged, and the result is not clipped again
  EXPECT_NEAR(renderVoice(low, 0, noise.data()), 3.6, 1e-12);
}

TEST(Voice, FilterStagesCascadeAndHighPassSubtracts) {
  std::vector<double> noise = flatNoise(0.0);
  noise[0] = 1.0;
  Voice lowPass = passThrough(0, 0.01);
  lowPass.instrument.noise = 1.0;
  lowPass.instrument.cutoff = 0.5;
  double out = renderVoice(lowPass, 0, noise.data());
  EXPECT_EQ(lowPass.stages[0], 0.5);
  EXPECT_EQ(lowPass.stages[1], 0.25);
  EXPECT_EQ(lowPass.stages[2], 0.125);
  EXPECT_EQ(lowPass.stages[3], 0.0625);
  EXPECT_EQ(out, 0.0625);
  Voice highPass = lowPass;
  highPass.instrument.highPass = true;
  for (double& stage : highPass.stages) stage = 0.0;
  EXPECT_EQ(renderVoice(highPass, 0, noise.data()), 1.0 - 0.0625);
}

TEST(Voice, EnvelopesShapeFilterAndOutput) {
  std::vector<double> noise = flatNoise(1.0);
  Voice voice = passThrough(0, 0.01);
  voice.instrument.noise = 1.0;
  voice.instrument.ampEnvelope = true;
  voice.instrument.ampStart = 10;
  voice.instrument.ampPeak = 20;
  voice.instrument.ampEnd = 40;
  voice.instrument.filterEnvelope = true;
  voice.instrument.filterStart = 0;
  voice.instrument.filterPeak = 10;
  voice.instrument.filterEnd = 30;
  EXPECT_EQ(renderVoice(voice, 0, noise.data()), 0.0);  // both envelopes at 0: nothing moves
  for (double stage : voice.stages) EXPECT_EQ(stage, 0.0);
  for (double t = 1; t < 20; ++t) renderVoice(voice, t, noise.data());
  double atPeak = renderVoice(voice, 20, noise.data());
  EXPECT_EQ(atPeak, voice.stages[3]);  // the amplitude envelope is exactly 1 at its peak
  // After the filter envelope ends the stages hold and the output follows the amp envelope.
  for (double t = 21; t <= 30; ++t) renderVoice(voice, t, noise.data());
  double held = voice.stages[3];
  EXPECT_EQ(renderVoice(voice, 31, noise.data()), held * envelope(31, 10, 20, 40));
  EXPECT_EQ(voice.stages[3], held);
  EXPECT_EQ(renderVoice(voice, 41, noise.data()), 0.0);
}

TEST(Voice, GlideTurningPointGivesTheWaveValueInsteadOfNaN) {
  std::vector<double> noise = flatNoise(0.0);
  // A at 110 Hz gliding by -0.0001: the phase stops moving between elapsed samples 9999 and
  // 10000 (both round to the same double), where the mean would be 0/0.
  const double pitch = 110.0 / 44100.0;
  const double slide = -0.0001;
  const double phase = std::pow(1 + slide, 9999.0) * pitch * 9999.0;
  ASSERT_EQ(phase, std::pow(1 + slide, 10000.0) * pitch * 10000.0);
  const double fraction = std::fmod(phase, 1.0);
  ASSERT_LT(fraction, 0.5);
  Voice square = passThrough(kWaveSquare, pitch);
  square.instrument.slide = slide;
  EXPECT_EQ(renderVoice(square, 9999, noise.data()), -1.0);
  Voice saw = passThrough(kWaveSawtooth, pitch);
  saw.instrument.slide = slide;
  saw.instrument.slideOffset = -5000.0;  // the same elapsed time for a note started at 5000
  EXPECT_EQ(renderVoice(saw, 14999, noise.data()), 2.0 * fraction - 1.0);
  // The samples around it are ordinary means, and the filter stays finite.
  for (double t = 14990; t < 15010; ++t) EXPECT_TRUE(std::isfinite(renderVoice(saw, t, noise.data()))) << t;
  for (double stage : saw.stages) EXPECT_TRUE(std::isfinite(stage));
}

TEST(NoiseTable, FirstValuesComeFromTheFirstDraws) {
  std::vector<double> table(kNoiseTableSize);
  RandomGenerator random;
  fillNoiseTable(table.data(), random);
  // The generator's first draws from seed 1 are 41, 18467, 6334, 26500.
  const int draws[4] = {41, 18467, 6334, 26500};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(table[i], 2.0 * draws[i] / 32767.0 - 1.0, 1e-15) << i;
  for (double value : table) ASSERT_TRUE(value >= -1.0 && value <= 1.0);
  // Exactly one draw per entry: the generator continues where a fresh one would after them.
  RandomGenerator counted;
  for (int i = 0; i < kNoiseTableSize; ++i) nextRandom(counted);
  EXPECT_EQ(random.state, counted.state);
}

}  // namespace
