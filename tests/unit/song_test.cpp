// The pattern notation read by addPattern, and the song it builds.
#include "synth/song.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

// A definition with distinct envelope times, so each can be checked after the shift.
Instrument definition() {
  Instrument in{};
  in.waveform = kWaveSawtooth, in.filterEnvelope = in.ampEnvelope = true, in.amplitude = 0.5;
  in.ampStart = 1, in.ampPeak = 2, in.ampEnd = 3;
  in.filterStart = 4, in.filterPeak = 5, in.filterEnd = 6;
  in.slideOffset = 7, in.cutoff = 0.7, in.pan = -0.3;
  return in;
}

// The events of one pattern on a fresh synthesizer.
std::unique_ptr<Synth> play(const char* pattern, int stepDivisor, const Instrument& in = definition()) {
  std::unique_ptr<Synth> synth(new Synth());
  EXPECT_TRUE(addPattern(*synth, pattern, in, 8, 4, 1000.5, stepDivisor));
  return synth;
}

double hertz(const Synth& synth, int i) { return synth.songEvents[i].instrument.pitch * 44100.0; }
double beatOf(const Synth& synth, int i) { return (synth.songEvents[i].time - 1000.5) / kBeatSamples; }

TEST(Pattern, StepsRestsLettersOctavesAndStepDivisors) {
  // Each character is 1/divisor beat ('-' rests 4 steps; '#', '%', digits and other characters
  // take none); a digit sets the octave of what follows, lower case reads as upper, C% is B,
  // letters past G sound as A and octaves 6 to 9 as -4. Divisor 0: no steps; negative: bars.
  struct Case {
    const char* pattern;
    int divisor;
    std::vector<double> beats, hertz;
  } cases[] = {
      {"1A..A.A..A-A !?A", 2, {0, 1.5, 2.5, 4, 6.5, 7}, {110, 110, 110, 110, 110, 110}},
      {"2DA#1F.A", 1, {0, 1, 2, 4}, {293.66, 233.08, 174.61, 110}},
      {"3cC%BHz" "0A1A2A3A4A5A9A" "6A7A8A", 4, {0, 0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2, 2.25, 2.5, 2.75, 3, 3.25, 3.5},
       {523.25, 493.88, 493.88, 440, 440, 55, 110, 220, 440, 880, 1760, 27.5, 27.5, 27.5, 27.5}},
      {"3A.AA", 0, {0, 0, 0}, {440, 440, 440}},
      {"3A.A", -4, {0, 8}, {440, 440}},
      {"3AA", -8, {0, 8}, {440, 440}},
  };
  for (const Case& c : cases) {
    auto synth = play(c.pattern, c.divisor);
    ASSERT_EQ(synth->eventCount, static_cast<int>(c.beats.size())) << c.pattern;
    for (size_t i = 0; i < c.beats.size(); ++i) {
      EXPECT_NEAR(beatOf(*synth, i), c.beats[i], 1e-12) << c.pattern << " " << i;
      EXPECT_NEAR(hertz(*synth, i), c.hertz[i], 0.01) << c.pattern << " " << i;
    }
  }
}

TEST(Pattern, VoicesRotateOverTheGroupAndRestsDoNotAdvanceIt) {
  auto synth = play("A..A-AAA.A", 4);
  const int voices[6] = {8, 9, 10, 11, 8, 9};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(synth->songEvents[i].voice, voices[i]) << i;
  // A group running past the last voice stops the pattern there.
  std::unique_ptr<Synth> tooFar(new Synth());
  EXPECT_FALSE(addPattern(*tooFar, "AAA", definition(), 30, 3, 0.0, 4));
  EXPECT_EQ(tooFar->eventCount, 2);
}

TEST(Pattern, EventsAreShiftedToTheirStartAndScaled) {
  Instrument glide = definition();
  glide.slide = -0.0001;
  glide.pitch = 0.1;  // semitones of detune
  auto synth = play(".3A", 1);
  auto gliding = play(".3A", 1, glide);
  const Instrument& in = synth->songEvents[0].instrument;
  const double t = synth->songEvents[0].time;
  EXPECT_DOUBLE_EQ(in.amplitude, 0.6);
  const double shifted[6] = {in.ampStart, in.ampPeak, in.ampEnd, in.filterStart, in.filterPeak, in.filterEnd};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(shifted[i], i + 1 + t) << i;
  EXPECT_EQ(in.slideOffset, 7.0);  // no glide: unchanged
  EXPECT_EQ(gliding->songEvents[0].instrument.slideOffset, 7.0 - t);  // the glide starts with the note
  EXPECT_NEAR(gliding->songEvents[0].instrument.pitch / in.pitch, std::pow(2.0, 0.1 / 12), 1e-12);
}

TEST(Song, HasEveryNoteSortedAndNoTwoStartTogetherOnAVoice) {
  std::unique_ptr<Synth> synth(new Synth());
  buildSong(*synth);
  buildSong(*synth);  // rebuilding replaces rather than appends
  ASSERT_EQ(synth->eventCount, kSongEventCount);
  std::set<std::pair<int, double>> starts;
  for (int i = 0; i < synth->eventCount; ++i) {
    const NoteEvent& e = synth->songEvents[i];
    EXPECT_LE(synth->songEvents[i > 0 ? i - 1 : 0].time, e.time) << i;
    EXPECT_TRUE(starts.insert({e.voice, e.time}).second) << "two notes start together on voice " << e.voice;
  }
}

}  // namespace
